// Pictures between the raster library and OpenCV, for the benchmarks that make
// their cases with OpenCV.
#pragma once

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdint>

#include "raster/dib.h"

namespace bench_support {

// A picture as 8-bit BGR rows, top-down.
inline cv::Mat ToMat(const raster::DibRecord& dib) {
    cv::Mat out(dib.Height(), dib.Width(), CV_8UC3);
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            const std::uint32_t c = raster::PixelColor(dib, x, y);
            out.at<cv::Vec3b>(y, x) = {static_cast<std::uint8_t>(c >> 16),
                                       static_cast<std::uint8_t>(c >> 8),
                                       static_cast<std::uint8_t>(c)};
        }
    return out;
}

// 8-bit BGR rows as a 24-bit picture.
inline raster::DibRecord ToDib(const cv::Mat& bgr) {
    raster::DibRecord dib = raster::newdib(bgr.cols, bgr.rows, 24);
    for (int y = 0; y < bgr.rows; ++y)
        std::copy_n(bgr.ptr<std::uint8_t>(y), 3 * bgr.cols, dib.Row(y));
    return dib;
}

}  // namespace bench_support
