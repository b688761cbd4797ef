// vellora-render run as a program: its exit codes, its one-line errors, and
// pictures that equal the renderer's result pixel for pixel.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <functional>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "raster/paintdib.h"
#include "support/fault_injection.h"
#include "support/test_support.h"

namespace {

struct ProcessRun {
    int code = -1;
    QString out;
    QString err;
};

// Runs vellora-render; limits, when given, apply to it alone.
ProcessRun Render(const QStringList& args, rlim_t fileSizeLimit = RLIM_INFINITY,
                  rlim_t memoryLimit = RLIM_INFINITY) {
    QProcess proc;
    proc.setChildProcessModifier([fileSizeLimit, memoryLimit] {
        const rlimit fsize{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &fsize);
        const rlimit as{memoryLimit, memoryLimit};
        if (memoryLimit != RLIM_INFINITY) ::setrlimit(RLIMIT_AS, &as);
    });
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), args);
    EXPECT_TRUE(proc.waitForFinished(120000));
    return {proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1,
            QString::fromUtf8(proc.readAllStandardOutput()),
            QString::fromUtf8(proc.readAllStandardError())};
}

void WriteBytes(const QString& p, std::span<const std::uint8_t> b) {
    std::ofstream out(p.toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

QByteArray ReadAll(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

raster::DibRecord Pattern(int w, int h, std::uint32_t seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(
                dib, x, y,
                (seed * 0x9E3779B1u ^ static_cast<std::uint32_t>(x * 7919 + y * 104729)) &
                    0xFFFFFF);
    return dib;
}

const std::vector<TAreaPair> kAreas = {{5, 5, 20, 15, 10, 20, 30, 40},
                                       {30, 2, 25, 30, 0, 0, 12, 12}};

class VelloraRender : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(
            QStringLiteral("vellora_render_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir().mkpath(dir + "/proj");
        QDir().mkpath(dir + "/pics");
        ASSERT_TRUE(raster::DibToImage(Pattern(48, 36, 1)).save(dir + "/pics/one.png"));
        ASSERT_TRUE(raster::DibToImage(Pattern(40, 50, 2)).save(dir + "/proj/two.bmp"));
        std::vector<std::uint8_t> bytes;
        core::WriteProject({"..\\pics\\one.png", "two.bmp", kAreas}, bytes);
        project = dir + "/proj/p.mor";
        WriteBytes(project, bytes);
    }

    // The renderer's own result for the project's pictures.
    raster::DibRecord Expected(std::int64_t N, std::int64_t n, std::uint32_t background) {
        pic1 = raster::OpenDib((dir + "/pics/one.png").toStdString());
        pic2 = raster::OpenDib((dir + "/proj/two.bmp").toStdString());
        core::TMorphInput input;
        input.pic1 = &pic1;
        input.pic2 = &pic2;
        input.areas = kAreas;
        input.N = N;
        input.n = n;
        input.background = background;
        return core::RenderMorph(input);
    }

    void ExpectPicture(const QString& file, const raster::DibRecord& expected) {
        const QImage actual = QImage(file).convertToFormat(QImage::Format_RGB32);
        const QImage wanted = raster::DibToImage(expected);
        ASSERT_FALSE(actual.isNull()) << file.toStdString();
        if (actual != wanted) {
            ADD_FAILURE() << "pixels differ, see "
                          << testing_support::SaveFailure(QFileInfo(file).completeBaseName(),
                                                          actual, wanted)
                                 .toStdString();
        }
    }

    QString dir;
    QString project;
    raster::DibRecord pic1;
    raster::DibRecord pic2;
};

}  // namespace

TEST_F(VelloraRender, RendersTheChosenPictureExactlyAsTheRenderer) {
    const QString png = dir + "/out.png";
    ProcessRun r = Render({project, "-o", png, "--length", "2", "--rate", "3", "--picture", "4",
                           "--background", "#102030"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    ExpectPicture(png, Expected(6, 4, 0x302010));
    // 24-bit PNG: bit depth 8, colour type 2 (RGB).
    const QByteArray pngBytes = ReadAll(png);
    ASSERT_GT(pngBytes.size(), 26);
    EXPECT_EQ(pngBytes[24], 8);
    EXPECT_EQ(pngBytes[25], 2);

    // Defaults: length 5, rate 5, picture 1, black background; BMP of 24 bits.
    const QString bmp = dir + "/out.BMP";
    r = Render({"-o", bmp, project});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ExpectPicture(bmp, Expected(25, 1, 0));
    const QByteArray bmpBytes = ReadAll(bmp);
    ASSERT_GT(bmpBytes.size(), 30);
    EXPECT_EQ(bmpBytes.left(2), QByteArray("BM"));
    EXPECT_EQ(bmpBytes[28], 24);

    // The last picture of N = trunc(2.5 x 3) = 7.
    r = Render({project, "-o", png, "--length", "2.5", "--rate", "3", "--picture", "7"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ExpectPicture(png, Expected(7, 7, 0));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(),
              2);  // no temporary files left
}

TEST_F(VelloraRender, HelpExplainsTheCommand) {
    const ProcessRun r = Render({"--help"});
    EXPECT_EQ(r.code, 0);
    for (const char* word :
         {"Usage:", "-o OUTPUT", "--length", "--rate", "--picture", "--background", ".png"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word))) << word;
}

TEST_F(VelloraRender, UsageErrorsExit2WithOneLineAndWriteNothing) {
    const QString out = dir + "/out.png";
    const std::vector<QStringList> cases = {
        {},
        {project},
        {project, "-o"},
        {"-o", out},
        {project, "-o", out, "--speed", "3"},
        {project, project, "--match", "all", "-o", dir + "/new.mor"},
        {project, "-o", out, "--timing", "ease"},
        {project, "-o", out, "--hold", "101"},
        {project, "-o", out, "--hold", "-1"},
        {project, "-o", out, "--mode", "Morph"},
        {project, "-o", out, "--hold", "1", "--picture", "28"},  // N + 2 = 27
        {project, "-o", dir + "/out.mkv"},
        {project, "-o", dir + "/out"},
        // Numbered pictures need exactly one number field.
        {project, "-o", dir + "/m_%.png"},
        {project, "-o", dir + "/m_%s.png"},
        {project, "-o", dir + "/m_%d_%d.png"},
        {project, "-o", dir + "/m_%%.png"},
        {project, "-o", dir + "/m_%04d.avi"},
        // --frames within 1..N, not reversed; only for sequences.
        {project, "-o", dir + "/m_%04d.png", "--frames", "0-3"},
        {project, "-o", dir + "/m_%04d.png", "--frames", "20-26"},
        {project, "-o", dir + "/m_%04d.png", "--frames", "5-3"},
        {project, "-o", dir + "/m_%04d.png", "--frames", "1-x"},
        {project, "-o", dir + "/v.mp4", "--frames", "26"},
        {project, "-o", out, "--frames", "1-3"},
        // --quality where the codec has one, within its range.
        {project, "-o", dir + "/v.mp4", "--quality", "52"},
        {project, "-o", dir + "/v.webm", "--quality", "64"},
        {project, "-o", dir + "/v.avi", "--quality", "10"},
        {project, "-o", dir + "/v.gif", "--rate", "60", "--length", "1"},
        {project, "-o", out, "--length", "abc"},
        {project, "-o", out, "--length", "0"},
        {project, "-o", out, "--rate", "-5"},
        {project, "-o", out, "--picture", "1.5"},
        {project, "-o", out, "--picture", "0"},
        {project, "-o", out, "--picture", "26"},  // N = 25
        {project, "-o", out, "--length", "0.1"},  // N = trunc(0.5) = 0
        {project, "-o", out, "--background", "#12345"},
        {project, "-o", out, "--background", "102030"},
        {project, "-o", out, "--background", "#12345G"},
    };
    const QStringList before = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden);
    for (const QStringList& args : cases) {
        const ProcessRun r = Render(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden), before);
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("vellora-render: "))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

TEST_F(VelloraRender, InputAndOutputFailuresExit1AndLeaveTheOutputAlone) {
    const QString out = dir + "/out.png";
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous output");
    old.close();

    std::vector<std::uint8_t> bytes;
    core::WriteProject({"..\\pics\\missing.png", "two.bmp", kAreas}, bytes);
    WriteBytes(dir + "/proj/missing.mor", bytes);
    WriteBytes(dir + "/proj/short.mor", std::span(bytes).first(bytes.size() - 3));
    WriteBytes(dir + "/proj/not.mor", std::span(bytes).subspan(1));

    const std::vector<std::pair<QStringList, QString>> cases = {
        {{dir + "/proj/none.mor", "-o", out}, "cannot be opened: No such file or directory"},
        {{dir + "/proj/not.mor", "-o", out}, "not a morphing project"},
        {{dir + "/proj/short.mor", "-o", out}, "ends before the last of its 2 areas"},
        {{dir + "/proj/missing.mor", "-o", out},
         "picture 1 (..\\pics\\missing.png) cannot be loaded"},
        {{project, "-o", dir + "/nofolder/out.png"}, "cannot write"},
    };
    for (const auto& [args, text] : cases) {
        const ProcessRun r = Render(args);
        EXPECT_EQ(r.code, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(text)) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_EQ(ReadAll(out), QByteArray("previous output"));
    }
    EXPECT_FALSE(QFileInfo::exists(dir + "/nofolder"));
}

// Every output format against the faults a test can inject into a separate
// process: exit 1, one line with the system's reason, the old file kept and
// nothing left behind (a file-size limit must not kill it with SIGXFSZ).
class VelloraRenderFaults
    : public VelloraRender,
      public ::testing::WithParamInterface<std::tuple<const char*, testing_support::Fault>> {};

TEST_P(VelloraRenderFaults, ExitOneWithTheReasonAndKeepTheOldFile) {
    const auto [fileName, fault] = GetParam();
    using testing_support::Fault;
    if (fault == Fault::ReadOnlyFolder && !testing_support::PermissionsApply())
        GTEST_SKIP() << "running as root: permissions do not block writes";
    testing_support::TFaultScene scene((dir + "/out").toStdString(), fault, fileName);
    const ProcessRun r = Render({project, "-o", QString::fromStdString(scene.Target().string())},
                                fault == Fault::FileSizeLimit ? 1500 : RLIM_INFINITY);
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("vellora-render: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QLatin1String(testing_support::FaultReason(fault))))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(scene.Untouched()) << scene.Listing();
}

INSTANTIATE_TEST_SUITE_P(
    EveryOutputEveryFault, VelloraRenderFaults,
    ::testing::Combine(::testing::Values("out.bmp", "out.png", "out.jpg", "out.tif", "out.avi",
                                         "out.mp4", "out.webm", "out.gif"),
                       ::testing::Values(testing_support::Fault::FileSizeLimit,
                                         testing_support::Fault::ReadOnlyFolder,
                                         testing_support::Fault::FolderInPlace,
                                         testing_support::Fault::MissingFolder)),
    [](const auto& info) {
        std::string name = std::get<0>(info.param);
        name[3] = '_';
        return name + "_" + FaultName(std::get<1>(info.param));
    });

TEST_F(VelloraRender, WritesTheSameBytesAsTheWindowInEveryFormat) {
    testing_support::FormFixture f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    w.OpenFile(project);
    ASSERT_TRUE(f.prompter->Messages().empty());
    w.TimeEd->SetText(QStringLiteral("2"));
    w.PPSEd->SetText(QStringLiteral("3"));
    w.PicEd->SetText(QStringLiteral("4"));
    for (const char* ext : {"bmp", "png", "jpg", "jpeg", "tif", "tiff"}) {
        const QString fromWindow = dir + "/window." + ext;
        const QString fromCli = dir + "/cli." + ext;
        f.prompter->fileAnswers.push_back(fromWindow);
        QTest::mouseClick(w.SavePicBtn, Qt::LeftButton);
        const ProcessRun r =
            Render({project, "-o", fromCli, "--length", "2", "--rate", "3", "--picture", "4"});
        ASSERT_EQ(r.code, 0) << ext << ": " << r.err.toStdString();
        const QByteArray a = ReadAll(fromWindow);
        EXPECT_FALSE(a.isEmpty()) << ext;
        const QByteArray b = ReadAll(fromCli);
        EXPECT_TRUE(a == b) << ext << ": the window and vellora-render differ (" << a.size()
                            << " and " << b.size() << " bytes)";
    }
    EXPECT_TRUE(f.prompter->Messages().empty());
    ExpectPicture(dir + "/cli.tif", Expected(6, 4, 0));
}

TEST_F(VelloraRender, NamesWithControlCharactersAreShownEscaped) {
    const std::string evil = std::string("ev\x1b[31mil\nna", 12) + std::string(1, '\0') + "me.png";
    std::vector<std::uint8_t> bytes;
    core::WriteProject({evil, "two.bmp", kAreas}, bytes);
    WriteBytes(dir + "/proj/evil.mor", bytes);
    const ProcessRun r = Render({dir + "/proj/evil.mor", "-o", dir + "/out.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QChar(0x1b)));
    EXPECT_TRUE(r.err.contains(QStringLiteral("picture 1 (ev\\x1b[31mil\\x0ana\\x00me.png)")))
        << r.err.toStdString();
    const ProcessRun usage = Render({project, "-o", dir + "/out.\x1b[2J"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("out.\\x1b[2J"))) << usage.err.toStdString();

    // The window's load-error caption shows the same, whole, with its folder.
    testing_support::FormFixture f = testing_support::MakeForm();
    f.form->OpenFile(dir + "/proj/evil.mor");
    ASSERT_EQ(f.prompter->Messages().size(), 1u);
    EXPECT_EQ(f.prompter->Messages()[0].caption,
              "Error while the loading (" + dir +
                  QStringLiteral("/proj/ev\\x1b[31mil\\x0ana\\x00me.png)"));
}

TEST_F(VelloraRender, RunningOutOfMemoryIsReportedAndWritesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#endif
    // 16384 x 1 and 1 x 16384 pictures give a 16384 x 16384 result (768 MB).
    ASSERT_TRUE(raster::DibToImage(Pattern(16384, 1, 3)).save(dir + "/proj/wide.bmp"));
    ASSERT_TRUE(raster::DibToImage(Pattern(1, 16384, 4)).save(dir + "/proj/tall.bmp"));
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"wide.bmp", "tall.bmp", {}}, bytes);
    WriteBytes(dir + "/proj/huge.mor", bytes);
    for (const char* name : {"/out/huge.bmp", "/out/huge.png"}) {
        QDir().mkpath(dir + "/out");
        const ProcessRun r =
            Render({dir + "/proj/huge.mor", "-o", dir + name}, RLIM_INFINITY, 600u << 20);
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("not enough memory"))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(QDir(dir + "/out").entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}
