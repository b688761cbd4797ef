// The live result on "Similar areas" in the real window on a real X server:
// after a drag, a nudge, an undo and a Match object the view shows exactly
// the renderer's picture for the areas as they are, and the outlines stand
// out on uniform pictures of any grey.
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/liveview.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"
#include "editor/areatools.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

namespace {

QImage Speckled(int width, int height, unsigned seed) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 128));
    QPainter p(&img);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> x(0, width), y(0, height), r(3, 14), c(0, 255);
    for (int i = 0; i < 900; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(c(rng), c(rng), c(rng)));
        p.drawEllipse(QPoint(x(rng), y(rng)), r(rng), r(rng));
    }
    return img;
}

QImage FromDib(const raster::DibRecord& dib) {
    QImage img(dib.Width(), dib.Height(), QImage::Format_RGB32);
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) {
            const std::uint32_t c = raster::PixelColor(dib, x, y);
            img.setPixel(x, y, qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        }
    return img;
}

class LiveScreen : public screen_support::WindowOnScreen {
protected:
    void SetUp() override {
        WindowOnScreen::SetUp();
        if (HasFatalFailure()) return;
    }
    TLiveView& live() { return w().LiveView(); }

    void Load(QAbstractButton* button, const QImage& img, const QString& name) {
        ASSERT_TRUE(img.save(dir_ + QLatin1Char('/') + name));
        fx_.prompter->fileAnswers = {dir_ + QLatin1Char('/') + name};
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void ShowAreasPage() {
        QTabBar* bar = w().PageControl2->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        ASSERT_EQ(w().PageControl2->currentIndex(), 1);
    }
    void Type(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : &w(), key, mods);
    }

    // The renderer's own picture n of 100 for the document as it is.
    raster::DibRecord Expected() {
        std::vector<TAreaPair> areas(w().Areas().Data(), w().Areas().Data() + w().Areas().Count());
        core::TMorphInput in;
        in.pic1 = &w().Picture1();
        in.pic2 = &w().Picture2();
        in.areas = areas;
        in.n = live().PictureNumber();
        in.N = 100;
        in.background = w().BkColor->ColorValue();
        return core::RenderMorph(in);
    }

    // The view holds exactly the renderer's picture and the screen shows it
    // pixel for pixel (the view at zoom 100, scrolled to its corner).
    ::testing::AssertionResult ShowsTheRenderersPicture(const QString& name) {
        const raster::DibRecord expected = Expected();
        auto same = [&] {
            const raster::DibRecord& shown = live().Picture();
            return shown.Width() == expected.Width() && shown.Height() == expected.Height() &&
                   std::equal(shown.Bits().begin(), shown.Bits().end(), expected.Bits().begin());
        };
        for (int i = 0; i < 100 && !same(); ++i) {
            live().Renderer().WaitIdle();
            QTest::qWait(10);
        }
        if (!same())
            return ::testing::AssertionFailure()
                   << name.toStdString() << ": the view does not hold the renderer's picture";
        const QImage picture = FromDib(expected);
        TZoomPane& pane = *live().ScrollBox6;
        return screen_support::ScreenShows(
            pane,
            [&] {
                QImage out(pane.viewport()->size(), QImage::Format_RGB32);
                out.fill(pane.palette().color(QPalette::Dark));
                QPainter p(&out);
                p.drawImage(QPoint(-pane.HorzPosition(), -pane.VertPosition()), picture);
                return out;
            },
            name);
    }
};

}  // namespace

