// Picture files, numbered series and videos as written by the export library, read back
// with Qt's readers, the program's own loader and FFmpeg.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <vector>

#include "export/picturefile.h"
#include "export/pictureseries.h"
#include "export/videoexport.h"
#include "support/avi_decode.h"
#include "support/fault_injection.h"
#include "support/test_files.h"

using exporting::ExportStatus;
using exporting::VideoCodec;

namespace {

// A picture with smooth gradients and a few hard edges, different for each
// `seed`, at any size (odd sizes exercise row padding and chroma rounding).
raster::DibRecord Pattern(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t r = static_cast<std::uint32_t>((x * 255) / std::max(1, w - 1));
            std::uint32_t g = static_cast<std::uint32_t>((y * 255) / std::max(1, h - 1));
            std::uint32_t b = static_cast<std::uint32_t>((seed * 40 + x + y) & 0xFF);
            const bool box = x >= w / 4 + seed && x < w / 2 + seed && y >= h / 4 && y < h / 2;
            if (box) r = 255 - r, g = 255 - g;
            raster::setpixel(dib, x, y, r | (g << 8) | (b << 16));
        }
    }
    return dib;
}

// Noise, which GIF's compression cannot shrink: every frame takes its full size.
raster::DibRecord Noise(int w, int h, std::uint32_t seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (std::uint8_t& b : dib.Bits()) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return dib;
}

std::vector<raster::DibRecord> Sequence(int count, int w, int h) {
    std::vector<raster::DibRecord> v;
    for (int n = 1; n <= count; ++n) v.push_back(Pattern(w, h, n));
    return v;
}

exporting::FrameSource From(const std::vector<raster::DibRecord>& pictures) {
    return [&pictures](int n) -> const raster::DibRecord& {
        return pictures[static_cast<std::size_t>(n - 1)];
    };
}

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

void ExpectSamePixels(const QImage& actual, const QImage& expected, const QString& name) {
    ASSERT_EQ(actual.size(), expected.size()) << name.toStdString();
    const QImage a = actual.convertToFormat(QImage::Format_RGB888);
    const QImage e = expected.convertToFormat(QImage::Format_RGB888);
    EXPECT_TRUE(a == e) << "pixels differ, saved in "
                        << testing_support::SaveFailure(name, a, e).toStdString();
}

}  // namespace

TEST(PictureFile, FormatFollowsTheExtensionAndUnknownNamesBecomeBmp) {
    EXPECT_EQ(exporting::FormatForName(QStringLiteral("/x/a.PNG")), exporting::PictureFormat::Png);
    EXPECT_EQ(exporting::FormatForName(QStringLiteral("a.jpeg")), exporting::PictureFormat::Jpeg);
    EXPECT_EQ(exporting::FormatForName(QStringLiteral("a.Tif")), exporting::PictureFormat::Tiff);
    EXPECT_EQ(exporting::FormatForName(QStringLiteral("a.bmp")), exporting::PictureFormat::Bmp);
    EXPECT_FALSE(exporting::FormatForName(QStringLiteral("a.gif")));
    EXPECT_FALSE(exporting::FormatForName(QStringLiteral("folder.png/picture")));
    EXPECT_EQ(exporting::PictureFileName(QStringLiteral("/x/morph")),
              QStringLiteral("/x/morph.bmp"));
    EXPECT_EQ(exporting::PictureFileName(QStringLiteral("morph.final")),
              QStringLiteral("morph.final.bmp"));
    EXPECT_EQ(exporting::PictureFileName(QStringLiteral("morph.TIFF")),
              QStringLiteral("morph.TIFF"));
}

