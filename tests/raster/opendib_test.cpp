// OpenDib on the fixture files of every type and variant, and on files it
// must refuse.
#include <QFile>
#include <QImage>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/dib.h"
#include "raster/opendib.h"
#include "raster/own_formats.h"
#include "raster/progress_event.h"
#include "support/test_files.h"

using namespace raster;
using testing_support::DataPath;
using testing_support::OutDir;

namespace {

// The patterns tests/data/make_fixtures.py draws.
constexpr int kW = 37, kH = 23;
constexpr std::array<RgbEntry, 16> kPal16 = {{{0, 0, 0},
                                              {255, 255, 255},
                                              {255, 0, 0},
                                              {0, 255, 0},
                                              {0, 0, 255},
                                              {255, 255, 0},
                                              {0, 255, 255},
                                              {255, 0, 255},
                                              {128, 0, 0},
                                              {0, 128, 0},
                                              {0, 0, 128},
                                              {128, 128, 0},
                                              {0, 128, 128},
                                              {128, 0, 128},
                                              {192, 192, 192},
                                              {64, 64, 64}}};

enum class Kind { Rgb, P16, P2, P256, Grey, P16In5Bits };
// Whether the file keeps the pattern's colour indices (the writer took our
// palette order), and which way round.
enum class Indices { Unknown, Same, Inverted };

int Idx16(int x, int y) {
    return (x / 3 + (y / 2) * 2 + x * y / 13) % 16;
}
int Idx256(int x, int y) {
    return (x + y * kW) % 256;
}

std::uint32_t Pack(RgbEntry c) {
    return c.red | (c.green << 8) | (std::uint32_t{c.blue} << 16);
}

int PatternIndex(Kind kind, int x, int y) {
    switch (kind) {
        case Kind::P2:
            return Idx16(x, y) % 2;
        case Kind::P256:
            return Idx256(x, y);
        case Kind::Grey:
            return (x * 7 + y * 3) % 256;
        default:
            return Idx16(x, y);
    }
}

std::uint32_t PatternColour(Kind kind, int x, int y) {
    switch (kind) {
        case Kind::Rgb:
            return Pack({static_cast<std::uint8_t>(x * 7 % 256),
                         static_cast<std::uint8_t>(y * 11 % 256),
                         static_cast<std::uint8_t>(x * y * 3 % 256)});
        case Kind::P16:
            return Pack(kPal16[Idx16(x, y)]);
        case Kind::P2:
            return Idx16(x, y) % 2 ? 0xFFFFFFu : 0u;
        case Kind::P256: {
            const int i = Idx256(x, y);
            return Pack({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 37 % 256),
                         static_cast<std::uint8_t>(255 - i)});
        }
        case Kind::Grey: {
            const auto v = static_cast<std::uint8_t>((x * 7 + y * 3) % 256);
            return Pack({v, v, v});
        }
        case Kind::P16In5Bits: {
            const RgbEntry c = kPal16[Idx16(x, y)];
            auto five = [](int v) {
                return static_cast<std::uint8_t>(std::lround((v >> 3) * 255 / 31.0));
            };
            return Pack({five(c.red), five(c.green), five(c.blue)});
        }
    }
    return 0;
}

struct FixtureCase {
    const char* file;
    Kind kind;
    int bits;
    Indices indices;
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
    *os << c.file;
}

// Compares every pixel; reports the first few differences.
void ExpectPattern(const DibRecord& dib, const FixtureCase& c) {
    int bad = 0;
    for (int y = 0; y < kH && bad < 5; ++y) {
        for (int x = 0; x < kW && bad < 5; ++x) {
            const std::uint32_t want = PatternColour(c.kind, x, y);
            const std::uint32_t got = PixelColor(dib, x, y);
            if (got != want) {
                ADD_FAILURE() << c.file << " colour at " << x << "," << y << ": " << std::hex << got
                              << " instead of " << want;
                ++bad;
            }
            if (c.indices == Indices::Unknown) continue;
            const int index = PatternIndex(c.kind, x, y);
            const std::uint32_t wantIndex = c.indices == Indices::Same ? index : 1 - index;
            if (getpixel(dib, x, y) != wantIndex) {
                ADD_FAILURE() << c.file << " index at " << x << "," << y << ": "
                              << getpixel(dib, x, y) << " instead of " << wantIndex;
                ++bad;
            }
        }
    }
}

class FixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureTest, LoadsWithSizeDepthPaletteAndPixels) {
    const FixtureCase& c = GetParam();
    const DibRecord dib = OpenDib(DataPath(c.file).toStdString());
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    EXPECT_EQ(DibWidth(dib), kW);
    EXPECT_EQ(DibHeight(dib), kH);
    EXPECT_EQ(DibBitCount(dib), c.bits);
    EXPECT_EQ(dib.BytesPerRow() % 4, 0);
    if (c.bits <= 8) {
        EXPECT_EQ(dib.PaletteSize(), 1 << c.bits);
    }
    // Two known pixels first (top left, bottom right), then all of them.
    EXPECT_EQ(PixelColor(dib, 0, 0), PatternColour(c.kind, 0, 0));
    EXPECT_EQ(PixelColor(dib, kW - 1, kH - 1), PatternColour(c.kind, kW - 1, kH - 1));
    ExpectPattern(dib, c);
}

INSTANTIATE_TEST_SUITE_P(
    Own, FixtureTest,
    ::testing::Values(FixtureCase{"pcx_2.pcx", Kind::P2, 1, Indices::Unknown},
                      FixtureCase{"pcx_16_planes.pcx", Kind::P16, 4, Indices::Unknown},
                      FixtureCase{"pcx_16_packed.pcx", Kind::P16, 4, Indices::Unknown},
                      FixtureCase{"pcx_16_even.pcx", Kind::P16, 4, Indices::Same},
                      FixtureCase{"pcx_256.pcx", Kind::P256, 8, Indices::Unknown},
                      FixtureCase{"pcx_24.pcx", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tga_24.tga", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tga_24_rle_topleft.tga", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tga_32_rle.tga", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tga_16.tga", Kind::P16In5Bits, 24, Indices::Unknown},
                      FixtureCase{"tga_8_cmap.tga", Kind::P256, 8, Indices::Same},
                      FixtureCase{"tga_8_cmap_rle_topleft.tga", Kind::P256, 8, Indices::Same},
                      FixtureCase{"tga_grey.tga", Kind::Grey, 8, Indices::Same},
                      FixtureCase{"ilbm_1plane.iff", Kind::P2, 1, Indices::Same},
                      FixtureCase{"ilbm_4planes.iff", Kind::P16, 4, Indices::Same},
                      FixtureCase{"ilbm_uncompressed.iff", Kind::P16, 4, Indices::Same},
                      FixtureCase{"ilbm_mask_oddchunk.iff", Kind::P16, 4, Indices::Same},
                      FixtureCase{"ilbm_8planes.lbm", Kind::P256, 8, Indices::Same},
                      FixtureCase{"ilbm_24.iff", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"pbm_deluxe.lbm", Kind::P256, 8, Indices::Same},
                      FixtureCase{"pbm_unpadded.lbm", Kind::P256, 8, Indices::Same}));

