// The pictures of a sequence as the export writes them: the same as the
// renderer's, whether rendered ahead or asked out of order.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "export/morphframes.h"

namespace {

raster::DibRecord Filled(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(dib, x, y, static_cast<std::uint32_t>(x * 7 + y * 13 + seed * 99));
    return dib;
}

bool Same(const raster::DibRecord& a, const raster::DibRecord& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::ranges::equal(a.Bits(), b.Bits());
}

}  // namespace

TEST(MorphFrames, RenderedAheadOrNotEveryPictureIsTheRenderersOwn) {
    const raster::DibRecord pic1 = Filled(64, 48, 1);
    const raster::DibRecord pic2 = Filled(50, 60, 2);
    const std::vector<TAreaPair> areas{{4, 4, 30, 30, 10, 8, 40, 44}};
    core::TMorphInput input;
    input.pic1 = &pic1;
    input.pic2 = &pic2;
    input.areas = areas;
    input.N = 6;
    const auto expected = [&](int n) {
        core::TMorphInput one = input;
        one.n = n;
        return core::RenderMorph(one);
    };
    for (bool ahead : {false, true}) {
        exporting::TMorphFrames frames(input, 6, ahead);
        // In order, then a jump back and forward as the GIF palette's samples
        // ask, then the end.
        for (int n : {1, 2, 3, 1, 5, 4, 5, 6})
            EXPECT_TRUE(Same(frames(n), expected(n))) << "picture " << n << " ahead " << ahead;
    }
}
