// The document commands driven through the window: New, Open..., Save,
// Save as..., with real project and picture files and scripted answers.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "raster/paintdib.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Kind = TScriptedPrompter::Asked::Kind;

namespace {

std::vector<std::uint8_t> FileBytes(const QString& p) {
    std::ifstream in(p.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const QString& p, std::span<const std::uint8_t> b) {
    std::ofstream out(p.toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A small picture with a pattern, saved as PNG.
QString MakePicture(const QString& path, int w, int h, std::uint32_t seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(
                dib, x, y,
                (seed * 2654435761u + static_cast<std::uint32_t>(x * 31 + y * 17)) & 0xFFFFFF);
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(raster::DibToImage(dib).save(path));
    return QFileInfo(path).absoluteFilePath();
}

std::vector<TAreaPair> Areas(TMainForm& w) {
    return testing_support::AreasOf(w);
}

// Everything a refused command must leave as it was.
struct Snapshot {
    QString pic1, pic2, saved, title;
    std::vector<std::uint8_t> bits1, bits2, bitsResult;
    std::vector<TAreaPair> areas;
    int curObj;
    explicit Snapshot(TMainForm& w)
        : pic1(w.Picture1FileName()),
          pic2(w.Picture2FileName()),
          saved(w.SavedFileName()),
          title(w.windowTitle()),
          bits1(w.Picture1().Bits().begin(), w.Picture1().Bits().end()),
          bits2(w.Picture2().Bits().begin(), w.Picture2().Bits().end()),
          bitsResult(w.Result().Bits().begin(), w.Result().Bits().end()),
          areas(Areas(w)),
          curObj(w.CurrentArea()) {}
    bool operator==(const Snapshot&) const = default;
};

const std::vector<TAreaPair> kAreas = {
    {2, 3, 10, 12, 4, 4, 15, 9}, {20, 1, 5, 5, -3, 40, 7, 7}, {0, 0, 0, 0, 1, 1, 1, 1}};

class Document : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing_support::OutDir(
            QStringLiteral("document_test_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        f = testing_support::MakeForm();
    }
    TMainForm& w() { return *f.form; }
    TScriptedPrompter& p() { return *f.prompter; }

    // Loads both pictures through their buttons and adds three areas.
    void BuildDocument(const QString& pic1, const QString& pic2) {
        p().fileAnswers = {pic1, pic2};
        w().PicOpenBtn1->click();
        if (!pic2.isEmpty()) w().PicOpenBtn2->click();
        ASSERT_EQ(w().Picture1FileName(), pic1);
        ASSERT_EQ(w().Picture2FileName(), pic2);
        w().SetAreas(kAreas);
        w().SetCurrentArea(1);
        w().EnableObjButtons();
        p().asked.clear();
    }
    int DialogsAsked() const {
        return static_cast<int>(
            std::count_if(f.prompter->asked.begin(), f.prompter->asked.end(),
                          [](const auto& a) { return a.kind == Kind::FileDialog; }));
    }

    QString dir;
    testing_support::FormFixture f;
};

}  // namespace

TEST_F(Document, SaveWritesExactBytesAndOpenRestoresTheProject) {
    const QString pic1 = MakePicture(dir + "/proj/a.png", 40, 30, 1);
    const QString pic2 = MakePicture(dir + "/pics/bb.png", 25, 50, 2);
    BuildDocument(pic1, pic2);

    // Save on a new document asks for a name; a name without extension gets ".mor".
    p().fileAnswers = {dir + "/proj/face"};
    w().SaveBtn->click();
    ASSERT_EQ(DialogsAsked(), 1);
    EXPECT_EQ(p().asked[0].text, QStringLiteral("SaveDialog3"));
    EXPECT_EQ(p().asked[0].caption, QStringLiteral("Morphing files (*.mor)|*.mor"));
    EXPECT_TRUE(p().dialogsShown.back().save && p().dialogsShown.back().overwritePrompt);
    const QString project = dir + "/proj/face.mor";
    EXPECT_EQ(w().SavedFileName(), project);
    EXPECT_EQ(w().windowTitle(), QStringLiteral("Vellora 1.0 - [face.mor]"));
    EXPECT_EQ(w().Picture2FileName(), pic2);  // names in memory are not changed by saving

    std::vector<std::uint8_t> expected;
    core::WriteProject({"a.png", "..\\pics\\bb.png", kAreas}, expected);
    EXPECT_EQ(FileBytes(project), expected);
    EXPECT_EQ(expected.size(), 26u + 5 + 14 + 96);

    // New clears the document but keeps the morphing settings.
    w().TimeEd->SetValue(7);
    w().PPSEd->SetValue(3);
    w().PicEd->SetValue(4);
    w().Zoom1Ed->SetValue(150);
    w().Zoom5Ed->SetValue(40);
    w().BkColor->SetColorValue(0x00FF00);
    w().NewBtn->click();
    ASSERT_EQ(p().Messages().back().caption, QStringLiteral("File/New"));
    EXPECT_EQ(p().Messages().back().text,
              QStringLiteral("You will lost all not saved information!"));
    EXPECT_EQ(p().Messages().back().icon, TPrompter::Icon::Information);
    EXPECT_EQ(p().Messages().back().buttons, TPrompter::Buttons::OkCancel);
    EXPECT_TRUE(w().Picture1FileName().isEmpty());
    EXPECT_EQ(w().Areas().Count(), 0u);
    EXPECT_EQ(w().Picture1().Width(), 320);
    EXPECT_EQ(raster::getpixel(w().Picture2(), 10, 10), 0xFFFFFFu);
    EXPECT_EQ(w().windowTitle(), QStringLiteral("Vellora 1.0 - [noname.mor]"));
    EXPECT_TRUE(w().SavedFileName().isEmpty());
    EXPECT_EQ(w().CurrentArea(), -1);
    EXPECT_FALSE(w().DelObjBtn->isEnabled());
    EXPECT_EQ(w().TimeEd->Value(), 7);
    EXPECT_EQ(w().PPSEd->Value(), 3);
    EXPECT_EQ(w().PicEd->Value(), 4);
    EXPECT_EQ(w().Zoom1Ed->Value(), 150);
    EXPECT_EQ(w().Zoom5Ed->Value(), 40);
    EXPECT_EQ(w().BkColor->ColorValue(), 0x00FF00u);

    // Open brings back the pictures (as full paths), the areas in order and a rendered result.
    w().SetCurrentArea(0);
    p().fileAnswers = {project};
    w().OpenBtn->click();
    ASSERT_EQ(p().Messages().back().caption, QStringLiteral("File/Open"));
    EXPECT_EQ(w().Picture1FileName(), pic1);
    EXPECT_EQ(w().Picture2FileName(), pic2);
    EXPECT_EQ(Areas(w()), kAreas);
    EXPECT_EQ(w().CurrentArea(), -1);
    EXPECT_FALSE(w().DelObjBtn->isEnabled());
    // The keyboard reaches the pairs: the first Next selects the first.
    ASSERT_TRUE(w().NextBtn->isEnabled());
    w().NextBtn->click();
    EXPECT_EQ(w().CurrentArea(), 0);
    w().SetCurrentArea(-1);
    EXPECT_EQ(w().SavedFileName(), project);
    EXPECT_EQ(w().windowTitle(), QStringLiteral("Vellora 1.0 - [face.mor]"));
    const raster::DibRecord pic1Again = raster::OpenDib(pic1.toStdString());
    EXPECT_TRUE(std::ranges::equal(w().Picture1().Bits(), pic1Again.Bits()));
    EXPECT_EQ(w().Picture2().Height(), 50);
    core::TMorphInput input;
    input.pic1 = &w().Picture1();
    input.pic2 = &w().Picture2();
    input.areas = kAreas;
    input.N = 21;
    input.n = 4;
    input.background = 0x00FF00;
    const raster::DibRecord expectedResult = core::RenderMorph(input);
    EXPECT_TRUE(std::ranges::equal(w().Result().Bits(), expectedResult.Bits()));
    EXPECT_EQ(w().TimeEd->Value(), 7);
    // No message besides the question.
    EXPECT_EQ(p().Messages().size(), 2u);
}

TEST_F(Document, SaveAfterSaveAsOrOpenWritesWithoutAsking) {
    const QString pic1 = MakePicture(dir + "/a.png", 8, 8, 3);
    BuildDocument(pic1, pic1);
    p().fileAnswers = {dir + "/one.mor"};
    w().SaveAsBtn->click();
    ASSERT_EQ(DialogsAsked(), 1);
    testing_support::AddArea(w());
    w().SaveBtn->click();
    EXPECT_EQ(DialogsAsked(), 1);
    EXPECT_EQ(FileBytes(dir + "/one.mor").size(), 26u + 10 + 4 * 32);

    // Cancel in Save as... changes nothing.
    p().fileAnswers = {std::nullopt};
    w().SaveAsBtn->click();
    EXPECT_EQ(w().SavedFileName(), dir + "/one.mor");

    // After an Open, Save goes to the opened file.
    p().fileAnswers = {dir + "/one.mor"};
    w().OpenBtn->click();
    testing_support::AddArea(w());
    w().SaveBtn->click();
    EXPECT_EQ(FileBytes(dir + "/one.mor").size(), 26u + 10 + 5 * 32);
    EXPECT_EQ(DialogsAsked(), 3);
    EXPECT_TRUE(p().Messages().size() == 1u);  // only the Open question
}

TEST_F(Document, ProjectOpenedFromOneFolderSavedIntoAnotherStillNamesItsPictures) {
    const QString pic = MakePicture(dir + "/a/pics/p.png", 6, 6, 4);
    BuildDocument(pic, pic);
    w().SaveFile(dir + "/a/x.mor");
    w().OpenFile(dir + "/a/x.mor");
    QDir().mkpath(dir + "/b/c");
    w().SaveFile(dir + "/b/c/y.mor");
    const core::TProjectReadResult r = core::ReadProjectFile((dir + "/b/c/y.mor").toStdString());
    ASSERT_EQ(r.status, core::TProjectStatus::Ok);
    EXPECT_EQ(r.data.pic1Name, "..\\..\\a\\pics\\p.png");
    EXPECT_TRUE(p().Messages().empty());
}

TEST_F(Document, CancelledQuestionsAndDialogsChangeNothing) {
    const QString pic = MakePicture(dir + "/a.png", 9, 7, 5);
    BuildDocument(pic, pic);
    w().SaveFile(dir + "/doc.mor");
    const Snapshot before(w());

    p().messageAnswers = {false};
    w().NewBtn->click();
    EXPECT_EQ(Snapshot(w()), before);

    p().messageAnswers = {false};
    w().OpenBtn->click();
    EXPECT_EQ(DialogsAsked(), 0);  // the question comes first
    EXPECT_EQ(Snapshot(w()), before);

    p().messageAnswers = {true};
    p().fileAnswers = {std::nullopt};
    w().OpenBtn->click();
    EXPECT_EQ(DialogsAsked(), 1);
    EXPECT_EQ(Snapshot(w()), before);
}

TEST_F(Document, RefusedFilesLeaveTheDocumentExactlyAsItWas) {
    const QString pic = MakePicture(dir + "/a.png", 9, 7, 6);
    BuildDocument(pic, pic);
    w().SaveFile(dir + "/doc.mor");
    const Snapshot before(w());

    std::vector<std::uint8_t> good;
    core::WriteProject({"a.png", "a.png", kAreas}, good);
    struct Case {
        QString file;
        std::vector<std::uint8_t> bytes;
        QString message;
    };
    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] = 't';
    std::vector<std::uint8_t> hugeCount(good.begin(), good.begin() + 20 + 12);
    hugeCount.insert(hugeCount.end(), {0xFF, 0xFF, 0xFF, 0x7F});
    const std::vector<Case> cases = {
        {"magic.mor", badMagic, "This is not a file morphing file!"},
        {"tiny.mor", {'T', 'A', 'L'}, "This is not a file morphing file!"},
        {"name.mor",
         {good.begin(), good.begin() + 24},
         "Open file: The file name.mor is damaged: it ends inside a picture name !"},
        {"count.mor",
         {good.begin(), good.begin() + 34},
         "Open file: The file count.mor is damaged: it ends before the number of areas !"},
        {"record.mor",
         {good.begin(), good.end() - 1},
         "Open file: The file record.mor is damaged: it ends before the last of its 3 areas !"},
        {"huge.mor", hugeCount,
         "Open file: The file huge.mor is damaged: it ends before the last of its 2147483647 areas "
         "!"},
    };
    for (const Case& c : cases) {
        WriteBytes(dir + "/" + c.file, c.bytes);
        p().fileAnswers = {dir + "/" + c.file};
        w().OpenBtn->click();
        ASSERT_FALSE(p().Messages().empty());
        EXPECT_EQ(p().Messages().back().text, c.message);
        EXPECT_EQ(p().Messages().back().caption, QStringLiteral("Error"));
        EXPECT_EQ(p().Messages().back().icon, TPrompter::Icon::Error);
        EXPECT_EQ(Snapshot(w()), before) << c.file.toStdString();
    }
    // A typed name that does not exist passes the dialog and fails in OpenFile.
    p().fileAnswers = {dir + "/none.mor"};
    w().OpenBtn->click();
    EXPECT_EQ(p().Messages().back().text,
              QStringLiteral("Open file: Could not open the file none.mor !\n"
                             "No such file or directory."));
    EXPECT_EQ(Snapshot(w()), before);
}

TEST_F(Document, PictureThatCannotBeLoadedIsReportedWithItsFullPath) {
    // Names the way another system may have written them: a missing file, an
    // empty name, and bytes that are not UTF-8.
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"gone\\missing.png", "", {kAreas[0]}}, bytes);
    WriteBytes(dir + "/p.mor", bytes);
    w().SetAreas(kAreas);
    w().OpenFile(dir + "/p.mor");
    const auto messages = p().Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].caption, "Error while the loading (" + dir + "/gone/missing.png)");
    EXPECT_FALSE(messages[0].text.isEmpty());
    EXPECT_EQ(messages[1].caption, QStringLiteral("Error while the loading ()"));
    // The open goes on: white slots, no loaded file, the file's areas only;
    // the stored name is kept for Save.
    EXPECT_TRUE(w().Picture1FileName().isEmpty());
    EXPECT_EQ(w().MissingPicture(1).storedName, "gone\\missing.png");
    EXPECT_TRUE(w().MissingPicture(2).storedName.empty());
    EXPECT_TRUE(w().Missing1Label->text().endsWith(QStringLiteral("/gone/missing.png")));
    EXPECT_EQ(w().Picture1().Width(), 320);
    EXPECT_EQ(raster::getpixel(w().Picture1(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Areas(w()), std::vector<TAreaPair>{kAreas[0]});
    EXPECT_EQ(w().SavedFileName(), dir + "/p.mor");

    core::WriteProject({"caf\xE9.png", "\xFF\xFE", {}}, bytes);
    WriteBytes(dir + "/latin.mor", bytes);
    p().asked.clear();
    w().OpenFile(dir + "/latin.mor");
    ASSERT_EQ(p().Messages().size(), 2u);
    EXPECT_TRUE(p().Messages()[0].caption.startsWith("Error while the loading (" + dir + "/caf"));
}

TEST_F(Document, MissingPicturesKeepTheirStoredNamesUntilAnotherIsLoaded) {
    const QString pic = MakePicture(dir + "/here.png", 9, 7, 3);
    std::vector<std::uint8_t> original;
    core::WriteProject({"pics\\face1.png", "..\\elsewhere\\Face 2.png", kAreas}, original);
    WriteBytes(dir + "/p.mor", original);
    w().OpenFile(dir + "/p.mor");
    ASSERT_EQ(p().Messages().size(), 2u);
    EXPECT_FALSE(w().Missing2Label->isHidden());

    // Save into the same file writes every byte back unchanged.
    w().SaveBtnClick();
    EXPECT_EQ(FileBytes(dir + "/p.mor"), original);

    // Saved into a subfolder, the names are made relative to it and still
    // name the same files; Save there keeps them.
    QDir().mkpath(dir + "/sub");
    w().SaveFile(dir + "/sub/q.mor");
    core::TProjectReadResult read = core::ReadProjectFile((dir + "/sub/q.mor").toStdString());
    EXPECT_EQ(read.data.pic1Name, "..\\pics\\face1.png");
    EXPECT_EQ(read.data.pic2Name, "..\\..\\elsewhere\\Face 2.png");
    const auto q = FileBytes(dir + "/sub/q.mor");
    w().SaveBtnClick();
    EXPECT_EQ(FileBytes(dir + "/sub/q.mor"), q);

    // A picture loaded into the slot replaces the kept name; New forgets both.
    p().fileAnswers = {pic};
    w().PicOpenBtn1->click();
    EXPECT_TRUE(w().MissingPicture(1).storedName.empty());
    EXPECT_TRUE(w().Missing1Label->isHidden());
    w().SaveBtnClick();
    read = core::ReadProjectFile((dir + "/sub/q.mor").toStdString());
    EXPECT_EQ(read.data.pic1Name, "..\\here.png");
    EXPECT_EQ(read.data.pic2Name, "..\\..\\elsewhere\\Face 2.png");
    w().NewBtnClick();
    EXPECT_TRUE(w().MissingPicture(2).storedName.empty());
    w().SaveFile(dir + "/new.mor");
    read = core::ReadProjectFile((dir + "/new.mor").toStdString());
    EXPECT_EQ(read.data.pic2Name, "");
}

TEST_F(Document, FailedSaveKeepsTheOldFileAndTheDocumentName) {
    const QString pic = MakePicture(dir + "/a.png", 9, 7, 7);
    BuildDocument(pic, pic);
    w().SaveFile(dir + "/doc.mor");
    const std::vector<std::uint8_t> old = FileBytes(dir + "/doc.mor");

    // No such folder.
    p().fileAnswers = {dir + "/nofolder/new.mor"};
    w().SaveAsBtn->click();
    ASSERT_EQ(p().Messages().size(), 1u);
    EXPECT_EQ(p().Messages()[0].text, QStringLiteral("Save file: Could not save file new.mor !"));
    EXPECT_EQ(p().Messages()[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(w().SavedFileName(), dir + "/doc.mor");
    EXPECT_EQ(w().windowTitle(), QStringLiteral("Vellora 1.0 - [doc.mor]"));

    // The write itself fails half way (a file-size limit, which binds root too).
    for (int i = 0; i < 200; ++i) testing_support::AddArea(w());
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit saved = limit;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    w().SaveBtn->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    ASSERT_EQ(p().Messages().size(), 2u);
    EXPECT_EQ(p().Messages()[1].text, QStringLiteral("Save file: Could not save file doc.mor !"));
    EXPECT_EQ(FileBytes(dir + "/doc.mor"), old);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 2);  // a.png, doc.mor
}

TEST_F(Document, PictureNameTooLongForTheFileRefusesTheSave) {
    const QString deep = dir + "/" + QString(150, 'd') + "/" + QString(120, 'e') + ".png";
    const QString pic = MakePicture(deep, 4, 4, 8);
    BuildDocument(pic, pic);
    QDir().mkpath(dir + "/other");
    p().fileAnswers = {dir + "/other/p.mor"};
    w().SaveAsBtn->click();
    ASSERT_EQ(p().Messages().size(), 1u);
    EXPECT_TRUE(p().Messages()[0].text.contains(QStringLiteral("too long")));
    EXPECT_EQ(p().Messages()[0].caption, QStringLiteral("Error"));
    EXPECT_FALSE(QFile::exists(dir + "/other/p.mor"));
    EXPECT_TRUE(w().SavedFileName().isEmpty());
}

TEST_F(Document, NamesAreStoredAsUtf8Bytes) {
    const QString pic = MakePicture(dir + QStringLiteral("/Bilder/äpfel €.png"), 5, 5, 9);
    BuildDocument(pic, QString());
    w().SaveFile(dir + "/p.mor");
    const core::TProjectReadResult r = core::ReadProjectFile((dir + "/p.mor").toStdString());
    ASSERT_EQ(r.status, core::TProjectStatus::Ok);
    EXPECT_EQ(r.data.pic1Name, "Bilder\\\xC3\xA4pfel \xE2\x82\xAC.png");
    EXPECT_EQ(r.data.pic2Name, "");
    w().OpenFile(dir + "/p.mor");
    EXPECT_EQ(w().Picture1FileName(), pic);
    EXPECT_EQ(w().Picture1().Width(), 5);
}
