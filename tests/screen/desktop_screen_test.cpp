// The desktop's habits on a real X server, driven by key presses through the
// X server (xdotool) as a user's would come: the standard keys, Tab reaching
// every part of the window, a project missing its pictures opened and saved,
// and a video kind chosen by the name typed into the real save dialog.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "app/settings.h"
#include "controls/bitbtnxp.h"
#include "controls/imagebtn.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "core/projectfile.h"
#include "support/test_support.h"

using Kind = TScriptedPrompter::Asked::Kind;

namespace {

void XKey(const QString& key) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
    QTest::qWait(30);
}
void XType(const QString& text) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                                  QStringLiteral("15"), text});
}

std::vector<std::uint8_t> FileBytes(const QString& p) {
    std::ifstream in(p.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The window shown and active, so the X server sends it the keys.
void ShowActive(TMainForm& w) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
}

QString LastCaption(const TScriptedPrompter& p) {
    const auto messages = p.Messages();
    return messages.empty() ? QString() : messages.back().caption;
}

// Types `text` into the file dialog that is about to open and presses Enter.
void TypeIntoNextDialog(const QString& text) {
    QTimer::singleShot(0, [=] {
        QFileDialog* fd = nullptr;
        for (int i = 0; i < 200 && fd == nullptr; ++i) {
            fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (fd == nullptr) QTest::qWait(10);
        }
        if (fd == nullptr) return;
        auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        // No window manager hands the dialog the X input focus; it takes it.
        QTest::qWaitForWindowExposed(fd);
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                           QString::number(fd->winId())});
        if (edit == nullptr || !QTest::qWaitForWindowActive(fd)) {
            ADD_FAILURE() << "the file dialog did not become active";
            fd->reject();
            return;
        }
        edit->setFocus();
        edit->clear();
        XType(text);
        QTest::qWait(100);
        XKey(QStringLiteral("Return"));
        QTimer::singleShot(3000, fd, [fd, edit] {
            if (!fd->isVisible()) return;
            ADD_FAILURE() << "the dialog did not take " << edit->text().toStdString();
            fd->reject();
        });
    });
}

}  // namespace

TEST(DesktopScreen, StandardKeysActAndMnemonicsDoNotClash) {
    auto f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    TScriptedPrompter& p = *f.prompter;
    ShowActive(w);
    const struct {
        const char* keys;
        const char* caption;
    } questions[] = {{"ctrl+n", "File/New"}, {"ctrl+o", "File/Open"}, {"ctrl+q", "Quit program"}};
    for (const auto& q : questions) {
        p.messageAnswers = {false};
        XKey(QLatin1String(q.keys));
        QTRY_COMPARE(LastCaption(p), QLatin1String(q.caption));
    }
    EXPECT_TRUE(w.isVisible()) << "Cancel in the quit question keeps the window";
    XKey(QStringLiteral("ctrl+s"));
    QTRY_COMPARE(p.dialogsShown.size(), std::size_t{1});
    XKey(QStringLiteral("ctrl+shift+s"));
    QTRY_COMPARE(p.dialogsShown.size(), std::size_t{2});
    for (const TFileDialog& d : p.dialogsShown) EXPECT_EQ(d.objectName, "SaveDialog3");
    XKey(QStringLiteral("F1"));
    QTRY_VERIFY(std::any_of(p.asked.begin(), p.asked.end(),
                            [](const auto& a) { return a.kind == Kind::Url; }));

    // Alt+N is "&Next object"'s alone; with no area current the first
    // press selects the first pair, Previous then the last.
    w.SetAreas(std::vector<TAreaPair>{{1, 1, 9, 9, 1, 1, 9, 9}, {2, 2, 8, 8, 2, 2, 8, 8}});
    w.PageControl2->setCurrentIndex(1);
    ASSERT_TRUE(w.NextBtn->isEnabled());
    XKey(QStringLiteral("alt+n"));
    QTRY_COMPARE(w.CurrentArea(), 0);
    XKey(QStringLiteral("alt+p"));
    QTRY_COMPARE(w.CurrentArea(), 1);
    EXPECT_EQ(LastCaption(p), QStringLiteral("Quit program")) << "Alt+N asked New";

    // Space plays and stops on "Morphing", also with Play focused.
    w.PageControl2->setCurrentIndex(2);
    w.PlayBtn->setFocus();
    XKey(QStringLiteral("space"));
    QTRY_VERIFY(w.Timer1->isActive());
    XKey(QStringLiteral("space"));
    QTRY_VERIFY(!w.Timer1->isActive());
}