TEST(PictureFile, LosslessFormatsHoldEveryPixelAndJpegLoadsBack) {
    const QString dir = testing_support::OutDir(QStringLiteral("picture_formats"));
    const raster::DibRecord picture = Pattern(37, 23, 3);
    const QImage expected = avi_decode::ToImage(picture);
    for (const char* name : {"p.bmp", "p.png", "p.tif", "p.TIFF", "p.jpg"}) {
        const QString file = dir + QLatin1Char('/') + QLatin1String(name);
        ASSERT_EQ(exporting::SavePicture(picture, file), QString()) << name;
        QImageReader reader(file);
        reader.setDecideFormatFromContent(true);
        const QImage back = reader.read();
        ASSERT_FALSE(back.isNull()) << name << ": " << reader.errorString().toStdString();
        if (QByteArray(name).endsWith("jpg")) {
            EXPECT_EQ(back.size(), expected.size());
            EXPECT_GT(avi_decode::Psnr(back.convertToFormat(QImage::Format_RGB888), expected),
                      30.0);
        } else {
            ExpectSamePixels(back, expected, QString::fromLatin1(name));
        }
    }
    // The BMP is the picture record itself: the program's own loader gets the
    // same rows back, padding included.
    const raster::DibRecord loaded =
        raster::OpenDib((dir + QStringLiteral("/p.bmp")).toStdString());
    ASSERT_TRUE(loaded.HasPixels()) << loaded.ErrorText();
    EXPECT_EQ(loaded.BitCount(), 24);
    EXPECT_TRUE(std::ranges::equal(loaded.Bits(), picture.Bits()));
}

