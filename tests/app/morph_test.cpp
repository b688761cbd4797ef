// The "Morphing" page: the number fields and what they render, the background
// colour box, and playback driven by a clock the test controls.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "core/renderer.h"
#include "support/test_support.h"

using testing_support::MakeForm;
using Asked = TScriptedPrompter::Asked;

namespace {

constexpr std::uint32_t Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

raster::DibRecord Filled(int w, int h, std::uint32_t color) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster::setpixel(dib, x, y, color);
    return dib;
}

bool Same(const raster::DibRecord& a, const raster::DibRecord& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::ranges::equal(a.Bits(), b.Bits());
}

// The window on the "Morphing" page with a clock the test moves, and two
// pictures whose in-between pictures all differ.
struct MorphPage {
    testing_support::FormFixture f = MakeForm();
    TMainForm& w = *f.form;
    std::uint32_t now = 5000;

    MorphPage() {
        w.SetTickSource([this] { return now; });
        w.SetPictures(Filled(30, 20, Rgb(0, 0, 0)), Filled(30, 20, Rgb(250, 200, 100)));
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.PageControl2->setCurrentIndex(2);
    }
    int Pic() const { return w.PicEd->Value(); }
    void Tick(std::uint32_t at) {
        now = at;
        w.Timer1Timer();
    }
    // Replaces the whole text of a field by typing over its selection.
    static void TypeOver(TSpinEdit* field, const QString& text) {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
};

}  // namespace

TEST(MorphPage, StartsWithTwentyFivePicturesAndPictureOneRendered) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    EXPECT_EQ(w.TimeEd->Text(), QStringLiteral("5"));
    EXPECT_EQ(w.PPSEd->Text(), QStringLiteral("5"));
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("1"));
    EXPECT_EQ(w.PicEd->MinValue(), 1);
    EXPECT_EQ(w.PicEd->MaxValue(), 25);
    EXPECT_EQ(w.Zoom5Ed->Text(), QStringLiteral("100"));
    EXPECT_EQ(w.BkColor->ColorValue(), 0u);
    EXPECT_EQ(w.BkColor->HTMLcolor(), QStringLiteral("#000000"));
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.Renders(), 1);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 1, 25)));
    EXPECT_EQ(w.PaintBox5->size(), QSize(320, 200));
}

TEST(MorphPage, ShorterLengthPullsThePictureNumberIntoRange) {
    MorphPage p;
    TMainForm& w = p.w;
    MorphPage::TypeOver(w.PicEd, QStringLiteral("20"));
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 20, 25)));

    // Typing 2 over the selected 5: N = 10, the picture number follows,
    // which renders through the picture field and once more for the length.
    int renders = w.Renders();
    MorphPage::TypeOver(w.TimeEd, QStringLiteral("2"));
    EXPECT_EQ(w.PicEd->MaxValue(), 10);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("10"));
    EXPECT_EQ(w.Renders(), renders + 2);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 10, 10)));

    // Deleting the digit first: the empty field reads as 1 for a moment,
    // N = 5 pulls the picture number to 5, and it stays when 2 is typed.
    MorphPage::TypeOver(w.TimeEd, QStringLiteral("5"));
    MorphPage::TypeOver(w.PicEd, QStringLiteral("20"));
    w.TimeEd->setFocus();
    QTest::keyClick(w.TimeEd, Qt::Key_End);
    QTest::keyClick(w.TimeEd, Qt::Key_Backspace);
    EXPECT_EQ(w.TimeEd->Text(), QString());
    EXPECT_EQ(w.PicEd->MaxValue(), 5);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("5"));
    QTest::keyClicks(w.TimeEd, QStringLiteral("2"));
    EXPECT_EQ(w.PicEd->MaxValue(), 10);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("5"));
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 5, 10)));

    // A longer sequence keeps the number and renders once; a rate change
    // does the same.
    renders = w.Renders();
    MorphPage::TypeOver(w.PPSEd, QStringLiteral("9"));
    EXPECT_EQ(w.PicEd->MaxValue(), 18);
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("5"));
    EXPECT_EQ(w.Renders(), renders + 1);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 5, 18)));
}

