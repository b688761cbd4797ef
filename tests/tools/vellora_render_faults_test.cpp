// vellora-render run as a program against what ends or breaks a run: the
// signals a user or the system sends, a disk that really fills up, a file the
// user could not write and a result too large to hold. Each must leave the old
// output as it was (numbered pictures: told which were replaced), nothing
// behind, one line on stderr and the right exit code.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "core/projectfile.h"
#include "raster/paintdib.h"
#include "support/fault_injection.h"
#include "support/test_files.h"

namespace fs = std::filesystem;
using testing_support::FileContent;
using testing_support::Names;
using testing_support::PutFile;

namespace {

struct TRun {
    int code = -1;
    QString err;                       // without the "ready" line
    std::vector<std::string> atReady;  // the output folder when it said "ready"
};

std::string Content(const fs::path& p) {
    const std::vector<char> c = FileContent(p);
    return {c.begin(), c.end()};
}

// Runs vellora-render. With a hold point, waits until the program is there,
// notes the output folder's names, sends the signal and waits for the end.
// setup runs in the child before the program starts.
TRun RunRender(const QStringList& args, const fs::path& outDir, const char* hold = nullptr,
               int signal = 0, const std::function<void()>& setup = {}) {
    QProcess proc;
    if (hold != nullptr) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELLORA_RENDER_TEST_HOLD"), QString::fromLatin1(hold));
        proc.setProcessEnvironment(env);
    }
    if (setup) proc.setChildProcessModifier(setup);
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), args);
    TRun run;
    EXPECT_TRUE(proc.waitForStarted());
    QByteArray err;
    if (hold != nullptr) {
        proc.setReadChannel(QProcess::StandardError);
        while (!err.startsWith("ready\n") && proc.waitForReadyRead(60000))
            err += proc.readAllStandardError();
        EXPECT_TRUE(err.startsWith("ready\n")) << hold << ": " << err.toStdString();
        run.atReady = Names(outDir);
        ::kill(static_cast<pid_t>(proc.processId()), signal);
        err.remove(0, 6);
    }
    EXPECT_TRUE(proc.waitForFinished(120000));
    err += proc.readAllStandardError();
    run.code = proc.exitStatus() == QProcess::NormalExit ? proc.exitCode() : -1;
    run.err = QString::fromUtf8(err);
    return run;
}

// Noise, which no encoder shrinks much: every output takes about its full size.
raster::DibRecord Noise(int w, int h, std::uint32_t seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (std::uint8_t& b : dib.Bits()) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return dib;
}

bool IsBmp(const fs::path& p) {
    return Content(p).starts_with("BM");
}

// A project of two 64 x 48 pictures in "proj", outputs in "out".
class RenderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            testing_support::OutDir(
                QStringLiteral("vellora_render_faults_") +
                QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                    .replace(QLatin1Char('/'), QLatin1Char('_')))
                .toStdString();
        out = dir / "out";
        fs::create_directories(dir / "proj");
        fs::create_directories(out);
        ASSERT_TRUE(raster::DibToImage(Noise(64, 48, 1)).save(Q(dir / "proj" / "one.png")));
        ASSERT_TRUE(raster::DibToImage(Noise(64, 48, 2)).save(Q(dir / "proj" / "two.png")));
        WriteProject("p.mor", "one.png", "two.png");
        // Readable by every user: some runs are made as another.
        for (const fs::path& p : {dir, dir / "proj"})
            fs::permissions(p, fs::perms::others_read | fs::perms::others_exec,
                            fs::perm_options::add);
        for (const auto& e : fs::directory_iterator(dir / "proj"))
            fs::permissions(e.path(), fs::perms::others_read, fs::perm_options::add);
    }

    QString WriteProject(const char* name, const std::string& one, const std::string& two) {
        std::vector<std::uint8_t> bytes;
        core::WriteProject({one, two, {{5, 5, 30, 25, 10, 8, 40, 30}}}, bytes);
        const fs::path file = dir / "proj" / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return Q(file);
    }

    static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }
    QString Project() const { return Q(dir / "proj" / "p.mor"); }
    // Ten pictures, as a video or numbered pictures.
    QStringList Args(const fs::path& output) const {
        return {Project(), "-o", Q(output), "--length", "2", "--rate", "5"};
    }

    fs::path dir;
    fs::path out;
};

// The old output, as each kind of run finds it.
struct TKind {
    const char* name;
    const char* output;  // in the output folder
    const char* hold;    // where the signal arrives
};

const TKind kKinds[] = {
    {"PictureWhileWritten", "out.bmp", "write"},
    {"PictureWhileLoading", "out.png", "load"},
    {"MotionJpeg", "out.avi", "frame"},
    {"H264", "out.mp4", "frame"},
    {"Gif", "out.gif", "frame"},
    {"NumberedPictures", "m_%03d.bmp", "frame"},
    {"Match", "new.mor", "match"},
};

