// Motion JPEG frames: libjpeg's standard coding, then the re-coding with
// tables made for the frame, read back by Qt's JPEG reader.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "raster/dib.h"
#include "support/avi_decode.h"
#include "video/jpegframe.h"

using avivideo::CompressJpeg;
using avivideo::TBgrRows;
using avivideo::TJpegOptimiser;

namespace {

enum class Kind { Detail, Flat, Noise, FlatWithOneNoisyCorner };

// A picture of w x h: fine detail over colour gradients, one colour, noise,
// or one colour but for a noisy 16 x 16 corner (very uneven symbol counts).
raster::DibRecord Picture(int w, int h, Kind kind) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    std::mt19937 random(7);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t c = 0x406080;
            switch (kind) {
                case Kind::Detail: {
                    const auto r = static_cast<std::uint32_t>(x * 255 / std::max(1, w - 1));
                    const auto g = static_cast<std::uint32_t>(y * 255 / std::max(1, h - 1));
                    const std::uint32_t b = ((x / 3 + y / 2) & 1) ? 230 : 20;
                    c = r | g << 8 | b << 16;
                    break;
                }
                case Kind::Flat:
                    break;
                case Kind::Noise:
                    c = random() & 0xFFFFFF;
                    break;
                case Kind::FlatWithOneNoisyCorner:
                    if (x < 16 && y < 16) c = random() & 0xFFFFFF;
                    break;
            }
            raster::setpixel(dib, x, y, c);
        }
    }
    return dib;
}

TBgrRows RowsOf(const raster::DibRecord& dib) {
    return {dib.Bits().data(), static_cast<int>(raster::RowBytes(dib.Width(), 24)), dib.Width(),
            dib.Height()};
}

QImage Decode(const std::vector<std::uint8_t>& jpeg) {
    QImage image;
    image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPEG");
    return image.convertToFormat(QImage::Format_RGB888);
}

struct TCase {
    int w;
    int h;
    Kind kind;
};

}  // namespace

TEST(JpegFrame, ReCodingKeepsEveryPixelAndMakesTheFrameSmaller) {
    const TCase cases[] = {
        {1, 1, Kind::Detail}, {37, 19, Kind::Detail}, {640, 360, Kind::Detail},
        {64, 64, Kind::Flat}, {96, 80, Kind::Noise},  {333, 201, Kind::FlatWithOneNoisyCorner},
    };
    TJpegOptimiser optimiser;  // one for all, as a video uses it
    std::vector<std::uint8_t> standard;
    std::vector<std::uint8_t> optimised;
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.w << " x " << c.h << " kind " << static_cast<int>(c.kind));
        const raster::DibRecord picture = Picture(c.w, c.h, c.kind);
        ASSERT_EQ(CompressJpeg(RowsOf(picture), standard), QString());
        ASSERT_EQ(optimiser.Optimise(standard, optimised), QString());
        const QImage before = Decode(standard);
        const QImage after = Decode(optimised);
        ASSERT_FALSE(after.isNull());
        EXPECT_EQ(after, before);
        EXPECT_LE(optimised.size(), standard.size());
        if (c.kind == Kind::Detail && c.w >= 640) {
            EXPECT_LT(optimised.size(), standard.size() * 9 / 10);
        }
        // Colour at full resolution and fine steps: close to the picture.
        if (c.kind == Kind::Detail || c.kind == Kind::Flat) {
            EXPECT_GT(avi_decode::Psnr(after, avi_decode::ToImage(picture)), 35.0);
        }
    }
}

TEST(JpegFrame, BandsCodedApartBecomeOneFrameOfTheWholePicture) {
    // Rows 0..top of a bottom-up picture are the last ones stored.
    auto band = [](const raster::DibRecord& dib, int y0, int y1) {
        TBgrRows rows = RowsOf(dib);
        rows.bits += static_cast<std::ptrdiff_t>(dib.Height() - y1) * rows.stride;
        rows.height = y1 - y0;
        return rows;
    };
    TJpegOptimiser optimiser;
    for (const auto& [w, h, top] : {std::array{640, 360, 184}, std::array{333, 201, 104},
                                    std::array{40, 9, 8}, std::array{2100, 64, 32}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h << " split at " << top);
        const raster::DibRecord picture = Picture(w, h, Kind::Detail);
        std::vector<std::uint8_t> whole, upper, lower, joined, single;
        ASSERT_EQ(CompressJpeg(RowsOf(picture), whole), QString());
        ASSERT_EQ(CompressJpeg(band(picture, 0, top), upper, true), QString());
        ASSERT_EQ(CompressJpeg(band(picture, top, h), lower, true), QString());
        const std::vector<std::uint8_t>* bands[] = {&upper, &lower};
        ASSERT_EQ(optimiser.Optimise(bands, joined), QString());
        ASSERT_EQ(optimiser.Optimise(whole, single), QString());
        const QImage image = Decode(joined);
        EXPECT_EQ(image.size(), QSize(w, h));
        EXPECT_EQ(image, Decode(whole));
        // A restart marker a row costs next to nothing.
        EXPECT_LT(joined.size(), single.size() + single.size() / 50 + 64);
    }

    // Bands that cannot be joined: no restarts, or a band cut inside a row
    // of blocks.
    const raster::DibRecord picture = Picture(64, 40, Kind::Detail);
    std::vector<std::uint8_t> upper, lower, out;
    ASSERT_EQ(CompressJpeg(band(picture, 0, 16), upper), QString());
    ASSERT_EQ(CompressJpeg(band(picture, 16, 40), lower), QString());
    const std::vector<std::uint8_t>* plain[] = {&upper, &lower};
    EXPECT_EQ(optimiser.Optimise(plain, out), QStringLiteral("the compressed frame is damaged"));
    ASSERT_EQ(CompressJpeg(band(picture, 0, 12), upper, true), QString());
    ASSERT_EQ(CompressJpeg(band(picture, 12, 40), lower, true), QString());
    const std::vector<std::uint8_t>* uneven[] = {&upper, &lower};
    EXPECT_EQ(optimiser.Optimise(uneven, out), QStringLiteral("the compressed frame is damaged"));
}

