// A video past 1 GB: the AVI muxer must continue it in OpenDML extension
// chunks ("AVIX"), or players stop at the 1 GB mark. Writes about 1.1 GB.
#include <QFile>
#include <QStorageInfo>

#include <gtest/gtest.h>

#include "export/videoexport.h"
#include "support/avi_decode.h"
#include "support/test_files.h"

namespace {

std::uint32_t Le32(const QByteArray& b, int at) {
    return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8) |
           (static_cast<std::uint8_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24);
}

}  // namespace

TEST(AviExportLarge, FilesPastOneGigabyteKeepEveryFrame) {
    const QString dir = testing_support::OutDir(QStringLiteral("avi_large"));
    if (QStorageInfo(dir).bytesAvailable() < 3LL * 1024 * 1024 * 1024)
        GTEST_SKIP() << "needs 3 GB of free disk";
    constexpr int kSide = 1024;  // 3 MB per uncompressed frame
    constexpr int kFrames = 350;
    raster::DibRecord picture = raster::newdib(kSide, kSide, 24);
    // Each frame carries its number in its top-left pixel.
    auto render = [&](int n) -> const raster::DibRecord& {
        raster::setpixel(picture, 0, 0, static_cast<std::uint32_t>(n));
        return picture;
    };
    const QString file = dir + QStringLiteral("/large.avi");
    const exporting::ExportResult r =
        exporting::WriteAviSequence(file, kFrames, 25, exporting::VideoCodec::Uncompressed, render);
    ASSERT_EQ(r.status, exporting::ExportStatus::Done) << r.message.toStdString();
    EXPECT_GT(QFileInfo(file).size(), 1024LL * 1024 * 1024);

    // The first RIFF stays below 1 GB and the next one is an AVIX extension.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(12);
    ASSERT_EQ(head.left(4), "RIFF");
    EXPECT_EQ(head.mid(8, 4), "AVI ");
    const std::uint32_t firstSize = Le32(head, 4);
    EXPECT_LT(firstSize, 1024u * 1024 * 1024 + 64u * 1024 * 1024);
    ASSERT_TRUE(f.seek(8 + static_cast<qint64>(firstSize) + (firstSize & 1)));
    const QByteArray next = f.read(12);
    EXPECT_EQ(next.left(4), "RIFF");
    EXPECT_EQ(next.mid(8, 4), "AVIX");
    f.close();

    const avi_decode::TVideo v = avi_decode::Read(file, true, true);
    EXPECT_EQ(v.error, "");
    EXPECT_EQ(v.packets, kFrames);
    ASSERT_EQ(v.frames.size(), 1u);
    EXPECT_EQ(v.frames.back().pixelColor(0, 0), QColor(kFrames & 0xFF, (kFrames >> 8) & 0xFF, 0));
    QFile::remove(file);
}
