// vellora-render writing the whole sequence as an AVI video.
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <fstream>

#include "../app/avi_decode.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "support/test_support.h"

namespace {

struct ProcessRun {
    int code = -1;
    QString err;
};

ProcessRun Render(const QStringList& args) {
    QProcess proc;
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), args);
    EXPECT_TRUE(proc.waitForFinished(120000));
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1,
            QString::fromUtf8(proc.readAllStandardError())};
}

raster::DibRecord Stripes(int w, int h, std::uint32_t a, std::uint32_t b) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster::setpixel(dib, x, y, ((x / 3 + y / 2) & 1) ? a : b);
    return dib;
}

}  // namespace

TEST(VelloraRenderVideo, WritesEveryPictureOfTheSequence) {
    const QString dir = testing_support::OutDir(QStringLiteral("vellora_render_video"));
    const raster::DibRecord one = Stripes(27, 17, 0x0000FF, 0x00FF00);
    const raster::DibRecord two = Stripes(21, 19, 0xFF0000, 0xFFFFFF);
    ASSERT_TRUE(avi_decode::ToImage(one).save(dir + "/one.png"));
    ASSERT_TRUE(avi_decode::ToImage(two).save(dir + "/two.png"));
    const std::vector<TAreaPair> areas = {{3, 3, 12, 10, 5, 6, 15, 16}};
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(core::WriteProject({"one.png", "two.png", areas}, bytes));
    const QString project = dir + "/p.mor";
    std::ofstream(project.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    const QString avi = dir + "/out.avi";
    ProcessRun r = Render({project, "-o", avi, "--length", "2", "--rate", "3", "--uncompressed"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << "no progress line when stderr is not a terminal";
    const avi_decode::TVideo v = avi_decode::Read(avi);
    ASSERT_EQ(v.error, "");
    EXPECT_EQ(v.codec, "rawvideo");
    EXPECT_EQ(v.frameRate.num, 3 * v.frameRate.den);
    EXPECT_EQ(v.width, 27);
    EXPECT_EQ(v.height, 19);
    ASSERT_EQ(v.frames.size(), 6u);
    for (int n = 1; n <= 6; ++n) {
        core::TMorphInput in;
        in.pic1 = &one;
        in.pic2 = &two;
        in.areas = areas;
        in.N = 6;
        in.n = n;
        EXPECT_TRUE(v.frames[static_cast<std::size_t>(n - 1)] ==
                    avi_decode::ToImage(core::RenderMorph(in)))
            << "frame " << n;
    }

    r = Render({project, "-o", dir + "/out2.AVI", "--length", "1", "--rate", "4"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const avi_decode::TVideo mjpeg = avi_decode::Read(dir + "/out2.AVI");
    EXPECT_EQ(mjpeg.codec, "mjpeg");
    EXPECT_EQ(mjpeg.frames.size(), 4u);

    // Failures: one line, exit 1 (or 2 for arguments), no file.
    r = Render({project, "-o", dir + "/missing/out.avi"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir + "/missing/out.avi"));
    r = Render({project, "-o", dir + "/out3.avi", "--rate", "2.5"});
    EXPECT_EQ(r.code, 2);
    r = Render({project, "-o", dir + "/out3.png", "--uncompressed"});
    EXPECT_EQ(r.code, 2);
    EXPECT_FALSE(QFile::exists(dir + "/out3.avi"));
    EXPECT_FALSE(QFile::exists(dir + "/out3.png"));
}
