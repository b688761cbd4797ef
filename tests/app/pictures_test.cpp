// The "Open pictures" page: loading into the slots, the zoomed panes, hand
// dragging.
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "app/loadwatch.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "raster/paintdib.h"
#include "raster/progress_event.h"
#include "support/test_support.h"

using testing_support::MakeForm;
using Asked = TScriptedPrompter::Asked;

namespace {

// Writes a w x h PNG whose pixel (x, y) is (x, y, 99) and returns its path.
QString WritePicture(const QString& dir, const QString& name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, 99));
    const QString path = dir + QLatin1Char('/') + name;
    EXPECT_TRUE(img.save(path));
    return path;
}

void Show(TMainForm& w) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

// Sends a mouse move with the left button held (QTest's move carries none).
void DragMove(QWidget* w, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

}  // namespace

TEST(Pictures, LoadingFillsTheSlotAndSizesThePaneAtItsZoom) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    Show(w);
    const QString dir = testing_support::OutDir(QStringLiteral("pictures_load"));
    const QString path = WritePicture(dir, QStringLiteral("with space ä.png"), 640, 480);
    f.prompter->fileAnswers = {path};
    QTest::mouseClick(w.PicOpenBtn1, Qt::LeftButton);
    // Larger than the pane: shown fitted, the zoom field says how.
    EXPECT_LT(w.Zoom1Ed->Value(), 100);
    EXPECT_EQ(w.Zoom1Ed->Value(), w.ScrollBox1->FitZoom());
    w.Zoom1Ed->SetText(QStringLiteral("50"));
    ASSERT_EQ(f.prompter->dialogsShown.size(), 1u);
    EXPECT_EQ(f.prompter->dialogsShown[0].objectName, QStringLiteral("OpenDialog1"));
    EXPECT_EQ(w.Picture1().Width(), 640);
    EXPECT_EQ(w.Picture1().Height(), 480);
    EXPECT_EQ(w.Picture1FileName(), path);
    EXPECT_EQ(w.PaintBox1->size(), QSize(320, 240));
    EXPECT_EQ(w.Picture2().Width(), 320) << "picture 2 is untouched";
    EXPECT_TRUE(w.Picture2FileName().isEmpty());

    // The pane shows the picture scaled by the same nearest-neighbour rule.
    QCoreApplication::processEvents();
    const QImage shown = w.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage expected(320, 240, QImage::Format_RGB32);
    raster::PaintDibInto(expected, {0, 0}, 0, 0, 320, 240, w.Picture1(), 0, 0, 640, 480);
    EXPECT_EQ(shown, expected);

    // One dialog for both buttons: it remembers the last name.
    f.prompter->fileAnswers = {std::nullopt};
    QTest::mouseClick(w.PicOpenBtn2, Qt::LeftButton);
    ASSERT_EQ(f.prompter->dialogsShown.size(), 2u);
    EXPECT_EQ(f.prompter->dialogsShown[1].fileName, path);
    EXPECT_EQ(w.Picture2().Width(), 320) << "cancel changes nothing";
}

TEST(Pictures, AFailedLoadKeepsThePreviousPictureAndName) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    const QString dir = testing_support::OutDir(QStringLiteral("pictures_fail"));
    const QString good = WritePicture(dir, QStringLiteral("good.png"), 33, 17);
    const QString bad = dir + QStringLiteral("/bad.png");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n this is not a picture");
    file.close();

    f.prompter->fileAnswers = {good, bad};
    w.PicOpenBtn2Click();
    ASSERT_EQ(w.Picture2().Width(), 33);
    w.PicOpenBtn2Click();
    EXPECT_EQ(w.Picture2().Width(), 33);
    EXPECT_EQ(raster::getpixel(w.Picture2(), 5, 6), 5u | (6u << 8) | (99u << 16));
    EXPECT_EQ(w.Picture2FileName(), good);
    const auto messages = f.prompter->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption,
              QStringLiteral("Error while the loading (") + bad + QStringLiteral(")"));
    EXPECT_EQ(messages[0].icon, TPrompter::Icon::Error);
    EXPECT_EQ(messages[0].buttons, TPrompter::Buttons::Ok);
    EXPECT_FALSE(messages[0].text.isEmpty());

    // A missing file is refused the same way.
    f.prompter->fileAnswers = {dir + QStringLiteral("/missing.bmp")};
    w.PicOpenBtn2Click();
    EXPECT_EQ(w.Picture2().Width(), 33);
    EXPECT_EQ(f.prompter->Messages().size(), 2u);
}