TEST(PictureFile, FailureNamesTheFileAndKeepsWhatWasThere) {
    const QString dir = testing_support::OutDir(QStringLiteral("picture_failure"));
    const raster::DibRecord picture = Pattern(8, 8, 1);
    // A folder that is really a file cannot take a picture.
    QFile blocker(dir + QStringLiteral("/notafolder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString error =
        exporting::SavePicture(picture, dir + QStringLiteral("/notafolder/p.png"));
    EXPECT_TRUE(error.contains(QStringLiteral("\"p.png\""))) << error.toStdString();
    EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("notafolder")});

    EXPECT_FALSE(
        exporting::SavePicture(raster::DibRecord(), dir + QStringLiteral("/empty.bmp")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/empty.bmp")));
}

struct TKind {
    const char* name;
    VideoCodec codec;
    const char* file;
    const char* container;  // as FFmpeg's readers name them
    const char* decoder;
    double minPsnr;  // 0: exact
};

const TKind kKinds[] = {
    {"MotionJpeg", VideoCodec::MotionJpeg, "v.avi", "avi", "mjpeg", 35},
    {"Uncompressed", VideoCodec::Uncompressed, "v.avi", "avi", "rawvideo", 0},
    // Below the 38 dB of photograph-like pictures (the renderer's tests):
    // these small ones have sharp colour edges, which 4:2:0 halves (even
    // losslessly coded, 37 x 23 stays near 25 dB).
    {"H264", VideoCodec::H264, "v.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", 24},
    {"Vp9", VideoCodec::Vp9, "v.webm", "matroska,webm", "vp9", 24},
    // One palette for six unrelated pictures (a morph's are related: 28 dB).
    {"Gif", VideoCodec::Gif, "v.gif", "gif", "gif", 22},
};

class VideoSequence : public ::testing::TestWithParam<TKind> {};

TEST_P(VideoSequence, PicturesAToBBecomeOneFrameEachAtTheRateAndSize) {
    const TKind& kind = GetParam();
    const QString dir = testing_support::OutDir(QStringLiteral("video_%1").arg(kind.name));
    const bool pads = kind.codec == VideoCodec::H264 || kind.codec == VideoCodec::Vp9;
    constexpr std::uint32_t kBackground = 0x2060A0;  // red in the lowest byte
    // Odd and even sizes; 1 x 1 is the smallest picture there is.
    for (const QSize size : {QSize(37, 23), QSize(40, 30), QSize(1, 1)}) {
        const std::vector<raster::DibRecord> pictures = Sequence(8, size.width(), size.height());
        const QString file = dir + QLatin1Char('/') + QLatin1String(kind.file);
        std::vector<std::pair<int, int>> reports;
        exporting::TVideoOptions options;
        options.codec = kind.codec;
        options.fps = 7;
        options.first = 2;
        options.last = 7;
        options.background = kBackground;
        const exporting::ExportResult result =
            exporting::WriteVideo(file, options, From(pictures), [&](int done, int total) {
                reports.emplace_back(done, total);
                return true;
            });
        ASSERT_EQ(result.status, ExportStatus::Done) << result.message.toStdString();
        EXPECT_EQ(reports.front(), std::make_pair(0, 6));
        EXPECT_EQ(reports.back(), std::make_pair(6, 6));
        EXPECT_EQ(FilesIn(dir), QStringList{QLatin1String(kind.file)});  // no temporary left

        const avi_decode::TVideo v = avi_decode::Read(file);
        ASSERT_EQ(v.error, "");
        EXPECT_EQ(v.container, kind.container);
        EXPECT_EQ(v.codec, kind.decoder);
        const int w = size.width() + (pads ? size.width() % 2 : 0);
        const int h = size.height() + (pads ? size.height() % 2 : 0);
        EXPECT_EQ(v.width, w);
        EXPECT_EQ(v.height, h);
        if (kind.codec == VideoCodec::Gif)
            EXPECT_NEAR(av_q2d(v.frameRate), 7, 0.25);  // delays of 14 and 15 hundredths
        else
            EXPECT_EQ(v.frameRate.num * 1, v.frameRate.den * 7);
        EXPECT_NEAR(v.duration, 6.0 / 7, 0.011);
        EXPECT_EQ(v.packets, 6);
        if (pads) {
            EXPECT_EQ(v.colorSpace, AVCOL_SPC_SMPTE170M);
            EXPECT_EQ(v.colorRange, AVCOL_RANGE_MPEG);
        }
        ASSERT_EQ(v.frames.size(), 6u);
        for (std::size_t i = 0; i < v.frames.size(); ++i) {
            const QImage expected = avi_decode::ToImage(pictures[i + 1]);
            const QImage frame = v.frames[i].copy(0, 0, size.width(), size.height());
            if (kind.minPsnr == 0) {
                ExpectSamePixels(frame, expected, QStringLiteral("raw-frame-%1").arg(i + 2));
            } else if (size.width() > 1) {
                EXPECT_GT(avi_decode::Psnr(frame, expected), kind.minPsnr)
                    << size.width() << " x " << size.height() << ", frame " << i + 2;
            }
            if (pads && w != size.width()) {
                // The added column takes the background's brightness (its
                // colour is shared with the picture's last column).
                const QColor c = v.frames[i].pixelColor(w - 1, 0);
                const double luma = 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
                EXPECT_NEAR(luma, 0.299 * 0xA0 + 0.587 * 0x60 + 0.114 * 0x20, 12)
                    << "frame " << i + 2;
            }
        }
        QFile::remove(file);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, VideoSequence, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GifExport, DelaysFollowTheRunningTimeAndOnePaletteServesTheSequence) {
    const QString dir = testing_support::OutDir(QStringLiteral("gif_timing"));
    const QString file = dir + QStringLiteral("/t.gif");
    const std::vector<raster::DibRecord> pictures = Sequence(9, 24, 16);
    // 7 and 30 pictures per second have no whole number of hundredths.
    for (const int fps : {7, 30, 50}) {
        exporting::TVideoOptions options;
        options.codec = VideoCodec::Gif;
        options.fps = fps;
        options.last = 9;
        ASSERT_EQ(exporting::WriteVideo(file, options, From(pictures)).status, ExportStatus::Done);
        const avi_decode::TVideo v = avi_decode::Read(file, false);
        ASSERT_EQ(v.durations.size(), 9u);
        std::int64_t sum = 0;
        for (std::size_t k = 0; k < v.durations.size(); ++k) {
            EXPECT_EQ(v.pts[k], sum);
            sum += v.durations[k];
            EXPECT_LE(std::abs(sum * fps - static_cast<std::int64_t>(k + 1) * 100), fps)
                << fps << " pictures per second, frame " << k + 1;
        }
    }
    QFile gif(file);
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    const QByteArray bytes = gif.readAll();
    // Loops for ever: the NETSCAPE2.0 extension with a loop count of 0.
    const int loop = static_cast<int>(bytes.indexOf("NETSCAPE2.0"));
    ASSERT_GE(loop, 0);
    EXPECT_EQ(bytes.mid(loop + 12, 3), QByteArray("\x01\x00\x00", 3));
}

namespace {

// The heap in use, all threads' arenas; 0 where it cannot be told (the
// sanitizers keep their own heap and check for leaks at exit instead).
std::size_t HeapInUse() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#else
    return 0;
#endif
}

}  // namespace

// GIF's muxer holds each frame back until the next one or the trailer comes:
// a stopped or failing export must free it all the same.
TEST(GifExport, StoppedOrFailingExportsFreeWhatTheyHeld) {
    const QString dir = testing_support::OutDir(QStringLiteral("gif_abandoned"));
    const QString file = dir + QStringLiteral("/a.gif");
    std::vector<raster::DibRecord> pictures;
    for (int n = 1; n <= 4; ++n) pictures.push_back(Noise(200, 150, static_cast<std::uint32_t>(n)));
    exporting::TVideoOptions options;
    options.codec = VideoCodec::Gif;
    options.fps = 10;
    options.last = 4;
    auto stopAfterTwo = [](int done, int) { return done < 2; };
    auto both = [&] {
        EXPECT_EQ(exporting::WriteVideo(file, options, From(pictures), stopAfterTwo).status,
                  ExportStatus::Cancelled);
        // Room for the header and the first frame, not for the rest.
        testing_support::TFileSizeLimit limit(50000);
        ASSERT_TRUE(limit.Ok());
        const exporting::ExportResult full = exporting::WriteVideo(file, options, From(pictures));
        EXPECT_EQ(full.status, ExportStatus::Failed);
        EXPECT_TRUE(full.message.contains(QStringLiteral("File too large")))
            << full.message.toStdString();
    };
    both();  // the first round sets up what stays for the process
    const std::size_t before = HeapInUse();
    if (before != 0) {
        for (int i = 0; i < 3; ++i) both();
        // Each round that kept its frames would hold about 60 KB more.
        EXPECT_LT(HeapInUse(), before + 60000) << before << " -> " << HeapInUse();
    }
    EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();
}

TEST(AviExport, CancelLeavesNoFileAndAnExistingOneUntouched) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_cancel"));
    const QString file = dir + QStringLiteral("/v.avi");
    const std::vector<raster::DibRecord> pictures = Sequence(5, 16, 9);

    auto cancelAfter = [](int frames) { return [frames](int done, int) { return done < frames; }; };
    for (int at : {0, 2, 5}) {
        const exporting::ExportResult r = exporting::WriteAviSequence(
            file, 5, 5, VideoCodec::MotionJpeg, From(pictures), cancelAfter(at));
        EXPECT_EQ(r.status, ExportStatus::Cancelled) << at;
        EXPECT_FALSE(r.message.isEmpty());
        EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();
    }

    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous video");
    old.close();
    exporting::WriteAviSequence(file, 5, 5, VideoCodec::Uncompressed, From(pictures),
                                cancelAfter(3));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("previous video"));
    EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("v.avi")});

    // Finishing replaces it.
    const exporting::ExportResult done =
        exporting::WriteAviSequence(file, 5, 5, VideoCodec::Uncompressed, From(pictures));
    ASSERT_EQ(done.status, ExportStatus::Done);
    EXPECT_EQ(avi_decode::Read(file, false).packets, 5);
}

