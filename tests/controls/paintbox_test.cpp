// The picture pane's drawing surface and the proportional picture: what
// they hand on of mouse positions and where they draw.
#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "controls/aspectpicture.h"
#include "controls/zoompane.h"

namespace {

QPoint Sent(TPaintBox& box, QEvent::Type type, QPointF at) {
    QPoint got(-999, -999);
    const auto take = [&got](int x, int y) { got = {x, y}; };
    const auto c1 = QObject::connect(&box, &TPaintBox::MouseDown,
                                     [&](Qt::MouseButton, int x, int y) { take(x, y); });
    const auto c2 = QObject::connect(&box, &TPaintBox::MouseMove, take);
    const auto c3 = QObject::connect(&box, &TPaintBox::MouseUp,
                                     [&](Qt::MouseButton, int x, int y) { take(x, y); });
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, box.mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&box, &event);
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QObject::disconnect(c3);
    return got;
}

}  // namespace

// Under a scale factor positions arrive in fractions of a pixel: a release
// over displayed pixel 60,70 is pixel 60,70, also in its right half, and a
// position left of or above the box (the box keeps the mouse while a button
// is held) goes toward zero like every other mapping.
TEST(PaintBox, FractionalMousePositionsAreTruncatedTowardZero) {
    TPaintBox box;
    box.resize(200, 200);
    for (const QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease}) {
        EXPECT_EQ(Sent(box, type, {60.5, 70.5}), QPoint(60, 70));
        EXPECT_EQ(Sent(box, type, {60.99, 70.75}), QPoint(60, 70));
        EXPECT_EQ(Sent(box, type, {-0.5, -1.5}), QPoint(0, -1));
    }
}

TEST(AspectPicture, GrowsWithItsPlaceAndKeepsItsProportions) {
    QPixmap pm(200, 300);
    pm.fill(Qt::red);
    TAspectPicture pic(pm);
    struct Case {
        QSize place;
        QRect drawn;
    };
    for (const Case& c :
         {Case{{200, 300}, {0, 0, 200, 300}}, Case{{200, 900}, {0, 300, 200, 300}},
          Case{{400, 300}, {100, 0, 200, 300}}, Case{{100, 100}, {17, 0, 66, 100}}}) {
        pic.resize(c.place);
        EXPECT_EQ(pic.PictureRect(), c.drawn) << c.place.width() << "x" << c.place.height();
    }
    EXPECT_EQ(pic.heightForWidth(100), 150);
}
