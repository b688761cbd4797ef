#include "controls/zoompane.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "controls/spinedit.h"
#include "core/zoommapping.h"
#include "raster/paintdib.h"

namespace {

// Device-independent mouse positions are fractional under a scale factor;
// like every other mapping of the program they are truncated toward zero.
QPoint Truncated(const QPointF& p) {
    return {static_cast<int>(std::trunc(p.x())), static_cast<int>(std::trunc(p.y()))};
}

}  // namespace

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    // Every paint covers its whole rectangle. The contents are not static:
    // a new size always comes with a new picture scale.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void TPaintBox::paintEvent(QPaintEvent* event) {
    if (beforePaint) beforePaint();
    const QRect exposed = event->rect() & rect();
    if (exposed.isEmpty()) return;
    // The off-screen canvas is kept from one paint to the next: during a drag
    // every paint has the same size, and allocating it anew costs as much as
    // filling it.
    if (canvas_.size() != exposed.size()) {
        canvas_ = QImage(exposed.size(), QImage::Format_RGB32);
        if (canvas_.isNull()) return;
    }
    if (onCompose)
        onCompose(canvas_, exposed);
    else
        canvas_.fill(Qt::white);
    QPainter p(this);
    p.drawImage(exposed.topLeft(), canvas_);
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = Truncated(event->position());
    emit MouseDown(event->button(), p.x(), p.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = Truncated(event->position());
    emit MouseMove(p.x(), p.y());
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = Truncated(event->position());
    emit MouseUp(event->button(), p.x(), p.y());
}

void TPaintBox::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit MouseLeave();
}

TZoomPane::TZoomPane(const QString& scrollBoxName, const QString& paintBoxName, QWidget* parent)
    : QScrollArea(parent), box_(new TPaintBox) {
    setObjectName(scrollBoxName);
    box_->setObjectName(paintBoxName);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);  // the application-workspace colour
    setWidget(box_);
    box_->resize(0, 0);
    box_->onCompose = [this](QImage& canvas, QRect exposed) { Compose(canvas, exposed); };
    // A pane whose picture changed while nobody asked it to repaint (on a
    // page that was hidden) still has its old size when it paints: it draws
    // at the right scale at once and resizes right after.
    box_->beforePaint = [this] {
        if (box_->size() != ZoomedSize())
            QMetaObject::invokeMethod(this, &TZoomPane::Paint, Qt::QueuedConnection);
    };
}

int TZoomPane::Zoom() const {
    return zoomEdit_ != nullptr ? zoomEdit_->Value() : 100;
}

std::int64_t TZoomPane::ToPane(std::int64_t v) const {
    return zoommapping::ToPane(v, Zoom());
}

std::int64_t TZoomPane::ToPicture(std::int64_t p) const {
    return zoommapping::ToPicture(p, Zoom());
}

QSize TZoomPane::ZoomedSize() const {
    if (!picture_) return {0, 0};
    const raster::DibRecord& pic = picture_();
    auto side = [this](int v) {
        return static_cast<int>(std::clamp<std::int64_t>(ToPane(v), 0, QWIDGETSIZE_MAX));
    };
    return {side(pic.Width()), side(pic.Height())};
}

void TZoomPane::Paint() {
    // A new size only resizes; the paint that follows draws. It has to draw
    // the whole box, not just the strip a resize exposes: the scale of what
    // was there before has changed too.
    const QSize size = ZoomedSize();
    if (box_->size() != size) box_->resize(size);
    box_->update();
}

void TZoomPane::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    Paint();
    // The page's layout gives the pane its real size once it is shown.
    if (fitPending_) QMetaObject::invokeMethod(this, &TZoomPane::FitPending, Qt::QueuedConnection);
}

void TZoomPane::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (fitPending_ && isVisible())
        QMetaObject::invokeMethod(this, &TZoomPane::FitPending, Qt::QueuedConnection);
}

void TZoomPane::enterEvent(QEnterEvent* event) {
    QScrollArea::enterEvent(event);
    emit Entered();
}

void TZoomPane::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QScrollArea::wheelEvent(event);
        return;
    }
    const int delta =
        event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (delta != 0) {
        // Wheel events reach a scroll area through its viewport, in the
        // viewport's coordinates.
        ZoomStep(event->position().toPoint(), delta > 0 ? 1 : -1);
    }
    event->accept();
}

QPoint TZoomPane::ViewportCentre() const {
    return {viewport()->width() / 2, viewport()->height() / 2};
}

