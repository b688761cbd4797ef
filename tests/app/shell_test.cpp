// The window shell: quitting, splitters, the progress panel, the bottom bar.
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/aboutbox.h"
#include "app/statuspanel.h"
#include "controls/imagebtn.h"
#include "raster/progress_event.h"
#include "support/test_support.h"

using testing_support::MakeForm;
using Asked = TScriptedPrompter::Asked;

namespace {

void Show(TMainForm& w) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

}  // namespace

TEST(Shell, StartUpStateBeforeAnyWork) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    EXPECT_TRUE(w.ProgramFolder().endsWith(QLatin1Char('/')));
    EXPECT_FALSE(w.ProgramFolder().endsWith(QStringLiteral("//")));
    EXPECT_EQ(w.Splitter1Percent(), 50);
    EXPECT_EQ(w.Splitter2Percent(), 50);
    EXPECT_EQ(w.Progress(), 0);
    for (const TFileDialog* d :
         {&w.OpenDialog1, &w.OpenDialog3, &w.SaveDialog1, &w.SaveDialog2, &w.SaveDialog3})
        EXPECT_EQ(d->initialDir, w.ProgramFolder());
    EXPECT_TRUE(w.OpenDialog1.filter.startsWith(QStringLiteral(
        "All pictures|*.BMP;*.DIB;*.GIF;*.IFF;*.JIF;*.JPG;*.LBM;*.PCX;*.RLE;*.TGA;*.TIF;*.PNG|")));
    EXPECT_EQ(w.OpenDialog1.filter.count(QLatin1Char('|')), 27) << "fourteen choices";
    // Controls the later work relies on are present under their names.
    for (const char* name :
         {"PaintBox1", "PaintBox2", "PaintBox3",  "PaintBox4",  "PaintBox5", "Zoom1Ed",
          "Zoom5Ed",   "TimeEd",    "PPSEd",      "PicEd",      "BkColor",   "SpeedPointer",
          "SpeedZoom", "SpeedHand", "SpeedRect",  "DelObjBtn",  "PrevBtn",   "NextBtn",
          "PlayBtn",   "StopBtn",   "SavePicBtn", "SaveAVIBtn", "NewBtn",    "OpenBtn",
          "SaveBtn",   "SaveAsBtn", "wwwBtn",     "ueberbtn",   "endebtn",   "StatusBar1",
          "Splitter1", "Splitter2", "Panel34"}) {
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(w.ueberbtn->toolTip(), QStringLiteral("Information about the program"));
    EXPECT_EQ(w.endebtn->toolTip(), QStringLiteral("Hereby you leave the program (Ctrl+Q)"));
    EXPECT_EQ(w.endebtn->size(), QSize(101, 30));
}

TEST(Shell, CursorTableHoldsTheSystemAndTheProgramCursors) {
    auto f = MakeForm();
    const TMainForm& w = *f.form;
    EXPECT_EQ(w.Cursor(1).shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(w.Cursor(2).shape(), Qt::SizeBDiagCursor);
    EXPECT_EQ(w.Cursor(3).shape(), Qt::SizeBDiagCursor);
    EXPECT_EQ(w.Cursor(4).shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(w.Cursor(5).shape(), Qt::SizeVerCursor);
    EXPECT_EQ(w.Cursor(6).shape(), Qt::SizeVerCursor);
    EXPECT_EQ(w.Cursor(7).shape(), Qt::SizeHorCursor);
    EXPECT_EQ(w.Cursor(8).shape(), Qt::SizeHorCursor);
    EXPECT_EQ(w.Cursor(10).shape(), Qt::ArrowCursor);
    const std::pair<int, QPoint> own[] = {
        {9, {15, 16}}, {11, {9, 9}}, {12, {16, 16}}, {13, {16, 16}}};
    for (const auto& [slot, hot] : own) {
        EXPECT_EQ(w.Cursor(slot).shape(), Qt::BitmapCursor) << slot;
        EXPECT_EQ(w.Cursor(slot).pixmap().size(), QSize(32, 32)) << slot;
        EXPECT_EQ(w.Cursor(slot).hotSpot(), hot) << slot;
    }
}

TEST(Shell, ClosingAsksTheQuitQuestionAndCancelKeepsTheWindow) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    Show(w);
    f.prompter->messageAnswers = {false};
    w.endebtn->clicked();
    ASSERT_EQ(f.prompter->Messages().size(), 1u);
    const Asked q = f.prompter->Messages()[0];
    EXPECT_EQ(q.text,
              QStringLiteral("Hereby you quit the program! All data not saved will be lost!"));
    EXPECT_EQ(q.caption, QStringLiteral("Quit program"));
    EXPECT_EQ(q.icon, TPrompter::Icon::Information);
    EXPECT_EQ(q.buttons, TPrompter::Buttons::OkCancel);
    EXPECT_TRUE(w.isVisible());

    f.prompter->messageAnswers = {true};
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(f.prompter->Messages().size(), 2u);
}

TEST(Shell, SplittersStoreLimitedPercentagesThatTheNextResizeApplies) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    w.resize(3000, 2400);
    Show(w);
    QCoreApplication::processEvents();
    const int total = w.Panel1->height() - w.Splitter1->handleWidth();
    ASSERT_GT(total, 2000);
    // The upper part dragged to its smallest size, 100 pixels: under 5 %.
    w.Splitter1->setSizes({100, total - 100});
    w.Splitter1Moved();
    EXPECT_EQ(w.Panel33->height(), 100);
    EXPECT_EQ(w.Splitter1Percent(), 10);
    EXPECT_EQ(w.Panel33->height(), 100) << "a move only stores the percentage";

    w.PageControl2->setCurrentIndex(1);
    QCoreApplication::processEvents();
    const int width = w.Panel6->width();
    w.Splitter2->setSizes({width * 95 / 100, width - width * 95 / 100});
    w.Splitter2Moved();
    EXPECT_EQ(w.Splitter2Percent(), 90);

    w.resize(1900, 1500);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.Panel33->height(), w.Panel1->height() * 10 / 100);
    EXPECT_EQ(w.Panel35->width(), w.Panel6->width() * 90 / 100);
    // The page not shown during the resize takes the same proportion when shown.
    w.PageControl2->setCurrentIndex(0);
    w.resize(1700, 1400);
    QCoreApplication::processEvents();
    w.PageControl2->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_NEAR(w.Panel35->width(), w.Panel6->width() * 90 / 100, 2);
}

