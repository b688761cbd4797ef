// The area editor's arithmetic and outlines, without a window: dragit's
// mirrors and clamps, the grips' hit zones, and the outlines drawn into a
// canvas that covers only part of a pane, readable on any picture.
#include <gtest/gtest.h>

#include <vector>

#include "editor/areatools.h"
#include "support/test_files.h"

using namespace areatools;

namespace {

TAreaPair Pair(int l, int t, int r, int b) {
    return {l, t, r, b, 0, 0, 0, 0};
}

struct DragCase {
    const char* name;
    TAreaPair before;
    int grip;
    int nx, ny;
    TAreaPair after;
    int gripAfter;
};

}  // namespace

TEST(AreaTools, DragitMovesResizesMirrorsAndClamps) {
    const DragCase cases[] = {
        {"top-left past both edges", Pair(100, 100, 149, 149), 1, 160, 170,
         Pair(150, 150, 159, 169), 4},
        {"bottom-middle above the top", Pair(10, 50, 19, 59), 6, 0, 40, Pair(10, 40, 19, 49), 5},
        {"top-right to width 0", Pair(10, 10, 19, 19), 2, 10, 10, Pair(10, 10, 9, 19), 2},
        {"move far right stops at last column", Pair(100, 100, 149, 129), 9, 5000, 5000,
         Pair(319, 199, 368, 228), 9},
        {"grip 0 changes nothing", Pair(1, 2, 3, 4), 0, 50, 50, Pair(1, 2, 3, 4), 0},
        {"stored extremes do not overflow", Pair(INT32_MIN, 0, INT32_MAX, 9), 8, 5, 0,
         Pair(INT32_MIN, 0, 4, 9), 8},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        TAreaPair a = c.before;
        EXPECT_EQ(DragHalf(HalfOf(a, 0), c.grip, c.nx, c.ny, 320, 200), c.gripAfter);
        EXPECT_EQ(a, c.after);
    }
    // The other half is never touched.
    TAreaPair a{1, 2, 3, 4, 5, 6, 7, 8};
    DragHalf(HalfOf(a, 1), 9, 100, 100, 320, 200);
    EXPECT_EQ(a, (TAreaPair{1, 2, 3, 4, 100, 100, 102, 102}));
}

TEST(AreaTools, GripsAreHitFromFurtherOutsideTheNearestWinsAndSmallHalvesKeepTheirInside) {
    // l 100, t 100, w 50, h 30: grips at x 100/125/150, y 100/115/130.
    EXPECT_EQ(HitTestCurrent(94, 94, 100, 100, 50, 30).grip, 1);    // 6 out
    EXPECT_EQ(HitTestCurrent(93, 97, 100, 100, 50, 30).grip, 0);    // 7 out
    EXPECT_EQ(HitTestCurrent(104, 104, 100, 100, 50, 30).grip, 9);  // 4 in: inside
    EXPECT_EQ(HitTestCurrent(103, 103, 100, 100, 50, 30).grip, 1);
    const HitResult topRight = HitTestCurrent(152, 98, 100, 100, 50, 30);
    EXPECT_EQ(topRight.grip, 2);
    EXPECT_EQ(topRight.slot, 2);
    EXPECT_EQ(topRight.grabX, 2);
    EXPECT_EQ(topRight.grabY, -2);
    const HitResult bottomMiddle = HitTestCurrent(127, 131, 100, 100, 50, 30);
    EXPECT_EQ(bottomMiddle.grip, 6);
    EXPECT_EQ(bottomMiddle.grabX, 0);
    EXPECT_EQ(bottomMiddle.grabY, 1);
    // Between the right-middle grip (150, 115) and the bottom-right one
    // (150, 130), outside: the nearer one.
    EXPECT_EQ(HitTestCurrent(155, 121, 100, 100, 50, 30).grip, 8);
    EXPECT_EQ(HitTestCurrent(155, 124, 100, 100, 50, 30).grip, 4);
    const HitResult inside = HitTestCurrent(120, 110, 100, 100, 50, 30);
    EXPECT_EQ(inside.grip, 9);
    EXPECT_EQ(inside.grabX, 20);
    EXPECT_EQ(inside.grabY, 10);
    EXPECT_EQ(HitTestCurrent(200, 200, 100, 100, 50, 30).slot, kArrowSlot);

    // Under 24 pixels on a side: corners only, reached one pixel inside, so
    // a press in a 20 x 20 half moves it almost everywhere.
    EXPECT_EQ(GripCount(50, 30), 8);
    EXPECT_EQ(GripCount(23, 30), 4);
    EXPECT_EQ(GripCount(-30, -23), 4);
    EXPECT_EQ(HitTestCurrent(110, 100, 100, 100, 20, 20).grip, 9);  // no top-middle grip
    EXPECT_EQ(HitTestCurrent(110, 96, 100, 100, 20, 20).grip, 0);
    EXPECT_EQ(HitTestCurrent(102, 102, 100, 100, 20, 20).grip, 9);
    EXPECT_EQ(HitTestCurrent(101, 101, 100, 100, 20, 20).grip, 1);
    EXPECT_EQ(HitTestCurrent(98, 98, 100, 100, 20, 20).grip, 1);
    int moving = 0;
    for (int y = 100; y <= 120; ++y)
        for (int x = 100; x <= 120; ++x) moving += HitTestCurrent(x, y, 100, 100, 20, 20).grip == 9;
    EXPECT_GE(moving, 21 * 21 - 4 * 4);
    // A tiny area: its first corner comes first; inside works with w < 0 too.
    EXPECT_EQ(HitTestCurrent(101, 100, 100, 100, 2, 2).grip, 1);
    EXPECT_EQ(HitTestCurrent(90, 95, 100, 100, -20, -10).grip, 9);
}