INSTANTIATE_TEST_SUITE_P(
    Qt, FixtureTest,
    ::testing::Values(FixtureCase{"bmp_1.bmp", Kind::P2, 1, Indices::Same},
                      FixtureCase{"bmp_1_white_first.bmp", Kind::P2, 1, Indices::Inverted},
                      FixtureCase{"bmp_4.bmp", Kind::P16, 4, Indices::Same},
                      FixtureCase{"bmp_8.bmp", Kind::P256, 8, Indices::Same},
                      FixtureCase{"bmp_24.bmp", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"bmp_rle4.rle", Kind::P16, 4, Indices::Same},
                      FixtureCase{"bmp_rle8.rle", Kind::P256, 8, Indices::Unknown},
                      FixtureCase{"dib_24.dib", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"dib_packed_8.dib", Kind::P16, 8, Indices::Same},
                      FixtureCase{"gif_16.gif", Kind::P16, 4, Indices::Unknown},
                      FixtureCase{"gif_256.gif", Kind::P256, 8, Indices::Unknown},
                      FixtureCase{"png_1.png", Kind::P2, 1, Indices::Same},
                      FixtureCase{"png_8.png", Kind::P256, 8, Indices::Same},
                      FixtureCase{"png_grey.png", Kind::Grey, 8, Indices::Same},
                      FixtureCase{"png_24.png", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tiff_8.tif", Kind::P256, 8, Indices::Same},
                      FixtureCase{"tiff_24.tif", Kind::Rgb, 24, Indices::Unknown}));

// Regression: HAM6 "modify" kept the previous colour's low four bits (0xFF
// modified to 0 gave 0x0F, as netpbm shows it); the reference is ffmpeg's
// reading, where the channel is the 4-bit value widened (0 gives 0).
TEST(OpenDibTest, HamModifySetsTheWholeChannelNotOnlyItsHighBits) {
    const DibRecord dib = OpenDib(DataPath("ilbm_ham.iff").toStdString());
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    EXPECT_EQ(DibBitCount(dib), 24);
    const QImage ref(DataPath("ilbm_ham_ref.png"));
    ASSERT_EQ(ref.size(), QSize(DibWidth(dib), DibHeight(dib)));
    for (int y = 0; y < ref.height(); ++y)
        for (int x = 0; x < ref.width(); ++x) {
            const QRgb c = ref.pixel(x, y);
            ASSERT_EQ(PixelColor(dib, x, y), Pack({static_cast<std::uint8_t>(qRed(c)),
                                                   static_cast<std::uint8_t>(qGreen(c)),
                                                   static_cast<std::uint8_t>(qBlue(c))}))
                << x << "," << y;
        }
}

// Regressions: BigTIFF (version 43) was refused as an unknown format, and
// tiles whose data is not smaller than the picture (uncompressed, 1 bit,
// JPEG) as truncated: only the first tile's bytes were counted.
INSTANTIATE_TEST_SUITE_P(
    BigTiffOnceUnknownAndTilesOnceTruncated, FixtureTest,
    ::testing::Values(FixtureCase{"tiff_bigtiff_le_strips.tif", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tiff_bigtiff_be_strips.tif", Kind::P256, 8, Indices::Same},
                      FixtureCase{"tiff_bigtiff_le_tiles.tif", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tiff_bigtiff_be_tiles.tif", Kind::P256, 8, Indices::Same},
                      FixtureCase{"tiff_tiled_rgb.tif", Kind::Rgb, 24, Indices::Unknown},
                      FixtureCase{"tiff_tiled_1.tif", Kind::P2, 1, Indices::Same}));

TEST(OpenDibTest, JpegTilesOfALargerPictureOnceRefusedAsTruncated) {
    const DibRecord dib = OpenDib(DataPath("tiff_tiled_jpeg.tif").toStdString());
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    const QImage ref(DataPath(QStringLiteral("tiff_tiled_jpeg.tif.ref.png")));
    ASSERT_EQ(QSize(DibWidth(dib), DibHeight(dib)), ref.size());
    // JPEG decoders may round differently; ImageMagick's reading is the
    // reference.
    int worst = 0;
    for (int y = 0; y < ref.height(); ++y)
        for (int x = 0; x < ref.width(); ++x) {
            const QRgb want = ref.pixel(x, y);
            const std::uint32_t got = PixelColor(dib, x, y);
            worst = std::max({worst, std::abs(int(got & 0xFF) - qRed(want)),
                              std::abs(int((got >> 8) & 0xFF) - qGreen(want)),
                              std::abs(int((got >> 16) & 0xFF) - qBlue(want))});
        }
    EXPECT_LE(worst, 2);
}

TEST(OpenDibTest, JpegUnderBothSuffixes) {
    const std::array<std::uint32_t, 4> quarters = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (const char* name : {"jpeg_quarters.jpg", "jpeg_quarters.jif"}) {
        const DibRecord dib = OpenDib(DataPath(name).toStdString());
        ASSERT_TRUE(dib.HasPixels()) << name << ": " << dib.ErrorText();
        EXPECT_EQ(DibWidth(dib), 64);
        EXPECT_EQ(DibHeight(dib), 48);
        EXPECT_EQ(DibBitCount(dib), 24);
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t got = PixelColor(dib, (i % 2) * 32 + 16, (i / 2) * 24 + 12);
            for (int shift : {0, 8, 16}) {
                const int a = (got >> shift) & 0xFF, b = (quarters[i] >> shift) & 0xFF;
                EXPECT_LE(std::abs(a - b), 8) << name << " quarter " << i;
            }
        }
    }
}

QString CopyTo(const QString& dir, const QString& fixture, const QString& name) {
    const QString target = dir + QLatin1Char('/') + name;
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(DataPath(fixture), target));
    return target;
}

TEST(OpenDibTest, ContentDecidesNotTheSuffix) {
    const QString dir = OutDir(QStringLiteral("opendib_content"));
    // A PNG and a PCX under misleading names, a BMP as .tga.
    for (auto [fixture, name] : {std::pair{"png_24.png", "looks.tga"},
                                 {"pcx_24.pcx", "noext"},
                                 {"bmp_24.bmp", "picture.jpg"},
                                 {"ilbm_24.iff", "x.bmp"}}) {
        const DibRecord dib = OpenDib(CopyTo(dir, fixture, name).toStdString());
        ASSERT_TRUE(dib.HasPixels()) << name << ": " << dib.ErrorText();
        EXPECT_EQ(PixelColor(dib, 5, 7), PatternColour(Kind::Rgb, 5, 7)) << name;
    }
    // A TGA has no signature: only its suffix makes it one.
    const DibRecord tga = OpenDib(CopyTo(dir, "tga_24.tga", "picture.dat").toStdString());
    EXPECT_FALSE(tga.HasPixels());
    EXPECT_FALSE(tga.ErrorText().empty());
}

TEST(OpenDibTest, NamesWithSpacesAndNonAsciiLetters) {
    const QString dir = OutDir(QStringLiteral("opendib_names"));
    for (auto [fixture, name] :
         {std::pair{"tga_24.tga", QStringLiteral("Bild mit Äpfeln und ß.tga")},
          {"png_24.png", QStringLiteral("ça va – ünïcödé.png")},
          {"pcx_24.pcx", QStringLiteral("пример файла.pcx")}}) {
        const DibRecord dib = OpenDib(CopyTo(dir, fixture, name).toStdString());
        ASSERT_TRUE(dib.HasPixels()) << name.toStdString() << ": " << dib.ErrorText();
        EXPECT_EQ(PixelColor(dib, 3, 4), PatternColour(Kind::Rgb, 3, 4));
    }
}

TEST(OpenDibTest, MissingEmptyFolderAndUnreadableAreRefused) {
    const QString dir = OutDir(QStringLiteral("opendib_fail"));
    QFile empty(dir + QStringLiteral("/empty.bmp"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    for (const QString& name :
         {dir + QStringLiteral("/missing.bmp"), empty.fileName(), dir, QString()}) {
        const DibRecord dib = OpenDib(name.toStdString());
        EXPECT_FALSE(dib.HasPixels()) << name.toStdString();
        EXPECT_FALSE(dib.ErrorText().empty()) << name.toStdString();
    }
    EXPECT_EQ(OpenDib((dir + QStringLiteral("/missing.bmp")).toStdString()).ErrorText(),
              "The file does not exist.");
    EXPECT_EQ(OpenDib(empty.fileName().toStdString()).ErrorText(), "The file is empty.");
    EXPECT_EQ(OpenDib(dir.toStdString()).ErrorText(), "This is a folder, not a picture file.");
    EXPECT_FALSE(OpenDib("/dev/null").HasPixels());

    const QString locked = CopyTo(dir, "bmp_24.bmp", "locked.bmp");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QFile probe(locked);
    if (probe.open(QIODevice::ReadOnly)) GTEST_SKIP() << "running with rights to read any file";
    const DibRecord dib = OpenDib(locked.toStdString());
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_NE(dib.ErrorText().find("cannot be opened"), std::string::npos) << dib.ErrorText();
}

std::vector<std::uint8_t> ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray b = f.readAll();
    return {b.begin(), b.end()};
}

DibRecord Decode(const std::vector<std::uint8_t>& bytes, const char* name) {
    return DecodePicture(bytes, name);
}

// Cut at several lengths, every file is refused with a text or (where a Qt
// decoder fills in what is missing) comes back whole in size. Our own readers
// always refuse a cut within the picture data.
TEST(OpenDibTest, TruncatedFilesOfEveryType) {
    const char* files[] = {"pcx_2.pcx",
                           "pcx_16_planes.pcx",
                           "pcx_16_packed.pcx",
                           "pcx_16_even.pcx",
                           "pcx_256.pcx",
                           "pcx_24.pcx",
                           "tga_24.tga",
                           "tga_24_rle_topleft.tga",
                           "tga_32_rle.tga",
                           "tga_16.tga",
                           "tga_8_cmap.tga",
                           "tga_8_cmap_rle_topleft.tga",
                           "tga_grey.tga",
                           "ilbm_1plane.iff",
                           "ilbm_4planes.iff",
                           "ilbm_uncompressed.iff",
                           "ilbm_mask_oddchunk.iff",
                           "ilbm_8planes.lbm",
                           "ilbm_24.iff",
                           "ilbm_ham.iff",
                           "pbm_deluxe.lbm",
                           "pbm_unpadded.lbm",
                           "bmp_1.bmp",
                           "bmp_4.bmp",
                           "bmp_8.bmp",
                           "bmp_24.bmp",
                           "bmp_rle4.rle",
                           "bmp_rle8.rle",
                           "dib_24.dib",
                           "dib_packed_8.dib",
                           "gif_16.gif",
                           "gif_256.gif",
                           "png_1.png",
                           "png_8.png",
                           "png_24.png",
                           "tiff_8.tif",
                           "tiff_24.tif",
                           "jpeg_quarters.jpg",
                           "bmp_16_565_v5.bmp",
                           "bmp_2.bmp",
                           "bmp_rle8_no_eol.rle",
                           "tga_grey_alpha.tga",
                           "tiff_16_deflate.tif",
                           "tiff_16_planar_lzw.tif"};
    for (const char* file : files) {
        const std::vector<std::uint8_t> whole = ReadAll(DataPath(file));
        const bool own = DetectOwnFormat(whole, file) != OwnFormat::None;
        for (std::size_t cut : {std::size_t{1}, std::size_t{17}, std::size_t{60}, whole.size() / 4,
                                whole.size() / 2, whole.size() * 3 / 4}) {
            const std::vector<std::uint8_t> part(whole.begin(),
                                                 whole.begin() + static_cast<long>(cut));
            const DibRecord dib = Decode(part, file);
            if (dib.HasPixels()) {
                EXPECT_FALSE(own) << file << " cut at " << cut << " was accepted";
                EXPECT_GT(DibWidth(dib), 0);
                EXPECT_EQ(dib.Bits().size(), std::size_t(dib.BytesPerRow()) * DibHeight(dib));
            } else {
                EXPECT_FALSE(dib.ErrorText().empty()) << file << " cut at " << cut;
            }
        }
    }
}

void PutLe16(std::vector<std::uint8_t>& d, std::size_t at, unsigned v) {
    d[at] = static_cast<std::uint8_t>(v);
    d[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void PutBe16(std::vector<std::uint8_t>& d, std::size_t at, unsigned v) {
    d[at] = static_cast<std::uint8_t>(v >> 8);
    d[at + 1] = static_cast<std::uint8_t>(v);
}
void PutLe32(std::vector<std::uint8_t>& d, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::size_t FindChunk(const std::vector<std::uint8_t>& d, const char* id) {
    const std::string s(d.begin(), d.end());
    return s.find(id);
}

// Headers that claim huge pictures are refused with a clear text before any
// pixel memory is taken; so are claims the file's size cannot back.
TEST(OpenDibTest, OversizedHeaderClaimsAreRefused) {
    auto tooLarge = [](const std::vector<std::uint8_t>& d, const char* name) {
        const DibRecord dib = Decode(d, name);
        EXPECT_FALSE(dib.HasPixels()) << name;
        EXPECT_NE(dib.ErrorText().find("too large"), std::string::npos)
            << name << ": " << dib.ErrorText();
    };
    {
        auto d = ReadAll(DataPath("pcx_24.pcx"));
        PutLe16(d, 8, 65535);
        PutLe16(d, 10, 65535);
        PutLe16(d, 66, 65535);
        tooLarge(d, "big.pcx");
    }
    {
        auto d = ReadAll(DataPath("tga_24.tga"));
        PutLe16(d, 12, 65535);
        PutLe16(d, 14, 65535);
        tooLarge(d, "big.tga");
    }
    {
        auto d = ReadAll(DataPath("ilbm_24.iff"));
        const std::size_t at = FindChunk(d, "BMHD") + 8;
        PutBe16(d, at, 65535);
        PutBe16(d, at + 2, 65535);
        tooLarge(d, "big.iff");
    }
    {
        auto d = ReadAll(DataPath("bmp_24.bmp"));
        PutLe32(d, 18, 100000);
        PutLe32(d, 22, 100000);
        tooLarge(d, "big.bmp");
    }
    {
        auto d = ReadAll(DataPath("jpeg_quarters.jpg"));
        const std::size_t sof = FindChunk(d, "\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        PutBe16(d, sof + 5, 65000);
        PutBe16(d, sof + 7, 65000);
        tooLarge(d, "big.jpg");
    }
    {
        auto d = ReadAll(DataPath("gif_256.gif"));
        PutLe16(d, 6, 65535);
        PutLe16(d, 8, 65535);
        const DibRecord dib = Decode(d, "big.gif");
        EXPECT_FALSE(dib.HasPixels() && DibWidth(dib) > 10000) << dib.ErrorText();
    }
    {
        // Within the limits, but a few KB cannot hold 20000 x 20000 pixels.
        auto d = ReadAll(DataPath("pcx_256.pcx"));
        PutLe16(d, 8, 19999);
        PutLe16(d, 10, 19999);
        PutLe16(d, 66, 20000);
        const DibRecord dib = Decode(d, "claims.pcx");
        EXPECT_FALSE(dib.HasPixels());
        EXPECT_NE(dib.ErrorText().find("truncated"), std::string::npos) << dib.ErrorText();
    }
}

TEST(OpenDibTest, DetectionDoesNotTakeOtherFiles) {
    for (auto [file, format] : {std::pair{"bmp_24.bmp", OwnFormat::Bmp},
                                {"dib_packed_8.dib", OwnFormat::Bmp},
                                {"gif_256.gif", OwnFormat::Gif},
                                {"png_24.png", OwnFormat::None},
                                {"tiff_24.tif", OwnFormat::None},
                                {"jpeg_quarters.jpg", OwnFormat::None},
                                {"tga_8_cmap.tga", OwnFormat::None}}) {
        const auto d = ReadAll(DataPath(file));
        EXPECT_EQ(DetectOwnFormat(d, "picture.pcx"), format) << file;
    }
    // A TGA whose 10-byte id makes it start with the PCX marker stays a TGA.
    auto tga = ReadAll(DataPath("tga_24.tga"));
    tga[0] = 10;
    tga.insert(tga.begin() + 18, 10, 'i');
    EXPECT_EQ(DetectOwnFormat(tga, "x.tga"), OwnFormat::Tga);
    const DibRecord dib = Decode(tga, "x.tga");
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    EXPECT_EQ(PixelColor(dib, 9, 9), PatternColour(Kind::Rgb, 9, 9));
}

class ProgressLog : public QObject {
public:
    std::vector<int> percents;
    bool event(QEvent* e) override {
        if (e->type() != TProgressEvent::kType) return QObject::event(e);
        percents.push_back(static_cast<TProgressEvent*>(e)->Percent());
        return true;
    }
};

TEST(OpenDibTest, ProgressRisesToHundred) {
    const QString dir = OutDir(QStringLiteral("opendib_progress"));
    QImage big(640, 480, QImage::Format_RGB32);
    big.fill(Qt::darkCyan);
    const QString name = dir + QStringLiteral("/big.bmp");
    ASSERT_TRUE(big.save(name));
    ProgressLog log;
    const DibRecord dib = OpenDib(name.toStdString(), 0, &log);
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    ASSERT_GE(log.percents.size(), 3u);
    for (std::size_t i = 1; i < log.percents.size(); ++i)
        EXPECT_GT(log.percents[i], log.percents[i - 1]);
    EXPECT_EQ(log.percents.back(), 100);

    ProgressLog small;
    ASSERT_TRUE(OpenDib(DataPath("pcx_2.pcx").toStdString(), 0, &small).HasPixels());
    ASSERT_FALSE(small.percents.empty());
    EXPECT_EQ(small.percents.back(), 100);
}

// Damaged files that once made a reader misbehave (tests/data/regressions,
// named after the fault): each is now refused with a text.
TEST(OpenDibTest, RegressionFilesAreRefused) {
    const std::filesystem::path dir = DataPath(QStringLiteral("regressions")).toStdString();
    ASSERT_TRUE(std::filesystem::exists(dir));
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const DibRecord dib = OpenDib(entry.path().string());
        EXPECT_FALSE(dib.HasPixels()) << entry.path();
        EXPECT_FALSE(dib.ErrorText().empty()) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace

namespace {

// Files laid out the way other programs write them; each has a reference
// picture <file>.ref.png made and checked by tests/data/make_fixtures.py.
struct ReferenceCase {
    const char* file;
    int bits;  // the depth the picture must keep
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
    *os << c.file;
}

class ReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(ReferenceTest, ShowsExactlyTheReferencePixels) {
    const ReferenceCase& c = GetParam();
    const DibRecord dib = OpenDib(DataPath(c.file).toStdString());
    ASSERT_TRUE(dib.HasPixels()) << c.file << ": " << dib.ErrorText();
    EXPECT_EQ(DibBitCount(dib), c.bits);
    const QImage ref(DataPath(QString::fromLatin1(c.file) + QStringLiteral(".ref.png")));
    ASSERT_FALSE(ref.isNull());
    ASSERT_EQ(QSize(DibWidth(dib), DibHeight(dib)), ref.size());
    int bad = 0;
    for (int y = 0; y < ref.height() && bad < 5; ++y)
        for (int x = 0; x < ref.width() && bad < 5; ++x) {
            const QRgb want = ref.pixel(x, y);
            const std::uint32_t got = PixelColor(dib, x, y);
            if (got != Pack({static_cast<std::uint8_t>(qRed(want)),
                             static_cast<std::uint8_t>(qGreen(want)),
                             static_cast<std::uint8_t>(qBlue(want))})) {
                ADD_FAILURE() << c.file << " at " << x << "," << y << ": " << std::hex << got
                              << " instead of " << (want & 0xFFFFFF);
                ++bad;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    Bmp, ReferenceTest,
    ::testing::Values(ReferenceCase{"bmp_16_555.bmp", 24}, ReferenceCase{"bmp_16_565_v5.bmp", 24},
                      ReferenceCase{"bmp_16_555_v4_palette.bmp", 24},
                      ReferenceCase{"bmp_16_231.bmp", 24}, ReferenceCase{"bmp_16_444_52.bmp", 24},
                      ReferenceCase{"bmp_32_56_alpha.bmp", 24},
                      ReferenceCase{"bmp_32_101010.bmp", 24}, ReferenceCase{"bmp_2.bmp", 4},
                      ReferenceCase{"bmp_os2_short_palette.bmp", 8},
                      ReferenceCase{"bmp_8_indices_past_palette.bmp", 8},
                      ReferenceCase{"bmp_rle8_no_eol.rle", 8}));

INSTANTIATE_TEST_SUITE_P(Others, ReferenceTest,
                         ::testing::Values(ReferenceCase{"tga_grey_alpha.tga", 8},
                                           ReferenceCase{"pcx_1_stale_palette.pcx", 1},
                                           ReferenceCase{"pcx_1_cga_header.pcx", 1},
                                           ReferenceCase{"tiff_16_deflate.tif", 24},
                                           ReferenceCase{"tiff_16_planar_lzw.tif", 24},
                                           ReferenceCase{"tiff_rgba.tif", 24},
                                           ReferenceCase{"tiff_orientation_6.tif", 24},
                                           ReferenceCase{"png_grey_transparent.png", 8}));

// Regression: a HAM "modify" kept the channel's old low bits. Every kind of
// code in HAM6 and HAM8, starting with white changed to black channel by
// channel.
INSTANTIATE_TEST_SUITE_P(HamModifyOnceKeptLowBits, ReferenceTest,
                         ::testing::Values(ReferenceCase{"ilbm_ham6_codes.iff", 24},
                                           ReferenceCase{"ilbm_ham8_codes.iff", 24}));

INSTANTIATE_TEST_SUITE_P(Png, ReferenceTest,
                         ::testing::Values(ReferenceCase{"png_rgba_16.png", 24},
                                           ReferenceCase{"png_grey_alpha_16.png", 8},
                                           ReferenceCase{"png_grey_2.png", 4},
                                           ReferenceCase{"png_palette_2.png", 4},
                                           ReferenceCase{"png_interlaced.png", 24}));

TEST(OpenDibTest, JpegExifOrientationIsApplied) {
    const DibRecord dib = OpenDib(DataPath("jpeg_orientation_6.jpg").toStdString());
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    ASSERT_EQ(DibWidth(dib), 64);  // stored 48 x 64
    ASSERT_EQ(DibHeight(dib), 48);
    const std::array<std::uint32_t, 4> quarters = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t got = PixelColor(dib, (i % 2) * 32 + 16, (i / 2) * 24 + 12);
        for (int shift : {0, 8, 16})
            EXPECT_LE(std::abs(int((got >> shift) & 0xFF) - int((quarters[i] >> shift) & 0xFF)), 8)
                << "quarter " << i;
    }
}

// Every orientation value maps the stored pixels as the TIFF/EXIF tables
// say; checked on the corners of a 3 x 2 picture of distinct values.
TEST(OrientedTest, CornersGoWhereTheOrientationSays) {
    DibRecord stored = newdib(3, 2, 8);
    ASSERT_TRUE(stored.HasPixels());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) setpixel(stored, x, y, static_cast<std::uint32_t>(10 * y + x));
    // Stored top-left (0), top-right (2), bottom-left (10): where each shows.
    struct Want {
        int orientation, width, x0, y0, x2, y2, x10, y10;
    };
    for (const Want& w :
         {Want{1, 3, 0, 0, 2, 0, 0, 1}, Want{2, 3, 2, 0, 0, 0, 2, 1}, Want{3, 3, 2, 1, 0, 1, 2, 0},
          Want{4, 3, 0, 1, 2, 1, 0, 0}, Want{5, 2, 0, 0, 0, 2, 1, 0}, Want{6, 2, 1, 0, 1, 2, 0, 0},
          Want{7, 2, 1, 2, 1, 0, 0, 2}, Want{8, 2, 0, 2, 0, 0, 1, 2}}) {
        DibRecord copy = newdib(3, 2, 8);
        std::copy(stored.Bits().begin(), stored.Bits().end(), copy.Bits().begin());
        const DibRecord out = Oriented(std::move(copy), w.orientation);
        ASSERT_EQ(DibWidth(out), w.width) << w.orientation;
        EXPECT_EQ(getpixel(out, w.x0, w.y0), 0u) << w.orientation;
        EXPECT_EQ(getpixel(out, w.x2, w.y2), 2u) << w.orientation;
        EXPECT_EQ(getpixel(out, w.x10, w.y10), 10u) << w.orientation;
    }
}

TEST(OpenDibTest, HonestHighlyCompressiblePictureLoads) {
    const DibRecord dib = OpenDib(DataPath("png_one_colour_2000.png").toStdString());
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    EXPECT_EQ(DibWidth(dib), 2000);
    EXPECT_EQ(PixelColor(dib, 1999, 1999), Pack({12, 34, 56}));
}

// Small files whose headers claim pictures their data cannot hold, and
// JPEGs without image data: refused with the reason, before allocating.
TEST(OpenDibTest, ClaimsTheDataCannotHoldAreRefusedWithTheReason) {
    for (auto [file, reason] :
         {std::pair{"gif-26-bytes-claim-huge-picture.gif",
                    "cannot hold a picture of 11390 x 12595"},
          {"bmp-rle-claims-huge-picture.rle", "cannot hold a picture of 16384 x 16384"},
          {"png-deflate-claims-huge-picture.png", "cannot hold a picture of 16000 x 16000"},
          {"png-ihdr-sides-overflow-estimate.png", "too large (1004478304 x 3760096737"},
          {"jpeg-cut-inside-sos-header.jpg", "cut inside its start-of-scan header"},
          {"jpeg-cut-after-sos-header.jpg", "no image data"}}) {
        const DibRecord dib = OpenDib(
            DataPath(QStringLiteral("regressions/") + QString::fromLatin1(file)).toStdString());
        EXPECT_FALSE(dib.HasPixels()) << file;
        EXPECT_NE(dib.ErrorText().find(reason), std::string::npos)
            << file << ": " << dib.ErrorText();
    }
}

// A damaged Huffman table: the text names what the JPEG decoder found.
TEST(OpenDibTest, JpegRefusalCarriesTheDecodersReason) {
    auto d = ReadAll(DataPath("jpeg_quarters.jpg"));
    const std::size_t dht = FindChunk(d, "\xFF\xC4");
    ASSERT_NE(dht, std::string::npos);
    for (std::size_t i = dht + 5; i < dht + 21; ++i) d[i] = 0xFF;  // code counts
    const DibRecord dib = Decode(d, "bad.jpg");
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_NE(dib.ErrorText().find("Huffman"), std::string::npos) << dib.ErrorText();
}

// A damaged PNG is refused with libpng's words for it, and nothing is written
// to stderr on the way; a file cut after its last row still gives the picture.
TEST(OpenDibTest, PngRefusalCarriesTheDecodersReason) {
    const auto good = ReadAll(DataPath("png_24.png"));
    const std::size_t idat = FindChunk(good, "IDAT");
    ASSERT_NE(idat, std::string::npos);

    auto damaged = good;
    damaged[idat + 6] ^= 0x55;  // inside the compressed data
    testing::internal::CaptureStderr();
    const DibRecord bad = Decode(damaged, "bad.png");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(bad.HasPixels());
    EXPECT_NE(bad.ErrorText().find("IDAT: invalid"), std::string::npos) << bad.ErrorText();
    EXPECT_EQ(said, "");

    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + idat + 20);
    const DibRecord early = Decode(cut, "cut.png");
    EXPECT_FALSE(early.HasPixels());
    EXPECT_NE(early.ErrorText().find("could not be read"), std::string::npos) << early.ErrorText();

    const std::size_t iend = FindChunk(good, "IEND");
    ASSERT_NE(iend, std::string::npos);
    const std::vector<std::uint8_t> noEnd(good.begin(), good.begin() + iend - 4);
    const DibRecord whole = Decode(noEnd, "noend.png");
    ASSERT_TRUE(whole.HasPixels()) << whole.ErrorText();
    EXPECT_EQ(PixelColor(whole, 36, 22), PixelColor(Decode(good, "good.png"), 36, 22));
}

TEST(OpenDibTest, PcxOfUnknownVersionIsRefused) {
    auto d = ReadAll(DataPath("pcx_2.pcx"));
    d[1] = 7;
    const DibRecord dib = DecodePcx(d);
    EXPECT_FALSE(dib.HasPixels());
    EXPECT_NE(dib.ErrorText().find("version"), std::string::npos) << dib.ErrorText();
}

}  // namespace