TEST(Shell, ProgressPanelGrowsInStepsAndAFallClearsIt) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    Show(w);
    auto barLength = [&] {
        const QImage img = w.StatusPanel1->grab().toImage();
        int n = 0;
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, img.height() / 2) == QColor(0, 0, 128)) ++n;
        return n;
    };
    const int width = w.StatusPanel1->width();
    ASSERT_EQ(width, 50);
    EXPECT_EQ(barLength(), 0);
    for (int p : {20, 60, 100}) {
        QCoreApplication::sendEvent(&w, std::make_unique<raster::TProgressEvent>(p).get());
        EXPECT_EQ(w.Progress(), p);
        EXPECT_EQ(barLength(), width * p / 100) << p;
    }
    w.WMUser(0);
    EXPECT_EQ(w.Progress(), 0);
    EXPECT_EQ(barLength(), 0);
    EXPECT_EQ(w.ProgressBarRect(), w.StatusPanel1->rect());
}

TEST(Shell, OnlyTheMorphingPageRendersWhenShown) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    const int before = w.Renders();
    w.PageControl2->setCurrentIndex(1);
    EXPECT_EQ(w.Renders(), before);
    w.PageControl2->setCurrentIndex(2);
    EXPECT_EQ(w.Renders(), before + 1);
    w.PageControl2->setCurrentIndex(0);
    EXPECT_EQ(w.Renders(), before + 1);
}

TEST(Shell, InformationDialogAndWebLinkGoThroughThePrompter) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    w.ueberbtnClick();
    ASSERT_FALSE(f.prompter->asked.empty());
    EXPECT_EQ(f.prompter->asked.back().kind, Asked::Kind::Modal);
    EXPECT_EQ(f.prompter->asked.back().text, QStringLiteral("Info"));
    w.wwwBtnClick();
    EXPECT_EQ(f.prompter->asked.back().kind, Asked::Kind::Url);
    EXPECT_TRUE(f.prompter->asked.back().text.endsWith(QStringLiteral("docs/index.html")));
    // Without a program to show it, the user is told where the guide is.
    f.prompter->urlOpens = false;
    w.wwwBtnClick();
    ASSERT_EQ(f.prompter->asked.back().kind, Asked::Kind::Message);
    EXPECT_TRUE(f.prompter->asked.back().text.endsWith(QStringLiteral("docs/index.html")))
        << f.prompter->asked.back().text.toStdString();
    EXPECT_EQ(f.prompter->asked.back().caption, QStringLiteral("User guide (docs)"));

    TAboutBox about(&w, {});
    EXPECT_EQ(about.size(), QSize(664, 453));
    EXPECT_EQ(WithYear(QStringLiteral("(c) XXXX by us"), 2026), QStringLiteral("(c) 2026 by us"));
    EXPECT_FALSE(about.CopyrightLabel()->text().contains(QStringLiteral("XXXX")));
    EXPECT_TRUE(
        about.CopyrightLabel()->text().contains(QString::number(QDate::currentDate().year())));
}

TEST(Shell, FileDialogFiltersAndDefaultExtensions) {
    EXPECT_EQ(QtFilter(QStringLiteral("AVI files (*.AVI)|*.AVI|All pictures|*.BMP;*.PNG")),
              QStringLiteral("AVI files (*.AVI);;All pictures (*.BMP *.PNG)"));
    EXPECT_EQ(WithDefaultExt(QStringLiteral("/tmp/a.b/face"), QStringLiteral("mor")),
              QStringLiteral("/tmp/a.b/face.mor"));
    EXPECT_EQ(WithDefaultExt(QStringLiteral("/tmp/face.png"), QStringLiteral("mor")),
              QStringLiteral("/tmp/face.png"));
    EXPECT_EQ(WithDefaultExt(QString(), QStringLiteral("mor")), QString());
}