TEST(MorphPage, OnlyNewPictureNumbersRenderAndZoomOnlyRepaints) {
    MorphPage p;
    TMainForm& w = p.w;
    int renders = w.Renders();
    w.PicEd->SetValue(1);  // the number shown already
    EXPECT_EQ(w.Renders(), renders);
    w.PicEd->SetValue(100);  // clamped to N
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("25"));
    EXPECT_EQ(w.Renders(), renders + 1);

    renders = w.Renders();
    w.SetPictures(Filled(320, 200, Rgb(1, 2, 3)), Filled(320, 200, Rgb(1, 2, 3)));
    w.PicEdChange();
    MorphPage::TypeOver(w.Zoom5Ed, QStringLiteral("50"));
    EXPECT_EQ(w.PaintBox5->size(), QSize(160, 100));
    MorphPage::TypeOver(w.Zoom5Ed, QStringLiteral("300"));
    EXPECT_EQ(w.PaintBox5->size(), QSize(960, 600));
    QTest::qWait(0);
    EXPECT_GT(w.ScrollBox5->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(w.Renders(), renders + 1);

    // Entering the page renders; the other pages do not.
    renders = w.Renders();
    w.PageControl2->setCurrentIndex(1);
    w.PageControl2->setCurrentIndex(0);
    EXPECT_EQ(w.Renders(), renders);
    w.PageControl2->setCurrentIndex(2);
    EXPECT_EQ(w.Renders(), renders + 1);
}

TEST(MorphPlayback, FollowsTheClockAndEndsAfterTheLastPicture) {
    MorphPage p;
    TMainForm& w = p.w;
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 100);
    EXPECT_EQ(w.PlayStartPicture(), 1);
    EXPECT_EQ(w.PlayStartTime(), 5000u);

    const int renders = w.Renders();
    p.Tick(5150);  // 0.75 pictures: still picture 1, nothing rendered
    EXPECT_EQ(p.Pic(), 1);
    EXPECT_EQ(w.Renders(), renders);
    p.Tick(6000);
    EXPECT_EQ(p.Pic(), 6);
    EXPECT_EQ(w.Renders(), renders + 1);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 6, 25)));
    p.Tick(6000);  // a second tick for the same picture does nothing
    EXPECT_EQ(w.Renders(), renders + 1);
    p.Tick(9800);
    EXPECT_EQ(p.Pic(), 25);
    EXPECT_TRUE(w.Timer1->isActive());
    p.Tick(9900);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(p.Pic(), 25);
    EXPECT_EQ(w.Renders(), renders + 2);

    // A late tick jumps straight to the end, never beyond it.
    w.PicEd->SetValue(3);
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    p.Tick(60000);
    EXPECT_EQ(p.Pic(), 25);
}

TEST(MorphPlayback, LoopStartsAgainAndBackAndForthTurnsAtTheEnds) {
    MorphPage p;
    TMainForm& w = p.w;
    EXPECT_FALSE(w.LoopBox->isChecked());
    EXPECT_FALSE(w.BackForthBox->isEnabled());
    w.LoopBox->click();
    ASSERT_TRUE(w.BackForthBox->isEnabled());
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);  // at 5000 ms, picture 1 of 25
    p.Tick(9800);
    EXPECT_EQ(p.Pic(), 25);
    p.Tick(10000);  // picture 26 would follow: 1 again, and playback goes on
    EXPECT_EQ(p.Pic(), 1);
    p.Tick(10400);
    EXPECT_EQ(p.Pic(), 3);
    EXPECT_TRUE(w.Timer1->isActive());

    w.BackForthBox->click();
    p.Tick(10000);  // 25 steps on from 1: back at 24
    EXPECT_EQ(p.Pic(), 24);
    p.Tick(14600);  // 48 steps: round once, at 1
    EXPECT_EQ(p.Pic(), 1);
    EXPECT_TRUE(w.Timer1->isActive());
    // Without Loop, Back and forth has no effect and playback ends at N.
    w.LoopBox->click();
    p.Tick(60000);
    EXPECT_EQ(p.Pic(), 25);
    p.Tick(60100);
    EXPECT_FALSE(w.Timer1->isActive());
}

