// A picture that grows and shrinks with its place but keeps its proportions:
// scaled to fit, centred, the rest in the widget's background colour.
#pragma once

#include <QPixmap>
#include <QWidget>

class TAspectPicture : public QWidget {
public:
    explicit TAspectPicture(QPixmap picture, QWidget* parent = nullptr);

    const QPixmap& Picture() const { return picture_; }
    // Where the picture is drawn for the current size.
    QRect PictureRect() const;

    QSize sizeHint() const override { return picture_.size(); }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};
