// The area list on the "Similar areas" page: the panes, the tools, the
// object buttons, the keys and the undo history. The editing itself is the
// area editor's; the window forwards its events and lends it the panes.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include "app/areapagehost.h"
#include "app/liveview.h"
#include "app/mainform.h"
#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "editor/areaeditor.h"
#include "editor/areatools.h"

namespace {

TZoomPane* PaneOf(const TMainForm& f, int pane) {
    return pane == 0 ? f.ScrollBox3 : f.ScrollBox4;
}

bool ValidIndex(const TDynaArray<TAreaPair>* list, int index) {
    return list && index >= 0 && static_cast<std::uint32_t>(index) < list->Count();
}

bool SameCursor(const QCursor& a, const QCursor& b) {
    if (a.shape() != b.shape()) return false;
    if (a.shape() != Qt::BitmapCursor) return true;
    return a.pixmap().cacheKey() == b.pixmap().cacheKey() && a.hotSpot() == b.hotSpot();
}

// Keys typed into these stay theirs.
bool IsTextField(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w);
}

}  // namespace

TDynaArray<TAreaPair>& TAreaPageHost::AreaList() {
    return *f_.ObjList;
}
int TAreaPageHost::CurrentArea() const {
    return f_.CurObj;
}
void TAreaPageHost::SetCurrentArea(int index) {
    f_.SetCurrentArea(index);
}
QSize TAreaPageHost::PictureSize(int pane) const {
    const raster::DibRecord& pic = pane == 0 ? f_.Pic1Dib : f_.Pic2Dib;
    return {pic.Width(), pic.Height()};
}
const raster::DibRecord& TAreaPageHost::Picture(int pane) const {
    return pane == 0 ? f_.Pic1Dib : f_.Pic2Dib;
}
int TAreaPageHost::Zoom(int pane) const {
    return PaneOf(f_, pane)->Zoom();
}
void TAreaPageHost::ZoomAt(int pane, QPoint at, int step) {
    PaneOf(f_, pane)->ZoomAt(at, step);
    RepaintPane(pane);
}
void TAreaPageHost::ScrollBy(int pane, int dx, int dy) {
    PaneOf(f_, pane)->ScrollBy(dx, dy);
}
void TAreaPageHost::RepaintPane(int pane) {
    if (pane == 0)
        f_.PaintBox3Paint();
    else
        f_.PaintBox4Paint();
}
void TAreaPageHost::RepaintPaneRegion(int pane, const QRegion& region) {
    PaneOf(f_, pane)->PaintBox()->update(region);
    f_.ShowPosition();
}
void TAreaPageHost::ShowCursorSlot(int slot) {
    for (TPaintBox* box : {f_.PaintBox3, f_.PaintBox4}) {
        if (!SameCursor(box->cursor(), f_.Cursors[slot])) box->setCursor(f_.Cursors[slot]);
    }
}
void TAreaPageHost::ShowMousePoint(int pane, QPoint point) {
    if (f_.mousePane_ == pane && f_.mousePoint_ == point) return;
    f_.mousePane_ = pane;
    f_.mousePoint_ = point;
    f_.ShowPosition();
}
void TAreaPageHost::ToolChanged(TAreaTool tool) {
    const std::pair<TAreaTool, QToolButton*> buttons[] = {{TAreaTool::Pointer, f_.SpeedPointer},
                                                          {TAreaTool::Zoom, f_.SpeedZoom},
                                                          {TAreaTool::Hand, f_.SpeedHand},
                                                          {TAreaTool::Area, f_.SpeedRect}};
    for (const auto& [t, button] : buttons) {
        if (t == tool) button->setChecked(true);
    }
}
void TAreaPageHost::ShowStatus(const QString& text) {
    f_.StatusLabel->setText(text);
    f_.StatusLabel->setToolTip(text);
}
void TAreaPageHost::Busy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
void TAreaPageHost::FitPanes() {
    f_.FitAreaPanes();
}
void TAreaPageHost::AreasMoving() {
    f_.live_->Update();
}
void TAreaPageHost::ToggleLiveView() {
    f_.live_->Toggle();
}
void TAreaPageHost::AreasChanged() {
    // The morph follows the areas while it is shown.
    if (f_.PageControl2->currentIndex() == 2) {
        f_.RenderPic();
        f_.PaintBox5Paint();
    }
}

