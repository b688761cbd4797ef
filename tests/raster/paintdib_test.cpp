// Drawing pictures scaled by nearest neighbour: which source pixel lands
// where, clipping, depths, and drawing only an exposed part.
#include <QPainter>

#include <gtest/gtest.h>

#include "raster/paintdib.h"
#include "support/test_files.h"

using raster::DibRecord;

namespace {

// A picture whose pixel (x, y) is red x, green y, blue 7.
DibRecord Coordinates(int w, int h) {
    DibRecord d = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(d, x, y, (x & 0xFF) | ((y & 0xFF) << 8) | (7u << 16));
    return d;
}

// An 8-bit copy of Coordinates for pictures up to 16 x 16: index = y * 16 + x.
DibRecord CoordinatesIndexed(int w, int h, int bits = 8) {
    DibRecord d = raster::newdib(w, h, bits);
    const int colours = 1 << bits;
    for (int i = 0; i < colours; ++i)
        d.Palette()[i] = {static_cast<std::uint8_t>(i % 16), static_cast<std::uint8_t>(i / 16), 7};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(d, x, y, static_cast<std::uint32_t>((y * 16 + x) % colours));
    return d;
}

constexpr QRgb kMarker = 0xFF123456;

QImage Draw(const DibRecord& dib, QSize canvas, int X, int Y, int DW, int DH, int SX, int SY,
            int SW, int SH, QRect exposed = {}) {
    QImage img(canvas, QImage::Format_RGB32);
    img.fill(kMarker);
    QPainter p(&img);
    raster::PaintDib(p, X, Y, DW, DH, dib, SX, SY, SW, SH, false, exposed);
    return img;
}

QRgb At(int x, int y) {
    return qRgb(x, y, 7);
}

}  // namespace

TEST(PaintDib, ZoomFactorsPickTheTruncatedSourcePixel) {
    const DibRecord pic = Coordinates(320, 200);
    const QImage same = Draw(pic, {320, 200}, 0, 0, 320, 200, 0, 0, 320, 200);
    EXPECT_EQ(same, raster::DibToImage(pic));
    EXPECT_EQ(same.pixel(319, 199), At(319 & 0xFF, 199));

    const QImage big = Draw(pic, {960, 600}, 0, 0, 960, 600, 0, 0, 320, 200);
    for (int y : {0, 1, 2, 3, 599})
        for (int x : {0, 2, 3, 5, 959})
            ASSERT_EQ(big.pixel(x, y), At((x / 3) & 0xFF, y / 3)) << x << "," << y;

    const QImage small = Draw(pic, {32, 20}, 0, 0, 32, 20, 0, 0, 320, 200);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(small.pixel(x, y), At((x * 10) & 0xFF, y * 10)) << x << "," << y;
}

TEST(PaintDib, PalettePicturesTakeTheSamePixelsAsDirectColour) {
    for (int bits : {1, 4, 8}) {
        const DibRecord indexed = CoordinatesIndexed(13, 9, bits);
        DibRecord direct = raster::newdib(13, 9, 24);
        DibRecord wide = raster::newdib(13, 9, 32);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 13; ++x) {
                raster::setpixel(direct, x, y, raster::PixelColor(indexed, x, y));
                raster::setpixel(wide, x, y, raster::PixelColor(indexed, x, y));
            }
        for (QSize dest : {QSize(13, 9), QSize(40, 23), QSize(5, 4)}) {
            const QImage a = Draw(indexed, dest, 0, 0, dest.width(), dest.height(), 0, 0, 13, 9);
            const QImage b = Draw(direct, dest, 0, 0, dest.width(), dest.height(), 0, 0, 13, 9);
            const QImage c = Draw(wide, dest, 0, 0, dest.width(), dest.height(), 0, 0, 13, 9);
            EXPECT_EQ(a, b) << bits << " bits at " << dest.width() << "x" << dest.height();
            EXPECT_EQ(c, b) << "32 bits at " << dest.width() << "x" << dest.height();
        }
    }
}

