// The area editor of the "Similar areas" page as a model of its own: the four
// mouse tools as one explicit state machine, the page's keys, the choice of
// the current area, the outlines it draws over the panes and the undo history
// of the area list. It knows no widgets; it reaches the window only through
// TAreaEditorHost, which it asks for intents (zoom here, scroll by this much),
// so tests drive it with a host of their own.
//
// Panes are numbered 0 (left, picture 1) and 1 (right, picture 2); mouse
// coordinates are paint-box pixels of that pane.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/areapair.h"
#include "core/dynaarray.h"

namespace raster {
class DibRecord;
}

enum class TAreaTool { Pointer, Zoom, Hand, Area };

// What the editor needs of its surroundings.
class TAreaEditorHost {
public:
    virtual ~TAreaEditorHost() = default;

    // The area list and the index of the current area (-1 for none).
    virtual TDynaArray<TAreaPair>& AreaList() = 0;
    virtual int CurrentArea() const = 0;
    // Also refreshes what depends on the current area (the object buttons).
    virtual void SetCurrentArea(int index) = 0;

    virtual QSize PictureSize(int pane) const = 0;
    // The pane's picture itself, for "Match object".
    virtual const raster::DibRecord& Picture(int pane) const = 0;
    // The pane's zoom in percent, as typed.
    virtual int Zoom(int pane) const = 0;
    // Steps the pane's zoom by `step` (the zoom field clamps; 0 keeps it) and
    // centres the pane on the picture point under pane point `at`.
    virtual void ZoomAt(int pane, QPoint at, int step) = 0;
    // Scrolls the pane by (dx, dy) pane pixels, within what it shows.
    virtual void ScrollBy(int pane, int dx, int dy) = 0;

    virtual void RepaintPane(int pane) = 0;
    // Repaints only this part of the pane, in pane pixels.
    virtual void RepaintPaneRegion(int pane, const QRegion& region) {
        (void)region;
        RepaintPane(pane);
    }
    // Both panes show the cursor of this slot of the cursor table.
    virtual void ShowCursorSlot(int slot) = 0;
    // The picture pixel under the mouse in the pane it is over.
    virtual void ShowMousePoint(int pane, QPoint picturePoint) = 0;
    // Runs after every change of the list by a step, its undo or its redo.
    virtual void AreasChanged() {}
    // Runs whenever an area changes, also at every move of a drag or a
    // creation, so that a view can follow the areas as they move.
    virtual void AreasMoving() {}
    // Shows or hides the live result (the key V).
    virtual void ToggleLiveView() {}
    // A key chose another tool; the tool buttons show it.
    virtual void ToolChanged(TAreaTool tool) { (void)tool; }
    // A line for the status bar (what "Match object" found).
    virtual void ShowStatus(const QString& text) { (void)text; }
    // A step that may take a moment begins (true) or ends (false).
    virtual void Busy(bool busy) { (void)busy; }
    // Both panes take the largest zoom at which their pictures fit.
    virtual void FitPanes() {}
};

class TAreaEditor {
public:
    explicit TAreaEditor(TAreaEditorHost& host);
    ~TAreaEditor();
    TAreaEditor(const TAreaEditor&) = delete;
    TAreaEditor& operator=(const TAreaEditor&) = delete;

    TAreaTool Tool() const { return tool_; }
    // A drag or a creation in progress ends (as a step) when the tool changes.
    void SetTool(TAreaTool tool);

    void Press(int pane, Qt::MouseButton button, int x, int y);
    void Move(int pane, int x, int y);
    void Release(int pane, Qt::MouseButton button, int x, int y);

    // The cursor slot for the mouse at (x, y); with the Pointer tool this is
    // the hit test on the current area, which sets Grip, GrabX and GrabY.
    int CursorSlot(int x, int y, int pane);
    // CursorSlot, shown in both panes.
    void SetCursors(int x, int y, int pane);
    // Moves or resizes the current area's half for the mouse at (x, y).
    void dragit(int x, int y, int pane);

