// Easing, modes and hold frames: the positions worked out by hand, the modes'
// pixels on the ten-column example, and eased renders equal to plain renders
// at the stated m of M.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/morphtiming.h"
#include "core/renderer.h"

namespace {

using core::TMorphMode;
using core::TMorphPosition;
using core::TTiming;
using raster::DibRecord;

// Column c of a width x 1 picture holds red base + step * c.
DibRecord RedColumns(int width, int base, int step) {
    DibRecord d = raster::newdib(width, 1, 24);
    for (int x = 0; x < width; ++x)
        raster::setpixel(d, x, 0, static_cast<std::uint32_t>(base + step * x));
    return d;
}

std::vector<int> RedRow(const DibRecord& d) {
    std::vector<int> reds;
    for (int x = 0; x < d.Width(); ++x) reds.push_back(raster::getpixel(d, x, 0) & 0xFF);
    return reds;
}

TEST(MorphTiming, EasedPositionsAreTheRoundedThousandths) {
    // N = 4: t = 1/4, 2/4, 3/4, 1 and M = 4000.
    const std::int64_t N = 4;
    const std::vector<std::int64_t> easeIn{250, 1000, 2250, 4000};     // t t
    const std::vector<std::int64_t> easeOut{1750, 3000, 3750, 4000};   // 1 - (1-t)(1-t)
    const std::vector<std::int64_t> easeInOut{625, 2000, 3375, 4000};  // 3tt - 2ttt
    for (std::int64_t n = 1; n <= N; ++n) {
        EXPECT_EQ(core::TimedPosition(TTiming::Linear, n, N), (TMorphPosition{n, N}));
        EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, n, N),
                  (TMorphPosition{easeIn[n - 1], 4000}));
        EXPECT_EQ(core::TimedPosition(TTiming::EaseOut, n, N),
                  (TMorphPosition{easeOut[n - 1], 4000}));
        EXPECT_EQ(core::TimedPosition(TTiming::EaseInOut, n, N),
                  (TMorphPosition{easeInOut[n - 1], 4000}));
    }
    // N = 3, ease in: 1/9 of 3000 is 333.33 -> 333, 4/9 is 1333.33 -> 1333.
    EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, 1, 3).m, 333);
    EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, 2, 3).m, 1333);
    // A half rounds up: ease in, 1 of 16 is 16000 / 256 = 62.5 -> 63.
    EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, 1, 16).m, 63);
    // The first picture of a long ease-in would be position 0: it stays 1.
    EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, 1, 10000), (TMorphPosition{1, 10000000}));
    EXPECT_EQ(core::TimedPosition(TTiming::EaseIn, 1, 1000).m, 1);
}

TEST(MorphTiming, HoldFramesRepeatTheFirstAndLastPicture) {
    EXPECT_EQ(core::HeldFrameCount(5, 0), 5);
    EXPECT_EQ(core::HeldFrameCount(5, 2), 9);
    std::vector<std::int64_t> pictures;
    for (std::int64_t i = 0; i < core::HeldFrameCount(5, 2); ++i)
        pictures.push_back(core::HeldPictureNumber(i, 5, 2));
    EXPECT_EQ(pictures, (std::vector<std::int64_t>{1, 1, 1, 2, 3, 4, 5, 5, 5}));
    for (std::int64_t i = 0; i < 5; ++i) EXPECT_EQ(core::HeldPictureNumber(i, 5, 0), i + 1);
    EXPECT_EQ(core::HeldPictureNumber(-3, 5, 1), 1);
    EXPECT_EQ(core::HeldPictureNumber(99, 5, 1), 5);
}

TEST(MorphTiming, NamesRoundTrip) {
    for (TTiming t : {TTiming::Linear, TTiming::EaseIn, TTiming::EaseOut, TTiming::EaseInOut})
        EXPECT_EQ(core::TimingFromName(core::TimingName(t)), t);
    for (TMorphMode m :
         {TMorphMode::Morph, TMorphMode::WarpOnly, TMorphMode::WarpOnly2, TMorphMode::DissolveOnly})
        EXPECT_EQ(core::ModeFromName(core::ModeName(m)), m);
    EXPECT_FALSE(core::TimingFromName("ease"));
    EXPECT_FALSE(core::ModeFromName("Morph"));
}

