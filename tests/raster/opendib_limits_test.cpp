// OpenDib on hostile and unreachable files: each is refused at once with a
// text that says why, and a loading can be cancelled by its receiver. The
// large files are made here at run time, never stored.
#include <QByteArray>
#include <QFile>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "raster/dib.h"
#include "raster/opendib.h"
#include "raster/progress_event.h"
#include "support/test_files.h"

using namespace raster;
using testing_support::DataPath;
using testing_support::OutDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Segment(Bytes& out, std::uint8_t marker, const Bytes& body) {
    const std::size_t length = body.size() + 2;
    out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length)});
    out.insert(out.end(), body.begin(), body.end());
}

// A grey progressive JPEG of side x side written byte by byte: one DC scan
// and then acScans times the same first AC scan, each a few end-of-band runs
// of 16384 blocks. Both Huffman tables hold a single one-bit code (category
// 0 for DC, EOB14 for AC), so the scans' data is all zero bits. Every pixel
// decodes to 128. side must be a multiple of 8.
Bytes ProgressiveJpeg(int side, int acScans) {
    Bytes d = {0xFF, 0xD8};
    Bytes quant = {0x00};
    quant.insert(quant.end(), 64, 1);
    Segment(d, 0xDB, quant);
    const auto hi = static_cast<std::uint8_t>(side >> 8), lo = static_cast<std::uint8_t>(side);
    Segment(d, 0xC2, {8, hi, lo, hi, lo, 1, 1, 0x11, 0});
    Bytes tables = {0x00, 1};  // DC table 0: one code of one bit ...
    tables.insert(tables.end(), 15, 0);
    tables.push_back(0x00);                  // ... for category 0
    tables.insert(tables.end(), {0x10, 1});  // AC table 0: one code of one bit ...
    tables.insert(tables.end(), 15, 0);
    tables.push_back(0xE0);  // ... for EOB14: a run of 16384 + 14 extra bits of blocks
    Segment(d, 0xC4, tables);
    const std::size_t blocks =
        static_cast<std::size_t>(side / 8) * static_cast<std::size_t>(side / 8);
    Segment(d, 0xDA, {1, 1, 0x00, 0, 0, 0});  // DC, first pass: a bit per block
    d.insert(d.end(), (blocks + 7) / 8, 0);
    Bytes ac;
    Segment(ac, 0xDA, {1, 1, 0x00, 1, 63, 0});  // AC 1-63, first pass
    const std::size_t runs = (blocks + 16383) / 16384;
    ac.insert(ac.end(), (runs * 15 + 7) / 8, 0);
    for (int i = 0; i < acScans; ++i) d.insert(d.end(), ac.begin(), ac.end());
    d.insert(d.end(), {0xFF, 0xD9});
    return d;
}

std::string WriteFile(const QString& dir, const QString& name, const Bytes& bytes) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path.toStdString();
}

struct Timed {
    DibRecord dib;
    double seconds;
};

Timed TimedOpen(const std::string& path, QObject* receiver = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    DibRecord dib = OpenDib(path, 0, receiver);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return {std::move(dib), took.count()};
}

// Regression: 138 KB of repeated AC scans cost 4-6 s of CPU, 978 KB 48 s,
// and the picture then loaded. Any number of scans past 100 is refused
// before decoding.
TEST(OpenDibLimitsTest, JpegScanBombOnceDecodedForAMinuteIsRefusedAtOnce) {
    const QString dir = OutDir(QStringLiteral("limits_jpeg"));
    for (int scans : {3000, 25000}) {
        const Bytes bomb = ProgressiveJpeg(4096, scans);
        const Timed t = TimedOpen(WriteFile(dir, QStringLiteral("bomb.jpg"), bomb));
        EXPECT_FALSE(t.dib.HasPixels()) << scans << " scans, " << bomb.size() << " bytes";
        EXPECT_EQ(t.dib.ErrorText(),
                  "The JPEG file holds more than 100 scans, more than any picture needs: it is "
                  "refused as damaged.");
        EXPECT_LT(t.seconds, 1.0) << scans << " scans, " << bomb.size() << " bytes";
    }
}

