// The area list on the "Similar areas" page: the panes, the tools, the
// object buttons.
#include <QToolButton>

#include "app/areatools.h"
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"

namespace {

using areatools::ToPane;

TZoomPane* PaneOf(const TMainForm& f, int pane) {
    return pane == 0 ? f.ScrollBox3 : f.ScrollBox4;
}

bool ValidIndex(const TMainForm& f, int index) {
    return f.ObjList && index >= 0 && static_cast<std::uint32_t>(index) < f.ObjList->Count();
}

// Draws the pane's half of every area over the picture, in list order: the
// current one solid with grips, the others dotted. Both invert what lies
// below, so they show on light and dark pictures alike.
void PaintAreas(TMainForm& f, int pane, QImage& canvas, QRect exposed) {
    if (!f.ObjList) return;
    const int z = PaneOf(f, pane)->Zoom();
    const QPoint origin = exposed.topLeft();
    f.ObjList->First();
    while (f.ObjList->Next()) {
        const TAreaHalf h = HalfOf(*f.ObjPtr, pane);
        const std::int64_t l = ToPane(h.left, z);
        const std::int64_t t = ToPane(h.top, z);
        const std::int64_t r = ToPane(h.right, z);
        const std::int64_t b = ToPane(h.bottom, z);
        if (f.ObjList->Index() == f.CurObj + 1) {
            areatools::markrec(canvas, origin, l, t, r - l + 1, b - t + 1);
        } else {
            areatools::DottedRect(canvas, origin, l, t, r, b);
        }
    }
}

bool SameCursor(const QCursor& a, const QCursor& b) {
    if (a.shape() != b.shape()) return false;
    if (a.shape() != Qt::BitmapCursor) return true;
    return a.pixmap().cacheKey() == b.pixmap().cacheKey() && a.hotSpot() == b.hotSpot();
}

}  // namespace

void TMainForm::WireAreas() {
    ScrollBox3->SetZoomEdit(Zoom3Ed);
    ScrollBox4->SetZoomEdit(Zoom4Ed);
    ScrollBox3->SetPictureSource([this]() -> const raster::DibRecord& { return Pic1Dib; });
    ScrollBox4->SetPictureSource([this]() -> const raster::DibRecord& { return Pic2Dib; });
    ScrollBox3->SetOverlay(
        [this](QImage& canvas, QRect exposed) { PaintAreas(*this, 0, canvas, exposed); });
    ScrollBox4->SetOverlay(
        [this](QImage& canvas, QRect exposed) { PaintAreas(*this, 1, canvas, exposed); });
    connect(Zoom3Ed, &TSpinEdit::Changed, this, [this] { Zoom3EdChange(); });
    connect(Zoom4Ed, &TSpinEdit::Changed, this, [this] { Zoom4EdChange(); });
    connect(DelObjBtn, &QPushButton::clicked, this, [this] { DelObjBtnClick(); });
    connect(PrevBtn, &QPushButton::clicked, this, [this] { PrevBtnClick(); });
    connect(NextBtn, &QPushButton::clicked, this, [this] { NextBtnClick(); });
    for (int pane : {0, 1}) {
        TPaintBox* box = pane == 0 ? PaintBox3 : PaintBox4;
        connect(box, &TPaintBox::MouseDown, this,
                [this, pane](Qt::MouseButton button, int x, int y) {
                    PaneMouseDown(pane, button, x, y);
                });
        connect(box, &TPaintBox::MouseMove, this,
                [this, pane](int x, int y) { PaneMouseMove(pane, x, y); });
        connect(box, &TPaintBox::MouseUp, this, [this, pane](Qt::MouseButton button, int x, int y) {
            PaneMouseUp(pane, button, x, y);
        });
    }
}

void TMainForm::EnableObjButtons() {
    const bool valid = ValidIndex(*this, CurObj);
    for (TBitBtnXP* b : {NextBtn, PrevBtn, DelObjBtn}) b->setEnabled(valid);
}

void TMainForm::PrevBtnClick() {
    if (!ValidIndex(*this, CurObj)) return;
    CurObj = CurObj == 0 ? static_cast<int>(ObjList->Count()) - 1 : CurObj - 1;
    PaintBox3Paint();
    PaintBox4Paint();
}

