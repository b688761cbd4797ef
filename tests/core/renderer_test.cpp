// The morph renderer against the literal step-by-step algorithm (the oracle),
// plus the worked examples with known pixels and maps.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/dynaarray.h"
#include "core/renderer.h"
#include "core/renderer_oracle.h"
#include "support/test_files.h"

namespace {

using raster::DibRecord;

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

DibRecord Solid(int w, int h, std::uint32_t rgb) {
    DibRecord d = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster::setpixel(d, x, y, rgb);
    return d;
}

// Pixel (x, y) holds `scale` * x in one channel: red for channel 0, blue for 2.
DibRecord ColumnCoded(int w, int h, int channel, int scale) {
    DibRecord d = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(d, x, y, static_cast<std::uint32_t>(x * scale) << (8 * channel));
    return d;
}

core::TMorphInput Input(const DibRecord& a, const DibRecord& b, std::int64_t n, std::int64_t N,
                        std::span<const TAreaPair> areas = {}, std::uint32_t bg = 0) {
    core::TMorphInput in;
    in.pic1 = &a;
    in.pic2 = &b;
    in.n = n;
    in.N = N;
    in.areas = areas;
    in.background = bg;
    return in;
}

QImage ToImage(const DibRecord& d) {
    QImage img(d.Width(), d.Height(), QImage::Format_RGB32);
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x) {
            const std::uint32_t c = raster::PixelColor(d, x, y);
            img.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        }
    return img;
}

// Exact comparison of size and every stored byte, padding included.
::testing::AssertionResult SamePicture(const DibRecord& actual, const DibRecord& expected,
                                       const std::string& name) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height() ||
        actual.BitCount() != expected.BitCount())
        return ::testing::AssertionFailure()
               << "size " << actual.Width() << "x" << actual.Height() << "x" << actual.BitCount()
               << ", expected " << expected.Width() << "x" << expected.Height() << "x"
               << expected.BitCount();
    for (int y = 0; y < actual.Height(); ++y)
        for (int x = 0; x < actual.Width(); ++x)
            if (raster::getpixel(actual, x, y) != raster::getpixel(expected, x, y)) {
                const QString dir = testing_support::SaveFailure(
                    QString::fromStdString(name), ToImage(actual), ToImage(expected));
                return ::testing::AssertionFailure()
                       << "first difference at (" << x << ", " << y << "): " << std::hex
                       << raster::getpixel(actual, x, y) << " instead of "
                       << raster::getpixel(expected, x, y) << std::dec << "; pictures in "
                       << dir.toStdString();
            }
    if (!std::ranges::equal(actual.Bits(), expected.Bits()))
        return ::testing::AssertionFailure() << "row padding differs";
    return ::testing::AssertionSuccess();
}

std::vector<std::int32_t> Columns(const oracle::TMaps& m, int which) {
    std::vector<std::int32_t> cols;
    for (int x = 0; x < m.W; ++x) cols.push_back(which == 1 ? m.At1(x, 0).col : m.At2(x, 0).col);
    return cols;
}

// The production maps spelt out cell by cell, as the oracle holds them.
::testing::AssertionResult SameMaps(const core::TMorphMaps& fast, const oracle::TMaps& slow) {
    if (fast.col1.size() != static_cast<std::size_t>(slow.W) ||
        fast.row1.size() != static_cast<std::size_t>(slow.H))
        return ::testing::AssertionFailure() << "map size differs";
    auto cell = [](std::int32_t c, std::int32_t r) {
        return (c == -1 || r == -1) ? oracle::TCell{-1, -1} : oracle::TCell{c, r};
    };
    for (int y = 0; y < slow.H; ++y)
        for (int x = 0; x < slow.W; ++x) {
            const oracle::TCell a1 = cell(fast.col1[x], fast.row1[y]), e1 = slow.At1(x, y);
            const oracle::TCell a2 = cell(fast.col2[x], fast.row2[y]), e2 = slow.At2(x, y);
            if (a1.col != e1.col || a1.row != e1.row || a2.col != e2.col || a2.row != e2.row)
                return ::testing::AssertionFailure()
                       << "cell (" << x << ", " << y << "): map 1 (" << a1.col << ", " << a1.row
                       << ") expected (" << e1.col << ", " << e1.row << "), map 2 (" << a2.col
                       << ", " << a2.row << ") expected (" << e2.col << ", " << e2.row << ")";
        }
    return ::testing::AssertionSuccess();
}

// --- Worked examples ---------------------------------------------------------

