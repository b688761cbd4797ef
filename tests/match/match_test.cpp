// "Match object" on small synthetic pictures whose true match is known.
#include "match/match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "support/texture.h"

namespace {

using match::TRect;
using match::TStatus;
using testing_support::DrawField;
using testing_support::TBlobField;

// Where half (in a picture drawn unscaled) lies in a picture drawn with
// DrawField(sx, sy, tx, ty): pixel edges mapped, then back to pixel centres.
TRect Truth(const TRect& h, double sx, double sy, double tx, double ty) {
    auto edge = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    return {edge(sx * (h.left - 0.5) + tx + 0.5), edge(sy * (h.top - 0.5) + ty + 0.5),
            edge(sx * (h.right + 0.5) + tx - 0.5), edge(sy * (h.bottom + 0.5) + ty - 0.5)};
}

void ExpectNear(const TRect& found, const TRect& truth, int tolerance) {
    EXPECT_NEAR(found.left, truth.left, tolerance);
    EXPECT_NEAR(found.top, truth.top, tolerance);
    EXPECT_NEAR(found.right, truth.right, tolerance);
    EXPECT_NEAR(found.bottom, truth.bottom, tolerance);
}

struct TTransform {
    double sx, sy, tx, ty;
};

class MatchRecovers : public ::testing::TestWithParam<TTransform> {};

TEST_P(MatchRecovers, AKnownShiftAndScaleToAPixel) {
    const TTransform t = GetParam();
    const TBlobField field(3, 140, 110);
    const raster::DibRecord a = DrawField(field, 140, 110);
    const raster::DibRecord b = DrawField(field, 150, 120, t.sx, t.sy, t.tx, t.ty);
    const TRect half{40, 30, 79, 69};
    const match::TResult r = match::Search(a, half, b);
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    EXPECT_GT(r.best.score, 0.95);
    ExpectNear(r.best.rect, Truth(half, t.sx, t.sy, t.tx, t.ty), 1);
}

// The extremes of the scale range, each axis on its own, and a plain shift.
INSTANTIATE_TEST_SUITE_P(Transforms, MatchRecovers,
                         ::testing::Values(TTransform{1.0, 1.0, 13, -9},
                                           TTransform{1.5, 0.75, -25, 12},
                                           TTransform{0.6, 1.6, 30, -40},
                                           TTransform{2.0, 0.5, -70, 30},
                                           TTransform{0.5, 2.0, 20, -55}));

TEST(Match, ToleratesBrightnessContrastAndPalettePictures) {
    const TBlobField field(5, 120, 100);
    const raster::DibRecord a = DrawField(field, 120, 100);
    const TRect half{70, 55, 30, 20};  // drawn upwards and leftwards
    const TRect truth = Truth(match::Normalized(half), 1.2, 1.1, -6, 4);

    // Half the contrast, much brighter.
    const raster::DibRecord pale = DrawField(field, 130, 110, 1.2, 1.1, -6, 4, 0.5, 110);
    match::TResult r = match::Search(a, half, pale);
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    ExpectNear(r.best.rect, truth, 1);

    // The same as an 8-bit picture whose palette darkens and tints.
    raster::DibRecord indexed = raster::newdib(130, 110, 8);
    for (int i = 0; i < 256; ++i)
        indexed.Palette()[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i * 3 / 5),
                                                          static_cast<std::uint8_t>(i * 2 / 5),
                                                          static_cast<std::uint8_t>(i / 5 + 20)};
    const raster::DibRecord grey = DrawField(field, 130, 110, 1.2, 1.1, -6, 4);
    for (int y = 0; y < 110; ++y)
        for (int x = 0; x < 130; ++x)
            raster::setpixel(indexed, x, y, raster::getpixel(grey, x, y) & 0xFF);
    r = match::Search(a, half, indexed);
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    ExpectNear(r.best.rect, truth, 1);
}

