// The morph renderer: picture n of a sequence of N pictures from picture 1 to
// picture 2, bent by the area pairs in list order.
//
// Timing and mode, with the arithmetic of the morph itself unchanged:
// - The position: n is clamped into 1..N (N below 1 counts as 1), then the
//   timing turns n of N into m of M (TimedPosition in morphtiming.h: Linear
//   keeps n of N; the easings give M = 1000 * N and m = max(1, floor(M *
//   f(n / N) + 0.5))). Everything below uses m of M where the morph uses n
//   of N: mix(p, q) = (p * (M - m) + q * m) div M.
// - Morph: the frame size, the in-between rectangles and the maps use m of
//   M, and every channel is mix(colour 1, colour 2).
// - Warp only: the frame, rectangles and maps exactly as in Morph; every
//   channel is colour 1, the blend weight of picture 2 being 0 (the mix at
//   m = 0). Where map 1 is empty this is the background.
// - Warp only (picture 2): the same with colour 2 (the mix at m = M).
// - Dissolve only: exactly Morph of the same two pictures with no area
//   pairs: the frame still grows from mix(W1, W2) by mix(H1, H2), the base
//   maps are not bent, and every channel is mix(colour 1, colour 2).
//
// Worked example (10 x 1 pictures, picture 1 column c red 10c, picture 2
// column c red 100 + 10c, one pair with columns 2..3 in picture 1 and 6..7 in
// picture 2, n = 2 of N = 4, Linear): map 1 shows picture-1 columns
// 0 0 0 1 2 3 4 5 6 8 and map 2 picture-2 columns 0 0 2 4 6 7 7 7 7 8, so
// Warp only gives red 0 0 0 10 20 30 40 50 60 80, Warp only (picture 2)
// 100 100 120 140 160 170 170 170 170 180, Morph the halfway mix of the two
// (50 50 60 75 90 100 105 110 115 130), and Dissolve only maps both pictures
// to columns 0 0 1 2 3 4 5 6 7 8 and gives 50 50 60 70 80 90 100 110 120 130.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/areapair.h"
#include "core/morphtiming.h"
#include "raster/dib.h"

namespace core {

struct TMorphInput {
    const raster::DibRecord* pic1 = nullptr;
    const raster::DibRecord* pic2 = nullptr;
    std::span<const TAreaPair> areas;
    std::int64_t n = 1;            // picture number; clamped into 1..N
    std::int64_t N = 1;            // number of pictures; below 1 counts as 1
    std::uint32_t background = 0;  // red in the lowest byte
    TTiming timing = TTiming::Linear;
    TMorphMode mode = TMorphMode::Morph;
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
