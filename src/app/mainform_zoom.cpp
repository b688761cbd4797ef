// Zoom that fits: the "Fit" buttons beside the zoom fields, the zoom keys
// and the fitting of a picture just loaded. The arithmetic is the zoom
// pane's; the window places the buttons and says which panes show a picture.
#include <QBoxLayout>
#include <QGridLayout>
#include <QToolButton>

#include "app/liveview.h"
#include "app/mainform.h"
#include "controls/spinedit.h"
#include "controls/zoomactions.h"
#include "controls/zoompane.h"

namespace {

// The layout that holds w itself, searched from `layout` down.
QLayout* LayoutHolding(QLayout* layout, QWidget* w) {
    if (layout == nullptr) return nullptr;
    if (layout->indexOf(w) >= 0) return layout;
    for (int i = 0; i < layout->count(); ++i) {
        if (QLayout* found = LayoutHolding(layout->itemAt(i)->layout(), w)) return found;
    }
    return nullptr;
}

// Puts the button right beside the zoom field, wherever the page put that.
void PlaceBeside(TSpinEdit* zoom, QToolButton* fit) {
    QWidget* parent = zoom->parentWidget();
    QLayout* holder = parent != nullptr ? LayoutHolding(parent->layout(), zoom) : nullptr;
    if (auto* box = qobject_cast<QBoxLayout*>(holder)) {
        box->insertWidget(box->indexOf(zoom) + 1, fit);
    } else if (auto* grid = qobject_cast<QGridLayout*>(holder)) {
        int row = 0, column = 0, rows = 1, columns = 1;
        grid->getItemPosition(grid->indexOf(zoom), &row, &column, &rows, &columns);
        auto* pair = new QWidget;
        auto* h = new QHBoxLayout(pair);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(2);
        grid->removeWidget(zoom);
        h->addWidget(zoom, 1);
        h->addWidget(fit);
        grid->addWidget(pair, row, column, rows, columns);
    } else if (parent != nullptr) {
        // Placed by position in a strip of its own.
        fit->setParent(parent);
        fit->setGeometry(zoom->geometry().right() + 4, zoom->y(), 32, zoom->height());
        fit->show();
    }
}

}  // namespace

void TMainForm::WireZoom() {
    zoomActions_ = new TZoomActions(this);
    const struct {
        QToolButton** button;
        const char* name;
        TSpinEdit* zoom;
        TZoomPane* pane;
    } panes[] = {
        {&FitBtn1, "FitBtn1", Zoom1Ed, ScrollBox1}, {&FitBtn2, "FitBtn2", Zoom2Ed, ScrollBox2},
        {&FitBtn3, "FitBtn3", Zoom3Ed, ScrollBox3}, {&FitBtn4, "FitBtn4", Zoom4Ed, ScrollBox4},
        {&FitBtn5, "FitBtn5", Zoom5Ed, ScrollBox5},
    };
    for (const auto& p : panes) {
        auto* fit = new QToolButton;
        fit->setObjectName(QLatin1String(p.name));
        fit->setText(QStringLiteral("Fit"));
        fit->setToolTip(
            QStringLiteral("Fit: the largest zoom at which the whole picture shows (F on "
                           "\"Similar areas\")"));
        fit->setFocusPolicy(Qt::NoFocus);
        PlaceBeside(p.zoom, fit);
        *p.button = fit;
        TZoomPane* pane = p.pane;
        connect(fit, &QToolButton::clicked, this, [pane] { pane->Fit(); });
        zoomActions_->Add(pane);
    }
    zoomActions_->InstallKeys(this);
}

void TMainForm::FitAreaPanes() {
    ScrollBox3->Fit();
    ScrollBox4->Fit();
}

void TMainForm::PictureLoaded(int picture) {
    const std::array<TZoomPane*, 2> panes = picture == 0
                                                ? std::array<TZoomPane*, 2>{ScrollBox1, ScrollBox3}
                                                : std::array<TZoomPane*, 2>{ScrollBox2, ScrollBox4};
    for (TZoomPane* pane : panes) pane->FitIfLarger();
    live_->PicturesChanged();
}
