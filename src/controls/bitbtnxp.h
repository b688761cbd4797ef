// A push button with its small picture beside the caption, drawn in the
// platform's style.
#pragma once

#include <QPixmap>
#include <QPushButton>

class TBitBtnXP : public QPushButton {
    Q_OBJECT

public:
    explicit TBitBtnXP(const QString& caption, QWidget* parent = nullptr);
    void SetGlyph(const QPixmap& glyph);
};
