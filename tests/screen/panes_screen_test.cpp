// What the X server shows of the five picture panes after ordinary actions:
// the real window on a real display (Xvfb), driven by input events, its
// pixels read back from the screen and compared with the expected picture.
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "core/projectfile.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

using screen_support::ComposedPane;
using screen_support::ScreenShows;
using screen_support::Shown;
using testing_support::MakeForm;

namespace {

// A w x h picture with a distinct colour in every pixel, so any wrong column
// or row choice shows.
QImage Pattern(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(
                x, y,
                qRgb((x * 7 + seed) & 0xFF, (y * 5 + seed * 3) & 0xFF, (x + y + seed * 11) & 0xFF));
    return img;
}

QString Save(const QImage& img, const QString& path) {
    EXPECT_TRUE(img.save(path));
    return path;
}

// The visible part of a pane showing `picture` at zoom z: each pane pixel
// takes the picture pixel trunc(i x W / Wz), rows alike; beyond the zoomed
// picture the scroll box's background.
QImage ExpectedPane(const TZoomPane& pane, const QImage& picture, int z) {
    const QWidget* vp = pane.viewport();
    QImage out(vp->size(), QImage::Format_RGB32);
    out.fill(pane.palette().color(QPalette::Dark));
    const auto wz = static_cast<int>(static_cast<long double>(picture.width()) * z / 100);
    const auto hz = static_cast<int>(static_cast<long double>(picture.height()) * z / 100);
    const int sx = pane.horizontalScrollBar()->value();
    const int sy = pane.verticalScrollBar()->value();
    for (int y = 0; y < out.height(); ++y) {
        const int by = y + sy;
        if (by >= hz) break;
        const int py = static_cast<int>(static_cast<std::int64_t>(by) * picture.height() / hz);
        for (int x = 0; x < out.width(); ++x) {
            const int bx = x + sx;
            if (bx >= wz) break;
            const int px = static_cast<int>(static_cast<std::int64_t>(bx) * picture.width() / wz);
            out.setPixel(x, y, picture.pixel(px, py));
        }
    }
    return out;
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

QImage White(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

class Screen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "these tests look at a real X server (scripts/with-xvfb.sh)";
        fx_ = MakeForm();
        w().setGeometry(20, 40, 1200, 900);
        w().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
        dir_ = testing_support::OutDir(QString::fromStdString(
            ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    TMainForm& w() { return *fx_.form; }
    TScriptedPrompter& p() { return *fx_.prompter; }

    void ShowPage(int index) {
        QTabBar* bar = w().PageControl2->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        ASSERT_EQ(w().PageControl2->currentIndex(), index);
    }
    void Load(QAbstractButton* button, const QString& path) {
        p().fileAnswers = {path};
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Clicks the spin field's up or down arrow.
    static void ClickArrow(TSpinEdit* edit, bool up) {
        QStyleOptionSpinBox opt;
        opt.initFrom(edit);
        opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        const QRect r = edit->style()->subControlRect(
            QStyle::CC_SpinBox, &opt, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, edit);
        QTest::mouseClick(edit, Qt::LeftButton, {}, r.center());
    }
    // A picture larger than its pane is fitted once the pane shows: waits
    // for that and returns the zoom.
    static int Fitted(TZoomPane& pane) {
        for (int i = 0; i < 100 && pane.ZoomEdit()->Value() != pane.FitZoom(); ++i)
            QTest::qWait(20);
        EXPECT_EQ(pane.ZoomEdit()->Value(), pane.FitZoom()) << pane.objectName().toStdString();
        return pane.ZoomEdit()->Value();
    }
    void TypeZoom(TSpinEdit* edit, const QString& value) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, value);
    }

    testing_support::FormFixture fx_;
    QString dir_;
};

TEST_F(Screen, PicturePaneAfterLoadingABiggerAndASmallerPicture) {
    const QImage big = Pattern(640, 400, 1), small = Pattern(200, 120, 2);
    ASSERT_TRUE(ScreenShows(
        *w().ScrollBox2, [&] { return ExpectedPane(*w().ScrollBox2, White(320, 200), 100); },
        "blank"));
    Load(w().PicOpenBtn2, Save(big, dir_ + "/big.png"));
    // Larger than the pane: fitted; a smaller one after it at 100 %.
    const int fitted = Fitted(*w().ScrollBox2);
    EXPECT_LT(fitted, 100);
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox2, [&] { return ExpectedPane(*w().ScrollBox2, big, fitted); }, "big"));
    Load(w().PicOpenBtn2, Save(small, dir_ + "/small.png"));
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox2, [&] { return ExpectedPane(*w().ScrollBox2, small, 100); }, "small"));
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox1, [&] { return ExpectedPane(*w().ScrollBox1, White(320, 200), 100); },
        "p1"));
}