TEST(AviExport, FailuresSayWhatHappenedAndLeaveNoFile) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_failure"));
    const std::vector<raster::DibRecord> pictures = Sequence(4, 16, 9);

    const exporting::ExportResult noFolder = exporting::WriteAviSequence(
        dir + QStringLiteral("/missing/v.avi"), 4, 5, VideoCodec::MotionJpeg, From(pictures));
    EXPECT_EQ(noFolder.status, ExportStatus::Failed);
    EXPECT_TRUE(noFolder.message.contains(QStringLiteral("\"v.avi\"")))
        << noFolder.message.toStdString();
    EXPECT_TRUE(noFolder.message.contains(QStringLiteral("No such file or directory")))
        << noFolder.message.toStdString();

    // A picture of another size in the middle of the sequence.
    std::vector<raster::DibRecord> mixed = Sequence(4, 16, 9);
    mixed[2] = Pattern(17, 9, 3);
    const exporting::ExportResult badSize = exporting::WriteAviSequence(
        dir + QStringLiteral("/v.avi"), 4, 5, VideoCodec::Uncompressed, From(mixed));
    EXPECT_EQ(badSize.status, ExportStatus::Failed);
    EXPECT_TRUE(badSize.message.contains(QStringLiteral("17 x 9")))
        << badSize.message.toStdString();

    // A picture that could not be rendered.
    const raster::DibRecord nothing;
    const exporting::ExportResult noPicture =
        exporting::WriteAviSequence(dir + QStringLiteral("/v.avi"), 4, 5, VideoCodec::MotionJpeg,
                                    [&](int) -> const raster::DibRecord& { return nothing; });
    EXPECT_EQ(noPicture.status, ExportStatus::Failed);

    EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();
}

