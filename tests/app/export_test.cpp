// Picture files and AVI videos as written by the export library, read back
// with Qt's readers, the program's own loader and FFmpeg.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/export/picturefile.h"
#include "app/export/videoexport.h"
#include "avi_decode.h"
#include "support/test_support.h"

using appexport::ExportStatus;
using appexport::VideoCodec;

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

std::vector<raster::DibRecord> Sequence(int count, int w, int h) {
    std::vector<raster::DibRecord> v;
    for (int n = 1; n <= count; ++n) v.push_back(Pattern(w, h, n));
    return v;
}

appexport::FrameSource From(const std::vector<raster::DibRecord>& pictures) {
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
    EXPECT_EQ(appexport::FormatForName(QStringLiteral("/x/a.PNG")), appexport::PictureFormat::Png);
    EXPECT_EQ(appexport::FormatForName(QStringLiteral("a.jpeg")), appexport::PictureFormat::Jpeg);
    EXPECT_EQ(appexport::FormatForName(QStringLiteral("a.Tif")), appexport::PictureFormat::Tiff);
    EXPECT_EQ(appexport::FormatForName(QStringLiteral("a.bmp")), appexport::PictureFormat::Bmp);
    EXPECT_FALSE(appexport::FormatForName(QStringLiteral("a.gif")));
    EXPECT_FALSE(appexport::FormatForName(QStringLiteral("folder.png/picture")));
    EXPECT_EQ(appexport::PictureFileName(QStringLiteral("/x/morph")),
              QStringLiteral("/x/morph.bmp"));
    EXPECT_EQ(appexport::PictureFileName(QStringLiteral("morph.final")),
              QStringLiteral("morph.final.bmp"));
    EXPECT_EQ(appexport::PictureFileName(QStringLiteral("morph.TIFF")),
              QStringLiteral("morph.TIFF"));
}

TEST(PictureFile, LosslessFormatsHoldEveryPixelAndJpegLoadsBack) {
    const QString dir = testing_support::OutDir(QStringLiteral("picture_formats"));
    const raster::DibRecord picture = Pattern(37, 23, 3);
    const QImage expected = avi_decode::ToImage(picture);
    for (const char* name : {"p.bmp", "p.png", "p.tif", "p.TIFF", "p.jpg"}) {
        const QString file = dir + QLatin1Char('/') + QLatin1String(name);
        ASSERT_EQ(appexport::SavePicture(picture, file), QString()) << name;
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
        appexport::SavePicture(picture, dir + QStringLiteral("/notafolder/p.png"));
    EXPECT_TRUE(error.contains(QStringLiteral("\"p.png\""))) << error.toStdString();
    EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("notafolder")});

    EXPECT_FALSE(
        appexport::SavePicture(raster::DibRecord(), dir + QStringLiteral("/empty.bmp")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/empty.bmp")));
}

class AviSequence : public ::testing::TestWithParam<VideoCodec> {};

TEST_P(AviSequence, EveryPictureBecomesOneFrameAtTheRateAndSize) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_sequence"));
    // Odd and even sizes; 1 x 1 is the smallest picture there is.
    for (const QSize size : {QSize(37, 23), QSize(40, 30), QSize(1, 1)}) {
        const std::vector<raster::DibRecord> pictures = Sequence(6, size.width(), size.height());
        const QString file = dir + QStringLiteral("/v.avi");
        std::vector<std::pair<int, int>> reports;
        const appexport::ExportResult result = appexport::WriteAviSequence(
            file, 6, 7, GetParam(), From(pictures), [&](int done, int total) {
                reports.emplace_back(done, total);
                return true;
            });
        ASSERT_EQ(result.status, ExportStatus::Done) << result.message.toStdString();
        EXPECT_EQ(reports.front(), std::make_pair(0, 6));
        EXPECT_EQ(reports.back(), std::make_pair(6, 6));
        EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("v.avi")});  // no temporary left behind

        const avi_decode::TVideo v = avi_decode::Read(file);
        ASSERT_EQ(v.error, "");
        EXPECT_EQ(v.container, "avi");
        EXPECT_EQ(v.codec, GetParam() == VideoCodec::Uncompressed ? "rawvideo" : "mjpeg");
        EXPECT_EQ(v.width, size.width());
        EXPECT_EQ(v.height, size.height());
        EXPECT_EQ(v.frameRate.num * 1, v.frameRate.den * 7);
        EXPECT_EQ(v.headerFrames, 6);
        ASSERT_EQ(v.frames.size(), 6u);
        for (std::size_t i = 0; i < v.frames.size(); ++i) {
            const QImage expected = avi_decode::ToImage(pictures[i]);
            if (GetParam() == VideoCodec::Uncompressed) {
                ExpectSamePixels(v.frames[i], expected, QStringLiteral("raw-frame-%1").arg(i + 1));
            } else {
                EXPECT_GT(avi_decode::Psnr(v.frames[i], expected), 35.0) << "frame " << i + 1;
            }
        }
        QFile::remove(file);
    }
}

