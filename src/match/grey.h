// Grey levels of pictures for OpenCV, shared by "Match object" and the face
// detector inside the vision module.
#pragma once

#include <opencv2/core.hpp>

#include "raster/dib.h"

namespace match {

// Grey levels of a part of a picture, rows top-down.
cv::Mat GreyPart(const raster::DibRecord& dib, const cv::Rect& part);

}  // namespace match