TEST_F(Screen, ZoomSteppedByItsArrowsAndByTyping) {
    const QImage pic = Pattern(300, 180, 3);
    Load(w().PicOpenBtn1, Save(pic, dir_ + "/pic.png"));
    TypeZoom(w().Zoom1Ed, QStringLiteral("10"));
    for (int z = 20; z <= 110; z += 10) {
        ClickArrow(w().Zoom1Ed, true);
        ASSERT_EQ(w().Zoom1Ed->Value(), z);
        ASSERT_TRUE(ScreenShows(
            *w().ScrollBox1, [&] { return ExpectedPane(*w().ScrollBox1, pic, z); },
            QStringLiteral("up%1").arg(z)));
    }
    for (int z = 100; z >= 70; z -= 10) {
        ClickArrow(w().Zoom1Ed, false);
        ASSERT_TRUE(ScreenShows(
            *w().ScrollBox1, [&] { return ExpectedPane(*w().ScrollBox1, pic, z); },
            QStringLiteral("down%1").arg(z)));
    }
    // Every intermediate value of a typed number is shown: 2, then 25, then 250.
    w().Zoom1Ed->setFocus();
    QTest::keyClick(w().Zoom1Ed, Qt::Key_A, Qt::ControlModifier);
    for (const int z : {2, 25, 250}) {
        QTest::keyClick(w().Zoom1Ed, static_cast<char>('0' + z % 10));
        EXPECT_TRUE(ScreenShows(
            *w().ScrollBox1, [&] { return ExpectedPane(*w().ScrollBox1, pic, z); },
            QStringLiteral("typed%1").arg(z)));
    }
}

TEST_F(Screen, FirstVisitOfEachPageAfterALoadShowsThePictureAtItsZoom) {
    const QImage pic1 = Pattern(300, 200, 4), pic2 = Pattern(640, 400, 5);
    Load(w().PicOpenBtn1, Save(pic1, dir_ + "/one.png"));
    Load(w().PicOpenBtn2, Save(pic2, dir_ + "/two.png"));
    ShowPage(1);
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox3, [&] { return ExpectedPane(*w().ScrollBox3, pic1, 100); }, "areas1"));
    // Picture 2 is larger than the pane: fitted when the page first shows.
    const int fitted = Fitted(*w().ScrollBox4);
    EXPECT_LT(fitted, 100);
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox4, [&] { return ExpectedPane(*w().ScrollBox4, pic2, fitted); }, "areas2"));
    ShowPage(2);
    ASSERT_EQ(w().Result().Width(), 640);
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox5, [&] { return ExpectedPane(*w().ScrollBox5, FromDib(w().Result()), 100); },
        "result"));
    EXPECT_EQ(w().PaintBox5->size(), QSize(640, 400));
}

TEST_F(Screen, ResultZoomAndAPictureNumberAfterTheResultGrew) {
    ShowPage(2);
    ShowPage(0);
    const QImage pic2 = Pattern(500, 300, 6);
    Load(w().PicOpenBtn2, Save(pic2, dir_ + "/two.png"));
    ShowPage(2);
    TSpinEdit* zoom = w().Zoom5Ed;
    for (const char* z : {"150", "50", "100"}) {
        TypeZoom(zoom, QString::fromLatin1(z));
        EXPECT_TRUE(ScreenShows(
            *w().ScrollBox5,
            [&] { return ExpectedPane(*w().ScrollBox5, FromDib(w().Result()), zoom->Value()); },
            QStringLiteral("zoom%1").arg(z)));
    }
    ClickArrow(w().PicEd, true);
    ASSERT_EQ(w().PicEd->Value(), 2);
    EXPECT_TRUE(ScreenShows(
        *w().ScrollBox5, [&] { return ExpectedPane(*w().ScrollBox5, FromDib(w().Result()), 100); },
        "picture2"));
}

