// The project file module: exact bytes, the reader's checks, the relative
// picture names and reading project files.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/projectfile.h"
#include "support/test_files.h"

namespace fs = std::filesystem;
using core::TProjectStatus;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

void WriteBytes(const fs::path& p, std::span<const std::uint8_t> b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::vector<std::uint8_t> Header(std::string_view n1, std::string_view n2, std::int32_t count) {
    std::vector<std::uint8_t> b = Bytes(core::kProjectMagic);
    b.push_back(static_cast<std::uint8_t>(n1.size()));
    b.insert(b.end(), n1.begin(), n1.end());
    b.push_back(static_cast<std::uint8_t>(n2.size()));
    b.insert(b.end(), n2.begin(), n2.end());
    const auto u = static_cast<std::uint32_t>(count);
    for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(u >> s));
    return b;
}

const std::vector<TAreaPair> kThreeAreas = {
    {1, 2, 3, 4, 5, 6, 7, 8},
    {-1, 0x7FFFFFFF, INT32_MIN, 0x01020304, 300, 200, 10, 5},  // inverted and out of the picture
    {0, 0, 0, 0, 0, 0, 0, 0},
};

}  // namespace

TEST(ProjectBytes, EmptyProjectIs26Bytes) {
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(core::WriteProject({}, out));
    std::vector<std::uint8_t> expected = Bytes("TALVORN Morphing 1.0");
    expected.insert(expected.end(), {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(out, expected);
    EXPECT_EQ(out.size(), core::kEmptyProjectSize);
}

TEST(ProjectBytes, TwoNamesAndThreeAreasAreLaidOutFieldByField) {
    const core::TProjectData data{"a.bmp", "pics\\bb.png", kThreeAreas};
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(core::WriteProject(data, out));
    ASSERT_EQ(out.size(), 26u + 5 + 11 + 96);
    EXPECT_EQ(out[20], 5);
    EXPECT_EQ(std::string(out.begin() + 21, out.begin() + 26), "a.bmp");
    EXPECT_EQ(out[26], 11);
    EXPECT_EQ(std::string(out.begin() + 27, out.begin() + 38), "pics\\bb.png");
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 38, out.begin() + 42),
              (std::vector<std::uint8_t>{3, 0, 0, 0}));
    // Second record: Left1 = -1, Top1 = INT32_MAX, Right1 = INT32_MIN, Bottom1 = 0x01020304.
    const std::vector<std::uint8_t> second(out.begin() + 42 + 32, out.begin() + 42 + 48);
    EXPECT_EQ(second, (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0,
                                                 0, 0, 0x80, 4, 3, 2, 1}));
    const core::TProjectReadResult back = core::ReadProject(out);
    ASSERT_EQ(back.status, TProjectStatus::Ok);
    EXPECT_EQ(back.data, data);
}

TEST(ProjectBytes, NameLongerThan255BytesIsRefusedNotCut) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(core::WriteShortStr(out, std::string(255, 'x')));
    EXPECT_EQ(out.size(), 256u);
    out.clear();
    EXPECT_FALSE(core::WriteShortStr(out, std::string(256, 'x')));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(core::WriteProject({"ok.bmp", std::string(256, 'y'), {}}, out));
    EXPECT_TRUE(out.empty());
}

TEST(ProjectReader, RefusesEveryTruncationAndChecksTheCountAgainstTheBytes) {
    const std::vector<std::uint8_t> full = [] {
        std::vector<std::uint8_t> b;
        core::WriteProject({"p1.png", "p2.png", kThreeAreas}, b);
        return b;
    }();
    // Every proper prefix is refused, with the field it ends in.
    for (std::size_t len = 0; len < full.size(); ++len) {
        const auto r = core::ReadProject(std::span(full).first(len));
        TProjectStatus expected = TProjectStatus::EndsBeforeRecords;
        if (len < 20)
            expected = TProjectStatus::NotProject;
        else if (len < 20 + 7 + 7)
            expected = TProjectStatus::EndsInsideName;
        else if (len < 20 + 14 + 4)
            expected = TProjectStatus::EndsBeforeCount;
        EXPECT_EQ(r.status, expected) << "length " << len;
        EXPECT_TRUE(r.data.areas.empty());
    }
    // A huge count over a short file is refused without allocating for it.
    EXPECT_EQ(core::ReadProject(Header("", "", 0x7FFFFFFF)).status,
              TProjectStatus::EndsBeforeRecords);
    EXPECT_EQ(core::ReadProject(Header("", "", 0x7FFFFFFF)).announced, 0x7FFFFFFF);
    // A length byte announcing more than is there.
    std::vector<std::uint8_t> shortName = Bytes(core::kProjectMagic);
    shortName.insert(shortName.end(), {200, 'a', 'b'});
    EXPECT_EQ(core::ReadProject(shortName).status, TProjectStatus::EndsInsideName);
}