TEST(RendererExamples, SmallerPictureSitsCentredInItsFrame) {
    const DibRecord red = Solid(100, 50, Rgb(255, 0, 0));
    const DibRecord blue = Solid(200, 100, Rgb(0, 0, 255));
    const std::uint32_t bg = Rgb(0, 200, 0);
    const DibRecord out = core::RenderMorph(Input(red, blue, 1, 2, {}, bg));
    ASSERT_EQ(out.Width(), 200);
    ASSERT_EQ(out.Height(), 100);
    ASSERT_EQ(out.BitCount(), 24);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inFrame = x >= 25 && x < 175 && y >= 12 && y < 87;
            ASSERT_EQ(raster::getpixel(out, x, y), inFrame ? Rgb(127, 0, 127) : bg)
                << x << ", " << y;
        }
}

TEST(RendererExamples, EqualSizesWithoutPairsShowNoBackground) {
    const DibRecord a = Solid(7, 5, Rgb(10, 20, 30));
    const DibRecord b = Solid(7, 5, Rgb(30, 40, 50));
    const DibRecord out = core::RenderMorph(Input(a, b, 1, 2, {}, Rgb(255, 255, 255)));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(raster::getpixel(out, x, y), Rgb(20, 30, 40));
}

TEST(RendererExamples, WhiteIntoBlackInThreeSteps) {
    const DibRecord white = Solid(3, 2, Rgb(255, 255, 255));
    const DibRecord black = Solid(3, 2, 0);
    const int expected[] = {170, 85, 0};
    for (int n = 1; n <= 3; ++n) {
        const DibRecord out = core::RenderMorph(Input(white, black, n, 3));
        const int v = expected[n - 1];
        EXPECT_EQ(raster::getpixel(out, 2, 1), Rgb(v, v, v)) << "n = " << n;
    }
}

TEST(RendererExamples, LastPictureShowsPictureTwoShiftedByTheBaseMap) {
    const DibRecord a = ColumnCoded(4, 1, 0, 50);
    const DibRecord b = ColumnCoded(4, 1, 2, 50);
    for (std::int64_t N : {1, 5}) {  // N = 1 is the end state as well
        const DibRecord out = core::RenderMorph(Input(a, b, N, N));
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(raster::getpixel(out, x, 0), Rgb(0, 0, 50 * std::max(0, x - 1)))
                << "N = " << N << ", column " << x;
    }
}

TEST(RendererExamples, TenByOnePairMapsColumnsAsWorkedOut) {
    const std::vector<TAreaPair> pair{{2, 0, 3, 0, 6, 0, 7, 0}};
    // Picture 1 codes its column in red, picture 2 in blue; at n = 2 of 4 each
    // weighs one half, so the result shows 10 x map column in each channel.
    const DibRecord a = ColumnCoded(10, 1, 0, 20);
    const DibRecord b = ColumnCoded(10, 1, 2, 20);
    oracle::TMaps maps;
    oracle::RenderLiteral(Input(a, b, 2, 4, pair), &maps);
    EXPECT_EQ(Columns(maps, 1), (std::vector<std::int32_t>{0, 0, 0, 1, 2, 3, 4, 5, 6, 8}));
    EXPECT_EQ(Columns(maps, 2), (std::vector<std::int32_t>{0, 0, 2, 4, 6, 7, 7, 7, 7, 8}));
    EXPECT_TRUE(SameMaps(core::MorphMaps(Input(a, b, 2, 4, pair)), maps));

    const DibRecord out = core::RenderMorph(Input(a, b, 2, 4, pair));
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(raster::getpixel(out, x, 0),
                  Rgb(10 * Columns(maps, 1)[x], 0, 10 * Columns(maps, 2)[x]));

    oracle::RenderLiteral(Input(a, b, 4, 4, pair), &maps);
    EXPECT_EQ(Columns(maps, 1), (std::vector<std::int32_t>{0, 0, 0, 0, 1, 1, 2, 3, 5, 8}));
    EXPECT_TRUE(SameMaps(core::MorphMaps(Input(a, b, 4, 4, pair)), maps));
}

TEST(RendererExamples, EdgeSearchTieGoesToTheLowestColumn) {
    // Map row 0, 0, 1, 2: the search for column 0 must stop at result column 0
    // (column 1 would make the first two result columns 0, 1).
    const std::vector<TAreaPair> pair{{0, 0, 1, 0, 0, 0, 1, 0}};
    const DibRecord a = ColumnCoded(4, 1, 0, 50);
    oracle::TMaps maps;
    oracle::RenderLiteral(Input(a, a, 1, 2, pair), &maps);
    EXPECT_EQ(Columns(maps, 1), (std::vector<std::int32_t>{0, 0, 1, 2}));
    EXPECT_TRUE(SameMaps(core::MorphMaps(Input(a, a, 1, 2, pair)), maps));
}

