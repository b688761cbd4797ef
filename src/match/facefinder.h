// The face detector of "Find pairs", inside the vision module: OpenCV's
// cascades from Debian's opencv-data, loaded once per folder.
#pragma once

#include <string>

#include "raster/dib.h"
#include "vision/facepairs.h"

namespace match {

// The largest face in the picture, a person's or else a cat's, with the eyes
// and the smile found inside it. Kind::None when there is none (also for
// pictures under 48 pixels on a side). When a cascade file in `folder`
// cannot be read, Kind::None and `error` names the file.
vision::TFaceFound FindFace(const raster::DibRecord& picture, const std::string& folder,
                            std::string& error);

}  // namespace match
