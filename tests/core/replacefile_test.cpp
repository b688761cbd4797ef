// The one replace-a-file mechanism: what a successful save leaves, and that
// every fault leaves the old file byte-identical with the system's reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>

#include "core/printable.h"
#include "core/replacefile.h"
#include "support/fault_injection.h"
#include "support/test_files.h"

namespace fs = std::filesystem;
using testing_support::Fault;
using testing_support::FileContent;
using testing_support::PutFile;

namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Content(const fs::path& p) {
    const std::vector<char> c = FileContent(p);
    return {c.begin(), c.end()};
}

fs::path Fresh(const char* name) {
    return testing_support::OutDir(QString::fromLatin1(name)).toStdString();
}

// Points the replacement's descriptor at /dev/full: every write fails as on
// a full disk.
void MakeFull(core::TReplacement& out) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    ASSERT_GE(::dup2(full, out.Descriptor()), 0);
    ::close(full);
}

}  // namespace

TEST(ReplaceFile, ReplacesKeepsTheModeAndLeavesNoTemporaryFile) {
    const fs::path dir = Fresh("replace_ok");
    const fs::path target = dir / "p.mor";
    ASSERT_TRUE(core::ReplaceFile(target, Bytes("first")).ok);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // Large enough to pass the write buffer.
    const std::string big(700000, 'x');
    ASSERT_TRUE(core::ReplaceFile(target, Bytes(big)).ok);
    EXPECT_EQ(Content(target), big);
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(testing_support::Names(dir), std::vector<std::string>{"p.mor"});
}