TEST(Match, AHalfPastThePictureEdgeIsExtendedInProportion) {
    const TBlobField field(7, 120, 100);
    const raster::DibRecord a = DrawField(field, 120, 100);
    const raster::DibRecord b = DrawField(field, 150, 120, 1.25, 1.0, 20, 10);
    // 10 pixels to the left of picture 1 and 6 below it.
    const match::TResult r = match::Search(a, {-10, 60, 39, 105}, b);
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    const TRect inside = Truth({0, 60, 39, 99}, 1.25, 1.0, 20, 10);
    ExpectNear(r.best.rect, {inside.left - 13, inside.top, inside.right, inside.bottom + 6}, 1);
}

TEST(Match, TheThresholdRefusesBlankAndUnrelatedHalves) {
    const TBlobField field(9, 120, 100);
    const raster::DibRecord a = DrawField(field, 120, 100);

    // One colour with a little noise, as a photographed plain wall.
    raster::DibRecord wall = raster::newdib(120, 100, 24);
    std::mt19937 rng(1);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x)
            raster::setpixel(wall, x, y, 0x808080u + static_cast<std::uint32_t>(rng() % 3));
    match::TResult r = match::Search(wall, {10, 10, 60, 50}, a);
    EXPECT_EQ(r.status, TStatus::Blank);
    EXPECT_FALSE(match::FindArea(wall, {10, 10, 60, 50}, a));

    // Picture 2 holds nothing like the half: white noise.
    raster::DibRecord noise = raster::newdib(120, 100, 24);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 120; ++x) {
            const std::uint32_t g = rng() % 256;
            raster::setpixel(noise, x, y, g | (g << 8) | (g << 16));
        }
    r = match::Search(a, {30, 20, 69, 59}, noise);
    EXPECT_EQ(r.status, TStatus::NotConvincing);
    EXPECT_LT(r.best.score, match::kMinSimilarity);
    EXPECT_FALSE(match::FindArea(a, {30, 20, 69, 59}, noise));
    EXPECT_EQ(match::StatusText(r).rfind("nothing convincing found", 0), 0u)
        << match::StatusText(r);
}

TEST(Match, DegenerateInputsAreRefusedWithTheirReason) {
    const TBlobField field(11, 100, 80);
    const raster::DibRecord a = DrawField(field, 100, 80);
    const raster::DibRecord b = DrawField(field, 100, 80, 1, 1, 3, 3);
    const raster::DibRecord none;
    const raster::DibRecord tiny = DrawField(field, 3, 3);
    struct TCase {
        const raster::DibRecord& model;
        TRect half;
        const raster::DibRecord& other;
        TStatus status;
    };
    const TCase cases[] = {
        {a, {20, 20, 19, 50}, b, TStatus::TooSmall},   // width 0, as a resize leaves it
        {a, {20, 20, 26, 50}, b, TStatus::TooSmall},   // 7 pixels wide
        {a, {20, 50, 60, 44}, b, TStatus::TooSmall},   // 7 pixels high, upwards
        {a, {95, 10, 140, 40}, b, TStatus::TooSmall},  // 5 pixels inside the picture
        {a, {-50, -40, -1, -1}, b, TStatus::Outside},
        {a, {100, 0, 150, 30}, b, TStatus::Outside},
        {a, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, none, TStatus::OtherTooSmall},
        {none, {0, 0, 20, 20}, b, TStatus::Outside},
        {a, {10, 10, 40, 40}, none, TStatus::OtherTooSmall},
        {a, {10, 10, 40, 40}, tiny, TStatus::OtherTooSmall},
    };
    for (const TCase& c : cases) {
        const match::TResult r = match::Search(c.model, c.half, c.other);
        EXPECT_EQ(r.status, c.status) << c.half.left << "," << c.half.top << "," << c.half.right
                                      << "," << c.half.bottom << ": " << match::StatusText(r);
        EXPECT_FALSE(match::StatusText(r).empty());
    }

    // The whole of picture 1 in a picture only a little over half its size,
    // and a picture 2 just big enough for the half at half its size: searched,
    // no crash, whatever the verdict.
    const raster::DibRecord half = DrawField(field, 50, 40, 0.5, 0.5);
    EXPECT_EQ(match::Search(a, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, half).status,
              TStatus::Matched);
    const raster::DibRecord small = DrawField(field, 20, 20, 0.5, 0.5);
    match::Search(a, {0, 0, 39, 39}, small);
}

