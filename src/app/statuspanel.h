// The owner-drawn progress panel of the status bar.
#pragma once

#include <QPainter>
#include <QWidget>

#include "app/mainform.h"

class TStatusPanel : public QWidget {
public:
    explicit TStatusPanel(TMainForm* form) : form_(form) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        form_->StatusBar1DrawPanel(p, rect());
    }

private:
    TMainForm* form_;
};
