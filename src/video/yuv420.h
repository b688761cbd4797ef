// Pictures to 4:2:0 frames for H.264 and VP9 (limited-range BT.601). Kept
// beside libswscale because it is exact where that is fast, and faster than
// it where it is exact (bench/yuv420_frames.cpp).
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>

#include "video/jpegframe.h"

namespace avivideo {

// A picture to a 4:2:0 frame, which may be one column and one row larger
// than the picture: that margin takes the background colour (B, G, R). Chroma
// is the colour of the mean of each 2 x 2 block, of its picture pixels only
// where it reaches into the margin, so the picture's edge keeps its colour.
void BgrToYuv420(const TBgrRows& in, const std::uint8_t* background, AVFrame& frame);

}  // namespace avivideo