TEST(Match, StatusTextGivesTheSimilarityWithTwoDecimals) {
    match::TResult r;
    r.status = TStatus::Matched;
    r.best.score = 0.934;
    EXPECT_EQ(match::StatusText(r), "matched with 0.93 similarity");
}

}  // namespace

// Repeated content: the half fits two places of the other picture equally
// well, so neither is taken, and the status line says why.
TEST(Match, ContentThatFitsTwoPlacesIsNotTaken) {
    const TBlobField field(11, 140, 110);
    const raster::DibRecord a = DrawField(field, 140, 110);
    raster::DibRecord twice = raster::newdib(300, 110, 24);
    for (int y = 0; y < 110; ++y)
        for (int x = 0; x < 300; ++x)
            raster::setpixel(twice, x, y,
                             raster::getpixel(a, x < 150 ? x % 140 : (x - 150) % 140, y));
    const match::TResult r = match::Search(a, {40, 30, 79, 69}, twice);
    EXPECT_EQ(r.status, TStatus::NotConvincing) << match::StatusText(r);
    EXPECT_GT(r.best.score, 0.95);
    EXPECT_GT(r.runnerUp, 0.95);
    EXPECT_EQ(
        match::StatusText(r).rfind("nothing convincing found: two places fit about equally (", 0),
        0u)
        << match::StatusText(r);
}

