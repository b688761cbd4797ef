// The scene the export benchmarks render: two 1920 x 1080 pictures of
// gradients over a checkerboard and eight area pairs spread over them.
#pragma once

#include <cstdint>
#include <vector>

#include "core/areapair.h"

namespace export_scene {

inline constexpr int kWidth = 1920;
inline constexpr int kHeight = 1080;

// Row y of picture `seed`, three bytes a pixel.
inline void FillRow(std::uint8_t* row, int y, int seed) {
    for (int x = 0; x < kWidth; ++x) {
        row[3 * x] = static_cast<std::uint8_t>(x / 8 + seed * 50);
        row[3 * x + 1] = static_cast<std::uint8_t>(y / 5 + ((x / 64 + y / 64) & 1) * 60);
        row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 12 + seed * 90);
    }
}

inline std::vector<TAreaPair> EightPairs() {
    std::vector<TAreaPair> pairs;
    for (int i = 0; i < 8; ++i) {
        const int x = 100 + (i % 4) * 430;
        const int y = 150 + (i / 4) * 450;
        pairs.push_back(
            {x, y, x + 300, y + 280, x + 40 - i * 10, y + 30, x + 360 - i * 5, y + 330});
    }
    return pairs;
}

}  // namespace export_scene
