// vellora-render with several projects and sequence files: frame counts,
// the pictures at the joins (read back from uncompressed AVI with FFmpeg),
// different sizes, per-line settings, and the refusals of bad sequences.
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/projectfile.h"
#include "core/renderer.h"
#include "support/avi_decode.h"
#include "support/test_files.h"

namespace {

struct ProcessRun {
    int code = -1;
    std::string err;
};

ProcessRun Render(const QStringList& args) {
    QProcess proc;
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), args);
    EXPECT_TRUE(proc.waitForFinished(120000));
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1,
            proc.readAllStandardError().toStdString()};
}

raster::DibRecord Picture(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(dib, x, y,
                             static_cast<std::uint32_t>((x * 9 + seed * 70) & 0xFF) |
                                 static_cast<std::uint32_t>((y * 11 + seed * 30) & 0xFF) << 8 |
                                 static_cast<std::uint32_t>((seed * 97 + x * y) & 0xFF) << 16);
    return dib;
}

void WriteText(const QString& file, const std::string& text) {
    std::ofstream(file.toStdString(), std::ios::binary) << text;
}

class VelloraRenderSequence : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(QStringLiteral("vellora_render_sequence"));
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(avi_decode::ToImage(pics[i]).save(dir + QStringLiteral("/f%1.png").arg(i)));
        }
        // The same pixels as f2 under another name.
        ASSERT_TRUE(avi_decode::ToImage(pics[2]).save(dir + "/f2copy.png"));
        ASSERT_TRUE(avi_decode::ToImage(small).save(dir + "/small.png"));
    }

    QString Project(const QString& name, const std::string& a, const std::string& b) {
        std::vector<std::uint8_t> bytes;
        EXPECT_TRUE(core::WriteProject({a, b, areas}, bytes));
        const QString file = dir + "/" + name;
        std::ofstream(file.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    QImage Expected(const raster::DibRecord& a, const raster::DibRecord& b, int n, int N,
                    core::TTiming timing = core::TTiming::Linear) const {
        core::TMorphInput in;
        in.pic1 = &a;
        in.pic2 = &b;
        in.areas = areas;
        in.N = N;
        in.n = n;
        in.timing = timing;
        return avi_decode::ToImage(core::RenderMorph(in));
    }

    QString dir;
    const std::vector<raster::DibRecord> pics = [] {
        std::vector<raster::DibRecord> p;
        for (int i = 0; i < 4; ++i) p.push_back(Picture(24, 18, i));
        return p;
    }();
    const raster::DibRecord small = Picture(10, 8, 7);
    const std::vector<TAreaPair> areas = {{4, 3, 12, 9, 8, 6, 18, 14}};
};

}  // namespace

TEST_F(VelloraRenderSequence, SharedJoinsAreWrittenOnceAndTheJoinsShowTheProjectsEnds) {
    const QString a = Project("a.mor", "f0.png", "f1.png");
    const QString b = Project("b.mor", "f1.png", "f2.png");      // the same file as a's end
    const QString c = Project("c.mor", "f2copy.png", "f3.png");  // the same pixels as b's end
    const QString d = Project("d.mor", "f0.png", "f3.png");
    constexpr int N = 4;
    const QStringList common = {"--length", "1", "--rate", "4", "--uncompressed"};

    ASSERT_EQ(Render(QStringList{a, b, c, "-o", dir + "/shared.avi"} + common).code, 0);
    const avi_decode::TVideo shared = avi_decode::Read(dir + "/shared.avi");
    ASSERT_EQ(shared.error, "");
    ASSERT_EQ(shared.frames.size(), static_cast<std::size_t>(3 * N - 2));
    // a's pictures 1..N, then b's and c's from picture 2 on.
    EXPECT_TRUE(shared.frames[0] == Expected(pics[0], pics[1], 1, N));
    EXPECT_TRUE(shared.frames[N - 1] == Expected(pics[0], pics[1], N, N));
    EXPECT_TRUE(shared.frames[N] == Expected(pics[1], pics[2], 2, N));
    EXPECT_TRUE(shared.frames[2 * N - 2] == Expected(pics[1], pics[2], N, N));
    EXPECT_TRUE(shared.frames[2 * N - 1] == Expected(pics[2], pics[3], 2, N));
    EXPECT_TRUE(shared.frames[3 * N - 3] == Expected(pics[2], pics[3], N, N));

    // Joins that share nothing: every project gives all N pictures.
    ASSERT_EQ(Render(QStringList{a, c, d, "-o", dir + "/apart.avi"} + common).code, 0);
    const avi_decode::TVideo apart = avi_decode::Read(dir + "/apart.avi");
    ASSERT_EQ(apart.frames.size(), static_cast<std::size_t>(3 * N));
    EXPECT_TRUE(apart.frames[N - 1] == Expected(pics[0], pics[1], N, N));
    EXPECT_TRUE(apart.frames[N] == Expected(pics[2], pics[3], 1, N));
    EXPECT_TRUE(apart.frames[2 * N - 1] == Expected(pics[2], pics[3], N, N));
    EXPECT_TRUE(apart.frames[2 * N] == Expected(pics[0], pics[3], 1, N));
}