namespace {

// Fine random texture without repeats, cheap enough for large pictures:
// grey levels on a grid `cell` pixels apart, interpolated.
class TNoiseField {
public:
    TNoiseField(unsigned seed, int width, int height, double cell)
        : cols_(static_cast<int>(width / cell) + 2), cell_(cell) {
        std::mt19937 rng(seed);
        values_.resize(static_cast<std::size_t>(cols_) * (static_cast<int>(height / cell) + 2));
        for (double& v : values_) v = 20.0 + static_cast<double>(rng() % 216);
    }
    double At(double x, double y) const {
        const double gx = std::max(0.0, x / cell_), gy = std::max(0.0, y / cell_);
        const int ix = static_cast<int>(gx), iy = static_cast<int>(gy);
        const double fx = gx - ix, fy = gy - iy;
        auto v = [&](int cx, int cy) {
            const std::size_t i = static_cast<std::size_t>(cy) * cols_ + cx;
            return i < values_.size() ? values_[i] : 128.0;
        };
        return (v(ix, iy) * (1 - fx) + v(ix + 1, iy) * fx) * (1 - fy) +
               (v(ix, iy + 1) * (1 - fx) + v(ix + 1, iy + 1) * fx) * fy;
    }

private:
    int cols_;
    double cell_;
    std::vector<double> values_;
};

// As DrawField: pixel (X, Y) shows the field at ((X - tx) / sx, (Y - ty) / sy).
raster::DibRecord DrawNoise(const TNoiseField& field, int width, int height, double sx = 1,
                            double sy = 1, double tx = 0, double ty = 0) {
    raster::DibRecord dib = raster::newdib(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto g =
                static_cast<std::uint32_t>(std::lround(field.At((x - tx) / sx, (y - ty) / sy)));
            raster::setpixel(dib, x, y, g | (g << 8) | (g << 16));
        }
    return dib;
}

// Each half of `a` found within 2 pixels of where the transform puts it in `b`.
void ExpectFound(const raster::DibRecord& a, const raster::DibRecord& b,
                 std::initializer_list<TRect> halves, const TTransform& t) {
    for (const TRect half : halves) {
        const match::TResult r = match::Search(a, half, b);
        ASSERT_EQ(r.status, TStatus::Matched) << half.left << ": " << match::StatusText(r);
        ExpectNear(r.best.rect, Truth(half, t.sx, t.sy, t.tx, t.ty), 2);
    }
}

// A 30 x 30 half is about 1/40 of a 1282 x 1110 picture's side: the search
// must not shrink it to a few pixels before looking.
TEST(Match, SmallHalvesInALargePictureAreFound) {
    const TNoiseField field(21, 1300, 1120, 4.0);
    const raster::DibRecord a = DrawNoise(field, 1282, 1110);
    const raster::DibRecord b = DrawNoise(field, 1282, 1110, 1.1, 0.92, -37, 25);
    ExpectFound(a, b, {{600, 500, 629, 529}, {100, 900, 127, 935}, {1100, 80, 1139, 111}},
                {1.1, 0.92, -37, 25});
}

// A long thin half: the size along its length is found too, not only its place,
// also when the long side is searched far more coarsely than the short one.
TEST(Match, ThinHalvesGetTheirSize) {
    const TNoiseField field(22, 400, 300, 3.0);
    const raster::DibRecord a = DrawNoise(field, 400, 300);
    const raster::DibRecord b = DrawNoise(field, 420, 320, 1.3, 0.8, -20, 30);
    ExpectFound(a, b, {{60, 100, 229, 111}, {250, 40, 261, 200}, {20, 270, 209, 279}},
                {1.3, 0.8, -20, 30});
}

// Repeated content: of two copies that fit equally, the one near where the
// other half lies now is taken; when it lies about as near both, neither.
TEST(Match, RepeatedContentTakesTheCopyNearTheOtherHalf) {
    const TBlobField field(11, 140, 110);
    const raster::DibRecord a = DrawField(field, 140, 110);
    raster::DibRecord twice = raster::newdib(300, 110, 24);
    for (int y = 0; y < 110; ++y)
        for (int x = 0; x < 300; ++x)
            raster::setpixel(twice, x, y,
                             raster::getpixel(a, x < 150 ? x % 140 : (x - 150) % 140, y));
    const TRect half{40, 30, 79, 69};
    // Roughly over the second copy, then over the first.
    match::TResult r = match::Search(a, half, twice, TRect{185, 38, 230, 80});
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    ExpectNear(r.best.rect, {190, 30, 229, 69}, 1);
    EXPECT_GT(r.runnerUp, 0.95);
    r = match::Search(a, half, twice, TRect{30, 25, 70, 60});
    ASSERT_EQ(r.status, TStatus::Matched) << match::StatusText(r);
    ExpectNear(r.best.rect, half, 1);
    // Midway between the copies.
    r = match::Search(a, half, twice, TRect{115, 30, 154, 69});
    EXPECT_EQ(r.status, TStatus::NotConvincing) << match::StatusText(r);
}

// Smooth content, such as a wall in soft light, with a camera's grain of its
// own in each picture; picture 2 shows it `shift` pixels further right.
raster::DibRecord DrawGrainy(const TNoiseField& field, int width, int height, double shift,
                             unsigned seed) {
    raster::DibRecord dib = raster::newdib(width, height, 24);
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double grain = static_cast<double>(rng() % 7) - 3.0;
            const auto g = static_cast<std::uint32_t>(
                std::lround(std::clamp(field.At(x - shift, y) + grain, 0.0, 255.0)));
            raster::setpixel(dib, x, y, g | (g << 8) | (g << 16));
        }
    return dib;
}

// A resized template is interpolated, which smooths its grain away: on
// smooth content every size but the half's own would fit a little better,
// and the half be found a few pixels too large or too small.
TEST(Match, SmoothGrainyContentKeepsItsSize) {
    const TNoiseField field(31, 400, 300, 32.0);
    const raster::DibRecord a = DrawGrainy(field, 360, 260, 0, 1);
    const raster::DibRecord b = DrawGrainy(field, 360, 260, -17, 2);
    ExpectFound(a, b, {{58, 88, 92, 123}, {132, 59, 164, 89}, {82, 6, 121, 46}, {68, 111, 97, 148}},
                {1, 1, -17, 0});
}

}  // namespace
