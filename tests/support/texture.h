// Textured test pictures for matching: a field of soft blobs given as a
// function, so that a shifted, scaled, brightened copy is drawn exactly
// rather than resampled, and the true rectangle is known to the pixel.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "raster/dib.h"

namespace testing_support {

class TBlobField {
public:
    // Blobs scattered over width x height of the unscaled field.
    TBlobField(unsigned seed, double width, double height, int count = 90) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (int i = 0; i < count; ++i)
            blobs_.push_back(
                {u(rng) * width, u(rng) * height, 2.5 + 6.0 * u(rng), (u(rng) - 0.5) * 220.0});
    }

    // Grey level at field position (x, y), 0..255.
    double At(double x, double y) const {
        double v = 128.0;
        for (const TBlob& b : blobs_) {
            const double dx = x - b.x;
            const double dy = y - b.y;
            v += b.weight * std::exp(-(dx * dx + dy * dy) / (2.0 * b.radius * b.radius));
        }
        return std::clamp(v, 0.0, 255.0);
    }

private:
    struct TBlob {
        double x, y, radius, weight;
    };
    std::vector<TBlob> blobs_;
};

// A grey 24-bit picture whose pixel (X, Y) shows the field at
// ((X - tx) / sx, (Y - ty) / sy), with contrast a and brightness b.
inline raster::DibRecord DrawField(const TBlobField& field, int width, int height, double sx = 1,
                                   double sy = 1, double tx = 0, double ty = 0, double a = 1,
                                   double b = 0) {
    raster::DibRecord dib = raster::newdib(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = std::clamp(a * field.At((x - tx) / sx, (y - ty) / sy) + b, 0.0, 255.0);
            const auto g = static_cast<std::uint32_t>(std::lround(v));
            raster::setpixel(dib, x, y, g | (g << 8) | (g << 16));
        }
    return dib;
}

}  // namespace testing_support
