// The live result on the "Similar areas" page (TLiveView) and its place in
// the window.
#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QSlider>
#include <QSplitter>
#include <QToolButton>

#include "app/artwork.h"
#include "app/liveview.h"
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoomactions.h"
#include "controls/zoompane.h"

TLiveView::TLiveView(TSources sources, QObject* parent)
    : QObject(parent), sources_(std::move(sources)) {
    LivePanel = new QWidget;
    LivePanel->setObjectName(QStringLiteral("LivePanel"));
    auto* v = new QVBoxLayout(LivePanel);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(4, 2, 4, 0);
    strip->addWidget(new QLabel(QStringLiteral("Live result at:")));
    LiveSlider = new QSlider(Qt::Horizontal);
    LiveSlider->setObjectName(QStringLiteral("LiveSlider"));
    LiveSlider->setRange(0, 100);
    LiveSlider->setValue(50);
    LiveSlider->setPageStep(10);
    LiveSlider->setToolTip(QStringLiteral("Where in the morph the live result is"));
    strip->addWidget(LiveSlider, 1);
    LiveLabel = new QLabel;
    LiveLabel->setObjectName(QStringLiteral("LiveLabel"));
    LiveLabel->setMinimumWidth(LiveLabel->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    strip->addWidget(LiveLabel);
    strip->addSpacing(8);
    strip->addWidget(new QLabel(QStringLiteral("Zoom:")));
    Zoom6Ed = new TSpinEdit;
    Zoom6Ed->setObjectName(QStringLiteral("Zoom6Ed"));
    Zoom6Ed->SetMinValue(10);
    Zoom6Ed->SetMaxValue(300);
    Zoom6Ed->SetIncrement(10);
    Zoom6Ed->SetText(QStringLiteral("100"));
    Zoom6Ed->setFixedWidth(65);
    strip->addWidget(Zoom6Ed);
    FitBtn6 = new QToolButton;
    FitBtn6->setObjectName(QStringLiteral("FitBtn6"));
    FitBtn6->setText(QStringLiteral("Fit"));
    FitBtn6->setToolTip(
        QStringLiteral("Fit: the whole live result shows, also when the view "
                       "changes its size"));
    FitBtn6->setFocusPolicy(Qt::NoFocus);
    strip->addWidget(FitBtn6);
    v->addLayout(strip);
    ScrollBox6 = new TZoomPane(QStringLiteral("ScrollBox6"), QStringLiteral("PaintBox6"));
    PaintBox6 = ScrollBox6->PaintBox();
    ScrollBox6->SetZoomEdit(Zoom6Ed);
    ScrollBox6->SetPictureSource([this]() -> const raster::DibRecord& { return shown_picture_; });
    ScrollBox6->setMinimumHeight(40);
    v->addWidget(ScrollBox6, 1);

    LiveBtn = new QToolButton;
    LiveBtn->setObjectName(QStringLiteral("LiveBtn"));
    LiveBtn->setText(QStringLiteral("Live"));
    LiveBtn->setToolTip(
        QStringLiteral("Live result: show or hide the in-between picture below the panes (V)"));
    LiveBtn->setCheckable(true);
    LiveBtn->setChecked(true);
    LiveBtn->setFocusPolicy(Qt::NoFocus);

    auto percent = [this] { LiveLabel->setText(QStringLiteral("%1 %").arg(LiveSlider->value())); };
    percent();
    connect(LiveSlider, &QSlider::valueChanged, this, [this, percent] {
        percent();
        Update();
    });
    connect(LiveBtn, &QToolButton::toggled, this, [this](bool on) { SetShown(on); });
    connect(FitBtn6, &QToolButton::clicked, this, [this] { Fit(); });
    connect(Zoom6Ed, &TSpinEdit::Changed, this, [this] {
        // A zoom of the user's own ends fitting to the view.
        if (!fitting_) fitMode_ = false;
        ScrollBox6->Paint();
    });
    LivePanel->installEventFilter(this);
    ScrollBox6->installEventFilter(this);

    // The renderer's notice comes from its thread; the picture is taken on
    // this one.
    renderer_ = std::make_unique<core::TLiveRenderer>(
        [this] { QMetaObject::invokeMethod(this, &TLiveView::TakeResult, Qt::QueuedConnection); });
}

TLiveView::~TLiveView() {
    // The worker ends before anything it may still tell is gone.
    renderer_.reset();
}

int TLiveView::Percent() const {
    return LiveSlider->value();
}

std::int64_t TLiveView::PictureNumber() const {
    return core::LivePictureNumber(Percent());
}

void TLiveView::PicturesChanged() {
    picturesStale_ = true;
    Update();
}

void TLiveView::Update() {
    dirty_ = true;
    if (!LivePanel->isVisible()) return;
    Request();
}

void TLiveView::Request() {
    dirty_ = false;
    if (picturesStale_) {
        picturesStale_ = false;
        for (int i : {0, 1}) pics_[i] = core::SharePicture(sources_.picture(i));
    }
    core::TLiveScene scene;
    scene.pic1 = pics_[0];
    scene.pic2 = pics_[1];
    scene.areas = sources_.areas();
    scene.n = PictureNumber();
    scene.N = core::kLivePictures;
    scene.background = sources_.background();
    renderer_->Request(std::move(scene));
}

bool TLiveView::TakeResult() {
    const int oldWidth = shown_picture_.Width(), oldHeight = shown_picture_.Height();
    if (renderer_->Take(shown_picture_) == 0) return false;
    ++shownCount_;
    if (fitMode_ && (shown_picture_.Width() != oldWidth || shown_picture_.Height() != oldHeight))
        Fit();
    ScrollBox6->Paint();
    return true;
}

void TLiveView::Fit() {
    fitMode_ = true;
    fitting_ = true;
    ScrollBox6->Fit();
    fitting_ = false;
}

void TLiveView::SetShown(bool shown) {
    shown_ = shown;
    if (LiveBtn->isChecked() != shown) LiveBtn->setChecked(shown);
    LivePanel->setVisible(shown);
}

bool TLiveView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LivePanel && event->type() == QEvent::Show && dirty_) {
        Request();
    } else if (watched == ScrollBox6 && event->type() == QEvent::Resize && fitMode_) {
        // After the layout has settled the scroll bars.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (fitMode_) Fit();
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

namespace {

// The layout that holds w itself, searched from `layout` down.
QLayout* HolderOf(QLayout* layout, QWidget* w) {
    if (layout == nullptr) return nullptr;
    if (layout->indexOf(w) >= 0) return layout;
    for (int i = 0; i < layout->count(); ++i) {
        if (QLayout* found = HolderOf(layout->itemAt(i)->layout(), w)) return found;
    }
    return nullptr;
}

}  // namespace

void TMainForm::WireLive() {
    TLiveView::TSources sources;
    sources.picture = [this](int i) -> const raster::DibRecord& {
        return i == 0 ? Pic1Dib : Pic2Dib;
    };
    sources.areas = [this] {
        std::vector<TAreaPair> areas;
        areas.reserve(ObjList->Count());
        ObjList->First();
        while (ObjList->Next()) areas.push_back(*ObjPtr);
        return areas;
    };
    sources.background = [this] { return BkColor->ColorValue(); };
    live_ = new TLiveView(std::move(sources), this);

    // Below the two panes, with a splitter between.
    live_->LiveSplitter = new QSplitter(Qt::Vertical);
    live_->LiveSplitter->setObjectName(QStringLiteral("LiveSplitter"));
    live_->LiveSplitter->setHandleWidth(3);
    live_->LiveSplitter->setChildrenCollapsible(false);
    // The layout hands back the item that held the panes; it is ours to free.
    delete Panel6->layout()->replaceWidget(Splitter2, live_->LiveSplitter);
    live_->LiveSplitter->addWidget(Splitter2);
    live_->LiveSplitter->addWidget(live_->LivePanel);
    live_->LiveSplitter->setStretchFactor(0, 3);
    live_->LiveSplitter->setStretchFactor(1, 2);
    // The toggle below the tools, in their style.
    QToolButton* button = live_->LiveBtn;
    button->setIcon(QIcon(artwork::TabIcon(2)));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(SpeedRect->size());
    if (auto* column =
            qobject_cast<QBoxLayout*>(HolderOf(SpeedRect->parentWidget()->layout(), SpeedRect))) {
        column->insertSpacing(column->indexOf(SpeedRect) + 1, 12);
        column->insertWidget(column->indexOf(SpeedRect) + 2, button);
    }

    connect(BkColor, &TTintaColorComboBox::Change, live_, [this] { live_->Update(); });
    zoomActions_->Add(live_->ScrollBox6);
}