TEST(AreaTools, ContrastColourIsTheInverseWhereThatStandsOutElseBlackOrWhite) {
    EXPECT_EQ(ContrastColour(0xFFFFFFFFu), 0x000000u);
    EXPECT_EQ(ContrastColour(0xFF3366CCu), 0xCC9933u);
    EXPECT_EQ(ContrastColour(0xFF808080u), 0x000000u);  // the inverse would be #7F7F7F
    EXPECT_EQ(ContrastColour(0xFF7F7F7Fu), 0xFFFFFFu);
    EXPECT_EQ(GripColour(0xFF202020u), 0xFFFFFFu);
    EXPECT_EQ(GripColour(0xFFE0E0E0u), 0x000000u);
    // Every colour of a coarse grid of the cube, for the outline and grips.
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const QRgb c = qRgb(r, g, b);
                ASSERT_GE(ColourDistance(ContrastColour(c), c), kMinContrast)
                    << r << " " << g << " " << b;
                ASSERT_GE(ColourDistance(GripColour(c), c), 128);
            }
}

TEST(AreaTools, MappingsKeepTheirOrderOfOperations) {
    // p / z x 100 and z x (p / 100) truncate below some exact quotients in
    // extended precision; the editor's results depend on it.
    EXPECT_EQ(ZoomCentre(1680, 30), 503);
    EXPECT_EQ(DragToPicture(-26214, 10), -262139);
    EXPECT_EQ(ToPicture(-26214, 10), -262140);
    EXPECT_EQ(ToPane(333, 50), 166);
    EXPECT_EQ(ToPane(-7, 50), -3);
    EXPECT_EQ(ToPicture(5, 0), 0);
}

