#include "controls/zoomactions.h"

#include <QKeySequence>
#include <QShortcut>

#include "controls/zoompane.h"

void TZoomActions::Add(TZoomPane* pane) {
    panes_.push_back(pane);
    connect(pane, &TZoomPane::Entered, this, [this, pane] { last_ = pane; });
}

void TZoomActions::InstallKeys(QWidget* window) {
    const struct {
        QKeySequence keys;
        void (TZoomActions::*act)();
    } keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), &TZoomActions::ZoomIn},
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), &TZoomActions::ZoomIn},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal), &TZoomActions::ZoomIn},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), &TZoomActions::ZoomOut},
        {QKeySequence(Qt::CTRL | Qt::Key_0), &TZoomActions::ZoomReset},
    };
    for (const auto& k : keys) {
        auto* shortcut = new QShortcut(k.keys, window);
        connect(shortcut, &QShortcut::activated, this, k.act);
    }
}

TZoomPane* TZoomActions::Target() const {
    if (last_ != nullptr && last_->isVisible()) return last_;
    for (TZoomPane* pane : panes_) {
        if (pane->isVisible()) return pane;
    }
    return nullptr;
}

void TZoomActions::ZoomIn() {
    if (TZoomPane* pane = Target()) pane->ZoomStep(pane->ViewportCentre(), 1);
}

void TZoomActions::ZoomOut() {
    if (TZoomPane* pane = Target()) pane->ZoomStep(pane->ViewportCentre(), -1);
}

void TZoomActions::ZoomReset() {
    if (TZoomPane* pane = Target()) pane->ZoomKeeping(pane->ViewportCentre(), 100);
}