TEST(PictureSeries, NamesHoldOneNumberFieldFilledWithThePictureNumber) {
    using exporting::NumberFieldCount;
    using exporting::SeriesFileName;
    EXPECT_EQ(NumberFieldCount("frames/m_%04d.png"), 1);
    EXPECT_EQ(NumberFieldCount("m%d.png"), 1);
    EXPECT_EQ(NumberFieldCount("100%%_%3d.png"), 1);
    EXPECT_EQ(NumberFieldCount("m.png"), 0);
    EXPECT_EQ(NumberFieldCount("100%%.png"), 0);
    EXPECT_EQ(NumberFieldCount("%d_%d.png"), 2);
    EXPECT_EQ(NumberFieldCount("m_%s.png"), -1);
    EXPECT_EQ(NumberFieldCount("m_%.png"), -1);
    EXPECT_EQ(NumberFieldCount("m_%010d.png"), -1);
    EXPECT_EQ(SeriesFileName("frames/m_%04d.png", 5), "frames/m_0005.png");
    EXPECT_EQ(SeriesFileName("m_%04d.png", 123456), "m_123456.png");
    EXPECT_EQ(SeriesFileName("m%d.png", 12), "m12.png");
    EXPECT_EQ(SeriesFileName("100%%_%3d.png", 7), "100%_  7.png");
}