void TMainForm::NextBtnClick() {
    if (!ValidIndex(*this, CurObj)) return;
    CurObj = static_cast<std::uint32_t>(CurObj) + 1 == ObjList->Count() ? 0 : CurObj + 1;
    PaintBox3Paint();
    PaintBox4Paint();
}

void TMainForm::DelObjBtnClick() {
    if (!ValidIndex(*this, CurObj)) return;
    ObjList->Delete(CurObj);
    CurObj = -1;
    // Esc can arrive while the mouse is still held: a drag or a creation in
    // progress must not go on writing into an area that is gone.
    Dragging = 0;
    if (CreatePane >= 0) {
        CreatePane = -1;
        Grip = 0;
    }
    EnableObjButtons();
    PaintBox3Paint();
    PaintBox4Paint();
}

void TMainForm::PaintBox3Paint() {
    ScrollBox3->Paint();
}
void TMainForm::PaintBox4Paint() {
    ScrollBox4->Paint();
}
void TMainForm::Zoom3EdChange() {
    PaintBox3Paint();
}
void TMainForm::Zoom4EdChange() {
    PaintBox4Paint();
}

namespace {

// The Area tool's mapping for end point (ex, ey) into the area being created,
// the last one in the list.
void MapNewArea(TMainForm& f, int pane, int ex, int ey) {
    if (!f.ObjList || f.ObjList->Count() == 0) return;
    TAreaPair& area = *f.ObjList->GotoIndex(static_cast<std::int32_t>(f.ObjList->Count()) - 1);
    const raster::DibRecord& own = pane == 0 ? f.Pic1Dib : f.Pic2Dib;
    const raster::DibRecord& other = pane == 0 ? f.Pic2Dib : f.Pic1Dib;
    areatools::CreationInput in;
    in.startX = f.StartX;
    in.startY = f.StartY;
    in.endX = ex;
    in.endY = ey;
    in.zoom = PaneOf(f, pane)->Zoom();
    in.ownWidth = own.Width();
    in.ownHeight = own.Height();
    in.otherWidth = other.Width();
    in.otherHeight = other.Height();
    areatools::MapCreation(in, HalfOf(area, pane), HalfOf(area, 1 - pane));
}

void PaintBoth(TMainForm& f) {
    f.PaintBox3Paint();
    f.PaintBox4Paint();
}

}  // namespace

void TMainForm::PaneMouseDown(int pane, Qt::MouseButton button, int x, int y) {
    TZoomPane* own = PaneOf(*this, pane);
    if (SpeedZoom->isChecked()) {
        const int z = own->Zoom();
        const std::int64_t px = areatools::ToPicture(x, z);
        const std::int64_t py = areatools::ToPicture(y, z);
        TSpinEdit* edit = own->ZoomEdit();
        // The edit clamps to 10..300; its change handler resizes the box at
        // once, so the scroll ranges below are those of the new zoom.
        if (button == Qt::LeftButton)
            edit->SetValue(edit->Value() + 10);
        else if (button == Qt::RightButton)
            edit->SetValue(edit->Value() - 10);
        const int z2 = own->Zoom();
        std::int64_t sx = areatools::ZoomCentre(px, z2) - own->width() / 2;
        std::int64_t sy = areatools::ZoomCentre(py, z2) - own->height() / 2;
        sx = std::max<std::int64_t>(std::min<std::int64_t>(sx, own->HorzRange() - 1), 0);
        sy = std::max<std::int64_t>(std::min<std::int64_t>(sy, own->VertRange() - 1), 0);
        own->SetHorzPosition(static_cast<int>(sx));
        own->SetVertPosition(static_cast<int>(sy));
        own->Paint();
    } else if (SpeedHand->isChecked()) {
        own->BeginHandDrag(x, y);
    } else if (SpeedPointer->isChecked()) {
        SetCursors(x, y, pane);
        if (Grip > 0) {
            Dragging = 1;
        } else {
            // Selection: the last area in list order under the mouse wins.
            const int z = own->Zoom();
            int found = -1;
            ObjList->First();
            while (ObjList->Next()) {
                const TAreaHalf h = HalfOf(*ObjPtr, pane);
                if (ToPane(h.left, z) <= x && x <= ToPane(h.right, z) && ToPane(h.top, z) <= y &&
                    y <= ToPane(h.bottom, z)) {
                    found = ObjList->Index() - 1;
                }
            }
            CurObj = found;
            EnableObjButtons();
        }
        PaintBoth(*this);
    } else if (SpeedRect->isChecked()) {
        ObjList->Add();
        CurObj = static_cast<int>(ObjList->Count()) - 1;
        EnableObjButtons();
        Grip = 1;
        StartX = x;
        StartY = y;
        CreatePane = pane;
        MapNewArea(*this, pane, x, y);
        PaintBoth(*this);
    }
}