TEST(RendererExamples, InvertedAreaSkipsTheMiddleCase) {
    // aL = 6, aR = 3: columns 0..5 take the left case (u = 9j div 6), 6..9 the
    // right case (u = (j - 3) 7 div 6 + 2).
    const std::vector<TAreaPair> pair{{8, 0, 1, 0, 4, 0, 5, 0}};
    const DibRecord a = ColumnCoded(10, 1, 0, 20);
    oracle::TMaps maps;
    oracle::RenderLiteral(Input(a, a, 1, 2, pair), &maps);
    EXPECT_EQ(Columns(maps, 1), (std::vector<std::int32_t>{0, 0, 2, 3, 5, 6, 4, 5, 6, 8}));
    const core::TMorphMaps fast = core::MorphMaps(Input(a, a, 1, 2, pair));
    EXPECT_TRUE(SameMaps(fast, maps));
}

TEST(RendererExamples, EmptyCellOfOneMapBlendsTheBackground) {
    // Picture 1 is 4 wide in a frame of 6 at offset 1; its left edge -1 is
    // found on the empty result column 0, which the warp then pulls into the
    // frame's first column.
    const std::vector<TAreaPair> pair{{-1, 0, 2, 0, 1, 0, 4, 0}};
    const DibRecord a = Solid(4, 1, Rgb(255, 255, 255));
    const DibRecord b = Solid(8, 1, Rgb(200, 200, 200));
    oracle::TMaps maps;
    const DibRecord slow = oracle::RenderLiteral(Input(a, b, 1, 2, pair), &maps);
    EXPECT_EQ(maps.At1(1, 0).col, -1);
    EXPECT_EQ(maps.At2(1, 0).col, 1);
    const DibRecord out = core::RenderMorph(Input(a, b, 1, 2, pair));
    EXPECT_EQ(raster::getpixel(out, 1, 0), Rgb(100, 100, 100));
    EXPECT_EQ(raster::getpixel(out, 2, 0), Rgb(227, 227, 227));
    EXPECT_TRUE(SamePicture(out, slow, "empty-cell"));
}

TEST(RendererExamples, PalettePictureIsReadThroughItsPalette) {
    for (int bits : {1, 4, 8}) {
        DibRecord pal = raster::newdib(3, 2, bits);
        pal.Palette()[1] = {10, 20, 30};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) raster::setpixel(pal, x, y, 1);
        const DibRecord direct = Solid(3, 2, Rgb(50, 60, 70));
        const DibRecord out = core::RenderMorph(Input(pal, direct, 1, 2));
        EXPECT_EQ(raster::getpixel(out, 1, 1), Rgb(30, 40, 50)) << bits << " bits";
    }
}

// --- Values the number fields can hold before they are committed -------------

TEST(RendererInputs, SequencePositionIsClampedIntoRange) {
    const DibRecord a = ColumnCoded(30, 20, 0, 8);
    const DibRecord b = ColumnCoded(50, 10, 2, 5);
    const std::vector<TAreaPair> pair{{3, 4, 12, 9, 20, 1, 30, 6}};
    auto render = [&](std::int64_t n, std::int64_t N) {
        return core::RenderMorph(Input(a, b, n, N, pair, Rgb(1, 2, 3)));
    };
    EXPECT_TRUE(SamePicture(render(1, 0), render(1, 1), "N0"));
    EXPECT_TRUE(SamePicture(render(7, -5), render(1, 1), "Nneg"));
    EXPECT_TRUE(SamePicture(render(0, 6), render(1, 6), "n0"));
    EXPECT_TRUE(SamePicture(render(-9, 6), render(1, 6), "nneg"));
    EXPECT_TRUE(SamePicture(render(99, 6), render(6, 6), "nbig"));
}

