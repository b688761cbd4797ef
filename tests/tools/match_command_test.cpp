// vellora-render --match as a program: the pairs it changes, the copy's
// picture names, and the refusals that write nothing.
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <fstream>

#include "core/projectfile.h"
#include "raster/paintdib.h"
#include "support/test_files.h"
#include "support/texture.h"

namespace {

struct ProcessRun {
    int code = -1;
    std::string out;
    std::string err;
};

ProcessRun Render(const QStringList& args) {
    QProcess proc;
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), args);
    EXPECT_TRUE(proc.waitForFinished(120000));
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1,
            proc.readAllStandardOutput().toStdString(), proc.readAllStandardError().toStdString()};
}

// Picture 2 is picture 1 scaled by 1.25 x 0.8 and moved by (10, 6).
class MatchCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(
            QStringLiteral("match_command_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir().mkpath(dir + "/copies");
        const testing_support::TBlobField field(21, 120, 100);
        ASSERT_TRUE(
            raster::DibToImage(testing_support::DrawField(field, 120, 100)).save(dir + "/one.png"));
        ASSERT_TRUE(
            raster::DibToImage(testing_support::DrawField(field, 160, 100, 1.25, 0.8, 10, 6))
                .save(dir + "/two.png"));
        std::vector<std::uint8_t> bytes;
        core::WriteProject({"one.png", "two.png", kAreas}, bytes);
        project = dir + "/p.mor";
        std::ofstream(project.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    core::TProjectData Read(const QString& file) {
        const core::TProjectReadResult r = core::ReadProjectFile(file.toStdString());
        EXPECT_EQ(r.status, core::TProjectStatus::Ok);
        return r.data;
    }

    // Rough picture-2 halves: pair 1's is far off, pair 2's is at the origin.
    const std::vector<TAreaPair> kAreas = {{20, 20, 59, 59, 0, 0, 30, 30},
                                           {70, 40, 109, 89, 5, 5, 15, 15}};
    QString dir;
    QString project;
};

void ExpectMatched(const TAreaPair& a, int left, int top, int right, int bottom) {
    EXPECT_NEAR(a.Left2, left, 1);
    EXPECT_NEAR(a.Top2, top, 1);
    EXPECT_NEAR(a.Right2, right, 1);
    EXPECT_NEAR(a.Bottom2, bottom, 1);
}

}  // namespace

TEST_F(MatchCommand, MatchesOnePairOrAllIntoACopyElsewhere) {
    const QString one = dir + "/copies/one.mor";
    ProcessRun r = Render({project, "--match", "2", "-o", one});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("pair 2: matched with"), std::string::npos) << r.out;
    core::TProjectData data = Read(one);
    ASSERT_EQ(data.areas.size(), 2u);
    EXPECT_EQ(data.areas[0], kAreas[0]);
    ExpectMatched(data.areas[1], 97, 38, 146, 77);
    EXPECT_EQ(data.areas[1].Left1, 70);
    EXPECT_EQ(data.areas[1].Bottom1, 89);
    // The copy's names lead to the same pictures from its own folder.
    EXPECT_EQ(data.pic1Name, "..\\one.png");
    EXPECT_EQ(data.pic2Name, "..\\two.png");

    const QString all = dir + "/all.mor";
    r = Render({"--match", "all", project, "-o", all});
    ASSERT_EQ(r.code, 0) << r.err;
    data = Read(all);
    ExpectMatched(data.areas[0], 35, 22, 84, 53);
    ExpectMatched(data.areas[1], 97, 38, 146, 77);
    EXPECT_EQ(data.pic1Name, "one.png");
    EXPECT_EQ(Read(project).areas, kAreas);  // the original stays as it was
}

TEST_F(MatchCommand, ABadPairOrMissingArgumentWritesNothing) {
    const QString out = dir + "/out.mor";
    for (const QStringList& args : {QStringList{project, "--match", "0", "-o", out},
                                    {project, "--match", "3", "-o", out},
                                    {project, "--match", "1x", "-o", out},
                                    {project, "--match", "", "-o", out},
                                    {project, "--match", "1"},
                                    {project, "--match", "1", "-o", out, "--picture", "2"},
                                    {project, "-o", out, "--match"},
                                    {project, "--find-pairs"},
                                    {project, "--find-pairs", "-o", out, "--match", "1"},
                                    {project, "--find-pairs", "-o", out, "--find-pairs"},
                                    {project, "--find-pairs", "-o", out, "--rate", "2"}}) {
        const ProcessRun r = Render(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("vellora-render: "), std::string::npos);
        EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
    }
    // A project that cannot be read is a failure of the input: 1.
    const ProcessRun r = Render({dir + "/missing.mor", "--match", "all", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(QFile::exists(out));
}

// Find pairs on two pictures without a face: said, and the copy written with
// the pairs as they were.
TEST_F(MatchCommand, FindPairsWithoutFacesKeepsThePairs) {
    const QString copy = dir + "/copies/found.mor";
    const ProcessRun r = Render({project, "--find-pairs", "-o", copy});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "no face found in pictures 1 and 2\n");
    EXPECT_EQ(Read(copy).areas, kAreas);
}

// A vision module that cannot be loaded (here a damaged file where the
// installed programs look for it) stops matching with the package to install;
// the project is not written and rendering still works.
TEST_F(MatchCommand, ABrokenVisionModuleNamesThePackageAndWritesNothing) {
    const QString bin = dir + "/install/bin";
    const QString lib = dir + "/install/lib/vellora";
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(lib));
    const QString program = bin + "/vellora-render";
    QFile::remove(program);
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELLORA_RENDER_BIN), program));
    QFile damaged(lib + "/vellora-vision.so");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a library");
    damaged.close();

    const QString copy = dir + "/copies/broken.mor";
    QProcess proc;
    proc.start(program, {project, "--match", "all", "-o", copy});
    ASSERT_TRUE(proc.waitForFinished(120000));
    const std::string err = proc.readAllStandardError().toStdString();
    EXPECT_EQ(proc.exitCode(), 1) << err;
    EXPECT_NE(err.find("the picture matcher cannot be loaded ("), std::string::npos) << err;
    EXPECT_NE(err.find("install the package libopencv-imgproc406; nothing was written"),
              std::string::npos)
        << err;
    EXPECT_FALSE(QFile::exists(copy));

    proc.start(program, {project, "--find-pairs", "-o", copy});
    ASSERT_TRUE(proc.waitForFinished(120000));
    EXPECT_EQ(proc.exitCode(), 1);
    EXPECT_FALSE(QFile::exists(copy));

    proc.start(program, {project, "-o", dir + "/copies/picture.png"});
    ASSERT_TRUE(proc.waitForFinished(120000));
    EXPECT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
}