// New and Open on each page: the panes of that page show the cleared and
// then the opened document, outlines included, nothing of what was there.
TEST_F(Screen, NewAndOpenOnEachPageRepaintThePanesShown) {
    const QImage pic1 = Pattern(400, 260, 7), pic2 = Pattern(360, 300, 8);
    const QString one = Save(pic1, dir_ + "/one.png"), two = Save(pic2, dir_ + "/two.png");
    core::TProjectData project;
    project.pic1Name = "one.png";
    project.pic2Name = "two.png";
    project.areas = {{10, 20, 120, 140, 30, 40, 200, 220}, {150, 30, 300, 200, 100, 20, 300, 250}};
    const QString mor = dir_ + "/proj.mor";
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(core::WriteProject(project, bytes));
    QFile file(mor);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    file.close();

    const std::vector<std::vector<TZoomPane*>> pages = {
        {w().ScrollBox1, w().ScrollBox2}, {w().ScrollBox3, w().ScrollBox4}, {w().ScrollBox5}};
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        ShowPage(page);
        p().messageAnswers = {true};
        p().fileAnswers = {mor};
        QTest::mouseClick(w().OpenBtn, Qt::LeftButton);
        ASSERT_EQ(w().Picture1FileName(), one);
        w().SetCurrentArea(1);  // one solid outline with grips, one dotted
        for (TZoomPane* pane : pages[page]) pane->Paint();
        for (TZoomPane* pane : pages[page])
            EXPECT_TRUE(ScreenShows(
                *pane, [&] { return ComposedPane(*pane); }, QStringLiteral("open%1").arg(page)));
        p().messageAnswers = {true};
        QTest::mouseClick(w().NewBtn, Qt::LeftButton);
        ASSERT_TRUE(w().Picture1FileName().isEmpty());
        for (TZoomPane* pane : pages[page])
            EXPECT_TRUE(ScreenShows(
                *pane, [&] { return ExpectedPane(*pane, White(320, 200), 100); },
                QStringLiteral("new%1").arg(page)));
    }
}

TEST_F(Screen, ZoomAndHandToolsOnTheAreasPage) {
    const QImage pic1 = Pattern(900, 700, 9);
    Load(w().PicOpenBtn1, Save(pic1, dir_ + "/one.png"));
    ShowPage(1);
    TZoomPane& pane = *w().ScrollBox3;
    Fitted(pane);
    TypeZoom(w().Zoom3Ed, QStringLiteral("100"));
    QTest::mouseClick(w().SpeedZoom, Qt::LeftButton);
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(200, 150));
    ASSERT_EQ(w().Zoom3Ed->Value(), 110);
    EXPECT_TRUE(ScreenShows(
        pane, [&] { return ExpectedPane(pane, pic1, 110); }, "zoomin"));
    QTest::mouseClick(w().PaintBox3, Qt::RightButton, {}, QPoint(200, 150));
    QTest::mouseClick(w().PaintBox3, Qt::RightButton, {}, QPoint(200, 150));
    ASSERT_EQ(w().Zoom3Ed->Value(), 90);
    EXPECT_TRUE(ScreenShows(
        pane, [&] { return ExpectedPane(pane, pic1, 90); }, "zoomout"));

    QTest::mouseClick(w().SpeedHand, Qt::LeftButton);
    const int h0 = pane.horizontalScrollBar()->value(), v0 = pane.verticalScrollBar()->value();
    QTest::mousePress(w().PaintBox3, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(w().PaintBox3, QPoint(260, 280));
    QTest::mouseRelease(w().PaintBox3, Qt::LeftButton, {}, QPoint(260, 280));
    EXPECT_NE(std::pair(pane.horizontalScrollBar()->value(), pane.verticalScrollBar()->value()),
              std::pair(h0, v0));
    EXPECT_TRUE(ScreenShows(
        pane, [&] { return ExpectedPane(pane, pic1, 90); }, "hand"));
}

}  // namespace
