#include "controls/spinedit.h"

#include <QLineEdit>

#include <algorithm>
#include <limits>

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(QStringLiteral("0"));
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit Changed(); });
}

QString TSpinEdit::Text() const {
    return lineEdit()->text();
}

void TSpinEdit::SetText(const QString& text) {
    lineEdit()->setText(text);
}

int TSpinEdit::Value() const {
    bool ok = false;
    const qlonglong v = lineEdit()->text().trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return min_;
    return static_cast<int>(v);
}

int TSpinEdit::Clamp(int v) const {
    if (min_ != max_) v = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
    return v;
}

void TSpinEdit::SetValue(int value) {
    // The text changes only when the number it shows differs.
    const int v = Clamp(value);
    if (v != Value()) lineEdit()->setText(QString::number(v));
}

void TSpinEdit::stepBy(int steps) {
    const qlonglong target =
        static_cast<qlonglong>(Value()) + static_cast<qlonglong>(steps) * increment_;
    SetValue(static_cast<int>(std::clamp<qlonglong>(target, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max())));
    lineEdit()->selectAll();
}

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
    // Digits and a leading minus only; any intermediate value is allowed.
    for (int i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c.isDigit() || (c == QLatin1Char('-') && i == 0) || c.isSpace()) continue;
        return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString& /*input*/) const {}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    // Leaving the field commits it: the clamped number, written plainly.
    const QString committed = QString::number(Clamp(Value()));
    if (lineEdit()->text() != committed) lineEdit()->setText(committed);
    QAbstractSpinBox::focusOutEvent(event);
}