TEST(DesktopScreen, TabReachesEveryControlOfThePageAndTheBottomBar) {
    auto f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    ShowActive(w);
    for (int page = 0; page < 3; ++page) {
        w.PageControl2->setCurrentIndex(page);
        w.NewBtn->setFocus();
        QTRY_VERIFY(w.NewBtn->hasFocus());
        std::set<QWidget*> reached;
        for (int i = 0; i < 40 && !reached.contains(w.endebtn); ++i) {
            XKey(QStringLiteral("Tab"));
            reached.insert(QApplication::focusWidget());
        }
        // Every button and number field of the page, then the bottom bar.
        const QWidget* sheet = w.PageControl2->currentWidget();
        // Of a group of exclusive tool buttons Tab stops at one, the arrow
        // keys choose among them.
        bool groupReached = false, hasGroup = false;
        for (QWidget* c : sheet->findChildren<QWidget*>()) {
            if (!c->isVisible() || !c->isEnabled()) continue;
            auto* button = qobject_cast<QAbstractButton*>(c);
            if (!button && !qobject_cast<TSpinEdit*>(c)) continue;
            EXPECT_FALSE(c->toolTip().isEmpty()) << c->objectName().toStdString();
            if (button && button->group() && button->group()->exclusive()) {
                hasGroup = true;
                groupReached = groupReached || reached.contains(c);
                continue;
            }
            EXPECT_TRUE(reached.contains(c))
                << "page " << page << ": " << c->objectName().toStdString();
        }
        EXPECT_EQ(groupReached, hasGroup) << "page " << page;
        for (QWidget* c : {static_cast<QWidget*>(w.wwwBtn), static_cast<QWidget*>(w.ueberbtn),
                           static_cast<QWidget*>(w.endebtn)})
            EXPECT_TRUE(reached.contains(c))
                << "page " << page << ": " << c->objectName().toStdString();
    }
    // Enter on the focused exit button asks the quit question.
    f.prompter->messageAnswers = {false};
    XKey(QStringLiteral("Return"));
    QTRY_COMPARE(LastCaption(*f.prompter), QStringLiteral("Quit program"));
}

TEST(DesktopScreen, AProjectWithoutItsPicturesOpensAndSavesItsNamesUnchanged) {
    const QString dir = testing_support::OutDir(QStringLiteral("desktop_missing"));
    std::vector<std::uint8_t> original;
    core::WriteProject({"face1.png", "pics\\face2.png", {{1, 2, 30, 40, 5, 6, 35, 46}}}, original);
    {
        std::ofstream out((dir + "/copied.mor").toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(original.data()),
                  static_cast<std::streamsize>(original.size()));
    }
    auto f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    ShowActive(w);
    f.prompter->fileAnswers = {dir + "/copied.mor"};
    XKey(QStringLiteral("ctrl+o"));
    QTRY_COMPARE(w.SavedFileName(), dir + "/copied.mor");
    const auto messages = f.prompter->Messages();
    ASSERT_EQ(messages.size(), 3u);  // the question, then one error per picture
    EXPECT_EQ(messages[1].caption, "Error while the loading (" + dir + "/face1.png)");
    EXPECT_EQ(messages[2].caption, "Error while the loading (" + dir + "/pics/face2.png)");
    EXPECT_TRUE(w.Missing2Label->isVisible());
    XKey(QStringLiteral("ctrl+s"));
    QTest::qWait(200);
    EXPECT_EQ(FileBytes(dir + "/copied.mor"), original);
}

TEST(DesktopScreen, TypingAWebmNameWithTheNumberedTypeSelectedWritesAWebmVideo) {
    const QString dir = testing_support::OutDir(QStringLiteral("desktop_webm"));
    TMainForm w(std::make_unique<TQtPrompter>());
    ShowActive(w);
    w.TimeEd->SetValue(1);
    w.PageControl2->setCurrentIndex(2);
    w.SaveDialog2.filterIndex = 5;  // "Numbered pictures (...)", as after an earlier export
    w.SaveDialog2.initialDir = dir;
    TypeIntoNextDialog(dir + "/x.webm");
    w.SaveAVIBtn->click();
    QDir folder(dir);
    EXPECT_EQ(w.SaveDialog2.fileName, dir + "/x.webm");
    EXPECT_EQ(folder.entryList(QDir::Files), QStringList{QStringLiteral("x.webm")});
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=format_name:stream=codec_name"), QStringLiteral("-of"),
                 QStringLiteral("csv=p=0"), dir + "/x.webm"});
    ASSERT_TRUE(probe.waitForFinished(20000));
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("vp9"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("webm"))) << out.toStdString();
}