TEST(ProjectReader, MagicIsExactCountBelowOneGivesNoAreasAndTrailingBytesAreIgnored) {
    std::vector<std::uint8_t> b = Header("x", "y", 0);
    b[8] = 'm';  // "Morphing" with a small m
    EXPECT_EQ(core::ReadProject(b).status, TProjectStatus::NotProject);

    for (std::int32_t count : {0, -1, INT32_MIN}) {
        std::vector<std::uint8_t> h = Header("x", "y", count);
        h.insert(h.end(), 64, 0xAB);  // looks like two records, but the count says none
        const auto r = core::ReadProject(h);
        ASSERT_EQ(r.status, TProjectStatus::Ok) << count;
        EXPECT_TRUE(r.data.areas.empty());
        EXPECT_EQ(r.data.pic1Name, "x");
    }
    std::vector<std::uint8_t> one = Header("", "", 1);
    for (int i = 0; i < 32; ++i) one.push_back(static_cast<std::uint8_t>(i));
    one.insert(one.end(), {9, 9, 9});  // trailing junk
    const auto r = core::ReadProject(one);
    ASSERT_EQ(r.status, TProjectStatus::Ok);
    ASSERT_EQ(r.data.areas.size(), 1u);
    EXPECT_EQ(r.data.areas[0].Left1, 0x03020100);
    EXPECT_EQ(r.data.areas[0].Bottom2, 0x1F1E1D1C);
}

TEST(RelativePath, ExamplesForAProjectInCWorkMorph) {
    const std::string folder = "C:\\work\\morph\\";
    EXPECT_EQ(core::RelativePath(folder, "C:\\work\\morph\\a.bmp"), "a.bmp");
    EXPECT_EQ(core::RelativePath(folder, "C:\\work\\pics\\b.jpg"), "..\\pics\\b.jpg");
    EXPECT_EQ(core::RelativePath(folder, "c:\\WORK\\morph\\sub\\d.bmp"), "sub\\d.bmp");
    EXPECT_EQ(core::RelativePath(folder, "D:\\x\\c.bmp"), "D:\\x\\c.bmp");
    EXPECT_EQ(core::RelativePath(folder, "pics\\e.bmp"), "pics\\e.bmp");
    EXPECT_EQ(core::RelativePath(folder, ""), "");
    EXPECT_EQ(core::RelativePath(folder, "C:\\f.bmp"), "..\\..\\f.bmp");
    EXPECT_EQ(core::RelativePath(folder, "C:\\Work\\MORPH\\deep\\er\\g.bmp"), "deep\\er\\g.bmp");
    // A name with only a drive: its file name follows the ":".
    EXPECT_EQ(core::RelativePath(folder, "c:h.bmp"), "..\\..\\h.bmp");
    // The file name keeps its own letter case.
    EXPECT_EQ(core::RelativePath("C:\\", "C:\\Pics\\Face.BMP"), "Pics\\Face.BMP");
}

TEST(RelativePath, UncSharesAreDrives) {
    const std::string folder = "\\\\server\\share\\proj\\";
    EXPECT_EQ(core::RelativePath(folder, "\\\\SERVER\\Share\\pics\\a.bmp"), "..\\pics\\a.bmp");
    EXPECT_EQ(core::RelativePath(folder, "\\\\server\\other\\proj\\a.bmp"),
              "\\\\server\\other\\proj\\a.bmp");
    EXPECT_EQ(core::RelativePath(folder, "\\\\server2\\share\\proj\\a.bmp"),
              "\\\\server2\\share\\proj\\a.bmp");
    EXPECT_EQ(core::RelativePath(folder, "C:\\proj\\a.bmp"), "C:\\proj\\a.bmp");
    EXPECT_EQ(core::RelativePath("C:\\proj\\", "\\\\server\\share\\a.bmp"),
              "\\\\server\\share\\a.bmp");
    // A bare share is a drive longer than its own folder part (found by fuzzing).
    EXPECT_EQ(core::RelativePath(folder, "\\\\server\\share"), "..\\share");
    EXPECT_EQ(core::RelativePath("\\\\server\\share\\", "\\\\server\\share"), "share");
}

TEST(RelativePath, PosixRootIsTheDriveAndLetterCaseCounts) {
    const std::string folder = "\\home\\u\\proj\\";
    EXPECT_EQ(core::RelativePath(folder, "\\home\\u\\pics\\a.png"), "..\\pics\\a.png");
    EXPECT_EQ(core::RelativePath(folder, "\\home\\u\\proj\\a.png"), "a.png");
    EXPECT_EQ(core::RelativePath(folder, "\\etc\\x.png"), "..\\..\\..\\etc\\x.png");
    EXPECT_EQ(core::RelativePath(folder, "pics\\a.png"), "pics\\a.png");
    EXPECT_EQ(core::RelativePath(folder, "C:\\home\\u\\proj\\a.png"), "C:\\home\\u\\proj\\a.png");
    // Proj and proj are different folders here.
    EXPECT_EQ(core::RelativePath(folder, "\\home\\u\\Proj\\a.png"), "..\\Proj\\a.png");
}

