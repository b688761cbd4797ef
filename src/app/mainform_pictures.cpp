// Picture slots, loading and the panes of the "Open pictures" page.
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"

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
    raster::DibRecord loaded =
        raster::OpenDib(QFileInfo(*chosen).absoluteFilePath().toStdString(), 0, this);
    if (loaded.HasPixels()) {
        slot = std::move(loaded);  // the old bitmap is released here, once
        fileName = QFileInfo(*chosen).absoluteFilePath();
        pane.Paint();
    } else {
        ShowError(QString::fromStdString(loaded.ErrorText()),
                  QStringLiteral("Error while the loading (") + *chosen + QStringLiteral(")"));
    }
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