void TMainForm::WireAreas() {
    areaHost_ = std::make_unique<TAreaPageHost>(*this);
    editor_ = std::make_unique<TAreaEditor>(*areaHost_);
    ScrollBox3->SetZoomEdit(Zoom3Ed);
    ScrollBox4->SetZoomEdit(Zoom4Ed);
    ScrollBox3->SetPictureSource([this]() -> const raster::DibRecord& { return Pic1Dib; });
    ScrollBox4->SetPictureSource([this]() -> const raster::DibRecord& { return Pic2Dib; });
    ScrollBox3->SetOverlay(
        [this](QImage& canvas, QRect exposed) { editor_->Paint(0, canvas, exposed); });
    ScrollBox4->SetOverlay(
        [this](QImage& canvas, QRect exposed) { editor_->Paint(1, canvas, exposed); });
    connect(Zoom3Ed, &TSpinEdit::Changed, this, [this] { Zoom3EdChange(); });
    connect(Zoom4Ed, &TSpinEdit::Changed, this, [this] { Zoom4EdChange(); });
    connect(DelObjBtn, &QPushButton::clicked, this, [this] { DelObjBtnClick(); });
    connect(PrevBtn, &QPushButton::clicked, this, [this] { PrevBtnClick(); });
    connect(NextBtn, &QPushButton::clicked, this, [this] { NextBtnClick(); });
    connect(MatchBtn, &QPushButton::clicked, this, [this] { MatchBtnClick(); });
    connect(FindPairsBtn, &QPushButton::clicked, this, [this] { FindPairsBtnClick(); });
    connect(PaintBox3, &TPaintBox::MouseDown, this, &TMainForm::PaintBox3MouseDown);
    connect(PaintBox3, &TPaintBox::MouseMove, this, &TMainForm::PaintBox3MouseMove);
    connect(PaintBox3, &TPaintBox::MouseUp, this, &TMainForm::PaintBox3MouseUp);
    connect(PaintBox4, &TPaintBox::MouseDown, this, &TMainForm::PaintBox4MouseDown);
    connect(PaintBox4, &TPaintBox::MouseMove, this, &TMainForm::PaintBox4MouseMove);
    connect(PaintBox4, &TPaintBox::MouseUp, this, &TMainForm::PaintBox4MouseUp);
    // Over neither pane there is no picture point to show.
    for (TPaintBox* box : {PaintBox3, PaintBox4}) {
        connect(box, &TPaintBox::MouseLeave, this, [this] {
            mousePane_ = -1;
            ShowPosition();
        });
    }

    const struct {
        QToolButton* button;
        TAreaTool tool;
        QString hint;
        Qt::Key key;
    } tools[] = {
        {SpeedPointer, TAreaTool::Pointer,
         QStringLiteral("Pointer: select, move and resize areas (P)"), Qt::Key_P},
        {SpeedZoom, TAreaTool::Zoom,
         QStringLiteral("Zoom: left click zooms in, right click zooms out (Z)"), Qt::Key_Z},
        {SpeedHand, TAreaTool::Hand, QStringLiteral("Hand: drag to scroll the picture (H)"),
         Qt::Key_H},
        {SpeedRect, TAreaTool::Area, QStringLiteral("Area: drag out a new pair of areas (A)"),
         Qt::Key_A},
    };
    for (const auto& t : tools) {
        t.button->setToolTip(t.hint);
        connect(t.button, &QToolButton::toggled, this, [this, tool = t.tool](bool down) {
            if (down) editor_->SetTool(tool);
        });
        if (t.button->isChecked()) editor_->SetTool(t.tool);
    }

    // Undo and redo work on every page; in a text field its own undo wins
    // (the field claims the keys first).
    QUndoStack& history = editor_->History();
    UndoBtn->setEnabled(false);
    RedoBtn->setEnabled(false);
    connect(&history, &QUndoStack::canUndoChanged, UndoBtn, &QToolButton::setEnabled);
    connect(&history, &QUndoStack::canRedoChanged, RedoBtn, &QToolButton::setEnabled);
    connect(UndoBtn, &QToolButton::clicked, this, [this] { UndoBtnClick(); });
    connect(RedoBtn, &QToolButton::clicked, this, [this] { RedoBtnClick(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this), &QShortcut::activated, this,
            [this] { UndoBtnClick(); });
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { RedoBtnClick(); });
    }
    // The page's keys reach the window whichever widget on it has the focus.
    qApp->installEventFilter(this);
    ShowPosition();
}

