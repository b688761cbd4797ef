#include "controls/aspectpicture.h"

#include <QPainter>

TAspectPicture::TAspectPicture(QPixmap picture, QWidget* parent)
    : QWidget(parent), picture_(std::move(picture)) {
    setMinimumSize(1, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QRect TAspectPicture::PictureRect() const {
    if (picture_.isNull()) return {};
    const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
    return {QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted};
}

int TAspectPicture::heightForWidth(int width) const {
    if (picture_.isNull() || picture_.width() == 0) return 0;
    return static_cast<int>(static_cast<long long>(width) * picture_.height() / picture_.width());
}

void TAspectPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(PictureRect(), picture_);
}
