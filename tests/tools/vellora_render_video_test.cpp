// vellora-render writing the sequence as videos of every kind and as
// numbered pictures.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>

#include "core/projectfile.h"
#include "core/renderer.h"
#include "support/avi_decode.h"
#include "support/test_files.h"

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

namespace {

// A pair with fine detail (one-pixel lines, small checks) over colour
// gradients, at a small size that keeps the videos quick.
raster::DibRecord Detailed(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Gradients that run the other way in the second picture.
            const int gx = seed ? w - 1 - x : x;
            const int gy = seed ? h - 1 - y : y;
            // The detail is in brightness, as in photographs; the colour
            // changes smoothly.
            const bool line = (x + 2 * y + seed) % 9 == 0;
            const bool check = x > w / 2 && y > h / 2 && ((x / 2 + y / 2) & 1);
            const int lift = line ? 40 : check ? -40 : 0;
            const int r = 40 + gx * 175 / (w - 1) + lift;
            const int g = 40 + gy * 175 / (h - 1) + lift;
            const int b = 40 + (gx + h - 1 - gy) * 175 / (w + h - 2) + lift;
            raster::setpixel(dib, x, y,
                             static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
                                 static_cast<std::uint32_t>(b) << 16);
        }
    }
    return dib;
}

class VelloraRenderKinds : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(QStringLiteral("vellora_render_kinds"));
        ASSERT_TRUE(avi_decode::ToImage(one).save(dir + "/one.png"));
        ASSERT_TRUE(avi_decode::ToImage(two).save(dir + "/two.png"));
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(core::WriteProject({"one.png", "two.png", areas}, bytes));
        project = dir + "/p.mor";
        std::ofstream(project.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    raster::DibRecord Rendered(int n, int N) const {
        core::TMorphInput in;
        in.pic1 = &one;
        in.pic2 = &two;
        in.areas = areas;
        in.N = N;
        in.n = n;
        return core::RenderMorph(in);
    }
    QString dir;
    QString project;
    const raster::DibRecord one = Detailed(160, 120, 0);
    const raster::DibRecord two = Detailed(160, 120, 1);
    const std::vector<TAreaPair> areas = {{30, 20, 90, 80, 50, 30, 120, 100}};
};

}  // namespace

TEST_F(VelloraRenderKinds, EveryVideoKindDecodesToTheRenderedPictures) {
    struct TCase {
        const char* file;
        const char* codec;
        double minPsnr;
    };
    // Pictures 3 to 10 of N = 12 at 6 pictures per second.
    for (const TCase& c : {TCase{"v.mp4", "h264", 38}, TCase{"v.webm", "vp9", 38},
                           TCase{"v.gif", "gif", 28}, TCase{"v.avi", "mjpeg", 35}}) {
        const QString file = dir + "/" + c.file;
        const ProcessRun r =
            Render({project, "-o", file, "--length", "2", "--rate", "6", "--frames", "3-10"});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        const avi_decode::TVideo v = avi_decode::Read(file);
        ASSERT_EQ(v.error, "") << c.file;
        EXPECT_EQ(v.codec, c.codec);
        EXPECT_EQ(v.width, 160);
        EXPECT_EQ(v.height, 120);
        // GIF delays are whole hundredths: 17, 16, 17, ... at 6 per second.
        EXPECT_NEAR(av_q2d(v.frameRate), 6, 0.1) << c.file;
        EXPECT_EQ(v.packets, 8) << c.file;
        EXPECT_NEAR(v.duration, 8.0 / 6, 0.011) << c.file;
        ASSERT_EQ(v.frames.size(), 8u) << c.file;
        for (int n = 3; n <= 10; ++n) {
            const double psnr = avi_decode::Psnr(v.frames[static_cast<std::size_t>(n - 3)],
                                                 avi_decode::ToImage(Rendered(n, 12)));
            EXPECT_GE(psnr, c.minPsnr) << c.file << " picture " << n;
        }
    }
}

TEST_F(VelloraRenderKinds, TwoSlicesGiveExactlyThePicturesOfOneRun) {
    QDir(dir).mkpath("whole");
    QDir(dir).mkpath("sliced");
    const QStringList common = {project, "--length", "2", "--rate", "5"};
    ProcessRun r = Render(common + QStringList{"-o", dir + "/whole/m_%04d.png"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = Render(common + QStringList{"-o", dir + "/sliced/m_%04d.png", "--frames", "1-4"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = Render(common + QStringList{"-o", dir + "/sliced/m_%04d.png", "--frames", "5-10"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList whole = QDir(dir + "/whole").entryList(QDir::Files);
    ASSERT_EQ(whole.size(), 10);
    EXPECT_EQ(whole.front(), "m_0001.png");
    EXPECT_EQ(whole.back(), "m_0010.png");
    EXPECT_EQ(QDir(dir + "/sliced").entryList(QDir::Files), whole);
    for (const QString& name : whole) {
        QFile a(dir + "/whole/" + name);
        QFile b(dir + "/sliced/" + name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_TRUE(a.readAll() == b.readAll()) << name.toStdString();
    }
    EXPECT_TRUE(QImage(dir + "/whole/m_0007.png").convertToFormat(QImage::Format_RGB888) ==
                avi_decode::ToImage(Rendered(7, 10)));

    // A missing folder is a failure, not created.
    r = Render(common + QStringList{"-o", dir + "/nofolder/m_%04d.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + "/nofolder"));
}

TEST_F(VelloraRenderKinds, CtrlCStopsWithNothingLeftBehind) {
    // Long sequences, interrupted once their first file is on the disk.
    for (const QString& name : {QStringLiteral("v.mp4"), QStringLiteral("m_%05d.bmp")}) {
        const QString out = testing_support::OutDir("vellora_render_interrupt");
        QFile old(out + "/v.mp4");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous video");
        old.close();
        QProcess proc;
        proc.start(QStringLiteral(VELLORA_RENDER_BIN),
                   {project, "-o", out + "/" + name, "--length", "1000", "--rate", "10"});
        ASSERT_TRUE(proc.waitForStarted());
        const int files = name.contains('%') ? 3 : 2;  // the old video and a new file
        while (QDir(out).entryList(QDir::Files | QDir::Hidden).size() < files &&
               proc.state() == QProcess::Running)
            proc.waitForFinished(20);
        ASSERT_EQ(proc.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(proc.processId()), SIGINT);
        ASSERT_TRUE(proc.waitForFinished(60000));
        EXPECT_EQ(proc.exitCode(), 128 + SIGINT);
        const QString err = QString::fromUtf8(proc.readAllStandardError());
        EXPECT_TRUE(err.contains("interrupted")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"v.mp4"});
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("previous video"));
        old.close();
    }
}
