// The morph renderer: picture n of a sequence of N pictures from picture 1 to
// picture 2, bent by the area pairs in list order.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/areapair.h"
#include "raster/dib.h"

namespace core {

struct TMorphInput {
    const raster::DibRecord* pic1 = nullptr;
    const raster::DibRecord* pic2 = nullptr;
    std::span<const TAreaPair> areas;
    std::int64_t n = 1;            // picture number; clamped into 1..N
    std::int64_t N = 1;            // number of pictures; below 1 counts as 1
    std::uint32_t background = 0;  // red in the lowest byte
    // A large picture is rendered on two threads, unless the caller keeps the
    // other core busy already (with a video encoder, say).
    bool secondThread = true;
};

// Renders into a new 24-bit picture as wide and high as the larger of the two
// pictures. A missing picture (null or without pixels) counts as 0 x 0 and
// shows the background; when both are missing, or the result does not fit
// (MorphResultSize), the result has no pixels.
// Uses a second thread for large pictures.
raster::DibRecord RenderMorph(const TMorphInput& input);
// The same into result, whose pixel memory is used again when it already is
// a 24-bit picture of the result's size (a sequence renders every picture
// into the one record); otherwise it is freed before the new one is made.
void RenderMorphInto(const TMorphInput& input, raster::DibRecord& result);

// The size of a render's result: as wide and high as the larger of the two
// pictures (a missing one counts as 0 x 0), 24 bits per pixel. The program
// holds no picture past raster::kMaxSide on a side or raster::kMaxPictureBytes,
// however much memory there is: such a result cannot be rendered, and the
// pictures tell so before anything is tried.
struct TResultSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t bytes = 0;  // of the picture's rows
    bool Fits() const;
};
TResultSize MorphResultSize(const TMorphInput& input);
// Why a result that does not fit cannot be made, for the user: "the result
// would be too large: 20000 x 20000 pixels take 1145 MB, the limit is
// 1024 MB"; empty when it fits.
std::string ResultSizeProblem(const TResultSize& size);

// The final coordinate maps of a render, held per axis: result cell (x, y)
// shows column col1[x], row row1[y] of picture 1 (col2, row2 of picture 2),
// and nothing when either entry is -1.
struct TMorphMaps {
    std::vector<std::int32_t> col1, row1, col2, row2;
};
TMorphMaps MorphMaps(const TMorphInput& input);

// mix(p, q) = (p * (N - n) + q * n) div N, truncating toward zero, computed
// without overflow for any N >= 1 and 0 <= n <= N.
std::int64_t MorphMix(std::int64_t p, std::int64_t q, std::int64_t n, std::int64_t N);

}  // namespace core
