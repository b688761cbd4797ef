// A picture used as a button: shows Picture2 while a mouse button is held
// down on it, Picture again when the mouse leaves it or the button is
// released; the click fires on release over it. Sizes itself to its picture.
#pragma once

#include <QPixmap>
#include <QWidget>

class TImageBtn : public QWidget {
    Q_OBJECT

public:
    explicit TImageBtn(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    void SetPicture2(const QPixmap& picture) { picture2_ = picture; }
    const QPixmap& Picture() const { return picture_; }
    const QPixmap& Picture2() const { return picture2_; }
    // True while the second picture is shown.
    bool ShowsPicture2() const { return down_ && inside_; }

    QSize sizeHint() const override { return picture_.size(); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap picture_;
    QPixmap picture2_;
    bool down_ = false;
    bool inside_ = false;
};
