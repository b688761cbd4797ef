// The picture pane shared by all five picture views: a scroll box holding a
// paint box that shows a picture at a zoom factor.
//
// Pane size = trunc(picture size x z / 100). Painting composes only the
// exposed part of the paint box off-screen (white, the scaled picture, then
// any overlay) and copies it in one operation, so drawing cost follows what
// is visible and no bitmap of the zoomed size is ever allocated.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QWidget>

#include <functional>

#include "raster/dib.h"

class TSpinEdit;

// The drawing surface inside a pane. Mouse events are forwarded to whoever
// listens; while a button is held the box keeps the mouse, so moves and the
// release arrive with coordinates outside the box too.
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget* parent = nullptr);

    // Draws the part `exposed` (box coordinates) into canvas, whose pixel
    // (0, 0) is box point exposed.topLeft(); every pixel of canvas must be
    // drawn (it holds the previous paint).
    std::function<void(QImage& canvas, QRect exposed)> onCompose;
    // Runs before every paint.
    std::function<void()> beforePaint;

signals:
    void MouseDown(Qt::MouseButton button, int x, int y);
    void MouseMove(int x, int y);
    void MouseUp(Qt::MouseButton button, int x, int y);
    void MouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage canvas_;
};

class TZoomPane : public QScrollArea {
    Q_OBJECT

public:
    using PictureSource = std::function<const raster::DibRecord&()>;
    // Draws on top of the picture: canvas covers the box rectangle `exposed`.
    using Overlay = std::function<void(QImage& canvas, QRect exposed)>;

    TZoomPane(const QString& scrollBoxName, const QString& paintBoxName, QWidget* parent = nullptr);

    void SetZoomEdit(TSpinEdit* edit) { zoomEdit_ = edit; }
    void SetPictureSource(PictureSource source) { picture_ = std::move(source); }
    void SetOverlay(Overlay overlay) { overlay_ = std::move(overlay); }

    TPaintBox* PaintBox() const { return box_; }
    TSpinEdit* ZoomEdit() const { return zoomEdit_; }
    const raster::DibRecord& Picture() const { return picture_(); }

    // The zoom in percent: the zoom field's value as typed.
    int Zoom() const;
    // The pane/picture mapping at this pane's zoom: trunc(v x z / 100) and
    // trunc(p x 100 / z), in long double. A zoom of 0 maps every pane point
    // to 0; any typed zoom saturates instead of overflowing.
    std::int64_t ToPane(std::int64_t v) const;
    std::int64_t ToPicture(std::int64_t p) const;
    // The zoomed picture size, limited to what a widget can be.
    QSize ZoomedSize() const;

    // The paint handler: resizes the box when its size is not the zoomed
    // size, and repaints all of it.
    void Paint();

    // Scroll positions and ranges as the area tools use them: the range is
    // the size of the box (what can be shown), the position the left/top
    // pixel shown.
    int HorzPosition() const;
    int VertPosition() const;
    int HorzRange() const { return box_->width(); }
    int VertRange() const { return box_->height(); }
    void SetHorzPosition(int pos);
    void SetVertPosition(int pos);

    // Scrolls the view by (dx, dy) pane pixels; the position stays between 0
    // and the last pixel of the box.
    void ScrollBy(int dx, int dy);
    // Steps the zoom field by `step` (the field clamps; 0 keeps the zoom) and
    // centres the view on the picture point that was under box point `at`.
    void ZoomAt(QPoint at, int step);

    // Zooms to `zoom` (the field clamps) keeping the picture point under
    // viewport point `at` where it is: Ctrl+wheel, and the keys with the
    // viewport's centre.
    void ZoomKeeping(QPoint at, int zoom);
    // One zoom step in (direction > 0) or out, keeping the point at `at`.
    void ZoomStep(QPoint at, int direction);
    QPoint ViewportCentre() const;
    // The largest zoom step at which the whole picture fits the pane without
    // scroll bars, and setting it.
    int FitZoom() const;
    void Fit();
    // After a picture is loaded: fitted when it is larger than the pane,
    // else at 100 %. A pane on a page not shown does it when it is shown, at
    // its real size.
    void FitIfLarger();

    // Hand drag: the picture follows the mouse. The start point stays, the box
    // moves under it.
    void BeginHandDrag(int x, int y);
    void HandDragTo(int x, int y);
    void EndHandDrag() { handDragging_ = false; }
    bool HandDragging() const { return handDragging_; }
    QPoint HandDragStart() const { return handStart_; }

    void Compose(QImage& canvas, QRect exposed) const;

signals:
    // The mouse came over the pane.
    void Entered();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    // Ctrl+wheel zooms at the mouse; the plain wheel scrolls.
    void wheelEvent(QWheelEvent* event) override;

private:
    bool PictureLargerThanPane() const;
    void FitPending();

    TPaintBox* box_;
    TSpinEdit* zoomEdit_ = nullptr;
    PictureSource picture_;
    Overlay overlay_;
    bool handDragging_ = false;
    QPoint handStart_;
    bool fitPending_ = false;
};