TEST(JpegFrame, OptimiserRefusesWhatItCannotReCodeFaithfully) {
    const raster::DibRecord picture = Picture(64, 48, Kind::Detail);
    std::vector<std::uint8_t> standard;
    ASSERT_EQ(CompressJpeg(RowsOf(picture), standard), QString());
    TJpegOptimiser optimiser;
    std::vector<std::uint8_t> out;

    // Cut in its scan: the symbols would run past the data.
    std::vector<std::uint8_t> cut(standard.begin(), standard.begin() + standard.size() * 2 / 3);
    cut.insert(cut.end(), {0xFF, 0xD9});
    EXPECT_EQ(optimiser.Optimise(cut, out), QStringLiteral("the compressed frame is damaged"));
    EXPECT_EQ(optimiser.Optimise(std::vector<std::uint8_t>{}, out),
              QStringLiteral("the compressed frame is damaged"));
    const std::vector<std::uint8_t> notJpeg(100, 0x42);
    EXPECT_EQ(optimiser.Optimise(notJpeg, out), QStringLiteral("the compressed frame is damaged"));

    // A frame header that claims 65535 x 65535 over the data of 64 x 48: the
    // data runs out long before (and is not read past).
    std::vector<std::uint8_t> huge = standard;
    for (std::size_t i = 2; i + 9 < huge.size(); i += 2 + (huge[i + 2] << 8 | huge[i + 3])) {
        if (huge[i + 1] == 0xC0) {
            std::fill(huge.begin() + static_cast<std::ptrdiff_t>(i) + 5,
                      huge.begin() + static_cast<std::ptrdiff_t>(i) + 9, 0xFF);
            break;
        }
    }
    EXPECT_EQ(optimiser.Optimise(huge, out), QStringLiteral("the compressed frame is damaged"));

    // JPEGs of other kinds, as Qt writes them.
    auto written = [&](bool progressive) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "JPEG");
        writer.setQuality(75);  // chroma at half resolution
        writer.setProgressiveScanWrite(progressive);
        EXPECT_TRUE(writer.write(avi_decode::ToImage(picture)));
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(optimiser.Optimise(written(false), out),
              QStringLiteral("the compressed frame is not 4:4:4"));
    EXPECT_NE(optimiser.Optimise(written(true), out), QString());

    // After all that, a good frame is re-coded as before.
    ASSERT_EQ(optimiser.Optimise(standard, out), QString());
    EXPECT_EQ(Decode(out), Decode(standard));
}

TEST(JpegFrame, CodeLengthsStayWithinSixteenBitsAndFollowTheCounts) {
    // Counts that grow like Fibonacci numbers make a Huffman tree as deep as
    // there are symbols; a lone symbol and two equal ones are the small ends.
    std::array<std::uint64_t, 256> fibonacci{};
    std::uint64_t a = 1;
    std::uint64_t b = 1;
    for (std::size_t i = 0; i < 40; ++i) {
        fibonacci[i * 3] = a;
        a = std::exchange(b, a + b);
    }
    std::array<std::uint64_t, 256> one{};
    one[0x11] = 500;
    std::array<std::uint64_t, 256> two{};
    two[0] = 10;
    two[0xF0] = 10;
    for (const auto& counts : {fibonacci, one, two}) {
        const std::array<std::uint8_t, 256> length = avivideo::detail::OptimalCodeLengths(counts);
        double kraft = 0;
        for (std::size_t s = 0; s < 256; ++s) {
            EXPECT_EQ(length[s] != 0, counts[s] != 0) << s;
            EXPECT_LE(length[s], 16) << s;
            if (length[s] != 0) kraft += std::ldexp(1.0, -length[s]);
            // A symbol seen more often never has the longer code.
            for (std::size_t t = 0; t < 256; ++t) {
                if (counts[s] > counts[t] && counts[t] != 0) {
                    EXPECT_LE(length[s], length[t]) << s << " " << t;
                }
            }
        }
        // The codes form a prefix code with the all-ones code left over.
        EXPECT_LT(kraft, 1.0);
        EXPECT_GE(kraft, 0.5);
    }
}