TEST(PictureSeries, WritesExactlyPicturesAToBAndRemovesThemWhenItDoesNotFinish) {
    const QString dir = testing_support::OutDir(QStringLiteral("picture_series"));
    const std::vector<raster::DibRecord> pictures = Sequence(6, 19, 11);
    const std::string pattern = (dir + QStringLiteral("/m_%03d.png")).toStdString();
    const exporting::ExportResult done =
        exporting::WritePictureSeries(pattern, exporting::PictureFormat::Png, 2, 5, From(pictures));
    ASSERT_EQ(done.status, ExportStatus::Done) << done.message.toStdString();
    EXPECT_EQ(FilesIn(dir), (QStringList{"m_002.png", "m_003.png", "m_004.png", "m_005.png"}));
    for (int n = 2; n <= 5; ++n)
        ExpectSamePixels(QImage(dir + QStringLiteral("/m_%1.png").arg(n, 3, 10, QLatin1Char('0'))),
                         avi_decode::ToImage(pictures[static_cast<std::size_t>(n - 1)]),
                         QStringLiteral("series-%1").arg(n));

    // A cancel, and a picture that cannot be rendered, leave only what was
    // there before.
    for (int n = 2; n <= 5; ++n)
        QFile::remove(dir + QStringLiteral("/m_%1.png").arg(n, 3, 10, QLatin1Char('0')));
    const exporting::ExportResult cancelled =
        exporting::WritePictureSeries(pattern, exporting::PictureFormat::Png, 1, 6, From(pictures),
                                      [](int done, int) { return done < 3; });
    EXPECT_EQ(cancelled.status, ExportStatus::Cancelled);
    const raster::DibRecord nothing;
    const exporting::ExportResult broken = exporting::WritePictureSeries(
        pattern, exporting::PictureFormat::Bmp, 1, 6,
        [&](int n) -> const raster::DibRecord& { return n < 4 ? pictures[0] : nothing; });
    EXPECT_EQ(broken.status, ExportStatus::Failed);
    EXPECT_TRUE(broken.message.contains(QStringLiteral("picture 4")))
        << broken.message.toStdString();
    EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();

    // The folder is not created.
    const exporting::ExportResult noFolder =
        exporting::WritePictureSeries((dir + QStringLiteral("/missing/m_%03d.png")).toStdString(),
                                      exporting::PictureFormat::Png, 1, 2, From(pictures));
    EXPECT_EQ(noFolder.status, ExportStatus::Failed);
    EXPECT_TRUE(noFolder.message.contains(QStringLiteral("No such file or directory")))
        << noFolder.message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/missing")));
}

namespace {

// A folder holding an earlier run's pictures 1..count ("old 1", ...), and
// what is in it now.
class TOldSeries {
public:
    TOldSeries(const QString& name, int count) : dir_(testing_support::OutDir(name)) {
        for (int n = 1; n <= count; ++n) testing_support::PutFile(File(n), Old(n));
    }
    std::string Pattern() const { return (dir_ + QStringLiteral("/m_%03d.png")).toStdString(); }
    std::filesystem::path File(int n) const {
        return (dir_ + QStringLiteral("/m_%1.png").arg(n, 3, 10, QLatin1Char('0'))).toStdString();
    }
    static std::string Old(int n) { return "old " + std::to_string(n); }
    // "o" for an old picture, "N" for a new one, "-" for none, per number.
    std::string States(int count) const {
        std::string s;
        for (int n = 1; n <= count; ++n) {
            const std::vector<char> c = testing_support::FileContent(File(n));
            const std::string content(c.begin(), c.end());
            s += !std::filesystem::exists(File(n))   ? '-'
                 : content == Old(n)                 ? 'o'
                 : content.compare(1, 3, "PNG") == 0 ? 'N'
                                                     : '?';
        }
        return s;
    }
    QStringList Files() const { return FilesIn(dir_); }

private:
    QString dir_;
};

}  // namespace

