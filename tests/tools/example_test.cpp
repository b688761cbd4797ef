// The example project in examples/: that it opens, that its pictures are the
// ones its script draws, and that its area pairs keep the features together
// through the whole morph. (The headless demo that renders it to a video is
// the test "demo", which runs scripts/demo.sh.)
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/projectfile.h"
#include "core/renderer.h"
#include "raster/dib.h"
#include "support/test_support.h"

namespace {

const QString kExamples = QStringLiteral(VELLORA_SOURCE_DIR "/examples");
const std::string kProject = VELLORA_SOURCE_DIR "/examples/faces.mor";

std::vector<TAreaPair> Areas(TMainForm& w) {
    return testing_support::AreasOf(w);
}

struct Loaded {
    core::TProjectData data;
    raster::DibRecord pic1, pic2;
};

Loaded LoadExample() {
    Loaded l;
    const core::TProjectReadResult read = core::ReadProjectFile(kProject);
    EXPECT_EQ(read.status, core::TProjectStatus::Ok) << core::DescribeProjectStatus(read.status);
    l.data = read.data;
    l.pic1 = raster::OpenDib(core::ResolveStoredName(kProject, l.data.pic1Name));
    l.pic2 = raster::OpenDib(core::ResolveStoredName(kProject, l.data.pic2Name));
    return l;
}

TEST(ExampleProject, NamesItsPicturesBesideItAndKeepsEveryAreaInside) {
    const Loaded l = LoadExample();
    // Bare names: the project works wherever the folder is copied or installed.
    EXPECT_EQ(l.data.pic1Name, "face1.png");
    EXPECT_EQ(l.data.pic2Name, "face2.png");
    ASSERT_TRUE(l.pic1.HasPixels()) << l.pic1.ErrorText();
    ASSERT_TRUE(l.pic2.HasPixels()) << l.pic2.ErrorText();
    EXPECT_NE(l.pic1.Width(), l.pic2.Width());
    EXPECT_NE(l.pic1.Height(), l.pic2.Height());
    ASSERT_EQ(l.data.areas.size(), 5u);
    for (const TAreaPair& a : l.data.areas) {
        EXPECT_TRUE(0 <= a.Left1 && a.Left1 < a.Right1 && a.Right1 < l.pic1.Width());
        EXPECT_TRUE(0 <= a.Top1 && a.Top1 < a.Bottom1 && a.Bottom1 < l.pic1.Height());
        EXPECT_TRUE(0 <= a.Left2 && a.Left2 < a.Right2 && a.Right2 < l.pic2.Width());
        EXPECT_TRUE(0 <= a.Top2 && a.Top2 < a.Bottom2 && a.Bottom2 < l.pic2.Height());
    }
}

TEST(ExampleProject, OpensInTheWindowThroughOpen) {
    auto f = testing_support::MakeForm();
    f.prompter->fileAnswers = {QStringLiteral(VELLORA_SOURCE_DIR "/examples/faces.mor")};
    f.form->OpenBtn->click();
    EXPECT_EQ(f.form->windowTitle(), QStringLiteral("Vellora 1.0 - [faces.mor]"));
    EXPECT_EQ(Areas(*f.form), LoadExample().data.areas);
    EXPECT_EQ(f.form->Picture1().Width(), 320);
    EXPECT_EQ(f.form->Picture2().Width(), 440);
    // Only the question before opening; no error.
    EXPECT_EQ(f.prompter->Messages().size(), 1u);
}

// The committed pictures and project are exactly what the script makes, so the
// script stays the way to change them.
TEST(ExampleProject, IsWhatItsScriptDraws) {
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "/usr/bin/python3 is not installed";
    const QString out = testing_support::OutDir(QStringLiteral("example_script"));
    QProcess script;
    script.start(QStringLiteral("/usr/bin/python3"), {kExamples + "/make_example.py", out});
    ASSERT_TRUE(script.waitForFinished(60000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    for (const char* name : {"face1.png", "face2.png"}) {
        const QImage made = QImage(out + "/" + name).convertToFormat(QImage::Format_RGB888);
        const QImage kept = QImage(kExamples + "/" + name).convertToFormat(QImage::Format_RGB888);
        ASSERT_FALSE(made.isNull()) << name;
        EXPECT_TRUE(made == kept) << name << " differs from the script's picture: run "
                                  << "/usr/bin/python3 examples/make_example.py";
    }
    QFile made(out + "/faces.mor"), kept(kExamples + "/faces.mor");
    ASSERT_TRUE(made.open(QIODevice::ReadOnly) && kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(made.readAll(), kept.readAll());
}

// What makes the morph convincing: in every picture of the sequence, the
// middle of each eye's in-between rectangle shows a pupil, that is, both
// pictures' pupils have been brought to the same place.
TEST(ExampleProject, EyesStayTogetherThroughTheMorph) {
    const Loaded l = LoadExample();
    ASSERT_TRUE(l.pic1.HasPixels() && l.pic2.HasPixels());
    constexpr int N = 25;
    const int W = std::max(l.pic1.Width(), l.pic2.Width());
    const int H = std::max(l.pic1.Height(), l.pic2.Height());
    auto mix = [](int p, int q, int n) { return (p * (N - n) + q * n) / N; };
    for (int n = 1; n <= N; ++n) {
        core::TMorphInput in;
        in.pic1 = &l.pic1;
        in.pic2 = &l.pic2;
        in.areas = l.data.areas;
        in.N = N;
        in.n = n;
        in.background = 0xFFFFFF;
        const raster::DibRecord result = core::RenderMorph(in);
        const int ox = (W - mix(l.pic1.Width(), l.pic2.Width(), n)) / 2;
        const int oy = (H - mix(l.pic1.Height(), l.pic2.Height(), n)) / 2;
        for (std::size_t eye : {1u, 2u}) {
            const TAreaPair& a = l.data.areas[eye];
            const int x = ox + (mix(a.Left1, a.Left2, n) + mix(a.Right1, a.Right2, n)) / 2;
            const int y = oy + (mix(a.Top1, a.Top2, n) + mix(a.Bottom1, a.Bottom2, n)) / 2;
            const std::uint32_t c = raster::PixelColor(result, x, y);
            const int brightest = std::max({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF});
            EXPECT_LT(brightest, 60) << "eye " << eye << " at picture " << n << " of " << N;
        }
    }
}

}  // namespace