TEST(PictureNames, StoredFormAndResolvingAgainstTheProjectFolder) {
    EXPECT_EQ(core::StoredNameFor("/home/u/proj/p.mor", "/home/u/pics/a.png"), "..\\pics\\a.png");
    EXPECT_EQ(core::StoredNameFor("/home/u/proj/p.mor", "/home/u/proj/x/../a.png"), "a.png");
    EXPECT_EQ(core::StoredNameFor("/home/u/proj/p.mor", ""), "");
    EXPECT_EQ(core::ResolveStoredName("/home/u/proj/p.mor", "..\\pics\\a.png"),
              "/home/u/pics/a.png");
    EXPECT_EQ(core::ResolveStoredName("/home/u/proj/p.mor", "sub/b.png"), "/home/u/proj/sub/b.png");
    EXPECT_EQ(core::ResolveStoredName("/home/u/proj/p.mor", "\\abs\\c.png"), "/abs/c.png");
    EXPECT_EQ(core::ResolveStoredName("/home/u/proj/p.mor", ""), "");

    // Names of pictures a project could not load: kept byte for byte in
    // their own folder (even spelled oddly), re-relativised elsewhere;
    // rooted names and names with a drive stay as they are; a loaded
    // picture always wins.
    const core::TMissingPicture odd{"x\\..\\Pics//a.PNG", "/home/u/proj/p.mor"};
    EXPECT_EQ(core::KeptStoredName("/home/u/proj/other.mor", "", odd), odd.storedName);
    EXPECT_EQ(core::KeptStoredName("/home/u/proj/sub/q.mor", "", odd), "..\\Pics\\a.PNG");
    EXPECT_EQ(core::KeptStoredName("/tmp/q.mor", "", {"C:\\pics\\a.png", "/home/u/p.mor"}),
              "C:\\pics\\a.png");
    EXPECT_EQ(core::KeptStoredName("/tmp/q.mor", "", {"\\\\srv\\s\\a.png", "/home/u/p.mor"}),
              "\\\\srv\\s\\a.png");
    EXPECT_EQ(core::KeptStoredName("/home/u/proj/q.mor", "/home/u/pics/b.png", odd),
              "..\\pics\\b.png");
    EXPECT_EQ(core::KeptStoredName("/home/u/proj/q.mor", "", {}), "");
}

class ProjectFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(QStringLiteral("projectfile_test")).toStdString();
    }
    std::size_t FilesIn() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    fs::path dir;
};

TEST_F(ProjectFiles, FileRoundTripAndRefusals) {
    std::vector<std::uint8_t> b;
    core::WriteProject({"a.png", "b.png", kThreeAreas}, b);
    WriteBytes(dir / "p.mor", b);
    const auto r = core::ReadProjectFile(dir / "p.mor");
    ASSERT_EQ(r.status, TProjectStatus::Ok);
    EXPECT_EQ(r.data.areas, kThreeAreas);

    EXPECT_EQ(core::ReadProjectFile(dir / "missing.mor").status, TProjectStatus::CannotOpen);
    EXPECT_EQ(core::ReadProjectFile(dir).status, TProjectStatus::CannotOpen);
    WriteBytes(dir / "short.mor", std::span(b).first(b.size() - 1));
    EXPECT_EQ(core::ReadProjectFile(dir / "short.mor").status, TProjectStatus::EndsBeforeRecords);
    WriteBytes(dir / "huge.mor", Header("", "", 0x7FFFFFFF));
    EXPECT_EQ(core::ReadProjectFile(dir / "huge.mor").status, TProjectStatus::EndsBeforeRecords);
    WriteBytes(dir / "magic.mor", Bytes("TALVORN Morphing"));
    EXPECT_EQ(core::ReadProjectFile(dir / "magic.mor").status, TProjectStatus::NotProject);
}

TEST_F(ProjectFiles, ARefusalToOpenGivesTheSystemsReason) {
    fs::create_symlink("loop2.mor", dir / "loop1.mor");
    fs::create_symlink("loop1.mor", dir / "loop2.mor");
    const auto describe = [&](const fs::path& file) {
        return core::DescribeProjectStatus(core::ReadProjectFile(file));
    };
    EXPECT_EQ(describe(dir / "missing.mor"), "it cannot be opened: No such file or directory");
    EXPECT_EQ(describe(dir), "it cannot be opened: Is a directory");
    EXPECT_EQ(describe(dir / "loop1.mor"),
              "it cannot be opened: Too many levels of symbolic links");
    EXPECT_EQ(describe(dir / "missing" / "p.mor"),
              "it cannot be opened: No such file or directory");
    // Refusals of the content have no system reason to give.
    WriteBytes(dir / "magic.mor", Bytes("TALVORN Morphing"));
    EXPECT_EQ(describe(dir / "magic.mor"), "it is not a morphing project file");
}