    // The keyboard: moves the current area's half in KeyPane() by (dx, dy)
    // picture pixels with dragit's clamps. Consecutive moves of the same half
    // are one undo step.
    void Nudge(int dx, int dy);
    // "&Delete object": deletes the current area as one undo step.
    void DeleteCurrent();
    // "&Previous object" and "&Next object": the area before or after the
    // current one in list order, round the end of the list.
    void SelectPrevious();
    void SelectNext();
    // "&Match object": searches the other picture for the current area's
    // half in KeyPane() and moves and resizes the other half to what it
    // finds, as one undo step. Only a convincing match changes anything.
    // Returns the line for the status label: the similarity found, or why
    // nothing changed; empty without a current area.
    QString MatchCurrent();
    // MatchCurrent as the user runs it: busy while it searches, the outcome
    // on the status line.
    void Match();

    // "&Find pairs": finds the main face in each picture and adds the pairs a
    // person would draw (face, eyes, nose, mouth; a cat's face and eyes) for
    // the features found in both, as one undo step, leaving alone the pairs
    // already there (vision/facepairs.h). Returns the line for the status
    // label: what was added, or why nothing was ("no face found in picture 2").
    QString FindPairsNow();
    // FindPairsNow as the user runs it (Ctrl+F): busy while it looks.
    void FindPairs();

    // The page's keys, wherever the focus is on it: arrows (with Shift ten
    // pixels) move the current half, Delete deletes, Esc is the object
    // buttons' cancel (it deletes the current area), M matches, Ctrl+F finds
    // pairs, P, Z, H, A choose the tool, F fits both panes and V shows or
    // hides the live result. False for a key that is not the page's.
    bool Key(int key, Qt::KeyboardModifiers modifiers);

    // Draws the pane's half of every area over canvas, which covers pane
    // rectangle `exposed`: in list order, the current area solid with its
    // grips, the others dotted.
    void Paint(int pane, QImage& canvas, QRect exposed);
    void Undo();
    void Redo();
    // Forgets the history and any gesture (a new or opened document).
    void Reset();
    // Something other than a keyboard move happens (the current area
    // changes, a command runs): a drag or a creation in progress ends as a
    // step of its own, and the next keyboard move starts a new step.
    void EndGesture();

    QUndoStack& History() { return history_; }
    // The pane that last received a press; the keyboard acts on its half.
    int KeyPane() const { return keyPane_; }

    // Interaction state.
    int Grip() const { return grip_; }
    int Dragging() const { return dragging_; }
    int GrabX() const { return grabX_; }
    int GrabY() const { return grabY_; }
    int StartX() const { return startX_; }
    int StartY() const { return startY_; }
    // The pane an area is being dragged out in with the Area tool, from the
    // press to the release; -1 otherwise.
    int CreatePane() const { return createPane_; }
    bool PaneDragging(int pane) const { return handDragging_[Side(pane)]; }
    QPoint PaneDragStart(int pane) const { return handStart_[Side(pane)]; }
    // The areas whose half in `pane` holds pane point (x, y), the smallest
    // half first; of two the same size, the later in list order first.
    std::vector<int> AreasAt(int pane, int x, int y);
    // The first of AreasAt; -1 for none.
    int AreaAt(int pane, int x, int y);

    // "1: 40,30-90,80   2: 80,60-180,160".
    static QString AreaText(const TAreaPair& area);
    // "x 120, y 45".
    static QString PointText(QPoint picturePoint);

private:
    static int Side(int pane) { return pane == 0 ? 0 : 1; }
    bool ValidIndex(int index);
    TAreaPair Record(int index);
    void PaintBoth();
    void Select(int index);
    std::optional<TAreaPair> CurrentRecord();
    void RepaintAreas(std::span<const TAreaPair> areas);
    void MapNewArea(int pane, int ex, int ey);
    void RecordChange(int index, const TAreaPair& before, int currentBefore, bool nudge);

    TAreaEditorHost& host_;
    QUndoStack history_;
    TAreaTool tool_ = TAreaTool::Area;
    int grip_ = 0;
    int dragging_ = 0;
    int grabX_ = 0;
    int grabY_ = 0;
    int startX_ = 0;
    int startY_ = 0;
    int createPane_ = -1;
    bool handDragging_[2] = {false, false};
    QPoint handStart_[2];
    int keyPane_ = 0;
    // The record and the current area at the press of a Pointer-tool drag,
    // and the current area before an Area-tool press.
    TAreaPair dragBefore_;
    int currentBefore_ = -1;
    std::uint64_t nudgeRun_ = 0;
    // Where the last Pointer-tool selection press was; a press there again,
    // with no move in between, goes on to the next larger area under it.
    int cyclePane_ = -1;
    QPoint cyclePoint_;

    friend class TAreaStep;
};
