// The information dialog "Info".
#pragma once

#include <QDialog>

#include <functional>

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    TAboutBox(QWidget* parent, std::function<void()> openWebPage);
    QLabel* CopyrightLabel() const { return copyright_; }

private:
    QLabel* copyright_;
};

// Replaces the four characters "XXXX" with the year.
QString WithYear(QString text, int year);
