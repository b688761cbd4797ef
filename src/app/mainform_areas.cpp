// The area list on the "Similar areas" page: the panes, the tools, the
// object buttons.
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"

void TMainForm::WireAreas() {
    ScrollBox3->SetZoomEdit(Zoom3Ed);
    ScrollBox4->SetZoomEdit(Zoom4Ed);
    ScrollBox3->SetPictureSource([this]() -> const raster::DibRecord& { return Pic1Dib; });
    ScrollBox4->SetPictureSource([this]() -> const raster::DibRecord& { return Pic2Dib; });
    connect(Zoom3Ed, &TSpinEdit::Changed, this, [this] { Zoom3EdChange(); });
    connect(Zoom4Ed, &TSpinEdit::Changed, this, [this] { Zoom4EdChange(); });
    connect(DelObjBtn, &QPushButton::clicked, this, [this] { DelObjBtnClick(); });
    connect(PrevBtn, &QPushButton::clicked, this, [this] { PrevBtnClick(); });
    connect(NextBtn, &QPushButton::clicked, this, [this] { NextBtnClick(); });
}

void TMainForm::EnableObjButtons() {
    const bool valid = ObjList && CurObj >= 0 && static_cast<std::uint32_t>(CurObj) < ObjList->Count();
    for (TBitBtnXP* b : {NextBtn, PrevBtn, DelObjBtn}) b->setEnabled(valid);
}

void TMainForm::PrevBtnClick() {}
void TMainForm::NextBtnClick() {}
void TMainForm::DelObjBtnClick() {}
void TMainForm::PaintBox3Paint() { ScrollBox3->Paint(); }
void TMainForm::PaintBox4Paint() { ScrollBox4->Paint(); }
void TMainForm::Zoom3EdChange() { PaintBox3Paint(); }
void TMainForm::Zoom4EdChange() { PaintBox4Paint(); }
void TMainForm::PaneMouseDown(int, Qt::MouseButton, int, int) {}
void TMainForm::PaneMouseMove(int, int, int) {}
void TMainForm::PaneMouseUp(int, Qt::MouseButton, int, int) {}
void TMainForm::SetCursors(int, int, int) {}
void TMainForm::dragit(int, int, int) {}