void TMainForm::SetAreas(std::span<const TAreaPair> areas) {
    ObjList->Clear();
    for (const TAreaPair& area : areas) *ObjList->Add() = area;
    CurObj = -1;
    EnableObjButtons();
    Editor().Reset();
}

void TMainForm::SetCurrentArea(int index) {
    CurObj = index;
    EnableObjButtons();
}

void TMainForm::EnableObjButtons() {
    const bool valid = ValidIndex(ObjList.get(), CurObj);
    for (TBitBtnXP* b : {DelObjBtn, MatchBtn}) b->setEnabled(valid);
    // Previous and Next select the last or first area when none is current.
    const bool any = ObjList && ObjList->Count() > 0;
    for (TBitBtnXP* b : {NextBtn, PrevBtn}) b->setEnabled(any);
}

void TMainForm::PrevBtnClick() {
    editor_->SelectPrevious();
}

void TMainForm::NextBtnClick() {
    editor_->SelectNext();
}

void TMainForm::DelObjBtnClick() {
    editor_->DeleteCurrent();
}

void TMainForm::MatchBtnClick() {
    editor_->Match();
}

void TMainForm::FindPairsBtnClick() {
    editor_->FindPairs();
}

void TMainForm::UndoBtnClick() {
    editor_->Undo();
}

void TMainForm::RedoBtnClick() {
    editor_->Redo();
}

void TMainForm::PaintBox3Paint() {
    ScrollBox3->Paint();
    ShowPosition();
}
void TMainForm::PaintBox4Paint() {
    ScrollBox4->Paint();
    ShowPosition();
}
void TMainForm::Zoom3EdChange() {
    PaintBox3Paint();
}
void TMainForm::Zoom4EdChange() {
    PaintBox4Paint();
}

void TMainForm::PaintBox3MouseDown(Qt::MouseButton button, int x, int y) {
    editor_->Press(0, button, x, y);
}
void TMainForm::PaintBox3MouseMove(int x, int y) {
    editor_->Move(0, x, y);
}
void TMainForm::PaintBox3MouseUp(Qt::MouseButton button, int x, int y) {
    editor_->Release(0, button, x, y);
}
void TMainForm::PaintBox4MouseDown(Qt::MouseButton button, int x, int y) {
    editor_->Press(1, button, x, y);
}
void TMainForm::PaintBox4MouseMove(int x, int y) {
    editor_->Move(1, x, y);
}
void TMainForm::PaintBox4MouseUp(Qt::MouseButton button, int x, int y) {
    editor_->Release(1, button, x, y);
}
void TMainForm::SetCursors(int x, int y, int pane) {
    editor_->SetCursors(x, y, pane);
}
void TMainForm::dragit(int x, int y, int pane) {
    editor_->dragit(x, y, pane);
}

QString TMainForm::MousePointText() const {
    return mousePane_ < 0 ? QString() : TAreaEditor::PointText(mousePoint_);
}

QString TMainForm::CurrentAreaText() const {
    if (!ValidIndex(ObjList.get(), CurObj)) return {};
    return TAreaEditor::AreaText(*ObjList->GotoIndex(CurObj));
}

void TMainForm::ShowPosition() {
    if (!PosLabel) return;
    const QString point = MousePointText();
    const QString area = CurrentAreaText();
    const QString text =
        point.isEmpty() || area.isEmpty() ? point + area : point + QStringLiteral("     ") + area;
    if (PosLabel->text() != text) PosLabel->setText(text);
}

bool TMainForm::AreaPageKey(QKeyEvent* event) {
    return editor_->Key(event->key(), event->modifiers());
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the focus widget acts on it: the panes' scroll areas and
    // the tool buttons would take the arrows for themselves.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && PageControl2 &&
        PageControl2->currentIndex() == 1) {
        auto* w = static_cast<QWidget*>(watched);
        const bool onPage = w == this || w == TabSheet2 || TabSheet2->isAncestorOf(w);
        const QWidget* focus = QApplication::focusWidget();
        auto* key = static_cast<QKeyEvent*>(event);
        if (w->window() == this && !IsTextField(focus) && !IsTextField(w) &&
            (onPage || key->key() == Qt::Key_Escape) && AreaPageKey(key))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