// The bound is 100 scans: one DC scan and 99 AC scans still give the
// picture, one more does not.
TEST(OpenDibLimitsTest, JpegOfAHundredScansLoadsAndOfMoreIsRefused) {
    const QString dir = OutDir(QStringLiteral("limits_jpeg_bound"));
    const DibRecord dib =
        OpenDib(WriteFile(dir, QStringLiteral("100.jpg"), ProgressiveJpeg(64, 99)));
    ASSERT_TRUE(dib.HasPixels()) << dib.ErrorText();
    EXPECT_EQ(DibWidth(dib), 64);
    EXPECT_EQ(DibHeight(dib), 64);
    EXPECT_EQ(PixelColor(dib, 0, 0), 0x808080u);
    EXPECT_EQ(PixelColor(dib, 63, 63), 0x808080u);
    const DibRecord more =
        OpenDib(WriteFile(dir, QStringLiteral("101.jpg"), ProgressiveJpeg(64, 100)));
    EXPECT_FALSE(more.HasPixels());
    EXPECT_NE(more.ErrorText().find("more than 100 scans"), std::string::npos) << more.ErrorText();
}

// Regression: a 2 GiB file of zeros named .png was read whole (25 s, 2 GB)
// before it was found to be no picture. The first bytes decide; a TGA,
// which has no signature, is refused by its header.
TEST(OpenDibLimitsTest, GigabytesOfZerosOnceReadWholeAreRefusedFromTheFirstBytes) {
    const QString dir = OutDir(QStringLiteral("limits_zeros"));
    for (auto [name, text] : {std::pair{"zeros.png", "Unknown or unsupported picture format."},
                              {"zeros.jpg", "Unknown or unsupported picture format."},
                              {"zeros.tga", "This is not a TGA file of a supported kind."}}) {
        const std::filesystem::path path =
            (dir + QLatin1Char('/') + QLatin1String(name)).toStdString();
        { std::ofstream create(path, std::ios::binary); }
        std::filesystem::resize_file(path, std::uintmax_t{2} << 30);  // sparse: no disk taken
        const Timed t = TimedOpen(path.string());
        std::filesystem::remove(path);
        EXPECT_FALSE(t.dib.HasPixels()) << name;
        EXPECT_EQ(t.dib.ErrorText(), text) << name;
        EXPECT_LT(t.seconds, 1.0) << name;
    }
}

// Regression: a PNG of 57 bytes whose text chunk claims 1 GiB made libpng
// allocate it: 7 s and about 1 GB before the refusal.
TEST(OpenDibLimitsTest, PngChunkClaimingAGigabyteOnceAllocatedIsRefusedAtOnce) {
    const std::string path =
        DataPath(QStringLiteral("regressions/png-text-chunk-claims-1-gib.png")).toStdString();
    ASSERT_EQ(std::filesystem::file_size(path), 57u);
    const Timed t = TimedOpen(path);
    EXPECT_FALSE(t.dib.HasPixels());
    EXPECT_EQ(t.dib.ErrorText(),
              "The picture could not be read: the tEXt chunk runs past the end of the file (it "
              "claims 1073741824 bytes, 16 follow).");
    EXPECT_LT(t.seconds, 1.0);
}

Bytes ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray b = f.readAll();
    return {b.begin(), b.end()};
}

