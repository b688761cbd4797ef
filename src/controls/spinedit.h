// The number field used for zoom factors, length, rate and picture number.
//
// Value() is the number currently typed, also before it is committed and also
// outside the range; text that is not a number reads as the minimum.
// SetValue() clamps into the range (when minimum and maximum differ) and
// changes the text only when the number differs. Every text change, typed or
// set, emits Changed(). Leaving the field clamps a typed value. The arrow
// buttons and keys step within the range.
#pragma once

#include <QAbstractSpinBox>

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int Value() const;
    void SetValue(int value);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetMinValue(int v) { min_ = v; }
    void SetMaxValue(int v) { max_ = v; }
    int Increment() const { return increment_; }
    void SetIncrement(int v) { increment_ = v; }

    QString Text() const;
    // Replaces the text as if typed (runs the change handler); for the program
    // and for tests that type a whole value at once.
    void SetText(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    void Changed();

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int Clamp(int v) const;

    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};
