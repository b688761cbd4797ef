#include "controls/imagebtn.h"

#include <QMouseEvent>
#include <QPainter>

TImageBtn::TImageBtn(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TImageBtn::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    setFixedSize(picture_.deviceIndependentSize().toSize());
    update();
}

void TImageBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, ShowsPicture2() && !picture2_.isNull() ? picture2_ : picture_);
}

void TImageBtn::mousePressEvent(QMouseEvent* event) {
    down_ = true;
    inside_ = rect().contains(event->position().toPoint());
    update();
}

void TImageBtn::mouseMoveEvent(QMouseEvent* event) {
    if (!down_) return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != inside_) {
        inside_ = inside;
        update();
    }
}

void TImageBtn::mouseReleaseEvent(QMouseEvent* event) {
    if (!down_) return;
    down_ = false;
    const bool over = rect().contains(event->position().toPoint());
    inside_ = false;
    update();
    if (over) emit clicked();
}

void TImageBtn::leaveEvent(QEvent*) {
    if (inside_) {
        inside_ = false;
        update();
    }
}