void PutLe32(Bytes& d, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Regression: a colours-used field far beyond what the file holds
// (0xFF000006) was taken as if it were absent. A count whose table does not
// fit before the pixel data, or before the end of a bitmap without file
// header, is refused; one that fits loads.
TEST(OpenDibLimitsTest, BmpColourCountBeyondTheFileOnceIgnoredIsRefused) {
    const DibRecord stored = OpenDib(
        DataPath(QStringLiteral("regressions/bmp-colours-used-beyond-file.bmp")).toStdString());
    EXPECT_FALSE(stored.HasPixels());
    EXPECT_EQ(stored.ErrorText(),
              "The BMP header is damaged: its 4278190086 colours do not fit before the picture "
              "data.");

    Bytes packed = ReadAll(DataPath(QStringLiteral("dib_packed_8.dib")));
    ASSERT_GT(packed.size(), 40u);
    const DibRecord sound = DecodePicture(packed, "packed.dib");
    ASSERT_TRUE(sound.HasPixels()) << sound.ErrorText();
    PutLe32(packed, 32, static_cast<std::uint32_t>(packed.size()));  // colours used
    const DibRecord damaged = DecodePicture(packed, "packed.dib");
    EXPECT_FALSE(damaged.HasPixels());
    EXPECT_NE(damaged.ErrorText().find("The BMP header is damaged"), std::string::npos)
        << damaged.ErrorText();
}

// Regression: a picture behind a loop of symbolic links was said not to
// exist. The system's reason is given; a link to nothing does not exist.
TEST(OpenDibLimitsTest, SymbolicLinkLoopOnceSaidMissingGivesTheSystemsReason) {
    const std::filesystem::path dir = OutDir(QStringLiteral("limits_links")).toStdString();
    std::filesystem::create_symlink(dir / "b.bmp", dir / "a.bmp");
    std::filesystem::create_symlink(dir / "a.bmp", dir / "b.bmp");
    std::filesystem::create_symlink(dir / "nothing.bmp", dir / "dangling.bmp");
    EXPECT_EQ(OpenDib((dir / "a.bmp").string()).ErrorText(),
              "The file cannot be opened: Too many levels of symbolic links.");
    EXPECT_EQ(OpenDib((dir / "dangling.bmp").string()).ErrorText(), "The file does not exist.");
    EXPECT_EQ(OpenDib((dir / "a.bmp" / "x.bmp").string()).ErrorText(),
              "The file cannot be opened: Too many levels of symbolic links.");
}

// A receiver that cancels the loading from one of its progress events.
class Canceller : public QObject {
public:
    std::function<bool(int)> cancelAt;
    std::vector<int> seen;
    bool event(QEvent* e) override {
        if (e->type() != TProgressEvent::kType) return QObject::event(e);
        auto* progress = static_cast<TProgressEvent*>(e);
        seen.push_back(progress->Percent());
        if (cancelAt(progress->Percent())) progress->Cancel();
        return true;
    }
};

TEST(OpenDibLimitsTest, ReceiverCancelsTheLoadingFromAProgressEvent) {
    const QString dir = OutDir(QStringLiteral("limits_cancel"));
    Bytes big = ReadAll(DataPath(QStringLiteral("bmp_24.bmp")));
    const std::string name = WriteFile(dir, QStringLiteral("big.bmp"), Bytes(4 << 20, 0));
    // A bitmap of 4 MiB: its header from the fixture, the rest zero pixels.
    {
        QFile f(QString::fromStdString(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        PutLe32(big, 18, 1024);  // 1024 x 1024 x 24 bits
        PutLe32(big, 22, 1024);
        f.write(reinterpret_cast<const char*>(big.data()), 54);
    }
    Canceller whole;
    whole.cancelAt = [](int) { return false; };
    ASSERT_TRUE(OpenDib(name, 0, &whole).HasPixels());
    ASSERT_GT(whole.seen.size(), 3u);

    // Stopped part way: no further events, no picture, the cancelled text.
    Canceller early;
    early.cancelAt = [](int percent) { return percent >= 20; };
    const DibRecord stopped = OpenDib(name, 0, &early);
    EXPECT_FALSE(stopped.HasPixels());
    EXPECT_EQ(stopped.ErrorText(), kLoadCancelled);
    ASSERT_FALSE(early.seen.empty());
    EXPECT_GE(early.seen.back(), 20);
    EXPECT_LT(early.seen.back(), 100);
    EXPECT_EQ(std::count_if(early.seen.begin(), early.seen.end(), [](int p) { return p >= 20; }),
              1);

    // Cancelled at the last report: nothing is decoded either.
    Canceller last;
    last.cancelAt = [](int percent) { return percent == 100; };
    const DibRecord atEnd = OpenDib(name, 0, &last);
    EXPECT_FALSE(atEnd.HasPixels());
    EXPECT_EQ(atEnd.ErrorText(), kLoadCancelled);
}

}  // namespace
