// The morph renderer: picture n of a sequence of N pictures from picture 1 to
// picture 2, bent by the area pairs in list order.
#pragma once

#include <cstdint>
#include <span>

#include "core/areapair.h"
#include "raster/dib.h"

namespace core {

struct TMorphInput {
    const raster::DibRecord* pic1 = nullptr;
    const raster::DibRecord* pic2 = nullptr;
    std::span<const TAreaPair> areas;
    std::int64_t n = 1;  // picture number; clamped into 1..N
    std::int64_t N = 1;  // number of pictures; below 1 counts as 1
    std::uint32_t background = 0;  // red in the lowest byte
};

// Renders into a new 24-bit picture as wide and high as the larger of the two
// pictures. Both pictures must hold pixels.
raster::DibRecord RenderMorph(const TMorphInput& input);

}  // namespace core