TEST(PictureSeries, ARunThatDoesNotFinishDeletesOnlyWhatItCreated) {
    const std::vector<raster::DibRecord> pictures = Sequence(12, 8, 6);
    {
        // Stopped at half: the replaced half are the new pictures, the rest
        // are the old ones.
        const TOldSeries old(QStringLiteral("series_keep_cancel"), 12);
        const exporting::ExportResult r =
            exporting::WritePictureSeries(old.Pattern(), exporting::PictureFormat::Png, 1, 12,
                                          From(pictures), [](int done, int) { return done < 6; });
        EXPECT_EQ(r.status, ExportStatus::Cancelled);
        EXPECT_EQ(old.States(12), "NNNNNNoooooo");
        EXPECT_EQ(r.replaced, "pictures 1 to 6 were replaced, the rest are as they were");
        EXPECT_TRUE(r.message.contains(r.replaced)) << r.message.toStdString();
        EXPECT_EQ(old.Files().size(), 12) << old.Files().join(' ').toStdString();
    }
    {
        // A gap in the old series: the picture made there goes again.
        const TOldSeries old(QStringLiteral("series_keep_failure"), 8);
        std::filesystem::remove(old.File(3));
        const raster::DibRecord nothing;
        const exporting::ExportResult r = exporting::WritePictureSeries(
            old.Pattern(), exporting::PictureFormat::Png, 1, 9,
            [&](int n) -> const raster::DibRecord& { return n < 7 ? pictures[0] : nothing; });
        EXPECT_EQ(r.status, ExportStatus::Failed);
        EXPECT_EQ(old.States(9), "NN-NNNoo-");
        EXPECT_TRUE(r.message.contains(QStringLiteral(
            "picture 7 could not be rendered. Pictures 1, 2 and 4 to 6 were replaced, the rest "
            "are as they were.")))
            << r.message.toStdString();
    }
    {
        // A stop request in the middle of the run, as vellora-render's
        // signals make one.
        const TOldSeries old(QStringLiteral("series_keep_stop"), 6);
        core::TStopFlag stop{0};
        const exporting::ExportResult r = exporting::WritePictureSeries(
            old.Pattern(), exporting::PictureFormat::Png, 2, 6,
            [&](int n) -> const raster::DibRecord& {
                if (n == 4) stop = 15;
                return pictures[0];
            },
            {}, &stop);
        EXPECT_EQ(r.status, ExportStatus::Cancelled);
        EXPECT_EQ(old.States(6), "oNNooo");
        EXPECT_EQ(r.replaced, "pictures 2 and 3 were replaced, the rest are as they were");
    }
    {
        // A write that fails (the disk full, here a file-size limit) on a
        // larger picture after three small ones.
        const TOldSeries old(QStringLiteral("series_keep_full"), 5);
        const raster::DibRecord large = Noise(120, 90, 7);
        testing_support::TFileSizeLimit limit(8000);
        ASSERT_TRUE(limit.Ok());
        const exporting::ExportResult r = exporting::WritePictureSeries(
            old.Pattern(), exporting::PictureFormat::Png, 1, 5,
            [&](int n) -> const raster::DibRecord& { return n < 4 ? pictures[0] : large; });
        EXPECT_EQ(r.status, ExportStatus::Failed);
        EXPECT_TRUE(r.message.contains(QStringLiteral("m_004.png: File too large")))
            << r.message.toStdString();
        EXPECT_EQ(old.States(5), "NNNoo");
        EXPECT_EQ(old.Files().size(), 5) << old.Files().join(' ').toStdString();
    }
}

TEST(PictureSeries, TwoRunsNeverWriteTheSamePicturesAtOnce) {
    const TOldSeries old(QStringLiteral("series_lock"), 0);
    const std::vector<raster::DibRecord> pictures = Sequence(5, 8, 6);
    exporting::ExportResult overlapping;
    exporting::ExportResult slice;
    // A second run starts while the first writes pictures 1 to 3.
    const exporting::ExportResult first = exporting::WritePictureSeries(
        old.Pattern(), exporting::PictureFormat::Png, 1, 3, [&](int n) -> const raster::DibRecord& {
            if (n == 2) {
                overlapping = exporting::WritePictureSeries(
                    old.Pattern(), exporting::PictureFormat::Png, 3, 4, From(pictures));
                slice = exporting::WritePictureSeries(old.Pattern(), exporting::PictureFormat::Png,
                                                      4, 5, From(pictures));
            }
            return pictures[0];
        });
    EXPECT_EQ(first.status, ExportStatus::Done) << first.message.toStdString();
    EXPECT_EQ(overlapping.status, ExportStatus::Failed);
    EXPECT_TRUE(overlapping.message.contains(QStringLiteral("another run is writing")))
        << overlapping.message.toStdString();
    // Slices that do not overlap go side by side.
    EXPECT_EQ(slice.status, ExportStatus::Done) << slice.message.toStdString();
    EXPECT_EQ(old.States(5), "NNNNN");
    // The lock file goes with the last run.
    EXPECT_EQ(old.Files().size(), 5) << old.Files().join(' ').toStdString();
}