// The renderer header's worked example: one pair moving columns 2..3 to 6..7,
// picture 2 of 4.
TEST(MorphModes, TenColumnExampleGivesTheHandWorkedReds) {
    const DibRecord a = RedColumns(10, 0, 10);
    const DibRecord b = RedColumns(10, 100, 10);
    const std::vector<TAreaPair> pair{{2, 0, 3, 0, 6, 0, 7, 0}};
    core::TMorphInput in;
    in.pic1 = &a;
    in.pic2 = &b;
    in.areas = pair;
    in.n = 2;
    in.N = 4;
    const struct {
        TMorphMode mode;
        std::vector<int> reds;
    } cases[] = {
        {TMorphMode::Morph, {50, 50, 60, 75, 90, 100, 105, 110, 115, 130}},
        {TMorphMode::WarpOnly, {0, 0, 0, 10, 20, 30, 40, 50, 60, 80}},
        {TMorphMode::WarpOnly2, {100, 100, 120, 140, 160, 170, 170, 170, 170, 180}},
        {TMorphMode::DissolveOnly, {50, 50, 60, 70, 80, 90, 100, 110, 120, 130}},
    };
    for (const auto& c : cases) {
        in.mode = c.mode;
        EXPECT_EQ(RedRow(core::RenderMorph(in)), c.reds) << core::ModeName(c.mode);
    }
    // Dissolve only is the morph without pairs, maps included.
    in.mode = TMorphMode::DissolveOnly;
    const core::TMorphMaps dissolve = core::MorphMaps(in);
    in.mode = TMorphMode::Morph;
    in.areas = {};
    const core::TMorphMaps plain = core::MorphMaps(in);
    EXPECT_EQ(dissolve.col1, plain.col1);
    EXPECT_EQ(dissolve.col2, plain.col2);
}

TEST(MorphModes, WarpOnlyShowsTheBackgroundWherePictureOneIsAbsent) {
    // A 4-wide picture 1 inside an 8-wide result: at n = 1 of 2 the frame is
    // 6 wide at offset 1; columns 0 and 7 are background, and warp only
    // keeps picture 1's colour everywhere else.
    DibRecord a = raster::newdib(4, 1, 24);
    for (int x = 0; x < 4; ++x) raster::setpixel(a, x, 0, 0x0000FF);
    DibRecord b = raster::newdib(8, 1, 24);
    for (int x = 0; x < 8; ++x) raster::setpixel(b, x, 0, 0xFF0000);
    core::TMorphInput in;
    in.pic1 = &a;
    in.pic2 = &b;
    in.n = 1;
    in.N = 2;
    in.background = 0x00FF00;
    in.mode = TMorphMode::WarpOnly;
    const DibRecord out = core::RenderMorph(in);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(raster::getpixel(out, x, 0), (x == 0 || x == 7) ? 0x00FF00u : 0x0000FFu) << x;
    in.mode = TMorphMode::WarpOnly2;
    const DibRecord out2 = core::RenderMorph(in);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(raster::getpixel(out2, x, 0), (x == 0 || x == 7) ? 0x00FF00u : 0xFF0000u) << x;
}

TEST(MorphModes, EasedPictureEqualsThePlainRenderAtItsPosition) {
    // Sizes that change and a pair, so the frame, the warp and the blend all
    // depend on the position.
    DibRecord a = raster::newdib(40, 30, 24);
    DibRecord b = raster::newdib(64, 48, 24);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            raster::setpixel(a, x, y, static_cast<std::uint32_t>(x * 6 + (y * 8 << 8)));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            raster::setpixel(b, x, y, static_cast<std::uint32_t>((x * 4 << 16) + y * 5));
    const std::vector<TAreaPair> pairs{{5, 6, 20, 18, 30, 10, 50, 40}};
    core::TMorphInput eased;
    eased.pic1 = &a;
    eased.pic2 = &b;
    eased.areas = pairs;
    eased.N = 6;
    // N = 6, M = 6000: ease in n = 1 -> 167 (166.67), ease out n = 2 -> 3333
    // (1 - 4/9), ease in and out n = 5 -> 5556 (3 * 25/36 - 2 * 125/216 = 0.9259).
    const struct {
        TTiming timing;
        std::int64_t n, m;
    } cases[] = {
        {TTiming::EaseIn, 1, 167}, {TTiming::EaseOut, 2, 3333}, {TTiming::EaseInOut, 5, 5556}};
    for (const auto& c : cases) {
        for (TMorphMode mode : {TMorphMode::Morph, TMorphMode::WarpOnly2}) {
            eased.timing = c.timing;
            eased.n = c.n;
            eased.mode = mode;
            core::TMorphInput plain = eased;
            plain.timing = TTiming::Linear;
            plain.n = c.m;
            plain.N = 6000;
            const DibRecord x = core::RenderMorph(eased);
            const DibRecord y = core::RenderMorph(plain);
            EXPECT_TRUE(std::ranges::equal(x.Bits(), y.Bits()))
                << core::TimingName(c.timing) << " n = " << c.n;
        }
    }
}

}  // namespace