TEST(MorphPlayback, ElapsedTimeIsRightAcrossTheClockWrapping) {
    MorphPage p;
    p.now = 0xFFFFFF00u;
    QTest::mouseClick(p.w.PlayBtn, Qt::LeftButton);
    p.Tick(0xFFFFFF00u + 1000u);  // wraps to 0x2E8
    EXPECT_EQ(p.Pic(), 6);
}

TEST(MorphPlayback, TimerIntervalFromTheRate) {
    MorphPage p;
    TMainForm& w = p.w;
    for (const auto& [rate, interval] : std::vector<std::pair<const char*, int>>{
             {"3", 166}, {"5", 100}, {"100", 5}, {"1", 500}, {"0", 500}, {"-4", 500}}) {
        MorphPage::TypeOver(w.PPSEd, QString::fromLatin1(rate));
        w.PicEd->SetValue(1);
        QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
        EXPECT_EQ(w.Timer1->interval(), interval) << "rate " << rate;
        QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    }
}

TEST(MorphPlayback, PlayRestartsAtTheEndAndContinuesElsewhere) {
    MorphPage p;
    TMainForm& w = p.w;
    w.PicEd->SetValue(25);
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(p.Pic(), 1);
    EXPECT_EQ(w.PlayStartPicture(), 1);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 1, 25)));

    QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    w.PicEd->SetValue(7);
    p.now = 20000;
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(p.Pic(), 7);
    p.Tick(21000);
    EXPECT_EQ(p.Pic(), 12);

    // An edit during playback shows at once; the next tick goes on from
    // the start values, not from the edited number.
    MorphPage::TypeOver(w.PicEd, QStringLiteral("20"));
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 20, 25)));
    p.Tick(21200);
    EXPECT_EQ(p.Pic(), 13);

    // "Play" while playing starts again from the picture shown.
    p.now = 30000;
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(w.PlayStartPicture(), 13);
    EXPECT_EQ(w.PlayStartTime(), 30000u);
}

TEST(MorphPlayback, StopKeepsThePictureWhilePlayingAndRewindsWhenStopped) {
    MorphPage p;
    TMainForm& w = p.w;
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    p.Tick(6000);
    QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(p.Pic(), 6);
    const int renders = w.Renders();
    QTest::mouseClick(w.StopBtn, Qt::LeftButton);
    EXPECT_EQ(p.Pic(), 1);
    EXPECT_EQ(w.Renders(), renders + 1);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 1, 25)));
    QTest::mouseClick(w.StopBtn, Qt::LeftButton);  // already at 1: nothing to render
    EXPECT_EQ(w.Renders(), renders + 1);
}

TEST(MorphPlayback, SinglePictureSequenceEndsOnTheFirstTick) {
    MorphPage p;
    TMainForm& w = p.w;
    MorphPage::TypeOver(w.TimeEd, QStringLiteral("1"));
    MorphPage::TypeOver(w.PPSEd, QStringLiteral("1"));
    EXPECT_EQ(w.PicEd->MaxValue(), 1);
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    EXPECT_EQ(p.Pic(), 1);
    EXPECT_TRUE(w.Timer1->isActive());
    p.Tick(5001);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(p.Pic(), 1);
}

TEST(MorphPlayback, TheRealTimerPlaysToTheEnd) {
    auto f = MakeForm();
    TMainForm& w = *f.form;
    MorphPage::TypeOver(w.TimeEd, QStringLiteral("1"));
    MorphPage::TypeOver(w.PPSEd, QStringLiteral("20"));
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    QElapsedTimer clock;
    clock.start();
    while (w.Timer1->isActive() && clock.elapsed() < 5000) QTest::qWait(10);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.PicEd->Text(), QStringLiteral("20"));
    EXPECT_GE(clock.elapsed(), 900);  // 19 picture intervals of 50 ms
}

