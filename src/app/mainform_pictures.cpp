// Picture slots, loading and the panes of the "Open pictures" page.
#include <QCoreApplication>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <new>

#include "app/liveview.h"
#include "app/loadwatch.h"
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "core/printable.h"

raster::DibRecord TMainForm::MakeBlankPicture() {
    raster::DibRecord dib = raster::newdib(320, 200, 24);
    if (dib.HasPixels()) std::fill(dib.Bits().begin(), dib.Bits().end(), std::uint8_t{255});
    return dib;
}

void TMainForm::WirePictures() {
    ScrollBox1->SetZoomEdit(Zoom1Ed);
    ScrollBox2->SetZoomEdit(Zoom2Ed);
    ScrollBox1->SetPictureSource([this]() -> const raster::DibRecord& { return Pic1Dib; });
    ScrollBox2->SetPictureSource([this]() -> const raster::DibRecord& { return Pic2Dib; });
    for (TPaintBox* box : {PaintBox1, PaintBox2}) box->setCursor(Qt::PointingHandCursor);
    connect(PicOpenBtn1, &QPushButton::clicked, this, [this] { PicOpenBtn1Click(); });
    connect(PicOpenBtn2, &QPushButton::clicked, this, [this] { PicOpenBtn2Click(); });
    connect(Zoom1Ed, &TSpinEdit::Changed, this, [this] { Zoom1EdChange(); });
    connect(Zoom2Ed, &TSpinEdit::Changed, this, [this] { Zoom2EdChange(); });
    for (TZoomPane* pane : {ScrollBox1, ScrollBox2}) {
        connect(pane->PaintBox(), &TPaintBox::MouseDown, this,
                [pane](Qt::MouseButton, int x, int y) { pane->BeginHandDrag(x, y); });
        connect(pane->PaintBox(), &TPaintBox::MouseMove, this,
                [pane](int x, int y) { pane->HandDragTo(x, y); });
        connect(pane->PaintBox(), &TPaintBox::MouseUp, this,
                [pane](Qt::MouseButton, int, int) { pane->EndHandDrag(); });
    }
}

void TMainForm::LoadPictureIntoSlot(raster::DibRecord& slot, QString& fileName, TZoomPane& pane) {
    const std::optional<QString> chosen = RunFileDialog(OpenDialog1);
    if (!chosen) return;
    LoadNamedPictureInto(slot, fileName, pane, *chosen);
}

void TMainForm::LoadNamedPicture(int slot, const QString& name) {
    if (slot == 1)
        LoadNamedPictureInto(Pic1Dib, Pic1FileName, *ScrollBox1, name);
    else
        LoadNamedPictureInto(Pic2Dib, Pic2FileName, *ScrollBox2, name);
}

void TMainForm::LoadNamedPictureInto(raster::DibRecord& slot, QString& fileName, TZoomPane& pane,
                                     const QString& name) {
    const QString full = QFileInfo(name).absoluteFilePath();
    raster::DibRecord loaded = LoadPictureFile(full.toStdString());
    if (loaded.HasPixels()) {
        slot = std::move(loaded);  // the old bitmap is released here, once
        fileName = full;
        // A picture loaded by hand replaces the name a project could not load.
        core::TMissingPicture& missing = &slot == &Pic1Dib ? Pic1Missing : Pic2Missing;
        missing = core::TMissingPicture();
        ShowMissingPictures();
        pane.Paint();
        PictureLoaded(&slot == &Pic1Dib ? 0 : 1);
    } else if (loaded.ErrorText() != raster::kLoadCancelled) {
        ShowLoadError(loaded, name.toStdString());
    }
}

void TMainForm::SetPictures(raster::DibRecord pic1, raster::DibRecord pic2) {
    Pic1Dib = std::move(pic1);
    Pic2Dib = std::move(pic2);
    PaintBox1Paint();
    PaintBox2Paint();
    live_->PicturesChanged();
}

raster::DibRecord TMainForm::LoadPictureFile(const std::string& fileName) {
    TLoadWatch watch(Prompter(), this, QString::fromStdString(fileName), loadProgressDelayMs_);
    loadWatch_ = &watch;
    const auto done = qScopeGuard([this] { loadWatch_ = nullptr; });
    try {
        return raster::OpenDib(fileName, 0, this);
    } catch (const std::bad_alloc&) {
        raster::DibRecord failed;
        failed.SetErrorText("Not enough memory for this picture.");
        return failed;
    }
}

void TMainForm::ShowLoadError(const raster::DibRecord& failed, std::string_view name) {
    // A name may hold control characters or escape sequences (a stored name
    // even NUL); they are shown visibly so they cannot cut the caption.
    ShowError(QString::fromStdString(core::PrintableText(failed.ErrorText())),
              QStringLiteral("Error while the loading (") +
                  QString::fromStdString(core::PrintableText(name)) + QStringLiteral(")"));
}

void TMainForm::PicOpenBtn1Click() {
    LoadPictureIntoSlot(Pic1Dib, Pic1FileName, *ScrollBox1);
}
void TMainForm::PicOpenBtn2Click() {
    LoadPictureIntoSlot(Pic2Dib, Pic2FileName, *ScrollBox2);
}
void TMainForm::PaintBox1Paint() {
    ScrollBox1->Paint();
}
void TMainForm::PaintBox2Paint() {
    ScrollBox2->Paint();
}
void TMainForm::Zoom1EdChange() {
    PaintBox1Paint();
}
void TMainForm::Zoom2EdChange() {
    PaintBox2Paint();
}