INSTANTIATE_TEST_SUITE_P(BothCodecs, AviSequence,
                         ::testing::Values(VideoCodec::MotionJpeg, VideoCodec::Uncompressed),
                         [](const auto& info) {
                             return info.param == VideoCodec::Uncompressed ? "Uncompressed"
                                                                           : "MotionJpeg";
                         });

TEST(AviExport, CancelLeavesNoFileAndAnExistingOneUntouched) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_cancel"));
    const QString file = dir + QStringLiteral("/v.avi");
    const std::vector<raster::DibRecord> pictures = Sequence(5, 16, 9);

    auto cancelAfter = [](int frames) { return [frames](int done, int) { return done < frames; }; };
    for (int at : {0, 2, 5}) {
        const appexport::ExportResult r = appexport::WriteAviSequence(
            file, 5, 5, VideoCodec::MotionJpeg, From(pictures), cancelAfter(at));
        EXPECT_EQ(r.status, ExportStatus::Cancelled) << at;
        EXPECT_FALSE(r.message.isEmpty());
        EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();
    }

    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous video");
    old.close();
    appexport::WriteAviSequence(file, 5, 5, VideoCodec::Uncompressed, From(pictures),
                                cancelAfter(3));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("previous video"));
    EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("v.avi")});

    // Finishing replaces it.
    const appexport::ExportResult done =
        appexport::WriteAviSequence(file, 5, 5, VideoCodec::Uncompressed, From(pictures));
    ASSERT_EQ(done.status, ExportStatus::Done);
    EXPECT_EQ(avi_decode::Read(file, false).packets, 5);
}

TEST(AviExport, FailuresSayWhatHappenedAndLeaveNoFile) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_failure"));
    const std::vector<raster::DibRecord> pictures = Sequence(4, 16, 9);

    const appexport::ExportResult noFolder = appexport::WriteAviSequence(
        dir + QStringLiteral("/missing/v.avi"), 4, 5, VideoCodec::MotionJpeg, From(pictures));
    EXPECT_EQ(noFolder.status, ExportStatus::Failed);
    EXPECT_TRUE(noFolder.message.contains(QStringLiteral("\"v.avi\"")))
        << noFolder.message.toStdString();
    EXPECT_TRUE(noFolder.message.contains(QStringLiteral("No such file or directory")))
        << noFolder.message.toStdString();

    // A picture of another size in the middle of the sequence.
    std::vector<raster::DibRecord> mixed = Sequence(4, 16, 9);
    mixed[2] = Pattern(17, 9, 3);
    const appexport::ExportResult badSize = appexport::WriteAviSequence(
        dir + QStringLiteral("/v.avi"), 4, 5, VideoCodec::Uncompressed, From(mixed));
    EXPECT_EQ(badSize.status, ExportStatus::Failed);
    EXPECT_TRUE(badSize.message.contains(QStringLiteral("17 x 9")))
        << badSize.message.toStdString();

    // A picture that could not be rendered.
    const raster::DibRecord nothing;
    const appexport::ExportResult noPicture =
        appexport::WriteAviSequence(dir + QStringLiteral("/v.avi"), 4, 5, VideoCodec::MotionJpeg,
                                    [&](int) -> const raster::DibRecord& { return nothing; });
    EXPECT_EQ(noPicture.status, ExportStatus::Failed);

    EXPECT_TRUE(FilesIn(dir).isEmpty()) << FilesIn(dir).join(' ').toStdString();
}