TEST_F(LiveScreen, FollowsADragANudgeAnUndoAndAMatchExactly) {
    const QImage two = Speckled(640, 400, 5);
    Load(w().PicOpenBtn1, two.copy(100, 70, 320, 200), QStringLiteral("one.png"));
    Load(w().PicOpenBtn2, two, QStringLiteral("two.png"));
    ShowAreasPage();
    // Below the panes, shown, at 50 %, fitted until zoomed.
    ASSERT_TRUE(live().LivePanel->isVisible());
    EXPECT_TRUE(live().LiveBtn->isChecked());
    EXPECT_EQ(live().LiveSplitter->widget(1), live().LivePanel);
    EXPECT_EQ(live().LiveLabel->text(), QStringLiteral("50 %"));
    EXPECT_EQ(live().PictureNumber(), 50);
    live().Renderer().WaitIdle();
    for (int i = 0; i < 50 && live().Zoom6Ed->Value() != live().ScrollBox6->FitZoom(); ++i)
        QTest::qWait(20);
    EXPECT_EQ(live().Zoom6Ed->Value(), live().ScrollBox6->FitZoom());
    live().Zoom6Ed->SetValue(100);
    w().Zoom3Ed->SetValue(100);
    w().Zoom4Ed->SetValue(100);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("start")));

    // Create, then drag it with the Pointer tool.
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("created")));
    Type(Qt::Key_P);
    QTest::mousePress(w().PaintBox3, Qt::LeftButton, {}, QPoint(60, 50));
    QTest::mouseMove(w().PaintBox3, QPoint(65, 58));
    QTest::mouseMove(w().PaintBox3, QPoint(80, 65));
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("dragging")));
    QTest::mouseRelease(w().PaintBox3, Qt::LeftButton, {}, QPoint(80, 65));
    ASSERT_EQ(w().Areas().Data()[0].Left1, 60);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("dragged")));
    Type(Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(w().Areas().Data()[0].Left1, 70);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("nudged")));
    Type(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(w().Areas().Data()[0].Left1, 60);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("undone")));
    const TAreaPair beforeMatch = w().Areas().Data()[0];
    Type(Qt::Key_M);
    ASSERT_NE(w().Areas().Data()[0], beforeMatch);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("matched")));

    // The slider picks the picture: 0 % is picture 1.
    live().LiveSlider->setValue(0);
    EXPECT_EQ(live().LiveLabel->text(), QStringLiteral("0 %"));
    EXPECT_EQ(live().PictureNumber(), 1);
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("slider0")));

    // V hides it (the panes get the room) and shows it again, up to date.
    const int paneHeight = w().ScrollBox3->height();
    Type(Qt::Key_V);
    EXPECT_FALSE(live().LivePanel->isVisible());
    EXPECT_FALSE(live().LiveBtn->isChecked());
    for (int i = 0; i < 50 && w().ScrollBox3->height() <= paneHeight; ++i) QTest::qWait(10);
    EXPECT_GT(w().ScrollBox3->height(), paneHeight);
    Type(Qt::Key_Delete);
    Type(Qt::Key_V);
    EXPECT_TRUE(live().LivePanel->isVisible());
    EXPECT_TRUE(ShowsTheRenderersPicture(QStringLiteral("shown-again")));
}

TEST_F(LiveScreen, OutlinesStandOutOnUniformGreysBlackWhiteAndAPhoto) {
    live().SetShown(false);
    const QImage photo = Speckled(320, 200, 9);
    const QRgb colours[] = {0xFF000000u, 0xFFFFFFFFu, 0xFF808080u, 0xFF7F7F7Fu};
    std::vector<QImage> pictures;
    for (QRgb c : colours) {
        QImage img(320, 200, QImage::Format_RGB32);
        img.fill(c);
        pictures.push_back(img);
    }
    pictures.push_back(photo);
    ShowAreasPage();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE(i);
        Load(w().PicOpenBtn1, pictures[i], QStringLiteral("p%1.png").arg(i));
        w().SetAreas({});
        testing_support::AddArea(w(), {20, 20, 120, 90, 0, 0, 9, 9});
        testing_support::AddArea(w(), {150, 40, 200, 140, 0, 0, 9, 9});
        w().SetCurrentArea(0);
        w().Zoom3Ed->SetValue(100);
        w().PaintBox3Paint();
        TZoomPane& pane = *w().ScrollBox3;
        ASSERT_TRUE(screen_support::ScreenShows(
            pane, [&] { return screen_support::ComposedPane(pane); }, QStringLiteral("outline")));
        const QImage shown = screen_support::Shown(pane.viewport());
        const QImage& under = pictures[i];
        int drawn = 0;
        for (int y = 0; y < under.height(); ++y)
            for (int x = 0; x < under.width(); ++x) {
                if (shown.pixel(x, y) == under.pixel(x, y)) continue;
                ++drawn;
                ASSERT_GE(areatools::ColourDistance(shown.pixel(x, y), under.pixel(x, y)),
                          areatools::kMinContrast)
                    << x << "," << y;
            }
        // The solid outline (100 + 100 + 69 + 69 pixels less the corners),
        // the grips and half the dotted one.
        EXPECT_GT(drawn, 2 * 101 + 2 * 71 - 4 + 50);
        // Every pixel of the current outline shows.
        for (int x = 20; x <= 120; ++x) {
            EXPECT_NE(shown.pixel(x, 20), under.pixel(x, 20)) << x;
            EXPECT_NE(shown.pixel(x, 90), under.pixel(x, 90)) << x;
        }
    }
}

TEST_F(LiveScreen, AClickInsideAnEyeInsideTheCurrentHeadSelectsTheEye) {
    ShowAreasPage();
    testing_support::AddArea(w(), {20, 20, 200, 180, 20, 20, 200, 180});  // the head
    testing_support::AddArea(w(), {60, 60, 90, 80, 60, 60, 90, 80});      // an eye
    w().SetCurrentArea(0);
    Type(Qt::Key_P);
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(75, 70));
    EXPECT_EQ(w().CurrentArea(), 1);
    EXPECT_EQ(w().Areas().Data()[0].Left1, 20) << "the head did not move";
    // Again on the same spot: the head; once more: the eye.
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(75, 70));
    EXPECT_EQ(w().CurrentArea(), 0);
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(75, 70));
    EXPECT_EQ(w().CurrentArea(), 1);
    TZoomPane& pane = *w().ScrollBox3;
    EXPECT_TRUE(screen_support::ScreenShows(
        pane, [&] { return screen_support::ComposedPane(pane); }, QStringLiteral("eye")));
}
