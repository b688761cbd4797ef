// The picture button: second picture while held, click on release over it.
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "controls/imagebtn.h"

namespace {

QPixmap Solid(QColor c) {
    QPixmap pm(20, 10);
    pm.fill(c);
    return pm;
}

QColor Shown(TImageBtn& b) {
    return b.grab().toImage().pixelColor(5, 5);
}

}  // namespace

TEST(ImageBtn, ShowsSecondPictureWhileHeldAndClicksOnReleaseOverIt) {
    QWidget window;
    auto* b = new TImageBtn(&window);
    b->SetPicture(Solid(Qt::red));
    b->SetPicture2(Solid(Qt::blue));
    EXPECT_EQ(b->size(), QSize(20, 10)) << "sizes itself to its picture";
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(b, &TImageBtn::clicked);

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b->ShowsPicture2());
    EXPECT_EQ(Shown(*b), QColor(Qt::blue));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b->ShowsPicture2());
    EXPECT_EQ(Shown(*b), QColor(Qt::red));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ImageBtn, LeavingWhileHeldShowsFirstPictureAndReleasingOutsideDoesNotClick) {
    QWidget window;
    auto* b = new TImageBtn(&window);
    b->SetPicture(Solid(Qt::red));
    b->SetPicture2(Solid(Qt::blue));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(b, &TImageBtn::clicked);

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), b->mapToGlobal(QPointF(50, 50)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b, &move);
    EXPECT_FALSE(b->ShowsPicture2());
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicks.count(), 0);
}