TEST(RendererInputs, HugeSequencesAndCoordinatesDoNotOverflow) {
    // N as the fields can make it (2^31 - 1 squared), areas at the ends of the
    // 32-bit range.
    const DibRecord a = ColumnCoded(40, 30, 0, 6);
    const DibRecord b = ColumnCoded(25, 35, 1, 9);
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    const std::vector<TAreaPair> pairs{{lo, lo, hi, hi, hi, hi, lo, lo},
                                       {5, 5, 20, 20, 3, 4, 10, 30}};
    const std::int64_t N = std::int64_t{2147483647} * 2147483647;
    for (std::int64_t n : {std::int64_t{1}, N / 3, N - 1, N}) {
        const core::TMorphInput in = Input(a, b, n, N, pairs, Rgb(9, 8, 7));
        oracle::TMaps maps;
        const DibRecord slow = oracle::RenderLiteral(in, &maps);
        EXPECT_TRUE(SamePicture(core::RenderMorph(in), slow, "huge"));
        EXPECT_TRUE(SameMaps(core::MorphMaps(in), maps));
    }
    // Truncation toward zero: lo + (hi - lo) / N lies just above lo.
    EXPECT_EQ(core::MorphMix(lo, hi, 1, N), lo + 1);
    EXPECT_EQ(core::MorphMix(hi, lo, N / 2, N), 0);
    EXPECT_EQ(core::MorphMix(hi, hi, 1, std::numeric_limits<std::int64_t>::max()), hi);
}

// 65535 columns of 24 bits take 196608 bytes a row: 5461 rows stay within
// the program's 1 GB picture limit, 5462 do not. Such a result is refused
// before any memory is asked for, with its size and the limit.
TEST(RendererInputs, AResultPastThePictureLimitIsRefusedWithItsSize) {
    const raster::DibRecord wide = raster::newdib(65535, 1, 24);
    for (const int rows : {5461, 5462}) {
        const raster::DibRecord tall = raster::newdib(1, rows, 24);
        core::TMorphInput in;
        in.pic1 = &wide;
        in.pic2 = &tall;
        const core::TResultSize size = core::MorphResultSize(in);
        EXPECT_EQ(size.width, 65535);
        EXPECT_EQ(size.height, rows);
        EXPECT_EQ(size.Fits(), rows == 5461);
        if (rows == 5461) {
            EXPECT_EQ(core::ResultSizeProblem(size), "");
            continue;
        }
        EXPECT_EQ(core::ResultSizeProblem(size),
                  "the result would be too large: 65535 x 5462 pixels take 1025 MB, the limit "
                  "is 1024 MB");
        raster::DibRecord result = raster::newdib(4, 4, 24);
        core::RenderMorphInto(in, result);
        EXPECT_FALSE(result.HasPixels());
    }
    // Picture 1 alone can decide it.
    const raster::DibRecord big = raster::newdib(19000, 19000, 1);
    core::TMorphInput first;
    first.pic1 = &big;
    EXPECT_FALSE(core::MorphResultSize(first).Fits());
}

TEST(RendererInputs, MissingPictureShowsTheBackground) {
    const DibRecord none;
    const DibRecord b = Solid(6, 4, Rgb(100, 100, 100));
    const core::TMorphInput in = Input(none, b, 1, 2, {}, Rgb(0, 0, 0));
    EXPECT_TRUE(SamePicture(core::RenderMorph(in), oracle::RenderLiteral(in), "missing"));
    EXPECT_FALSE(core::RenderMorph(Input(none, none, 1, 1)).HasPixels());
}

// --- Random cases against the oracle ----------------------------------------

class TCaseMaker {
public:
    explicit TCaseMaker(std::uint32_t seed) : rng_(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    std::int64_t Int64(std::int64_t lo, std::int64_t hi) {
        return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng_);
    }
    bool Chance(int percent) { return Int(1, 100) <= percent; }

    int Side() {
        if (Chance(10)) return 1;
        if (Chance(60)) return Int(1, 24);
        if (Chance(75)) return Int(1, 90);
        return Int(90, 300);
    }

    DibRecord Picture(int w, int h) {
        static constexpr int kDepths[] = {24, 24, 24, 8, 8, 32, 4, 1};
        const int bits = kDepths[Int(0, 7)];
        DibRecord d = raster::newdib(w, h, bits);
        for (auto& byte : d.Bits()) byte = static_cast<std::uint8_t>(Int(0, 255));
        for (auto& e : d.Palette())
            e = {static_cast<std::uint8_t>(Int(0, 255)), static_cast<std::uint8_t>(Int(0, 255)),
                 static_cast<std::uint8_t>(Int(0, 255))};
        return d;
    }