void TZoomPane::ZoomKeeping(QPoint at, int zoom) {
    if (zoomEdit_ == nullptr) return;
    const int from = Zoom();
    // The pane point under `at`, with the box's own offset (a box smaller
    // than the viewport sits at its corner).
    const std::int64_t px = std::int64_t{HorzPosition()} + at.x();
    const std::int64_t py = std::int64_t{VertPosition()} + at.y();
    zoomEdit_->SetValue(zoom);
    Paint();
    const int to = Zoom();
    if (to == from) return;
    auto within = [](std::int64_t v, int range) {
        return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::max(0, range - 1)));
    };
    SetHorzPosition(within(zoommapping::RescalePane(px, from, to) - at.x(), HorzRange()));
    SetVertPosition(within(zoommapping::RescalePane(py, from, to) - at.y(), VertRange()));
}

void TZoomPane::ZoomStep(QPoint at, int direction) {
    ZoomKeeping(at, zoommapping::NextZoomStep(Zoom(), direction));
}

int TZoomPane::FitZoom() const {
    if (!picture_) return 100;
    const raster::DibRecord& pic = picture_();
    const QSize area = maximumViewportSize();
    return zoommapping::FitZoom(pic.Width(), pic.Height(), area.width(), area.height());
}

void TZoomPane::Fit() {
    if (zoomEdit_ == nullptr) return;
    zoomEdit_->SetValue(FitZoom());
    Paint();
}

bool TZoomPane::PictureLargerThanPane() const {
    if (!picture_) return false;
    const raster::DibRecord& pic = picture_();
    const QSize area = maximumViewportSize();
    return pic.Width() > area.width() || pic.Height() > area.height();
}

void TZoomPane::FitIfLarger() {
    fitPending_ = true;
    if (isVisible()) FitPending();
}

void TZoomPane::FitPending() {
    if (!fitPending_ || !isVisible()) return;
    fitPending_ = false;
    if (PictureLargerThanPane()) {
        Fit();
    } else if (zoomEdit_ != nullptr) {
        zoomEdit_->SetValue(100);
        Paint();
    }
}

void TZoomPane::Compose(QImage& canvas, QRect exposed) const {
    const QSize size = ZoomedSize();
    // The picture covers every pixel of its zoomed size; only what lies
    // beyond it needs the white ground.
    if (!picture_ || !QRect(QPoint(0, 0), size).contains(exposed)) canvas.fill(Qt::white);
    if (picture_) {
        const raster::DibRecord& pic = picture_();
        raster::PaintDibInto(canvas, exposed.topLeft(), 0, 0, size.width(), size.height(), pic, 0,
                             0, pic.Width(), pic.Height());
    }
    if (overlay_) overlay_(canvas, exposed);
}

int TZoomPane::HorzPosition() const {
    return horizontalScrollBar()->value();
}
int TZoomPane::VertPosition() const {
    return verticalScrollBar()->value();
}
void TZoomPane::SetHorzPosition(int pos) {
    horizontalScrollBar()->setValue(pos);
}
void TZoomPane::SetVertPosition(int pos) {
    verticalScrollBar()->setValue(pos);
}

void TZoomPane::BeginHandDrag(int x, int y) {
    handDragging_ = true;
    handStart_ = {x, y};
}

void TZoomPane::HandDragTo(int x, int y) {
    if (!handDragging_) return;
    ScrollBy(handStart_.x() - x, handStart_.y() - y);
}

void TZoomPane::ScrollBy(int dx, int dy) {
    auto within = [](std::int64_t v, int range) {
        return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::max(0, range - 1)));
    };
    SetHorzPosition(within(std::int64_t{HorzPosition()} + dx, HorzRange()));
    SetVertPosition(within(std::int64_t{VertPosition()} + dy, VertRange()));
}

void TZoomPane::ZoomAt(QPoint at, int step) {
    const std::int64_t px = ToPicture(at.x());
    const std::int64_t py = ToPicture(at.y());
    if (step != 0 && zoomEdit_ != nullptr) zoomEdit_->SetValue(zoomEdit_->Value() + step);
    // The position is set within the ranges of the new zoom.
    Paint();
    const int z = Zoom();
    auto centred = [](std::int64_t v, int range) {
        return static_cast<int>(std::max<std::int64_t>(std::min<std::int64_t>(v, range - 1), 0));
    };
    SetHorzPosition(centred(zoommapping::ZoomCentre(px, z) - width() / 2, HorzRange()));
    SetVertPosition(centred(zoommapping::ZoomCentre(py, z) - height() / 2, VertRange()));
}