TEST(DesktopScreen, RecentProjectsTheLastFolderAndTheWindowSurviveARestart) {
    const QString dir = testing_support::OutDir(QStringLiteral("desktop_restart"));
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"", "", {}}, bytes);
    for (const char* name : {"/one.mor", "/two.mor"}) {
        std::ofstream out((dir + name).toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    QRect placed;
    {
        auto f = testing_support::MakeForm();  // starts without settings
        TMainForm& w = *f.form;
        ShowActive(w);
        for (const char* name : {"/two.mor", "/one.mor"}) {
            f.prompter->fileAnswers = {dir + name};
            XKey(QStringLiteral("ctrl+o"));
            QTRY_COMPARE(w.SavedFileName(), dir + name);
        }
        w.setGeometry(QRect(60, 70, 700, 560));
        QTRY_COMPARE(w.geometry().size(), QSize(700, 560));
        w.Splitter1->setSizes({100, 300});
        emit w.Splitter1->splitterMoved(100, 1);
        placed = w.geometry();
        f.prompter->messageAnswers = {true};
        XKey(QStringLiteral("ctrl+q"));
        QTRY_VERIFY(!w.isVisible());
    }
    // The next run: a window of its own on the same settings.
    auto* prompter = new TScriptedPrompter;
    TMainForm w{std::unique_ptr<TPrompter>(prompter)};
    ShowActive(w);
    EXPECT_EQ(w.geometry(), placed);
    EXPECT_EQ(w.Splitter1Percent(), 25);
    QTRY_COMPARE(w.Panel33->height(), w.Panel1->height() * 25 / 100);
    ASSERT_EQ(w.Settings().RecentProjects(), (QStringList{dir + "/one.mor", dir + "/two.mor"}));
    XKey(QStringLiteral("ctrl+o"));
    QTRY_COMPARE(prompter->dialogsShown.size(), std::size_t{1});
    EXPECT_EQ(prompter->dialogsShown.back().initialDir, dir) << "the folder used last";

    // The menu beside "Open..." opens a recent project after the question.
    QFile::remove(dir + "/two.mor");
    QTest::mouseClick(w.RecentBtn, Qt::LeftButton);
    QMenu* menu = w.RecentBtn->menu();
    QTRY_VERIFY(menu->isVisible());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->text().contains(QStringLiteral("one.mor")));
    EXPECT_FALSE(actions[1]->isEnabled()) << "a project that is gone is greyed";
    w.Setsavedfilename(QString());
    XKey(QStringLiteral("Return"));
    QTRY_COMPARE(w.SavedFileName(), dir + "/one.mor");
    EXPECT_EQ(prompter->Messages().back().caption, QStringLiteral("File/Open"));
}

TEST(DesktopScreen, DroppedFilesLoadWhereTheyAreDropped) {
    const QString dir = testing_support::OutDir(QStringLiteral("desktop_drop"));
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir + "/red.png"));
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir + "/blue.png"));
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"red.png", "blue.png", {}}, bytes);
    {
        std::ofstream out((dir + "/p.mor").toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    auto f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    ShowActive(w);
    // Qt's own drag events, delivered to the window at a point of a pane.
    const auto drop = [&w](QWidget* target, const QStringList& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        const QPointF at = w.mapFromGlobal(target->mapToGlobal(target->rect().center()));
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &dropped);
        EXPECT_TRUE(dropped.isAccepted());
    };
    drop(w.ScrollBox2, {dir + "/red.png"});
    QTRY_COMPARE(w.Picture2FileName(), dir + "/red.png");
    EXPECT_TRUE(w.Picture1FileName().isEmpty());
    drop(w.PicOpenBtn1, {dir + "/blue.png", dir + "/red.png"});
    QTRY_COMPARE(w.Picture1FileName(), dir + "/blue.png");
    QTRY_COMPARE(w.Picture2FileName(), dir + "/red.png");
    f.prompter->messageAnswers = {true};
    drop(w.ScrollBox1, {dir + "/p.mor"});
    QTRY_COMPARE(w.SavedFileName(), dir + "/p.mor");
    EXPECT_EQ(f.prompter->Messages().back().caption, QStringLiteral("File/Open"));
}

TEST(DesktopScreen, TheProgramOpensAProjectNamedOnItsCommandLine) {
    const QString dir = testing_support::OutDir(QStringLiteral("desktop_argument"));
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(dir + "/green.png"));
    std::vector<std::uint8_t> bytes;
    core::WriteProject({"green.png", "green.png", {{1, 2, 3, 4, 5, 6, 7, 8}}}, bytes);
    {
        std::ofstream out((dir + "/p.mor").toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    QProcess program;
    program.setWorkingDirectory(dir);
    program.start(QStringLiteral(VELLORA_BIN), {QStringLiteral("p.mor")});
    ASSERT_TRUE(program.waitForStarted());
    // The window appears with the project's name in its caption.
    QString found;
    for (int i = 0; i < 100 && found.isEmpty(); ++i) {
        QTest::qWait(100);
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--name"),
                      QStringLiteral("^Vellora 1\\.0 - \\[p\\.mor\\]$")});
        search.waitForFinished();
        found = QString::fromUtf8(search.readAllStandardOutput()).trimmed();
    }
    program.kill();
    program.waitForFinished();
    EXPECT_FALSE(found.isEmpty()) << "no window captioned Vellora 1.0 - [p.mor]";
}