namespace {

QImage Filled(QSize size, QRgb colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

}  // namespace

TEST(AreaTools, OutlinesAreTheSameWhateverPartOfThePaneIsComposed) {
    // Areas of every kind, composed once whole and once in odd tiles: dots
    // keep their phase and grips their place across tile borders.
    auto draw = [](QImage& canvas, QPoint origin) {
        DottedRect(canvas, origin, 3, 4, 70, 41);
        DottedRect(canvas, origin, 60, 50, 20, 10);  // corners reversed
        DottedRect(canvas, origin, 33, 2, 34, 60);   // a single column
        markrec(canvas, origin, 15, 12, 41, 29);
        markrec(canvas, origin, 50, 45, -9, 0);  // width < 0, height 0
    };
    QImage whole = Filled({80, 64}, 0xFF808080);
    draw(whole, {0, 0});
    QImage tiled = Filled({80, 64}, 0xFF808080);
    for (int ty = 0; ty < 64; ty += 13) {
        for (int tx = 0; tx < 80; tx += 7) {
            QImage tile = Filled({std::min(7, 80 - tx), std::min(13, 64 - ty)}, 0xFF808080);
            draw(tile, {tx, ty});
            for (int y = 0; y < tile.height(); ++y) {
                for (int x = 0; x < tile.width(); ++x)
                    tiled.setPixel(tx + x, ty + y, tile.pixel(x, y));
            }
        }
    }
    if (whole != tiled) testing_support::SaveFailure(QStringLiteral("areas-tiles"), tiled, whole);
    EXPECT_TRUE(whole == tiled);

    // A single column: every other pixel from the top, each touched once.
    QImage column = Filled({5, 8}, 0xFF000000);
    DottedRect(column, {0, 0}, 2, 0, 3, 8);
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(column.pixel(2, y), y % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u) << y;
    // Far-away coordinates from a project file cost nothing and draw nothing.
    QImage far = Filled({10, 10}, 0xFF000000);
    markrec(far, {0, 0}, INT64_C(-6000000000), 20, INT64_C(4000000000), 5);
    DottedRect(far, {0, 0}, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_TRUE(far == Filled({10, 10}, 0xFF000000));
}

TEST(AreaTools, EveryOutlineAndGripPixelStandsOutOnAnyPicture) {
    // Uniform black, white, the two mid-greys and a blue, and noise. The
    // current half left 10, top 20, right 39, bottom 49 (x 10, y 20, w 30,
    // h 30: eight grips) and a small one (w 20: four); another area dotted
    // over columns 50..68 and rows 20..38.
    QImage noise(96, 64, QImage::Format_RGB32);
    std::uint32_t seed = 7;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            noise.setPixel(x, y, 0xFF000000u | (seed >> 8));
        }
    std::vector<QImage> pictures;
    for (const QRgb bg : {0xFF000000u, 0xFFFFFFFFu, 0xFF808080u, 0xFF7F7F7Fu, 0xFF3366CCu})
        pictures.push_back(Filled({96, 64}, bg));
    pictures.push_back(noise);
    for (const QImage& picture : pictures) {
        SCOPED_TRACE(picture.pixel(0, 0));
        QImage drawn = picture;
        markrec(drawn, {0, 0}, 10, 20, 30, 30);
        markrec(drawn, {0, 0}, 60, 44, 20, 12);
        DottedRect(drawn, {0, 0}, 50, 2, 69, 21);
        // What may change: the perimeters and the grip squares.
        QImage may(drawn.size(), QImage::Format_RGB32);
        may.fill(0);
        auto mark = [&](QRect r) {
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    if (may.rect().contains(x, y)) may.setPixel(x, y, 1);
        };
        auto perimeter = [&](QRect r) {
            mark({r.left(), r.top(), r.width(), 1});
            mark({r.left(), r.bottom(), r.width(), 1});
            mark({r.left(), r.top(), 1, r.height()});
            mark({r.right(), r.top(), 1, r.height()});
        };
        perimeter({10, 20, 30, 30});
        perimeter({60, 44, 20, 12});
        perimeter({50, 2, 19, 19});
        const QPoint grips[] = {{10, 20}, {40, 20}, {10, 50}, {40, 50}, {25, 20}, {25, 50},
                                {10, 35}, {40, 35}, {60, 44}, {80, 44}, {60, 56}, {80, 56}};
        for (QPoint c : grips) mark({c.x() - 3, c.y() - 3, 6, 6});
        int changed = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) {
                if (drawn.pixel(x, y) == picture.pixel(x, y)) continue;
                ++changed;
                EXPECT_EQ(may.pixel(x, y) & 1, 1u) << x << "," << y;
                EXPECT_GE(ColourDistance(drawn.pixel(x, y), picture.pixel(x, y)), kMinContrast)
                    << x << "," << y;
            }
        // The whole solid outline and every grip pixel show (a grip pixel
        // never equals what it covers); the dots, every other pixel.
        for (QPoint c : grips)
            for (int y = c.y() - 3; y < c.y() + 3; ++y)
                for (int x = c.x() - 3; x < c.x() + 3; ++x)
                    EXPECT_NE(drawn.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
        for (int x = 10; x < 40; ++x) EXPECT_NE(drawn.pixel(x, 49), picture.pixel(x, 49)) << x;
        EXPECT_NE(drawn.pixel(50, 2), picture.pixel(50, 2));
        EXPECT_EQ(drawn.pixel(51, 2), picture.pixel(51, 2));
        // The small half has no middle grips.
        EXPECT_EQ(drawn.pixel(68, 41), picture.pixel(68, 41));
        EXPECT_GT(changed, 0);
    }
}
