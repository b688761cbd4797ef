// The area editor's arithmetic and outlines, without a window: dragit's
// mirrors and clamps, the hit test's 7 x 7 squares, and the inverted outlines
// drawn into a canvas that covers only part of a pane.
#include <gtest/gtest.h>

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

TEST(AreaTools, HitTestGrabsTheOffsetFromTheGripFoundFirst) {
    // l 100, t 100, w 50, h 30: grips at x 100/125/150, y 100/115/130.
    EXPECT_EQ(HitTestCurrent(96, 97, 100, 100, 50, 30).grip, 0);
    EXPECT_EQ(HitTestCurrent(97, 96, 100, 100, 50, 30).grip, 0);
    const HitResult topRight = HitTestCurrent(152, 98, 100, 100, 50, 30);
    EXPECT_EQ(topRight.grip, 2);
    EXPECT_EQ(topRight.slot, 2);
    EXPECT_EQ(topRight.grabX, 2);
    EXPECT_EQ(topRight.grabY, -2);
    const HitResult bottomMiddle = HitTestCurrent(127, 131, 100, 100, 50, 30);
    EXPECT_EQ(bottomMiddle.grip, 6);
    EXPECT_EQ(bottomMiddle.grabX, 0);
    EXPECT_EQ(bottomMiddle.grabY, 1);
    const HitResult inside = HitTestCurrent(120, 110, 100, 100, 50, 30);
    EXPECT_EQ(inside.grip, 9);
    EXPECT_EQ(inside.grabX, 20);
    EXPECT_EQ(inside.grabY, 10);
    // A tiny area: its corner grips come first; inside works with w < 0 too.
    EXPECT_EQ(HitTestCurrent(101, 100, 100, 100, 2, 2).grip, 1);
    EXPECT_EQ(HitTestCurrent(90, 95, 100, 100, -20, -10).grip, 9);
    EXPECT_EQ(HitTestCurrent(200, 200, 100, 100, 50, 30).slot, kArrowSlot);
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

TEST(AreaTools, CurrentAreaIsASolidInversionWithGripsOthersAreDottedOnAnyPicture) {
    // The half left 10, top 20, right 29, bottom 39 at zoom 100: x 10, y 20,
    // w 20, h 20 for the current area; 10, 20 to 29, 39 for any other.
    for (const QRgb bg : {0xFFFFFFFFu, 0xFF000000u, 0xFF3366CCu}) {
        SCOPED_TRACE(bg);
        const QRgb inv = bg ^ 0x00FFFFFFu;
        QImage expected = Filled({64, 64}, bg);
        for (int x = 10; x <= 29; ++x) expected.setPixel(x, 20, inv), expected.setPixel(x, 39, inv);
        for (int y = 20; y <= 39; ++y) expected.setPixel(10, y, inv), expected.setPixel(29, y, inv);
        const QPoint centres[] = {{10, 20}, {30, 20}, {10, 40}, {30, 40},
                                  {20, 20}, {20, 40}, {10, 30}, {30, 30}};
        for (QPoint c : centres)
            for (int y = c.y() - 3; y <= c.y() + 2; ++y)
                for (int x = c.x() - 3; x <= c.x() + 2; ++x) expected.setPixel(x, y, 0xFF000000u);
        QImage current = Filled({64, 64}, bg);
        markrec(current, {0, 0}, 10, 20, 20, 20);
        if (current != expected)
            testing_support::SaveFailure(QStringLiteral("markrec"), current, expected);
        EXPECT_TRUE(current == expected);

        // Dotted over columns 10..28 and rows 20..38, every other perimeter
        // pixel from the top-left corner on: 72 pixels, 36 inverted.
        QImage other = Filled({64, 64}, bg);
        DottedRect(other, {0, 0}, 10, 20, 29, 39);
        int inverted = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                if (other.pixel(x, y) == bg) continue;
                ++inverted;
                EXPECT_EQ(other.pixel(x, y), inv);
                EXPECT_TRUE((x == 10 || x == 28) ? (y >= 20 && y <= 38)
                                                 : (y == 20 || y == 38) && x > 10 && x < 28)
                    << x << "," << y;
            }
        EXPECT_EQ(inverted, 36);
        EXPECT_NE(other.pixel(10, 20), bg);
        EXPECT_EQ(other.pixel(11, 20), bg);
    }
}