TEST_F(VelloraRenderSequence, SequenceFileSettingsHoldsAndSizes) {
    Project("a.mor", "f0.png", "f1.png");
    Project("s.mor", "small.png", "small.png");
    QDir().mkpath(dir + "/lists");
    // Names relative to the sequence file; the second line eases and holds,
    // the third is smaller than the others.
    WriteText(dir + "/lists/faces.morseq",
              "# three projects\n"
              "../a.mor length=2   # 8 pictures\n"
              "\n"
              "../a.mor timing=ease-in hold=2\n"
              "../s.mor\n");
    const QString out = dir + "/seq.avi";
    const ProcessRun r = Render({dir + "/lists/faces.morseq", "-o", out, "--length", "1", "--rate",
                                 "4", "--uncompressed", "--background", "#102030"});
    ASSERT_EQ(r.code, 0) << r.err;
    const avi_decode::TVideo v = avi_decode::Read(out);
    ASSERT_EQ(v.error, "");
    // 8, then 4 + 2 x 2 held (f1 and f0 differ: nothing shared), then 4.
    ASSERT_EQ(v.frames.size(), 8u + 8u + 4u);
    EXPECT_TRUE(v.frames[7] == Expected(pics[0], pics[1], 8, 8));
    for (int k : {8, 9, 10})  // two held and picture 1 itself
        EXPECT_TRUE(v.frames[static_cast<std::size_t>(k)] ==
                    Expected(pics[0], pics[1], 1, 4, core::TTiming::EaseIn))
            << k;
    EXPECT_TRUE(v.frames[11] == Expected(pics[0], pics[1], 2, 4, core::TTiming::EaseIn));
    for (int k : {13, 14, 15})
        EXPECT_TRUE(v.frames[static_cast<std::size_t>(k)] == Expected(pics[0], pics[1], 4, 4)) << k;
    // The small project sits centred on the 24 x 18 frame in the background.
    const QImage& last = v.frames.back();
    ASSERT_EQ(last.size(), QSize(24, 18));
    const QImage smallOut = Expected(small, small, 4, 4);
    EXPECT_TRUE(last.copy(7, 5, 10, 8) == smallOut);
    EXPECT_EQ(last.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(last.pixel(23, 17), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(last.pixel(6, 9), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(last.pixel(17, 9), qRgb(0x10, 0x20, 0x30));

    // --picture counts over the whole sequence.
    ASSERT_EQ(Render({dir + "/lists/faces.morseq", "-o", dir + "/p.png", "--length", "1", "--rate",
                      "4", "--picture", "12"})
                  .code,
              0);
    EXPECT_TRUE(QImage(dir + "/p.png").convertToFormat(QImage::Format_RGB888) ==
                Expected(pics[0], pics[1], 2, 4, core::TTiming::EaseIn));
}

TEST_F(VelloraRenderSequence, BadSequencesSayTheLineAndWriteNothing) {
    Project("a.mor", "f0.png", "f1.png");
    WriteText(dir + "/damaged.mor", "TALVORN Morph");
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a.mor\nmissing.mor\n", "bad.morseq, line 2: cannot use project"},
        {"# fine\na.mor\n\ndamaged.mor hold=1\n", "bad.morseq, line 4: cannot use project"},
        {"# only comments\n\n", "bad.morseq names no project"},
        {"a.mor\nbad.morseq\n", "bad.morseq, line 2: the sequence bad.morseq names itself"},
        {"a.mor speed=3\n", "bad.morseq, line 1: unknown key 'speed'"},
        {"a.mor hold=200\n", "bad.morseq, line 1: hold must be a whole number from 0 to 100"},
        {"a.mor timing=fast\n", "bad.morseq, line 1: timing must be"},
        {"a.mor length=0\n", "bad.morseq, line 1: length must be"},
    };
    const QString out = dir + "/bad.avi";
    for (const auto& c : cases) {
        WriteText(dir + "/bad.morseq", c.text);
        const ProcessRun r = Render({dir + "/bad.morseq", "-o", out, "--uncompressed"});
        EXPECT_EQ(r.code, 1) << c.text;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST_F(VelloraRenderSequence, ListsGiveEachProjectItsOwnLengthTimingAndHold) {
    const QString a = Project("a.mor", "f0.png", "f1.png");
    const QString d = Project("d.mor", "f2.png", "f3.png");
    const QString out = dir + "/lists.avi";
    const ProcessRun r = Render({a, d, "-o", out, "--rate", "4", "--length", "1,2", "--timing",
                                 "linear,ease-out", "--hold", "0,1", "--uncompressed"});
    ASSERT_EQ(r.code, 0) << r.err;
    const avi_decode::TVideo v = avi_decode::Read(out);
    ASSERT_EQ(v.frames.size(), 4u + 8u + 2u);
    EXPECT_TRUE(v.frames[3] == Expected(pics[0], pics[1], 4, 4));
    EXPECT_TRUE(v.frames[4] == Expected(pics[2], pics[3], 1, 8, core::TTiming::EaseOut));
    EXPECT_TRUE(v.frames[6] == Expected(pics[2], pics[3], 2, 8, core::TTiming::EaseOut));

    // One value per project named, or one for all.
    for (const QStringList& args : {QStringList{a, d, "-o", out, "--length", "1,2,3"},
                                    QStringList{a, "-o", out, "--hold", "1,2"},
                                    QStringList{a, d, "-o", out, "--timing", "linear,"}}) {
        EXPECT_EQ(Render(args).code, 2) << args.join(' ').toStdString();
    }
}
