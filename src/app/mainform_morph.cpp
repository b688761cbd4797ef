// The "Morphing" page: rendering, preview, playback and the save commands.
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "core/renderer.h"

void TMainForm::WireMorph() {
    ScrollBox5->SetZoomEdit(Zoom5Ed);
    ScrollBox5->SetPictureSource([this]() -> const raster::DibRecord& { return ResultDib; });
    connect(TimeEd, &TSpinEdit::Changed, this, [this] { TimeEdChange(); });
    connect(PPSEd, &TSpinEdit::Changed, this, [this] { PPSEdChange(); });
    connect(PicEd, &TSpinEdit::Changed, this, [this] { PicEdChange(); });
    connect(Zoom5Ed, &TSpinEdit::Changed, this, [this] { Zoom5EdChange(); });
    connect(BkColor, &TTintaColorComboBox::Change, this, [this] { BkColorChange(); });
}

void TMainForm::RenderPic() {
    ++RenderCount;
    std::vector<TAreaPair> areas;
    ObjList->First();
    while (ObjList->Next()) areas.push_back(*ObjPtr);
    const double N = static_cast<double>(TimeEd->Value()) * PPSEd->Value();
    core::TMorphInput input;
    input.pic1 = &Pic1Dib;
    input.pic2 = &Pic2Dib;
    input.areas = areas;
    input.N = static_cast<std::int64_t>(N);
    input.n = PicEd->Value();
    input.background = BkColor->ColorValue();
    ResultDib = core::RenderMorph(input);
}

void TMainForm::TimeEdChange() {
    const double N = static_cast<double>(TimeEd->Value()) * PPSEd->Value();
    PicEd->SetMaxValue(static_cast<int>(std::min(N, 2147483647.0)));
    if (PicEd->Value() > N) PicEd->SetValue(PicEd->MaxValue());
    RenderPic();
    PaintBox5Paint();
}
void TMainForm::PPSEdChange() { TimeEdChange(); }
void TMainForm::PicEdChange() {
    RenderPic();
    PaintBox5Paint();
}
void TMainForm::Zoom5EdChange() { PaintBox5Paint(); }
void TMainForm::BkColorChange() {
    RenderPic();
    PaintBox5Paint();
}
void TMainForm::PaintBox5Paint() { ScrollBox5->Paint(); }
void TMainForm::PlayBtnClick() {}
void TMainForm::StopBtnClick() {}
void TMainForm::Timer1Timer() {}
void TMainForm::SavePicBtnClick() {}
void TMainForm::SaveAVIBtnClick() {}