TEST(BackgroundColour, SeventeenEntriesWithTheirColoursAndHtmlText) {
    TTintaColorComboBox box;
    const QStringList names = {"Black", "Maroon",  "Green",  "Olive", "Navy",   "Purple",
                               "Teal",  "Gray",    "Silver", "Red",   "Lime",   "Yellow",
                               "Blue",  "Fuchsia", "Aqua",   "White", "More..."};
    ASSERT_EQ(box.count(), 17);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(box.itemText(i), names[i]);
    const std::uint32_t colours[16] = {
        Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
        Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(128, 128, 128),
        Rgb(192, 192, 192), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
        Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255)};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(box.EntryColor(i), colours[i]) << i;
        box.SetColorValue(colours[i]);
        EXPECT_EQ(box.currentIndex(), i);
    }
    EXPECT_EQ(box.EntryColor(16), Rgb(255, 255, 255)) << "the custom colour starts white";
    EXPECT_EQ(box.HTMLcolor(), QStringLiteral("#FFFFFF"));
    box.SetColorValue(Rgb(0, 128, 128));
    EXPECT_EQ(box.HTMLcolor(), QStringLiteral("#008080"));
    box.SetColorValue(Rgb(10, 20, 30));
    EXPECT_EQ(box.currentIndex(), 16);
    EXPECT_EQ(box.CustomColor(), Rgb(10, 20, 30));
    EXPECT_EQ(box.HTMLcolor(), QStringLiteral("#0A141E"));

    // An entry: a black-framed swatch from x = 4 to 24, the name from 30.
    QImage canvas(120, 16, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        QStyleOptionViewItem opt;
        opt.rect = canvas.rect();
        opt.palette = box.palette();
        box.view()->itemDelegate()->paint(&painter, opt, box.model()->index(9, 0));
    }
    EXPECT_EQ(canvas.pixel(4, 8), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(10, 1), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(10, 8), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(23, 8), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(3, 8), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(26, 8), qRgb(255, 255, 255));
}

TEST(BackgroundColour, PicksRenderAndMoreAsksWithTheCurrentColour) {
    MorphPage p;
    TMainForm& w = p.w;
    w.BkColor->setFocus();
    int renders = w.Renders();
    for (int i = 0; i < 9; ++i) QTest::keyClick(w.BkColor, Qt::Key_Down);  // to Red
    EXPECT_EQ(w.BkColor->currentIndex(), 9);
    EXPECT_EQ(w.BkColor->ColorValue(), Rgb(255, 0, 0));
    EXPECT_EQ(w.Renders(), renders + 9);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 1, 25)));

    // "More..." cancelled: asked with red, colour and entry stay, and the
    // picture is rendered again.
    renders = w.Renders();
    QTest::keyClick(w.BkColor, Qt::Key_End);
    ASSERT_TRUE(p.f.prompter->lastInitialColor);
    EXPECT_EQ(*p.f.prompter->lastInitialColor, QColor(255, 0, 0));
    EXPECT_EQ(w.BkColor->ColorValue(), Rgb(255, 0, 0));
    EXPECT_EQ(w.BkColor->currentIndex(), 9);
    EXPECT_EQ(w.Renders(), renders + 1);

    // "More..." with a colour of its own.
    p.f.prompter->colorAnswers.push_back(QColor(10, 20, 30));
    QTest::keyClick(w.BkColor, Qt::Key_End);
    EXPECT_EQ(w.BkColor->ColorValue(), Rgb(10, 20, 30));
    EXPECT_EQ(w.BkColor->currentIndex(), 16);
    EXPECT_EQ(w.BkColor->HTMLcolor(), QStringLiteral("#0A141E"));
    EXPECT_EQ(w.Renders(), renders + 2);
    EXPECT_TRUE(Same(w.Result(), testing_support::RenderedFromForm(w, 1, 25)));
}
