#include "controls/bitbtnxp.h"

TBitBtnXP::TBitBtnXP(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void TBitBtnXP::SetGlyph(const QPixmap& glyph) {
    setIcon(QIcon(glyph));
    setIconSize(glyph.deviceIndependentSize().toSize());
}
