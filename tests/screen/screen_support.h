// What tests on a real X server share: reading a widget's pixels back from
// the screen and waiting until they show what the pane's own composition
// says they must.
#pragma once

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include "controls/zoompane.h"
#include "support/test_support.h"

namespace screen_support {

// What the screen shows of a widget's rectangle: read from the X server's
// root window, not rendered by the widget.
inline QImage Shown(QWidget* w) {
    const QPoint g = w->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, g.x(), g.y(), w->width(), w->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The pane as its own composition of the whole box says it must look
// (pictures with area outlines), cropped to what the viewport shows.
inline QImage ComposedPane(const TZoomPane& pane) {
    const QWidget* vp = pane.viewport();
    QImage out(vp->size(), QImage::Format_RGB32);
    out.fill(pane.palette().color(QPalette::Dark));
    const QSize box = pane.ZoomedSize();
    if (box.isEmpty()) return out;
    QImage whole(box, QImage::Format_RGB32);
    whole.fill(Qt::white);
    pane.Compose(whole, QRect(QPoint(0, 0), box));
    QPainter p(&out);
    p.drawImage(QPoint(-pane.horizontalScrollBar()->value(), -pane.verticalScrollBar()->value()),
                whole);
    return out;
}

// Waits until the screen shows `expected` in the pane's viewport; a stale
// pixel never goes away by itself, so a mismatch after the wait is a fault.
// The expected picture is made anew each time: the layout (scroll bars,
// scroll positions) settles together with the painting.
inline ::testing::AssertionResult ScreenShows(const TZoomPane& pane,
                                              const std::function<QImage()>& expect,
                                              const QString& name) {
    QImage shown, expected;
    for (int i = 0; i < 100; ++i) {
        QTest::qWait(20);
        shown = Shown(pane.viewport());
        expected = expect();
        if (shown == expected) return ::testing::AssertionSuccess();
    }
    if (shown.size() != expected.size())
        return ::testing::AssertionFailure()
               << pane.objectName().toStdString() << " (" << name.toStdString()
               << "): the viewport shows " << shown.width() << "x" << shown.height()
               << ", expected " << expected.width() << "x" << expected.height();
    int bad = 0;
    QPoint first(-1, -1);
    for (int y = 0; y < std::min(shown.height(), expected.height()); ++y)
        for (int x = 0; x < std::min(shown.width(), expected.width()); ++x)
            if (shown.pixel(x, y) != expected.pixel(x, y)) {
                if (bad++ == 0) first = {x, y};
            }
    return ::testing::AssertionFailure()
           << pane.objectName().toStdString() << " (" << name.toStdString() << "): " << bad
           << " pixels differ, the first at " << first.x() << "," << first.y() << "; pictures in "
           << testing_support::SaveFailure(name, shown, expected).toStdString();
}

// The window shown at a fixed place on the real X server and made active (keys
// go to the active window; without a window manager nobody activates it),
// with an output folder named after the test.
class WindowOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "these tests look at a real X server (scripts/with-xvfb.sh)";
        fx_ = testing_support::MakeForm();
        w().setGeometry(20, 40, 1200, 900);
        w().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
        dir_ = testing_support::OutDir(QString::fromStdString(
            ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    TMainForm& w() { return *fx_.form; }

    testing_support::FormFixture fx_;
    QString dir_;
};

}  // namespace screen_support
