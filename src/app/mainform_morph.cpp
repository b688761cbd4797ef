// The "Morphing" page: rendering, preview, playback and the save commands.
#include "app/mainform.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "core/playback.h"
#include "core/renderer.h"
#include "export/morphframes.h"
#include "export/picturefile.h"
#include "export/pictureseries.h"
#include "export/savenames.h"
#include "export/videoexport.h"

namespace {

QColor ToQColor(std::uint32_t v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

std::uint32_t FromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

int ToInt(double v) {
    return static_cast<int>(std::clamp(v, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

// Asks for a file name to save to. `complete` turns the typed name into the
// name actually written (an extension added); when that differs and such a
// file exists, the dialog's overwrite question did not cover it, so it is
// asked here.
std::optional<QString> ChooseSaveName(TMainForm& form, TFileDialog& dialog, const QString& caption,
                                      const std::function<QString(const QString&)>& complete) {
    if (!form.Prompter().Execute(&form, dialog)) return std::nullopt;
    const QString typed = dialog.fileName;
    const QString name = complete(typed);
    if (name != typed && QFileInfo::exists(name) &&
        !form.AskOkCancel(QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                              .arg(QFileInfo(name).fileName()),
                          caption)) {
        return std::nullopt;
    }
    dialog.fileName = name;
    return name;
}

}  // namespace

void TMainForm::WireMorph() {
    ScrollBox5->SetZoomEdit(Zoom5Ed);
    ScrollBox5->SetPictureSource([this]() -> const raster::DibRecord& { return ResultDib; });
    connect(TimeEd, &TSpinEdit::Changed, this, [this] { TimeEdChange(); });
    connect(PPSEd, &TSpinEdit::Changed, this, [this] { PPSEdChange(); });
    connect(PicEd, &TSpinEdit::Changed, this, [this] { PicEdChange(); });
    connect(Zoom5Ed, &TSpinEdit::Changed, this, [this] { Zoom5EdChange(); });
    connect(BkColor, &TTintaColorComboBox::Change, this, [this] { BkColorChange(); });
    connect(PlayBtn, &TBitBtnXP::clicked, this, [this] { PlayBtnClick(); });
    connect(StopBtn, &TBitBtnXP::clicked, this, [this] { StopBtnClick(); });
    connect(SavePicBtn, &TBitBtnXP::clicked, this, [this] { SavePicBtnClick(); });
    connect(SaveAVIBtn, &TBitBtnXP::clicked, this, [this] { SaveAVIBtnClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    WireTiming();

    // "More..." asks with the window's colour dialog, the current colour
    // preselected.
    BkColor->chooseColor = [this](std::uint32_t current) -> std::optional<std::uint32_t> {
        const std::optional<QColor> chosen = Prompter().ChooseColor(this, ToQColor(current));
        if (!chosen || !chosen->isValid()) return std::nullopt;
        return FromQColor(*chosen);
    };

    SaveDialog1.objectName = QStringLiteral("SaveDialog1");
    SaveDialog1.save = true;
    SaveDialog1.overwritePrompt = true;
    SaveDialog1.filter = exporting::PictureFilter();
    SaveDialog1.filterIndex = 1;

    // No default extension: the chosen type supplies it (SequenceTargetFor).
    SaveDialog2.objectName = QStringLiteral("SaveDialog2");
    SaveDialog2.title = QStringLiteral("Save video");
    SaveDialog2.save = true;
    SaveDialog2.overwritePrompt = true;
    SaveDialog2.filter = exporting::SequenceFilter();
    SaveDialog2.filterIndex = 1;
}

void TMainForm::RenderPic() {
    ++RenderCount;
    std::vector<TAreaPair> areas;
    ObjList->First();
    while (ObjList->Next()) areas.push_back(*ObjPtr);
    // Extended precision holds the product of any two field values exactly;
    // the renderer clamps N and n into a valid range itself.
    const long double N = static_cast<long double>(TimeEd->Value()) * PPSEd->Value();
    core::TMorphInput input;
    input.pic1 = &Pic1Dib;
    input.pic2 = &Pic2Dib;
    input.areas = areas;
    input.N = static_cast<std::int64_t>(N);
    input.n = PicEd->Value();
    input.background = BkColor->ColorValue();
    input.timing = MorphTiming();
    input.mode = MorphMode();
    // A result past the program's picture limit is not tried at all.
    ResultProblem = QString::fromStdString(core::ResultSizeProblem(core::MorphResultSize(input)));
    try {
        ResultDib = ResultProblem.isEmpty() ? core::RenderMorph(input) : raster::DibRecord();
    } catch (const std::bad_alloc&) {
        ResultDib = raster::DibRecord();
    }
    // The window stays usable; the result pane shows no picture and the
    // save commands say why.
    if (!ResultDib.HasPixels() && ResultProblem.isEmpty())
        ResultProblem = QStringLiteral("not enough memory to render the picture");
}

bool TMainForm::ResultCanBeSaved(const QString& what, const QString& caption) {
    if (ResultDib.HasPixels() || ResultProblem.isEmpty()) return true;
    ShowError(QStringLiteral("%1 cannot be saved: %2.").arg(what, ResultProblem), caption);
    return false;
}

void TMainForm::TimeEdChange() {
    // N in floating point: the typed values may lie outside the fields'
    // ranges, so the product is kept within what the field can hold.
    const double N = static_cast<double>(TimeEd->Value()) * PPSEd->Value();
    PicEd->SetMaxValue(ToInt(N));
    if (PicEd->Value() > N) PicEd->SetValue(PicEd->MaxValue());
    RenderPic();
    PaintBox5Paint();
}

void TMainForm::PPSEdChange() {
    TimeEdChange();
}

void TMainForm::PicEdChange() {
    RenderPic();
    PaintBox5Paint();
}

void TMainForm::Zoom5EdChange() {
    PaintBox5Paint();
}

void TMainForm::BkColorChange() {
    RenderPic();
    PaintBox5Paint();
}

void TMainForm::PaintBox5Paint() {
    ScrollBox5->Paint();
}

void TMainForm::PlayBtnClick() {
    if (Exporting) return;
    if (PicEd->Value() == PicEd->MaxValue()) PicEd->SetValue(1);
    PlayStartPic = PicEd->Value();
    // A rate typed below 1 plays at 1 picture per second; a rate typed far
    // above the range still ticks at most once per millisecond.
    const int rate = std::max(1, PPSEd->Value());
    Timer1->setInterval(std::max(1, 1000 / rate / 2));
    Timer1->start();
    PlayStartTick = tickSource_();
    StartHeldPlayback();
}

void TMainForm::StopBtnClick() {
    if (Timer1->isActive()) {
        Timer1->stop();
    } else {
        PicEd->SetValue(1);
    }
}

void TMainForm::Timer1Timer() {
    if (HeldPlaybackTick()) return;
    const int N = PicEd->MaxValue();
    const core::TPlayMode mode = PlayMode();
    if (mode == core::TPlayMode::Once && PicEd->Value() >= N) {
        Timer1->stop();
        return;
    }
    // Unsigned difference: correct across one wrap of the tick count.
    const std::uint32_t elapsed = tickSource_() - PlayStartTick;
    double t = std::trunc(static_cast<double>(PPSEd->Value()) * elapsed / 1000.0 + PlayStartPic);
    if (mode == core::TPlayMode::Once) {
        if (t > N) t = N;
        PicEd->SetValue(ToInt(t));
        return;
    }
    PicEd->SetValue(core::PlaybackPicture(static_cast<std::int64_t>(std::max(t, 1.0)), N, mode));
}

void TMainForm::SavePicBtnClick() {
    const QString caption = QStringLiteral("Save picture");
    if (!ResultCanBeSaved(QStringLiteral("The picture"), caption)) return;
    exporting::TPictureTarget target;
    const std::optional<QString> name =
        ChooseSaveName(*this, SaveDialog1, caption, [&](const QString& typed) {
            target = exporting::PictureTargetFor(typed, SaveDialog1.filterIndex);
            return target.name.isEmpty() ? typed : target.name;
        });
    if (!name) return;
    if (!target.refusal.isEmpty()) {
        ShowError(target.refusal, caption);
        return;
    }
    // Encoding catches running out of memory itself (nothing is written then).
    const QString error = exporting::SavePicture(ResultDib, *name);
    if (!error.isEmpty()) ShowError(error, caption);
}

void TMainForm::SaveAVIBtnClick() {
    if (Exporting) return;
    const QString caption = QStringLiteral("Save AVI video");
    // Every picture of the sequence has the size of the one shown.
    if (!ResultCanBeSaved(QStringLiteral("The sequence"), caption)) return;
    // The held pictures are frames of their own.
    const int count = HeldFrames();
    exporting::TSequenceTarget target;
    const std::optional<QString> name =
        ChooseSaveName(*this, SaveDialog2, caption, [&](const QString& typed) {
            target = exporting::SequenceTargetFor(typed, SaveDialog2.filterIndex, count);
            return target.name;
        });
    if (!name) return;
    if (target.series) {
        // The dialog asked about the name typed; the files are numbered.
        const QString firstFile = QString::fromLocal8Bit(
            exporting::SeriesFileName(QFile::encodeName(*name).toStdString(), 1).c_str());
        if (QFileInfo::exists(firstFile) &&
            !AskOkCancel(QStringLiteral("\"%1\" already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(firstFile).fileName()),
                         caption))
            return;
    }

    // Playback would move the picture number under the export's feet.
    Timer1->stop();
    Exporting = true;

    // The same road as vellora-render's: rendered straight from the
    // document, the shown picture and the fields untouched.
    std::vector<TAreaPair> areas;
    ObjList->First();
    while (ObjList->Next()) areas.push_back(*ObjPtr);
    core::TMorphInput input;
    input.pic1 = &Pic1Dib;
    input.pic2 = &Pic2Dib;
    input.areas = areas;
    input.N = static_cast<std::int64_t>(static_cast<long double>(TimeEd->Value()) * PPSEd->Value());
    input.background = BkColor->ColorValue();
    input.timing = MorphTiming();
    input.mode = MorphMode();
    exporting::TSequenceJob job;
    job.series = target.series;
    job.pattern = QFile::encodeName(*name).toStdString();
    job.format = target.format;
    job.video = *name;
    job.options.codec = target.codec;
    job.options.fps = std::max(1, PPSEd->Value());
    job.options.first = 1;
    job.options.last = count;
    job.options.background = input.background;
    job.hold = HoldPictures();

    std::unique_ptr<TProgress> progress =
        Prompter().BeginProgress(this,
                                 (target.series ? QStringLiteral("Writing the pictures \"%1\"...")
                                                : QStringLiteral("Writing the video \"%1\"..."))
                                     .arg(QFileInfo(*name).fileName()),
                                 caption);
    int lastPercent = -1;
    auto report = [&](int written, int total) {
        const int percent = static_cast<int>(static_cast<std::int64_t>(written) * 100 / total);
        if (percent != lastPercent) {
            lastPercent = percent;
            SetProStatus(percent);
            progress->SetPercent(percent);
        }
        // Keeps the window painted and lets the progress display take the
        // cancel request.
        QCoreApplication::processEvents();
        return !progress->Cancelled();
    };
    // The writers catch running out of memory while they write; a render
    // that runs out ends the export with that message.
    exporting::ExportResult result;
    try {
        result = exporting::WriteMorphSequence(job, input, report);
    } catch (const std::bad_alloc&) {
        result = {exporting::ExportStatus::Failed,
                  QStringLiteral("The sequence cannot be saved: not enough memory.")};
    }
    progress.reset();
    Exporting = false;
    SetProStatus(0);

    switch (result.status) {
        case exporting::ExportStatus::Done:
            break;
        case exporting::ExportStatus::Cancelled:
            Prompter().Message(this, result.message, caption, TPrompter::Icon::Information,
                               TPrompter::Buttons::Ok);
            break;
        case exporting::ExportStatus::Failed:
            ShowError(result.message, caption);
            break;
    }
}
