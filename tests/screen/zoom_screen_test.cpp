// Zoom that fits, in the real window on a real X server: the "Fit" buttons
// and F, Ctrl+wheel at the mouse, Ctrl+plus, Ctrl+minus and Ctrl+0 on the
// pane that last had the mouse, and fitting right after a load.
#include <QApplication>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "core/zoommapping.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

namespace {

QImage Pattern(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7 + seed) & 0xFF, (y * 5 + seed) & 0xFF, (x + y) & 0xFF));
    return img;
}

class ZoomScreen : public screen_support::WindowOnScreen {
protected:
    void SetUp() override {
        WindowOnScreen::SetUp();
        if (HasFatalFailure()) return;
        Load(w().PicOpenBtn1, Pattern(1600, 1200, 1), QStringLiteral("one.png"));
        Load(w().PicOpenBtn2, Pattern(1920, 1080, 2), QStringLiteral("two.png"));
        QTabBar* bar = w().PageControl2->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        ASSERT_EQ(w().PageControl2->currentIndex(), 1);
    }

    void Load(QAbstractButton* button, const QImage& img, const QString& name) {
        ASSERT_TRUE(img.save(dir_ + QLatin1Char('/') + name));
        fx_.prompter->fileAnswers = {dir_ + QLatin1Char('/') + name};
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static ::testing::AssertionResult Fits(TZoomPane& pane) {
        for (int i = 0; i < 100 && pane.ZoomEdit()->Value() != pane.FitZoom(); ++i)
            QTest::qWait(20);
        const QSize shown = pane.ZoomedSize(), room = pane.maximumViewportSize();
        const int z = pane.ZoomEdit()->Value();
        if (z != pane.FitZoom() || shown.width() > room.width() || shown.height() > room.height())
            return ::testing::AssertionFailure()
                   << pane.objectName().toStdString() << " at " << z << " shows " << shown.width()
                   << "x" << shown.height() << " in " << room.width() << "x" << room.height();
        // The next step up would not fit.
        const raster::DibRecord& pic = pane.Picture();
        if (z < zoommapping::kMaxZoom && zoommapping::ToPane(pic.Width(), z + 10) <= room.width() &&
            zoommapping::ToPane(pic.Height(), z + 10) <= room.height())
            return ::testing::AssertionFailure() << z + 10 << " would fit too";
        return ::testing::AssertionSuccess();
    }
    // The picture point under viewport point `at`.
    static QPoint PictureAt(const TZoomPane& pane, QPoint at) {
        return {static_cast<int>(pane.ToPicture(pane.HorzPosition() + at.x())),
                static_cast<int>(pane.ToPicture(pane.VertPosition() + at.y()))};
    }
    void CtrlWheel(TZoomPane& pane, QPoint at, int delta) {
        QWidget* vp = pane.viewport();
        QWheelEvent e(QPointF(at), QPointF(vp->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    }
    void Key(int key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : &w(), static_cast<Qt::Key>(key),
                        Qt::ControlModifier);
    }
};

}  // namespace

TEST_F(ZoomScreen, LoadedPicturesAreFittedFitButtonsAndFFitAgain) {
    EXPECT_TRUE(Fits(*w().ScrollBox3));
    EXPECT_TRUE(Fits(*w().ScrollBox4));
    EXPECT_LT(w().Zoom3Ed->Value(), 100);
    // The Fit button sits right of its zoom field.
    for (auto [fit, zoom] : {std::pair{w().FitBtn3, w().Zoom3Ed}, {w().FitBtn4, w().Zoom4Ed}}) {
        EXPECT_EQ(fit->text(), QStringLiteral("Fit"));
        EXPECT_GT(fit->mapTo(&w(), QPoint(0, 0)).x(), zoom->mapTo(&w(), QPoint(0, 0)).x());
        EXPECT_TRUE(fit->isVisible());
    }
    w().Zoom3Ed->SetValue(200);
    w().Zoom4Ed->SetValue(30);
    QTest::mouseClick(w().FitBtn3, Qt::LeftButton);
    EXPECT_TRUE(Fits(*w().ScrollBox3));
    EXPECT_EQ(w().Zoom4Ed->Value(), 30);
    w().Zoom3Ed->SetValue(200);
    QTest::mouseClick(w().PaintBox4, Qt::RightButton, {}, QPoint(5, 5));  // the page's keys
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F);
    EXPECT_TRUE(Fits(*w().ScrollBox3));
    EXPECT_TRUE(Fits(*w().ScrollBox4));
    EXPECT_TRUE(screen_support::ScreenShows(
        *w().ScrollBox3, [&] { return screen_support::ComposedPane(*w().ScrollBox3); }, "F"));
}

TEST_F(ZoomScreen, CtrlWheelZoomsAtTheMouseAndTheKeysActOnThePaneLastUnderIt) {
    TZoomPane& pane = *w().ScrollBox3;
    ASSERT_TRUE(Fits(pane));
    w().Zoom3Ed->SetValue(100);
    pane.SetHorzPosition(300);
    pane.SetVertPosition(200);
    for (const auto& [at, delta, zoom] : {std::tuple{QPoint(200, 150), 120, 110},
                                          {QPoint(200, 150), 120, 120},
                                          {QPoint(37, 211), -120, 110},
                                          {QPoint(400, 20), -120, 100},
                                          {QPoint(400, 20), -120, 90}}) {
        SCOPED_TRACE(zoom);
        const QPoint before = PictureAt(pane, at);
        CtrlWheel(pane, at, delta);
        EXPECT_EQ(w().Zoom3Ed->Value(), zoom);
        const QPoint after = PictureAt(pane, at);
        EXPECT_LE(std::abs(after.x() - before.x()), 1) << before.x() << " " << after.x();
        EXPECT_LE(std::abs(after.y() - before.y()), 1) << before.y() << " " << after.y();
    }
    EXPECT_TRUE(screen_support::ScreenShows(
        pane, [&] { return screen_support::ComposedPane(pane); }, "wheel"));

    // The keys: on the pane the mouse was last over, the right one.
    QTest::mouseMove(w().ScrollBox4->viewport(), QPoint(30, 30));
    QTest::qWait(50);
    const int left = w().Zoom3Ed->Value();
    w().Zoom4Ed->SetValue(100);
    Key(Qt::Key_Plus);
    EXPECT_EQ(w().Zoom4Ed->Value(), 110);
    Key(Qt::Key_Minus);
    Key(Qt::Key_Minus);
    EXPECT_EQ(w().Zoom4Ed->Value(), 90);
    Key(Qt::Key_0);
    EXPECT_EQ(w().Zoom4Ed->Value(), 100);
    EXPECT_EQ(w().Zoom3Ed->Value(), left);
    QTest::mouseMove(w().ScrollBox3->viewport(), QPoint(30, 30));
    QTest::qWait(50);
    Key(Qt::Key_Minus);
    EXPECT_EQ(w().Zoom3Ed->Value(), left - 10);
    EXPECT_EQ(w().Zoom4Ed->Value(), 100);
    EXPECT_TRUE(screen_support::ScreenShows(
        *w().ScrollBox4, [&] { return screen_support::ComposedPane(*w().ScrollBox4); }, "keys"));
}