    // A coordinate of a half: mostly near the picture, sometimes far outside.
    std::int32_t Coord(int size) {
        if (Chance(5))
            return static_cast<std::int32_t>(Int64(std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
        if (Chance(10)) return Int(-1000, 1000);
        return Int(-3, size + 3);
    }

    void Half(int w, int h, std::int32_t& l, std::int32_t& t, std::int32_t& r, std::int32_t& b) {
        l = Coord(w);
        t = Coord(h);
        r = Chance(10) ? l - 1 : Coord(w);  // zero width, or any order
        b = Chance(10) ? t - 1 : Coord(h);
    }

    std::pair<std::int64_t, std::int64_t> Position() {
        std::int64_t N;
        const int kind = Int(0, 9);
        if (kind < 5)
            N = Int(1, 12);
        else if (kind < 7)
            N = Int(1, 100000);
        else if (kind < 8)
            N = Int(-5, 0);
        else
            N = Int64(1, std::int64_t{1} << 62);
        std::int64_t n;
        if (Chance(85))
            n = Int64(1, std::max<std::int64_t>(N, 1));
        else
            n = Int64(-3, std::max<std::int64_t>(N, 1) + 3);
        return {n, N};
    }

private:
    std::mt19937 rng_;
};

#ifdef NDEBUG
constexpr int kRandomCases = 3000;
#else
constexpr int kRandomCases = 1000;  // unoptimised and sanitized builds
#endif

TEST(RendererOracle, RandomCasesMatchTheLiteralAlgorithm) {
    int failures = 0;
    for (int seed = 1; seed <= kRandomCases && failures < 5; ++seed) {
        TCaseMaker make(static_cast<std::uint32_t>(seed));
        int w1 = make.Side(), h1 = make.Side();
        int w2 = w1, h2 = h1;
        if (!make.Chance(30)) {
            w2 = make.Side();
            h2 = make.Side();
        }
        const DibRecord a = make.Picture(w1, h1);
        const DibRecord b = make.Picture(w2, h2);
        std::vector<TAreaPair> pairs(make.Int(0, 12));
        for (TAreaPair& p : pairs) {
            make.Half(w1, h1, p.Left1, p.Top1, p.Right1, p.Bottom1);
            make.Half(w2, h2, p.Left2, p.Top2, p.Right2, p.Bottom2);
        }
        const auto [n, N] = make.Position();
        const std::uint32_t bg = static_cast<std::uint32_t>(make.Int64(0, 0xFFFFFFFF));
        const core::TMorphInput in = Input(a, b, n, N, pairs, bg);

        std::ostringstream what;
        what << "seed " << seed << ": " << w1 << "x" << h1 << "x" << a.BitCount() << " and " << w2
             << "x" << h2 << "x" << b.BitCount() << ", " << pairs.size() << " pairs, n " << n
             << " of " << N;
        oracle::TMaps maps;
        const DibRecord slow = oracle::RenderLiteral(in, &maps);
        const auto samePicture =
            SamePicture(core::RenderMorph(in), slow, "random-" + std::to_string(seed));
        const auto sameMaps = SameMaps(core::MorphMaps(in), maps);
        EXPECT_TRUE(samePicture) << what.str();
        EXPECT_TRUE(sameMaps) << what.str();
        if (!samePicture || !sameMaps) ++failures;
    }
}

TEST(RendererOracle, LargePictureUsesBothHalvesCorrectly) {
    // Big enough for the colour pass to be split between two threads.
    TCaseMaker make(4242);
    const DibRecord a = make.Picture(420, 330);
    const DibRecord b = make.Picture(390, 350);
    const std::vector<TAreaPair> pairs{{40, 50, 200, 180, 60, 90, 240, 300},
                                       {300, 10, 250, 100, 10, 20, 30, 40}};
    const core::TMorphInput in = Input(a, b, 3, 7, pairs, Rgb(1, 2, 3));
    EXPECT_TRUE(SamePicture(core::RenderMorph(in), oracle::RenderLiteral(in), "large"));
}

TEST(RendererOracle, ASequenceRenderedIntoOnePictureMatchesEveryFreshRender) {
    // A video renders every picture into the same record, on one thread or
    // two; a record of another size or depth is replaced.
    TCaseMaker make(77);
    const DibRecord a = make.Picture(420, 330);
    const DibRecord b = make.Picture(390, 350);
    const DibRecord small = make.Picture(30, 20);
    const std::vector<TAreaPair> pairs{{40, 50, 200, 180, 60, 90, 240, 300}};
    DibRecord reused = raster::newdib(420, 350, 8);
    for (const bool secondThread : {true, false}) {
        for (const std::int64_t n : {1, 4, 7}) {
            core::TMorphInput in = Input(a, b, n, 7, pairs, Rgb(9, 8, 7));
            in.secondThread = secondThread;
            core::RenderMorphInto(in, reused);
            EXPECT_TRUE(SamePicture(reused, oracle::RenderLiteral(in), "reused"));
        }
    }
    const core::TMorphInput other = Input(small, small, 1, 2);
    core::RenderMorphInto(other, reused);
    EXPECT_TRUE(SamePicture(reused, oracle::RenderLiteral(other), "resized"));
}

}  // namespace