std::string Numbered(int n) {
    char name[16];
    std::snprintf(name, sizeof name, "m_%03d.bmp", n);
    return name;
}

}  // namespace

class SignalsEndEveryRun : public RenderFaults, public ::testing::WithParamInterface<TKind> {};

TEST_P(SignalsEndEveryRun, WithTheOldOutputKeptAndNothingLeft) {
    const TKind& kind = GetParam();
    const bool series = std::strchr(kind.output, '%') != nullptr;
    const bool match = std::strcmp(kind.hold, "match") == 0;
    const std::pair<int, const char*> sent[] = {
        {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGQUIT, "SIGQUIT"}};
    for (const auto& [signal, name] : sent) {
        SCOPED_TRACE(name);
        fs::remove_all(out);
        fs::create_directories(out);
        if (series) {
            for (int n = 1; n <= 4; ++n) PutFile(out / Numbered(n), "old " + std::to_string(n));
        } else {
            PutFile(out / kind.output, "previous output");
        }
        const std::vector<std::string> before = Names(out);
        const QStringList args =
            match ? QStringList{Project(), "--match", "all", "-o", Q(out / kind.output)}
                  : Args(out / kind.output);
        const TRun r = RunRender(args, out, kind.hold, signal);
        EXPECT_EQ(r.code, 128 + signal);
        EXPECT_TRUE(r.err.startsWith(
            QStringLiteral("vellora-render: interrupted by %1; ").arg(QLatin1String(name))))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        // The signal came while the new file was being written.
        const bool writing = std::any_of(r.atReady.begin(), r.atReady.end(), [](const auto& n) {
            return n.find(".tmp-") != std::string::npos;
        });
        EXPECT_EQ(writing, !series && !match && std::strcmp(kind.hold, "load") != 0);
        EXPECT_EQ(Names(out), before);
        if (!series) {
            EXPECT_EQ(Content(out / kind.output), "previous output");
            continue;
        }
        // Picture 1 had replaced the old one; the rest are the old ones.
        EXPECT_TRUE(r.err.endsWith("picture 1 was replaced, the rest are as they were\n"))
            << r.err.toStdString();
        EXPECT_TRUE(IsBmp(out / Numbered(1)));
        for (int n = 2; n <= 4; ++n)
            EXPECT_EQ(Content(out / Numbered(n)), "old " + std::to_string(n));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SignalsEndEveryRun, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// Under nohup the caller ignores SIGHUP, and the run keeps it ignored: it
// goes on when the terminal hangs up, and still ends on the other signals.
TEST_F(RenderFaults, AHangupTheCallerIgnoresStaysIgnored) {
    PutFile(out / "out.bmp", "previous output");
    QProcess proc;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELLORA_RENDER_TEST_HOLD"), QStringLiteral("write"));
    proc.setProcessEnvironment(env);
    proc.setChildProcessModifier([] { std::signal(SIGHUP, SIG_IGN); });
    proc.setReadChannel(QProcess::StandardError);
    proc.start(QStringLiteral(VELLORA_RENDER_BIN), {Project(), "-o", Q(out / "out.bmp")});
    QByteArray err;
    while (!err.startsWith("ready\n") && proc.waitForReadyRead(60000))
        err += proc.readAllStandardError();
    ASSERT_TRUE(err.startsWith("ready\n")) << err.toStdString();
    ::kill(static_cast<pid_t>(proc.processId()), SIGHUP);
    EXPECT_FALSE(proc.waitForFinished(300));
    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    ASSERT_TRUE(proc.waitForFinished(60000));
    EXPECT_EQ(proc.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(Content(out / "out.bmp"), "previous output");
    EXPECT_EQ(Names(out), std::vector<std::string>{"out.bmp"});
}

// A small file system of its own, filled up to a few kilobytes: the disk
// really is full. Needs root's rights to mount; the same faults are injected
// in-process elsewhere (a file-size limit, /dev/full).
class FullDisk : public RenderFaults, public ::testing::WithParamInterface<const char*> {};

TEST_P(FullDisk, NothingLostNothingLeftAndTheReason) {
    const testing_support::TSmallFileSystem disk(out, 512);
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    const std::string output = GetParam();
    const bool series = output.find('%') != std::string::npos;
    if (series) {
        // Old pictures 1 to 3; the room left takes about two new ones.
        for (int n = 1; n <= 3; ++n) PutFile(out / Numbered(n), "old " + std::to_string(n));
        disk.LeaveRoom(5 * 4096);
    } else {
        PutFile(out / output, "previous output");
        disk.LeaveRoom(4096);
    }
    const std::vector<std::string> before = Names(out);
    const TRun r = RunRender(Args(out / output), out);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("No space left on device"))) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_EQ(Names(out), before);
    if (!series) {
        EXPECT_EQ(Content(out / output), "previous output");
        return;
    }
    int replaced = 0;
    for (int n = 1; n <= 3; ++n) {
        if (IsBmp(out / Numbered(n)))
            ++replaced;
        else
            EXPECT_EQ(Content(out / Numbered(n)), "old " + std::to_string(n));
    }
    ASSERT_GE(replaced, 1);
    ASSERT_LE(replaced, 2);
    EXPECT_TRUE(r.err.contains(replaced == 1 ? QStringLiteral("Picture 1 was replaced")
                                             : QStringLiteral("Pictures 1 and 2 were replaced")))
        << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FullDisk,
    ::testing::Values("out.bmp", "out.png", "out.avi", "out.mp4", "out.gif", "m_%03d.bmp"),
    [](const auto& info) {
        std::string name = info.param;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

// The rename needs only the folder's permission: a read-only file, or another
// user's file in one's own folder, must not be replaced through it. As root
// the run is made as the user nobody, in a folder of nobody's.
TEST_F(RenderFaults, FilesTheUserCouldNotWriteAreNotReplaced) {
    const std::optional<testing_support::TUser> nobody = testing_support::Nobody();
    if (!nobody && !testing_support::PermissionsApply())
        GTEST_SKIP() << "root without the user nobody";
    auto own = [&](const fs::path& p) {
        if (nobody) {
            ASSERT_EQ(::chown(p.c_str(), nobody->uid, nobody->gid), 0);
        }
    };
    own(out);
    struct TCase {
        std::string file;
        bool readOnly;  // else another user's (root's)
    };
    std::vector<TCase> cases = {
        {"out.png", true}, {"out.avi", true}, {"new.mor", true}, {"m_002.bmp", true}};
    if (nobody) cases.push_back({"other.bmp", false});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.file);
        PutFile(out / c.file, "previous output");
        if (c.readOnly) {
            own(out / c.file);
            fs::permissions(out / c.file,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        const bool series = c.file.starts_with("m_");
        if (series) {
            PutFile(out / "m_001.bmp", "old 1");
            own(out / "m_001.bmp");
        }
        const std::vector<std::string> before = Names(out);
        const QStringList args =
            c.file == "new.mor" ? QStringList{Project(), "--match", "all", "-o", Q(out / c.file)}
                                : Args(out / (series ? std::string("m_%03d.bmp") : c.file));
        std::function<void()> becomeNobody;
        if (nobody) becomeNobody = [user = *nobody] { testing_support::BecomeUser(user); };
        const TRun r = RunRender(args, out, nullptr, 0, becomeNobody);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Permission denied"))) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_EQ(Content(out / c.file), "previous output");
        EXPECT_EQ(Names(out), before);
        if (series) {
            // Picture 1 is the run's own, and said so.
            EXPECT_TRUE(IsBmp(out / "m_001.bmp"));
            EXPECT_TRUE(r.err.contains(QStringLiteral("Picture 1 was replaced")))
                << r.err.toStdString();
        }
        fs::remove(out / c.file);
        fs::remove(out / "m_001.bmp");
    }
}

// A result past the program's picture limit is said as such, not as a lack of
// memory, and at once: picture 1 alone can decide it, and picture 2 (here
// missing) is not even loaded then.
TEST_F(RenderFaults, AResultTooLargeToHoldIsSaidAtOnce) {
    // A 19000 x 19000 picture of 1 bit per pixel takes 45 MB; the result, of
    // 24 bits, would take 1033 MB.
    QImage huge(19000, 19000, QImage::Format_Mono);
    ASSERT_FALSE(huge.isNull());
    huge.fill(0);
    ASSERT_TRUE(huge.save(Q(dir / "proj" / "huge.png")));
    huge = QImage();
    ASSERT_TRUE(raster::DibToImage(raster::newdib(65535, 1, 24)).save(Q(dir / "proj" / "w.png")));
    ASSERT_TRUE(raster::DibToImage(raster::newdib(1, 5462, 24)).save(Q(dir / "proj" / "t.png")));
    const std::pair<QString, QString> cases[] = {
        {WriteProject("huge.mor", "huge.png", "missing.png"),
         "the result would be too large: 19000 x 19000 pixels take 1033 MB, the limit is "
         "1024 MB"},
        {WriteProject("wide.mor", "w.png", "t.png"),
         "the result would be too large: 65535 x 5462 pixels take 1025 MB, the limit is "
         "1024 MB"},
    };
    for (const auto& [project, text] : cases) {
        for (const char* output : {"out.png", "out.avi", "m_%03d.png"}) {
            const TRun r = RunRender({project, "-o", Q(out / output)}, out);
            EXPECT_EQ(r.code, 1) << output;
            EXPECT_EQ(r.err, "vellora-render: " + text + "\n") << output;
            EXPECT_TRUE(Names(out).empty());
        }
    }
}