TEST(ReplaceFile, ASymlinkKeepsPointingAtTheReplacedFile) {
    const fs::path dir = Fresh("replace_symlink");
    fs::create_directory(dir / "real");
    PutFile(dir / "real" / "p.bmp", "old");
    fs::create_symlink("real/p.bmp", dir / "link.bmp");
    fs::create_symlink("link.bmp", dir / "link2.bmp");  // a chain of two
    ASSERT_TRUE(core::ReplaceFile(dir / "link2.bmp", Bytes("new")).ok);
    EXPECT_TRUE(fs::is_symlink(dir / "link.bmp"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.bmp"));
    EXPECT_EQ(Content(dir / "real" / "p.bmp"), "new");
    EXPECT_EQ(testing_support::Names(dir / "real"), std::vector<std::string>{"p.bmp"});
    // A link to a file not there yet creates that file.
    fs::create_symlink("real/later.bmp", dir / "dangling.bmp");
    ASSERT_TRUE(core::ReplaceFile(dir / "dangling.bmp", Bytes("made")).ok);
    EXPECT_EQ(Content(dir / "real" / "later.bmp"), "made");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.bmp"));
}

TEST(ReplaceFile, AWriterThatGivesUpLeavesEverythingAsItWas) {
    const fs::path dir = Fresh("replace_abandon");
    PutFile(dir / "p.png", "old");
    const core::TSaveResult r = core::ReplaceFile(dir / "p.png", [](core::TReplacement& out) {
        out.Write("part", 4);
        out.Fail("the encoder gave up");
        return false;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the encoder gave up");
    EXPECT_EQ(Content(dir / "p.png"), "old");
    EXPECT_EQ(testing_support::Names(dir), std::vector<std::string>{"p.png"});
    // A device is never replaced by a file.
    const core::TSaveResult device = core::ReplaceFile("/dev/null", Bytes("x"));
    EXPECT_FALSE(device.ok);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// The rename needs only the folder's permission; a file the user could not
// write must not be replaced through it, nor through a link to it.
TEST(ReplaceFile, AFileTheUserCouldNotWriteIsNotReplaced) {
    const fs::path dir = Fresh("replace_protected");
    // Each case: the file, who owns it and its mode; then a save as the user.
    auto save = [](const fs::path& target) {
        const core::TSaveResult r = core::ReplaceFile(target, Bytes("new"));
        return r.ok ? std::string("ok") : r.error;
    };
    const std::optional<testing_support::TUser> nobody = testing_support::Nobody();
    if (nobody) {
        // Root writes anything; the user nobody, in a folder of its own, may
        // not replace its read-only file nor root's file, but its own file.
        ASSERT_EQ(::chown(dir.c_str(), nobody->uid, nobody->gid), 0);
        PutFile(dir / "readonly.png", "old");
        PutFile(dir / "roots.png", "old");
        PutFile(dir / "own.png", "old");
        fs::create_symlink("readonly.png", dir / "link.png");
        for (const char* name : {"readonly.png", "own.png"})
            ASSERT_EQ(::chown((dir / name).c_str(), nobody->uid, nobody->gid), 0);
        fs::permissions(dir / "readonly.png", fs::perms::owner_read | fs::perms::group_read);
        const int verdict = testing_support::RunAs(*nobody, [&] {
            return (save(dir / "readonly.png") == "Permission denied" ? 0 : 1) |
                   (save(dir / "link.png") == "Permission denied" ? 0 : 2) |
                   (save(dir / "roots.png") == "Permission denied" ? 0 : 4) |
                   (save(dir / "own.png") == "ok" ? 0 : 8);
        });
        EXPECT_EQ(verdict, 0) << "1 read-only, 2 link, 4 another user's, 8 own file";
        EXPECT_EQ(Content(dir / "readonly.png"), "old");
        EXPECT_EQ(Content(dir / "roots.png"), "old");
        EXPECT_EQ(Content(dir / "own.png"), "new");
        EXPECT_EQ(testing_support::Names(dir),
                  (std::vector<std::string>{"link.png", "own.png", "readonly.png", "roots.png"}));
    } else if (testing_support::PermissionsApply()) {
        PutFile(dir / "readonly.png", "old");
        fs::create_symlink("readonly.png", dir / "link.png");
        fs::permissions(dir / "readonly.png", fs::perms::owner_read);
        EXPECT_EQ(save(dir / "readonly.png"), "Permission denied");
        EXPECT_EQ(save(dir / "link.png"), "Permission denied");
        EXPECT_EQ(Content(dir / "readonly.png"), "old");
        EXPECT_EQ(testing_support::Names(dir),
                  (std::vector<std::string>{"link.png", "readonly.png"}));
    }
    // An immutable file stops root too: refused before anything is written.
    const fs::path frozen = dir / "frozen.png";
    PutFile(frozen, "old");
    if (testing_support::SetImmutable(frozen, true)) {
        const core::TReplacement out(frozen);
        EXPECT_TRUE(out.Failed());
        EXPECT_EQ(out.Error(), "Operation not permitted");
        EXPECT_TRUE(out.TempPath().empty());
        EXPECT_TRUE(testing_support::SetImmutable(frozen, false));
        EXPECT_EQ(Content(frozen), "old");
    }
}

TEST(ReplaceFile, AStopRequestedAnyTimeBeforeTheRenameKeepsTheOldFile) {
    const fs::path dir = Fresh("replace_stop");
    PutFile(dir / "p.bmp", "old");
    const std::string big(700000, 'x');
    core::TStopFlag stop{0};
    // Before the start, in the middle of the writes, and just before Commit.
    for (int when = 0; when < 3; ++when) {
        stop = when == 0 ? SIGINT : 0;
        core::TReplacement out(dir / "p.bmp", &stop);
        out.Write(Bytes(big));
        if (when == 1) stop = SIGTERM;
        out.Write(Bytes(big));
        if (when == 2) stop = SIGHUP;
        const core::TSaveResult r = out.Commit();
        EXPECT_FALSE(r.ok) << when;
        EXPECT_EQ(r.error, core::kInterrupted) << when;
        EXPECT_EQ(out.ErrorNumber(), EINTR) << when;
        EXPECT_EQ(Content(dir / "p.bmp"), "old") << when;
        EXPECT_EQ(testing_support::Names(dir), std::vector<std::string>{"p.bmp"}) << when;
    }
    stop = 0;
    EXPECT_TRUE(core::ReplaceFile(dir / "p.bmp", Bytes("new"), &stop).ok);
    EXPECT_EQ(Content(dir / "p.bmp"), "new");
}

class ReplaceFileFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(ReplaceFileFaults, KeepTheOldFileAndGiveTheSystemsReason) {
    const Fault fault = GetParam();
    if (fault == Fault::ReadOnlyFolder && !testing_support::PermissionsApply())
        GTEST_SKIP() << "running as root: permissions do not block writes";
    const fs::path dir = Fresh((std::string("replace_fault_") + FaultName(fault)).c_str());
    testing_support::TFaultScene scene(dir, fault, "p.mor");
    const std::string content(100000, 'n');
    core::TSaveResult r;
    if (fault == Fault::FullDevice) {
        core::TReplacement out(scene.Target());
        MakeFull(out);
        out.Write(Bytes(content));
        r = out.Commit();
    } else if (fault == Fault::FileSizeLimit) {
        testing_support::TFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Ok());
        r = core::ReplaceFile(scene.Target(), Bytes(content));
    } else {
        r = core::ReplaceFile(scene.Target(), Bytes(content));
    }
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, testing_support::FaultReason(fault));
    EXPECT_TRUE(scene.Untouched()) << scene.Listing();
}

INSTANTIATE_TEST_SUITE_P(EveryFault, ReplaceFileFaults,
                         ::testing::ValuesIn(testing_support::AllFaults()),
                         [](const auto& info) { return FaultName(info.param); });

TEST(PrintableText, ControlsEscapesAndBrokenUtf8BecomeVisible) {
    using core::PrintableText;
    EXPECT_EQ(PrintableText("..\\pics\\a.png"), "..\\pics\\a.png");
    EXPECT_EQ(PrintableText("Bild \xc3\xa4\xe2\x82\xac.bmp"), "Bild \xc3\xa4\xe2\x82\xac.bmp");
    EXPECT_EQ(PrintableText(std::string_view("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(PrintableText("\x1b[2Jx\r\n\t\x7f"), "\\x1b[2Jx\\x0d\\x0a\\x09\\x7f");
    // C1 CSI in UTF-8, a lone continuation byte, a cut sequence, an overlong "/".
    EXPECT_EQ(PrintableText("\xc2\x9b"
                            "1m"),
              "\\xc2\\x9b1m");
    EXPECT_EQ(PrintableText("\x80"), "\\x80");
    EXPECT_EQ(PrintableText("\xe2\x82"), "\\xe2\\x82");
    EXPECT_EQ(PrintableText("\xc0\xaf"), "\\xc0\\xaf");
}

TEST(PrintableText, BidirectionalControlsCannotDisguiseAName) {
    using core::PrintableText;
    // "photo<RLO>gnp.exe" would show as "photoexe.png".
    EXPECT_EQ(PrintableText("photo\xe2\x80\xaegnp.exe"), "photo\\xe2\\x80\\xaegnp.exe");
    // Isolates, marks and the line separator; Arabic and Hebrew letters stay.
    EXPECT_EQ(PrintableText("\xe2\x81\xa6x\xe2\x81\xa9\xe2\x80\x8f\xe2\x80\xa8"),
              "\\xe2\\x81\\xa6x\\xe2\\x81\\xa9\\xe2\\x80\\x8f\\xe2\\x80\\xa8");
    EXPECT_EQ(PrintableText("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d.png"),
              "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d.png");
    // Letters next to the controls in the same block are not touched.
    EXPECT_EQ(PrintableText("\xe2\x80\x94"), "\xe2\x80\x94");
}