TEST(Pictures, PaneSizeTruncatesAndZoomChangesApplyAtOnce) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    Show(w);
    w.SetPictures(raster::newdib(333, 10, 24), TMainForm::MakeBlankPicture());
    w.PaintBox1Paint();
    EXPECT_EQ(w.PaintBox1->size(), QSize(333, 10));
    w.Zoom1Ed->SetText(QStringLiteral("50"));
    EXPECT_EQ(w.PaintBox1->size(), QSize(166, 5));
    w.Zoom1Ed->SetText(QStringLiteral("300"));
    EXPECT_EQ(w.PaintBox1->size(), QSize(999, 30));
    w.Zoom1Ed->SetText(QStringLiteral("0"));
    EXPECT_EQ(w.PaintBox1->size(), QSize(0, 0)) << "a typed zoom of 0 gives an empty pane";
    w.Zoom1Ed->SetText(QStringLiteral("-20"));
    EXPECT_EQ(w.PaintBox1->size(), QSize(0, 0));
}

TEST(Pictures, HandDragScrollsByTheMouseDistanceAndStopsAtTheEnds) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    Show(w);
    w.SetPictures(raster::newdib(320, 200, 24), TMainForm::MakeBlankPicture());
    w.Zoom1Ed->SetText(QStringLiteral("300"));
    QCoreApplication::processEvents();
    TZoomPane* pane = w.ScrollBox1;
    QScrollBar* h = pane->horizontalScrollBar();
    QScrollBar* v = pane->verticalScrollBar();
    ASSERT_GT(h->maximum(), 100);
    ASSERT_GT(v->maximum(), 100);
    EXPECT_EQ(w.PaintBox1->cursor().shape(), Qt::PointingHandCursor);

    // Dragging 50 pixels to the left scrolls the view 50 pixels to the right.
    QTest::mousePress(w.PaintBox1, Qt::LeftButton, {}, QPoint(200, 100));
    DragMove(w.PaintBox1, QPoint(150, 100));
    EXPECT_EQ(h->value(), 50);
    EXPECT_EQ(v->value(), 0);
    // The start point is kept: the box moved with the scroll, so the same
    // mouse distance now scrolls from the new position.
    DragMove(w.PaintBox1, QPoint(150 - 50 + 50, 100 - 30));
    EXPECT_EQ(h->value(), 50 + 50);
    EXPECT_EQ(v->value(), 30);
    QTest::mouseRelease(w.PaintBox1, Qt::LeftButton, {}, QPoint(150, 70));
    const int stopped = h->value();
    DragMove(w.PaintBox1, QPoint(0, 0));
    EXPECT_EQ(h->value(), stopped) << "moves after the release do nothing";

    // Beyond the ends it stops at the end, in that direction only.
    h->setValue(0);
    v->setValue(0);
    QTest::mousePress(w.PaintBox1, Qt::LeftButton, {}, QPoint(10, 10));
    DragMove(w.PaintBox1, QPoint(60, 5));
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(v->value(), 5);
    DragMove(w.PaintBox1, QPoint(-5000, 5));
    EXPECT_EQ(h->value(), h->maximum());
    QTest::mouseRelease(w.PaintBox1, Qt::LeftButton, {}, QPoint(-5000, 5));
}

TEST(LoadWatch, ALongLoadShowsItsProgressAndCancelStopsItAtTheNextReport) {
    TScriptedPrompter prompter;
    prompter.cancelProgressAt = 50;
    // A quick load shows nothing.
    {
        TLoadWatch quick(prompter, nullptr, QStringLiteral("/pics/quick.bmp"), 60000);
        raster::TProgressEvent event(100);
        quick.Report(event);
        EXPECT_FALSE(event.Cancelled());
        EXPECT_TRUE(prompter.progressShown.empty());
    }
    TLoadWatch slow(prompter, nullptr, QStringLiteral("/pics/slow.bmp"), 0);
    raster::TProgressEvent first(20);
    slow.Report(first);
    EXPECT_FALSE(first.Cancelled());
    raster::TProgressEvent second(60);
    slow.Report(second);
    EXPECT_TRUE(second.Cancelled());
    EXPECT_EQ(prompter.progressShown,
              (std::vector<QString>{QStringLiteral("Loading the picture")}));
    EXPECT_EQ(prompter.progressPercents, (std::vector<int>{20, 60}));
}

TEST(LoadWatch, ACancelledLoadLeavesTheSlotAsItWasWithoutAnErrorBox) {
    const QString dir = testing_support::OutDir(QStringLiteral("loadwatch"));
    // Big enough for several reports while the file is read.
    const QString path = WritePicture(dir, QStringLiteral("big.bmp"), 2000, 1500);
    auto f = MakeForm();
    const raster::DibRecord& before = f.form->Picture1();
    const int width = before.Width();
    f.prompter->cancelProgressAt = 0;
    f.prompter->fileAnswers = {path};
    // Every load counts as long here.
    f.form->SetLoadProgressDelay(0);
    f.form->PicOpenBtn1->click();
    EXPECT_EQ(f.form->Picture1().Width(), width);
    EXPECT_TRUE(f.form->Picture1FileName().isEmpty());
    EXPECT_TRUE(f.prompter->Messages().empty());
    EXPECT_FALSE(f.prompter->progressShown.empty());
}
