// The face detector of "Find pairs", inside the vision module: OpenCV's
// cascades from Debian's opencv-data, loaded once per folder.
#pragma once

#include <optional>
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

// Measured in the picture itself, from the halves placed so far:

// Where the skin ends left and right of the nose at the height of the cheeks
// and ears, following the nose's colour. None for a grey picture or halves
// without both eyes and the nose.
std::optional<vision::TFaceFound::TSides> SkinSides(const raster::DibRecord& picture,
                                                    const vision::TFeatureHalves& halves);

// The line between the lips near the placed mouth, as a small box around it.
std::optional<vision::TRect> LipLine(const raster::DibRecord& picture,
                                     const vision::TFeatureHalves& halves);

// The row of the chin's lower edge below the placed mouth: where the picture
// darkens most steeply. None without both eyes and the mouth.
std::optional<std::int32_t> ChinLine(const raster::DibRecord& picture,
                                     const vision::TFeatureHalves& halves);

}  // namespace match