TEST(PaintDib, ClipsSourceRectanglesStickingOutOnEachSide) {
    const DibRecord pic = Coordinates(10, 10);
    // Right: source columns 5..14 of a 10-wide picture; the destination
    // shrinks to nearest(20 * 5 / 10) = 10 columns.
    QImage img = Draw(pic, {20, 20}, 0, 0, 20, 20, 5, 0, 10, 10);
    EXPECT_EQ(img.pixel(0, 0), At(5, 0));
    EXPECT_EQ(img.pixel(9, 19), At(9, 9));
    EXPECT_EQ(img.pixel(10, 0), kMarker);

    // Bottom (SrcY < 0 counts rows below the picture): the bottom five rows
    // of the picture land at the top of the destination.
    img = Draw(pic, {10, 10}, 0, 0, 10, 10, 0, -5, 10, 10);
    EXPECT_EQ(img.pixel(0, 0), At(0, 5));
    EXPECT_EQ(img.pixel(0, 4), At(0, 9));
    EXPECT_EQ(img.pixel(0, 5), kMarker);

    // Top: rows cut off above move the destination down.
    img = Draw(pic, {10, 10}, 0, 0, 10, 10, 0, 5, 10, 10);
    EXPECT_EQ(img.pixel(0, 4), kMarker);
    EXPECT_EQ(img.pixel(0, 5), At(0, 0));
    EXPECT_EQ(img.pixel(0, 9), At(0, 4));

    // Left: columns cut off at the left move the destination right.
    img = Draw(pic, {10, 10}, 0, 0, 10, 10, -5, 0, 10, 10);
    EXPECT_EQ(img.pixel(4, 0), kMarker);
    EXPECT_EQ(img.pixel(5, 0), At(0, 0));
    EXPECT_EQ(img.pixel(9, 0), At(4, 0));
}

TEST(PaintDib, NearestRoundsHalvesToEven) {
    EXPECT_EQ(raster::NearestQuotient(5, 2), 2);
    EXPECT_EQ(raster::NearestQuotient(7, 2), 4);
    EXPECT_EQ(raster::NearestQuotient(-5, 2), -2);
    EXPECT_EQ(raster::NearestQuotient(10, 3), 3);
    // 5 columns from a 2-wide source cut to 1: nearest(5 * 1 / 2) = 2.
    const DibRecord pic = Coordinates(3, 1);
    const QImage img = Draw(pic, {5, 1}, 0, 0, 5, 1, 2, 0, 2, 1);
    EXPECT_EQ(img.pixel(1, 0), At(2, 0));
    EXPECT_EQ(img.pixel(2, 0), kMarker);
}

TEST(PaintDib, RowsAndColumnsOutsideThePictureAreBlack) {
    const DibRecord pic = Coordinates(4, 4);
    // Draw into an image through the worker with a source that the clipping
    // keeps but whose table maps beyond: a zero-sized source is refused, and a
    // destination past the picture on the canvas stays untouched.
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(kMarker);
    raster::PaintDibInto(img, {0, 0}, 0, 0, 8, 8, pic, 0, 0, 0, 4);
    EXPECT_EQ(img.pixel(0, 0), kMarker);
    raster::PaintDibInto(img, {0, 0}, 0, 0, 8, 8, pic, 0, 0, 4, 4);
    EXPECT_EQ(img.pixel(7, 7), At(3, 3));
}

TEST(PaintDib, DrawingAnExposedPartGivesTheSamePixelsAsTheWhole) {
    const DibRecord pic = Coordinates(97, 61);
    const QImage whole = Draw(pic, {300, 200}, 0, 0, 291, 183, 0, 0, 97, 61);
    for (QRect part : {QRect(10, 10, 50, 40), QRect(250, 150, 50, 50), QRect(0, 182, 300, 1)}) {
        QImage img = Draw(pic, {300, 200}, 0, 0, 291, 183, 0, 0, 97, 61, part);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) {
                const QRgb expected = part.contains(x, y) ? whole.pixel(x, y) : kMarker;
                ASSERT_EQ(img.pixel(x, y), expected) << x << "," << y;
            }
    }
}
