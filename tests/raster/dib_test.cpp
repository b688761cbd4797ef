// The picture record and the raster functions, for every depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "raster/dib.h"

using namespace raster;

namespace {

constexpr int kDepths[] = {1, 4, 8, 24, 32};

TEST(DibTest, NewdibIsZeroedWithRowsPaddedToFourBytes) {
    for (int bits : kDepths) {
        for (int width : {1, 3, 7, 9, 33}) {
            const DibRecord dib = newdib(width, 5, bits);
            ASSERT_TRUE(dib.HasPixels()) << bits << " bits, width " << width;
            EXPECT_EQ(DibWidth(dib), width);
            EXPECT_EQ(DibHeight(dib), 5);
            EXPECT_EQ(DibBitCount(dib), bits);
            EXPECT_EQ(dib.BytesPerRow(), (width * bits + 31) / 32 * 4);
            EXPECT_EQ(dib.Bits().size(), std::size_t(dib.BytesPerRow()) * 5);
            EXPECT_TRUE(std::all_of(dib.Bits().begin(), dib.Bits().end(),
                                    [](std::uint8_t b) { return b == 0; }));
            EXPECT_EQ(dib.IsPalette(), bits <= 8);
            EXPECT_EQ(dib.PaletteSize(), bits <= 8 ? 1 << bits : 0);
        }
    }
    EXPECT_EQ(DibColorCount(newdib(2, 2, 4)), 16);
    EXPECT_EQ(DibColorCount(newdib(2, 2, 8)), 256);
}

TEST(DibTest, NewdibRefusesImpossibleSizesAndDepths) {
    for (auto [w, h, bits] : {std::tuple{0, 5, 24},
                              {5, 0, 24},
                              {-3, 5, 8},
                              {5, 5, 7},
                              {5, 5, 16},
                              {kMaxSide + 1, 1, 8},
                              {40000, 40000, 32}}) {
        const DibRecord dib = newdib(w, h, bits);
        EXPECT_FALSE(dib.HasPixels()) << w << "x" << h << "x" << bits;
        EXPECT_FALSE(dib.ErrorText().empty());
    }
}

TEST(DibTest, NewdibCopiesTheGivenColourTableEntries) {
    DibRecord source = newdib(4, 4, 8);
    for (int i = 0; i < 256; ++i)
        source.Palette()[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7};
    const DibRecord copy = newdib(3, 3, 4, &source, 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(copy.Palette()[i], source.Palette()[i]) << i;
    EXPECT_EQ(copy.Palette()[16], RgbEntry{});
    const DibRecord none = newdib(3, 3, 8);
    EXPECT_EQ(none.Palette()[5], RgbEntry{});
}

// x from the left, y from the top; rows stored bottom-up.
TEST(DibTest, PixelLayoutOfEveryDepth) {
    {
        DibRecord dib = newdib(10, 3, 1);
        setpixel(dib, 0, 0, 1);
        setpixel(dib, 9, 2, 1);
        EXPECT_EQ(dib.StoredRow(2)[0], 0x80);  // top row, leftmost bit first
        EXPECT_EQ(dib.StoredRow(0)[1], 0x40);  // bottom row, pixel 9
        EXPECT_EQ(getpixel(dib, 0, 0), 1u);
        EXPECT_EQ(getpixel(dib, 1, 0), 0u);
        EXPECT_EQ(getpixel(dib, 9, 2), 1u);
        setpixel(dib, 0, 0, 0);
        EXPECT_EQ(dib.StoredRow(2)[0], 0);
    }
    {
        DibRecord dib = newdib(5, 2, 4);
        setpixel(dib, 0, 0, 0xA);
        setpixel(dib, 1, 0, 0x5);
        setpixel(dib, 4, 1, 0xF);
        EXPECT_EQ(dib.StoredRow(1)[0], 0xA5);  // even x in the high nibble
        EXPECT_EQ(dib.StoredRow(0)[2], 0xF0);
        EXPECT_EQ(getpixel(dib, 1, 0), 0x5u);
        EXPECT_EQ(getpixel(dib, 4, 1), 0xFu);
    }
    {
        DibRecord dib = newdib(3, 2, 8);
        setpixel(dib, 2, 0, 200);
        EXPECT_EQ(dib.StoredRow(1)[2], 200);
        EXPECT_EQ(getpixel(dib, 2, 0), 200u);
    }
    for (int bits : {24, 32}) {
        DibRecord dib = newdib(3, 2, bits);
        const int step = bits / 8;
        setpixel(dib, 1, 0, 0x030201);  // red 1, green 2, blue 3
        const std::uint8_t* p = dib.StoredRow(1) + step;
        EXPECT_EQ(p[0], 3);  // stored blue, green, red
        EXPECT_EQ(p[1], 2);
        EXPECT_EQ(p[2], 1);
        EXPECT_EQ(getpixel(dib, 1, 0), 0x030201u);
        EXPECT_EQ(PixelColor(dib, 1, 0), 0x030201u);
        EXPECT_EQ(getpixel(dib, 1, 1), 0u);
    }
}

TEST(DibTest, SetpixelTouchesNothingElse) {
    for (int bits : kDepths) {
        DibRecord dib = newdib(7, 3, bits);
        const std::uint32_t all = bits >= 24 ? 0xFFFFFFu : (1u << bits) - 1;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) setpixel(dib, x, y, all);
        setpixel(dib, 3, 1, 0);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(getpixel(dib, x, y), x == 3 && y == 1 ? 0u : all)
                    << bits << " bits at " << x << "," << y;
        // Outside the picture: reads give 0, writes are ignored.
        const std::vector<std::uint8_t> before(dib.Bits().begin(), dib.Bits().end());
        for (auto [x, y] : {std::pair{-1, 0}, {7, 0}, {0, -1}, {0, 3}}) {
            setpixel(dib, x, y, 0);
            EXPECT_EQ(getpixel(dib, x, y), 0u);
        }
        EXPECT_TRUE(std::equal(before.begin(), before.end(), dib.Bits().begin()));
    }
}

TEST(DibTest, PaletteColoursThroughPixelColor) {
    DibRecord dib = newdib(2, 2, 4);
    dib.Palette()[9] = {10, 20, 30};
    setpixel(dib, 1, 1, 9);
    EXPECT_EQ(getpixel(dib, 1, 1), 9u);
    EXPECT_EQ(PixelColor(dib, 1, 1), 10u | (20u << 8) | (30u << 16));
}

TEST(DibTest, MovingTransfersAndDeldibReleases) {
    DibRecord a = newdib(4, 4, 24);
    setpixel(a, 1, 1, 0x123456);
    DibRecord b = std::move(a);
    EXPECT_FALSE(a.HasPixels());  // NOLINT(bugprone-use-after-move): moved-from is empty
    ASSERT_TRUE(b.HasPixels());
    EXPECT_EQ(getpixel(b, 1, 1), 0x123456u);
    DibRecord c = newdib(2, 2, 8);
    c = std::move(b);
    EXPECT_EQ(DibWidth(c), 4);
    deldib(c);
    EXPECT_FALSE(c.HasPixels());
    EXPECT_EQ(DibWidth(c), 0);
    deldib(c);  // a second release is harmless
    EXPECT_FALSE(c.HasPixels());
}

TEST(DibTest, HalftoneCopiesAreEightBitOfTheAskedSize) {
    DibRecord dib = newdib(6, 4, 24);
    setpixel(dib, 0, 0, 0xFFFFFF);
    const DibRecord same = DIBHalftoneDIB(dib);
    ASSERT_TRUE(same.HasPixels());
    EXPECT_EQ(DibBitCount(same), 8);
    EXPECT_EQ(DibWidth(same), 6);
    EXPECT_EQ(PixelColor(same, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(same, 5, 3), 0u);
    const DibRecord scaled = DIBHalftoneDIBXY(dib, 12, 2);
    EXPECT_EQ(DibWidth(scaled), 12);
    EXPECT_EQ(DibHeight(scaled), 2);
}

}  // namespace
