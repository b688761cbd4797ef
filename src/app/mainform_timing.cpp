// The timing of the morph on the "Morphing" page: "Timing:", "Hold
// (pictures):" and "Mode:". The renderer takes the timing and the mode with
// every picture (preview, playback, both save commands); the held pictures
// lengthen playback and the saved sequence.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <climits>
#include <cmath>

#include "app/mainform.h"
#include "controls/spinedit.h"
#include "core/morphtiming.h"

namespace {

// The entries in the order of the enumerations.
constexpr const char* kTimingEntries[] = {"Linear", "Ease in", "Ease out", "Ease in and out"};
constexpr const char* kModeEntries[] = {"Morph", "Warp only", "Warp only (picture 2)",
                                        "Dissolve only"};

QComboBox* DropDown(const QString& name, std::initializer_list<const char*> entries) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (const char* entry : entries) box->addItem(QString::fromLatin1(entry));
    box->setCurrentIndex(0);
    return box;
}

}  // namespace

void TMainForm::BuildTimingControls(QGridLayout* grid) {
    TimingBox = DropDown(QStringLiteral("TimingBox"), {kTimingEntries[0], kTimingEntries[1],
                                                       kTimingEntries[2], kTimingEntries[3]});
    ModeBox = DropDown(QStringLiteral("ModeBox"),
                       {kModeEntries[0], kModeEntries[1], kModeEntries[2], kModeEntries[3]});
    HoldEd = new TSpinEdit;
    HoldEd->setObjectName(QStringLiteral("HoldEd"));
    HoldEd->SetMinValue(0);
    HoldEd->SetMaxValue(static_cast<int>(core::kMaxHold));
    HoldEd->SetIncrement(1);
    HoldEd->SetText(QStringLiteral("0"));
    // "Timing:" beside the background, the other two in a column of their
    // own after the buttons.
    grid->addWidget(new QLabel(QStringLiteral("Timing:")), 2, 2);
    grid->addWidget(TimingBox, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Hold (pictures):")), 0, 4);
    grid->addWidget(HoldEd, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Mode:")), 2, 4);
    grid->addWidget(ModeBox, 3, 4);
    grid->setColumnStretch(4, 0);
    grid->setColumnStretch(5, 1);
}

void TMainForm::WireTiming() {
    connect(TimingBox, &QComboBox::currentIndexChanged, this, [this] { TimingBoxChange(); });
    connect(ModeBox, &QComboBox::currentIndexChanged, this, [this] { ModeBoxChange(); });
}

core::TTiming TMainForm::MorphTiming() const {
    return static_cast<core::TTiming>(std::clamp(TimingBox->currentIndex(), 0, 3));
}

core::TMorphMode TMainForm::MorphMode() const {
    return static_cast<core::TMorphMode>(std::clamp(ModeBox->currentIndex(), 0, 3));
}

int TMainForm::HoldPictures() const {
    // The value as typed, kept within the field's range.
    return std::clamp(HoldEd->Value(), 0, static_cast<int>(core::kMaxHold));
}

void TMainForm::TimingBoxChange() {
    RenderPic();
    PaintBox5Paint();
}

void TMainForm::ModeBoxChange() {
    RenderPic();
    PaintBox5Paint();
}

int TMainForm::HeldFrames() const {
    const std::int64_t N = std::max(1, PicEd->MaxValue());
    return static_cast<int>(
        std::min<std::int64_t>(core::HeldFrameCount(N, HoldPictures()), INT_MAX));
}

int TMainForm::HeldPicture(int frame) const {
    const std::int64_t N = std::max(1, PicEd->MaxValue());
    return static_cast<int>(core::HeldPictureNumber(frame - 1, N, HoldPictures()));
}

void TMainForm::StartHeldPlayback() {
    // From picture 1 playback begins with the pictures held before it;
    // elsewhere at the picture shown.
    PlayStartFrame = PlayStartPic <= 1 ? 0 : HoldPictures() + PlayStartPic - 1;
    PlayFrame = PlayStartFrame;
}

bool TMainForm::HeldPlaybackTick() {
    const int hold = HoldPictures();
    if (hold == 0) return false;
    const int N = PicEd->MaxValue();
    const std::int64_t last = core::HeldFrameCount(N, hold) - 1;
    if (PlayFrame >= last) {
        Timer1->stop();
        return true;
    }
    // The frame the real time has reached, as the picture without holds is.
    const std::uint32_t elapsed = tickSource_() - PlayStartTick;
    const double t =
        std::trunc(static_cast<double>(PPSEd->Value()) * elapsed / 1000.0 + PlayStartFrame);
    PlayFrame = static_cast<std::int64_t>(std::clamp(t, 0.0, static_cast<double>(last)));
    PicEd->SetValue(static_cast<int>(core::HeldPictureNumber(PlayFrame, N, hold)));
    return true;
}
