// "Find pairs" through the real window on a real X server: two portraits get
// their pairs from the button, the panes show them, Ctrl+Z removes them all
// at once, and the status line says what happened. The portrait is Debian's
// sample photograph (scripts/fetch-sample-photos.sh, into the build tree);
// without it the test is skipped.
#include <QFile>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "controls/bitbtnxp.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

namespace {

// Whether the pane shows `expected` (or, with same false, something else)
// once the X server has the latest paint.
bool PaneShows(QWidget* viewport, const QImage& expected, bool same = true) {
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::processEvents();
        if ((screen_support::Shown(viewport) == expected) == same) return true;
        QTest::qWait(20);
    }
    return false;
}

}  // namespace

TEST(FindPairsScreen, ButtonAddsThePairsAndCtrlZRemovesThemAll) {
    const QString portrait = QStringLiteral(VELLORA_PHOTOS "/astronaut.png");
    if (!QFile::exists(portrait)) GTEST_SKIP() << "no " << portrait.toStdString();
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    testing_support::FormFixture fx = testing_support::MakeForm();
    TMainForm& w = *fx.form;
    w.setGeometry(20, 40, 1200, 900);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QString dir = testing_support::OutDir(QStringLiteral("findpairs_screen"));
    const QString two = dir + QStringLiteral("/two.png");
    ASSERT_TRUE(QImage(portrait).mirrored(true, false).scaled(600, 600).save(two));
    fx.prompter->fileAnswers = {portrait};
    QTest::mouseClick(w.PicOpenBtn1, Qt::LeftButton);
    fx.prompter->fileAnswers = {two};
    QTest::mouseClick(w.PicOpenBtn2, Qt::LeftButton);
    QTabBar* bar = w.PageControl2->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QTest::qWait(200);
    const QImage before = screen_support::Shown(w.ScrollBox4->viewport());

    EXPECT_EQ(w.FindPairsBtn->toolTip(),
              QStringLiteral("Place area pairs for the faces found in both pictures"));
    QTest::mouseClick(w.FindPairsBtn, Qt::LeftButton);
    EXPECT_EQ(w.Areas().Count(), 5u);
    EXPECT_EQ(w.StatusLabel->text(),
              QStringLiteral("added 5 pairs: face, left eye, right eye, nose, mouth"));
    EXPECT_TRUE(PaneShows(w.ScrollBox4->viewport(), before, false));

    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.Areas().Count(), 0u);
    EXPECT_TRUE(PaneShows(w.ScrollBox4->viewport(), before));
    // Ctrl+F on the page does it again.
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(w.Areas().Count(), 5u);
}