void TMainForm::PaneMouseMove(int pane, int x, int y) {
    if (CreatePane >= 0 && ObjList->Count() == 0) CreatePane = -1;  // the list was cleared
    if (SpeedHand->isChecked()) {
        PaneOf(*this, pane)->HandDragTo(x, y);
        SetCursors(x, y, pane);
    } else if (Dragging == 1 && SpeedPointer->isChecked()) {
        dragit(x, y, pane);
        PaintBoth(*this);
    } else if (SpeedRect->isChecked() && CreatePane == pane) {
        SetCursors(x, y, pane);
        MapNewArea(*this, pane, x, y);
        PaintBoth(*this);
    } else {
        SetCursors(x, y, pane);
    }
}

void TMainForm::PaneMouseUp(int pane, Qt::MouseButton, int x, int y) {
    if (CreatePane >= 0 && ObjList->Count() == 0) CreatePane = -1;
    if (SpeedHand->isChecked()) {
        PaneOf(*this, pane)->EndHandDrag();
    } else if (Dragging == 1 && SpeedPointer->isChecked()) {
        dragit(x, y, pane);
        Dragging = 0;
        PaintBoth(*this);
    } else if (SpeedRect->isChecked() && CreatePane == pane) {
        Grip = 0;
        CreatePane = -1;
        // A plain click makes a 50 x 50 area; the end never shares a column
        // or a row with the start.
        if (x == StartX && y == StartY) {
            x += 50;
            y += 50;
        }
        if (x == StartX) ++x;
        if (y == StartY) ++y;
        MapNewArea(*this, pane, x, y);
        PaintBoth(*this);
    }
}

void TMainForm::SetCursors(int x, int y, int pane) {
    auto setPaneCursors = [this](int slot) {
        for (TPaintBox* box : {PaintBox3, PaintBox4}) {
            if (!SameCursor(box->cursor(), Cursors[slot])) box->setCursor(Cursors[slot]);
        }
    };
    int slot = areatools::kArrowSlot;
    if (SpeedPointer->isChecked()) {
        // The hit test on the current area.
        Grip = 0;
        GrabX = 0;
        GrabY = 0;
        if (ValidIndex(*this, CurObj)) {
            const TAreaHalf h = HalfOf(*ObjList->GotoIndex(CurObj), pane);
            const int z = PaneOf(*this, pane)->Zoom();
            const areatools::HitResult hit =
                areatools::HitTestCurrent(x, y, ToPane(h.left, z), ToPane(h.top, z),
                                          ToPane(std::int64_t{h.right} - h.left + 1, z),
                                          ToPane(std::int64_t{h.bottom} - h.top + 1, z));
            Grip = hit.grip;
            GrabX = areatools::ClampToInt(hit.grabX);
            GrabY = areatools::ClampToInt(hit.grabY);
            slot = hit.slot;
        }
    } else if (SpeedZoom->isChecked()) {
        slot = areatools::kZoomSlot;
    } else if (SpeedHand->isChecked()) {
        slot = areatools::kHandSlot;
    } else if (SpeedRect->isChecked()) {
        slot = areatools::kAreaSlot;
    }
    setPaneCursors(slot);
}

void TMainForm::dragit(int x, int y, int pane) {
    if (!ValidIndex(*this, CurObj)) return;
    TAreaPair& area = *ObjList->GotoIndex(CurObj);
    const int z = PaneOf(*this, pane)->Zoom();
    const std::int64_t nx = areatools::DragToPicture(std::int64_t{x} - GrabX, z);
    const std::int64_t ny = areatools::DragToPicture(std::int64_t{y} - GrabY, z);
    const raster::DibRecord& pic = pane == 0 ? Pic1Dib : Pic2Dib;
    Grip = areatools::DragHalf(HalfOf(area, pane), Grip, nx, ny, pic.Width(), pic.Height());
}
