#include "editor/areaeditor.h"

#include <QUndoCommand>

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "editor/areatools.h"
#include "vision/vision.h"

// One user step on the area list. The gestures change the list while the
// mouse moves, so a step pushed for one of them is already done: its first
// redo does nothing.
class TAreaStep : public QUndoCommand {
public:
    enum class Kind { Create, Change, Delete };
    // Keyboard moves share an id so that QUndoStack offers them for merging.
    static constexpr int kNudgeId = 1;

    TAreaStep(TAreaEditor& editor, Kind kind, int index, const TAreaPair& before,
              const TAreaPair& after, int currentBefore, int currentAfter, bool done)
        : editor_(editor),
          kind_(kind),
          index_(index),
          before_(before),
          after_(after),
          currentBefore_(currentBefore),
          currentAfter_(currentAfter),
          skipRedo_(done) {}

    void MarkNudge(int pane, std::uint64_t run) {
        nudge_ = true;
        pane_ = pane;
        run_ = run;
    }

    int id() const override { return nudge_ ? kNudgeId : -1; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const TAreaStep*>(other);
        if (!next->nudge_ || next->run_ != run_ || next->pane_ != pane_ || next->index_ != index_)
            return false;
        after_ = next->after_;
        currentAfter_ = next->currentAfter_;
        // Moves that came back to where they began leave nothing to undo.
        setObsolete(after_ == before_ && currentAfter_ == currentBefore_);
        return true;
    }

    void redo() override {
        if (skipRedo_) {
            skipRedo_ = false;
            return;
        }
        const std::optional<TAreaPair> wasCurrent = editor_.CurrentRecord();
        TDynaArray<TAreaPair>& list = editor_.host_.AreaList();
        switch (kind_) {
            case Kind::Create:
                *list.Add() = after_;
                break;
            case Kind::Change:
                Put(list, after_);
                break;
            case Kind::Delete:
                list.Delete(index_);
                break;
        }
        Apply(currentAfter_, wasCurrent);
    }

    void undo() override {
        const std::optional<TAreaPair> wasCurrent = editor_.CurrentRecord();
        TDynaArray<TAreaPair>& list = editor_.host_.AreaList();
        switch (kind_) {
            case Kind::Create:
                list.Delete(index_);
                break;
            case Kind::Change:
                Put(list, before_);
                break;
            case Kind::Delete:
                if (TAreaPair* opened = list.Insert(index_)) *opened = before_;
                break;
        }
        Apply(currentBefore_, wasCurrent);
    }

private:
    // The history matches the list unless someone changed the list behind the
    // editor's back (the document commands reset the history); even then an
    // undo must not write outside it.
    void Put(TDynaArray<TAreaPair>& list, const TAreaPair& record) const {
        if (index_ >= 0 && static_cast<std::uint32_t>(index_) < list.Count())
            *list.GotoIndex(index_) = record;
    }

    // Only what the step changed is repainted: its record before and after,
    // and the areas that lose or gain the grips.
    void Apply(int current, const std::optional<TAreaPair>& wasCurrent) {
        editor_.host_.SetCurrentArea(editor_.ValidIndex(current) ? current : -1);
        std::vector<TAreaPair> touched;
        if (kind_ != Kind::Create) touched.push_back(before_);
        if (kind_ != Kind::Delete) touched.push_back(after_);
        if (wasCurrent) touched.push_back(*wasCurrent);
        if (const std::optional<TAreaPair> now = editor_.CurrentRecord()) touched.push_back(*now);
        editor_.RepaintAreas(touched);
        editor_.host_.AreasMoving();
        editor_.host_.AreasChanged();
    }

    TAreaEditor& editor_;
    Kind kind_;
    int index_;
    TAreaPair before_;
    TAreaPair after_;
    int currentBefore_;
    int currentAfter_;
    bool skipRedo_;
    bool nudge_ = false;
    int pane_ = 0;
    std::uint64_t run_ = 0;
};

TAreaEditor::TAreaEditor(TAreaEditorHost& host) : host_(host) {}

TAreaEditor::~TAreaEditor() = default;

bool TAreaEditor::ValidIndex(int index) {
    return index >= 0 && static_cast<std::uint32_t>(index) < host_.AreaList().Count();
}

TAreaPair TAreaEditor::Record(int index) {
    return *host_.AreaList().GotoIndex(index);
}

std::optional<TAreaPair> TAreaEditor::CurrentRecord() {
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return std::nullopt;
    return Record(current);
}

void TAreaEditor::RepaintAreas(std::span<const TAreaPair> areas) {
    for (int pane : {0, 1}) {
        const int z = host_.Zoom(pane);
        QRegion dirty;
        for (const TAreaPair& a : areas) dirty += areatools::PaneHalf(a, pane, z).Covered();
        host_.RepaintPaneRegion(pane, dirty);
    }
}

void TAreaEditor::PaintBoth() {
    host_.RepaintPane(0);
    host_.RepaintPane(1);
}

void TAreaEditor::SetTool(TAreaTool tool) {
    if (tool == tool_) return;
    EndGesture();
    handDragging_[0] = handDragging_[1] = false;
    tool_ = tool;
}

void TAreaEditor::MapNewArea(int pane, int ex, int ey) {
    TDynaArray<TAreaPair>& list = host_.AreaList();
    if (list.Count() == 0) return;
    TAreaPair& area = *list.GotoIndex(static_cast<std::int32_t>(list.Count()) - 1);
    const QSize own = host_.PictureSize(pane);
    const QSize other = host_.PictureSize(1 - pane);
    areatools::CreationInput in;
    in.startX = startX_;
    in.startY = startY_;
    in.endX = ex;
    in.endY = ey;
    in.zoom = host_.Zoom(pane);
    in.ownWidth = own.width();
    in.ownHeight = own.height();
    in.otherWidth = other.width();
    in.otherHeight = other.height();
    areatools::MapCreation(in, HalfOf(area, pane), HalfOf(area, 1 - pane));
}

void TAreaEditor::RecordChange(int index, const TAreaPair& before, int currentBefore, bool nudge) {
    if (!ValidIndex(index)) return;
    const TAreaPair after = Record(index);
    if (after == before) return;
    auto step = std::make_unique<TAreaStep>(*this, TAreaStep::Kind::Change, index, before, after,
                                            currentBefore, host_.CurrentArea(), true);
    if (nudge) step->MarkNudge(keyPane_, nudgeRun_);
    history_.push(step.release());
    host_.AreasChanged();
}

void TAreaEditor::EndGesture() {
    ++nudgeRun_;
    if (dragging_ == 1) {
        dragging_ = 0;
        RecordChange(host_.CurrentArea(), dragBefore_, currentBefore_, false);
    }
    if (createPane_ >= 0) {
        createPane_ = -1;
        grip_ = 0;
        TDynaArray<TAreaPair>& list = host_.AreaList();
        if (list.Count() > 0) {
            const int last = static_cast<int>(list.Count()) - 1;
            history_.push(new TAreaStep(*this, TAreaStep::Kind::Create, last, {}, Record(last),
                                        currentBefore_, last, true));
            host_.AreasChanged();
        }
    }
}

void TAreaEditor::Press(int pane, Qt::MouseButton button, int x, int y) {
    EndGesture();
    keyPane_ = Side(pane);
    switch (tool_) {
        case TAreaTool::Zoom: {
            // The middle button only centres.
            const int step = button == Qt::LeftButton ? 10 : (button == Qt::RightButton ? -10 : 0);
            host_.ZoomAt(pane, QPoint(x, y), step);
            break;
        }
        case TAreaTool::Hand:
            handDragging_[Side(pane)] = true;
            handStart_[Side(pane)] = QPoint(x, y);
            break;
        case TAreaTool::Pointer: {
            SetCursors(x, y, pane);
            const int current = host_.CurrentArea();
            const bool again = cyclePane_ == pane && cyclePoint_ == QPoint(x, y);
            // Selection: the smallest area under the mouse (the eye, not the
            // head around it); a press on the same spot again takes the next
            // larger one, round to the smallest.
            int chosen = -1;
            if (grip_ == 0 || grip_ == 9) {
                const std::vector<int> under = AreasAt(pane, x, y);
                const auto at = std::find(under.begin(), under.end(), current);
                if (!under.empty()) chosen = under.front();
                if (again && at != under.end() && at + 1 != under.end()) chosen = *(at + 1);
            }
            if ((grip_ >= 1 && grip_ <= 8) || (grip_ == 9 && chosen == current && !again)) {
                dragging_ = 1;
                currentBefore_ = current;
                dragBefore_ = Record(currentBefore_);
                cyclePane_ = -1;
            } else {
                host_.SetCurrentArea(chosen);
                cyclePane_ = pane;
                cyclePoint_ = QPoint(x, y);
            }
            PaintBoth();
            break;
        }
        case TAreaTool::Area: {
            currentBefore_ = host_.CurrentArea();
            TDynaArray<TAreaPair>& list = host_.AreaList();
            list.Add();
            host_.SetCurrentArea(static_cast<int>(list.Count()) - 1);
            grip_ = 1;
            startX_ = x;
            startY_ = y;
            createPane_ = Side(pane);
            MapNewArea(pane, x, y);
            PaintBoth();
            host_.AreasMoving();
            break;
        }
    }
}

void TAreaEditor::Move(int pane, int x, int y) {
    if (cyclePane_ != pane || cyclePoint_ != QPoint(x, y)) cyclePane_ = -1;
    const int z = host_.Zoom(pane);
    host_.ShowMousePoint(pane, QPoint(areatools::ClampToInt(areatools::ToPicture(x, z)),
                                      areatools::ClampToInt(areatools::ToPicture(y, z))));
    if (tool_ == TAreaTool::Hand) {
        if (handDragging_[Side(pane)]) {
            const QPoint start = handStart_[Side(pane)];
            host_.ScrollBy(pane, start.x() - x, start.y() - y);
        }
        SetCursors(x, y, pane);
    } else if (dragging_ == 1 && tool_ == TAreaTool::Pointer) {
        dragit(x, y, pane);
        PaintBoth();
        host_.AreasMoving();
    } else if (tool_ == TAreaTool::Area && createPane_ == Side(pane)) {
        SetCursors(x, y, pane);
        MapNewArea(pane, x, y);
        PaintBoth();
        host_.AreasMoving();
    } else {
        SetCursors(x, y, pane);
    }
}

void TAreaEditor::Release(int pane, Qt::MouseButton, int x, int y) {
    if (tool_ == TAreaTool::Hand) {
        handDragging_[Side(pane)] = false;
    } else if (dragging_ == 1 && tool_ == TAreaTool::Pointer) {
        dragit(x, y, pane);
        PaintBoth();
        host_.AreasMoving();
        EndGesture();
    } else if (tool_ == TAreaTool::Area && createPane_ == Side(pane)) {
        // A plain click makes a 50 x 50 area; the end never shares a column
        // or a row with the start.
        if (x == startX_ && y == startY_) {
            x += 50;
            y += 50;
        }
        if (x == startX_) ++x;
        if (y == startY_) ++y;
        MapNewArea(pane, x, y);
        PaintBoth();
        host_.AreasMoving();
        EndGesture();
    }
}

int TAreaEditor::CursorSlot(int x, int y, int pane) {
    switch (tool_) {
        case TAreaTool::Zoom:
            return areatools::kZoomSlot;
        case TAreaTool::Hand:
            return areatools::kHandSlot;
        case TAreaTool::Area:
            return areatools::kAreaSlot;
        case TAreaTool::Pointer:
            break;
    }
    grip_ = 0;
    grabX_ = 0;
    grabY_ = 0;
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return areatools::kArrowSlot;
    const areatools::TPaneHalf h = areatools::PaneHalf(Record(current), pane, host_.Zoom(pane));
    const areatools::HitResult hit =
        areatools::HitTestCurrent(x, y, h.left, h.top, h.width, h.height);
    grip_ = hit.grip;
    grabX_ = areatools::ClampToInt(hit.grabX);
    grabY_ = areatools::ClampToInt(hit.grabY);
    return hit.slot;
}

void TAreaEditor::SetCursors(int x, int y, int pane) {
    host_.ShowCursorSlot(CursorSlot(x, y, pane));
}

void TAreaEditor::dragit(int x, int y, int pane) {
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return;
    TAreaPair& area = *host_.AreaList().GotoIndex(current);
    const int z = host_.Zoom(pane);
    const std::int64_t nx = areatools::DragToPicture(std::int64_t{x} - grabX_, z);
    const std::int64_t ny = areatools::DragToPicture(std::int64_t{y} - grabY_, z);
    const QSize pic = host_.PictureSize(pane);
    grip_ = areatools::DragHalf(HalfOf(area, pane), grip_, nx, ny, pic.width(), pic.height());
}

void TAreaEditor::Nudge(int dx, int dy) {
    // The mouse owns the area while it drags one.
    if (dragging_ == 1 || createPane_ >= 0) return;
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return;
    const TAreaPair before = Record(current);
    TAreaPair& area = *host_.AreaList().GotoIndex(current);
    const TAreaHalf h = HalfOf(area, keyPane_);
    const QSize pic = host_.PictureSize(keyPane_);
    areatools::DragHalf(h, 9, std::int64_t{h.left} + dx, std::int64_t{h.top} + dy, pic.width(),
                        pic.height());
    if (area == before) return;
    RecordChange(current, before, current, true);
    PaintBoth();
    host_.AreasMoving();
}

void TAreaEditor::DeleteCurrent() {
    EndGesture();
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return;
    history_.push(new TAreaStep(*this, TAreaStep::Kind::Delete, current, Record(current), {},
                                current, -1, false));
}

QString TAreaEditor::MatchCurrent() {
    EndGesture();
    const int current = host_.CurrentArea();
    if (!ValidIndex(current)) return {};
    const int model = keyPane_;
    const TAreaPair before = Record(current);
    TAreaPair after = before;
    const TAreaHalf from = HalfOf(after, model);
    const TAreaHalf present = HalfOf(after, 1 - model);
    const vision::TLoaded& matcher = vision::Load();
    if (!matcher.module) return QString::fromStdString(matcher.message);
    match::TResult result;
    try {
        // Where the other half lies now decides between copies of repeated
        // content.
        result = matcher.module->search(
            host_.Picture(model), {from.left, from.top, from.right, from.bottom},
            host_.Picture(1 - model),
            match::TRect{present.left, present.top, present.right, present.bottom});
    } catch (const std::bad_alloc&) {
        return QStringLiteral("not enough memory to match the area");
    }
    if (result.status == match::TStatus::Matched) {
        const TAreaHalf to = HalfOf(after, 1 - model);
        to.left = result.best.rect.left;
        to.top = result.best.rect.top;
        to.right = result.best.rect.right;
        to.bottom = result.best.rect.bottom;
        if (after != before)
            history_.push(new TAreaStep(*this, TAreaStep::Kind::Change, current, before, after,
                                        current, current, false));
    }
    return QString::fromStdString(matcher.module->statusText(result));
}

void TAreaEditor::Match() {
    host_.Busy(true);
    const QString text = MatchCurrent();
    host_.Busy(false);
    if (!text.isEmpty()) host_.ShowStatus(text);
}

QString TAreaEditor::FindPairsNow() {
    EndGesture();
    const vision::TLoaded& finder = vision::Load();
    if (!finder.module) return QString::fromStdString(finder.message);
    vision::TFaceFound found[2];
    try {
        for (int side = 0; side < 2; ++side) {
            std::string error;
            found[side] =
                finder.module->findFace(host_.Picture(side), vision::kCascadeFolder, error);
            if (!error.empty())
                return QString::fromStdString(error + "; install the package " +
                                              vision::kCascadePackage);
        }
    } catch (const std::bad_alloc&) {
        return QStringLiteral("not enough memory to find faces");
    }
    TDynaArray<TAreaPair>& list = host_.AreaList();
    std::vector<TAreaPair> existing;
    for (int i = 0; i < static_cast<int>(list.Count()); ++i) existing.push_back(Record(i));
    const std::vector<vision::TNewPair> added = vision::NewPairs(
        vision::PlaceFeatures(found[0]), vision::PlaceFeatures(found[1]), existing);
    if (!added.empty()) {
        // One step: Undo removes every pair that was added. The current area
        // stays as it was.
        const int current = host_.CurrentArea();
        history_.beginMacro(QStringLiteral("Find pairs"));
        int index = static_cast<int>(list.Count());
        for (const vision::TNewPair& pair : added)
            history_.push(new TAreaStep(*this, TAreaStep::Kind::Create, index++, {}, pair.area,
                                        current, current, false));
        history_.endMacro();
    }
    return QString::fromStdString(vision::FindPairsText(found[0], found[1], added));
}

void TAreaEditor::FindPairs() {
    host_.Busy(true);
    const QString text = FindPairsNow();
    host_.Busy(false);
    host_.ShowStatus(text);
}

void TAreaEditor::Select(int index) {
    EndGesture();
    host_.SetCurrentArea(index);
    PaintBoth();
}

// With no current area the first press selects the last area (Previous) or
// the first (Next), so the keyboard reaches every pair after an open.
void TAreaEditor::SelectPrevious() {
    const int count = static_cast<int>(host_.AreaList().Count());
    if (count == 0) return;
    const int current = host_.CurrentArea();
    Select(!ValidIndex(current) || current == 0 ? count - 1 : current - 1);
}

void TAreaEditor::SelectNext() {
    const int count = static_cast<int>(host_.AreaList().Count());
    if (count == 0) return;
    const int current = host_.CurrentArea();
    Select(!ValidIndex(current) || current + 1 == count ? 0 : current + 1);
}

std::vector<int> TAreaEditor::AreasAt(int pane, int x, int y) {
    const int z = host_.Zoom(pane);
    struct Found {
        int index;
        long double size;
    };
    std::vector<Found> found;
    TDynaArray<TAreaPair>& list = host_.AreaList();
    list.First();
    while (list.Next()) {
        const areatools::TPaneHalf h = areatools::PaneHalf(*list.Current(), pane, z);
        if (!h.Contains(x, y)) continue;
        const long double w = static_cast<long double>(h.right - h.left) + 1;
        const long double ht = static_cast<long double>(h.bottom - h.top) + 1;
        found.push_back({list.Index() - 1, w * ht});
    }
    // Later areas first, so that of equal sizes the later one stays ahead.
    std::reverse(found.begin(), found.end());
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.size < b.size; });
    std::vector<int> indices;
    indices.reserve(found.size());
    for (const Found& f : found) indices.push_back(f.index);
    return indices;
}

int TAreaEditor::AreaAt(int pane, int x, int y) {
    const std::vector<int> under = AreasAt(pane, x, y);
    return under.empty() ? -1 : under.front();
}

void TAreaEditor::Paint(int pane, QImage& canvas, QRect exposed) {
    const int z = host_.Zoom(pane);
    const int current = host_.CurrentArea();
    const QPoint origin = exposed.topLeft();
    TDynaArray<TAreaPair>& list = host_.AreaList();
    list.First();
    while (list.Next()) {
        const areatools::TPaneHalf h = areatools::PaneHalf(*list.Current(), pane, z);
        if (list.Index() == current + 1)
            areatools::markrec(canvas, origin, h.left, h.top, h.right - h.left + 1,
                               h.bottom - h.top + 1);
        else
            areatools::DottedRect(canvas, origin, h.left, h.top, h.right, h.bottom);
    }
}

bool TAreaEditor::Key(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier || mods == Qt::ShiftModifier) {
        const int step = mods == Qt::ShiftModifier ? 10 : 1;
        switch (key) {
            case Qt::Key_Left:
                Nudge(-step, 0);
                return true;
            case Qt::Key_Right:
                Nudge(step, 0);
                return true;
            case Qt::Key_Up:
                Nudge(0, -step);
                return true;
            case Qt::Key_Down:
                Nudge(0, step);
                return true;
            default:
                break;
        }
    }
    if (mods == Qt::ControlModifier && key == Qt::Key_F) {
        FindPairs();
        return true;
    }
    if (mods != Qt::NoModifier) return false;
    const auto choose = [this](TAreaTool tool) {
        SetTool(tool);
        host_.ToolChanged(tool);
        return true;
    };
    switch (key) {
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            DeleteCurrent();
            return true;
        case Qt::Key_M:
            Match();
            return true;
        case Qt::Key_F:
            host_.FitPanes();
            return true;
        case Qt::Key_V:
            host_.ToggleLiveView();
            return true;
        case Qt::Key_P:
            return choose(TAreaTool::Pointer);
        case Qt::Key_Z:
            return choose(TAreaTool::Zoom);
        case Qt::Key_H:
            return choose(TAreaTool::Hand);
        case Qt::Key_A:
            return choose(TAreaTool::Area);
        default:
            return false;
    }
}

void TAreaEditor::Undo() {
    EndGesture();
    history_.undo();
}

void TAreaEditor::Redo() {
    EndGesture();
    history_.redo();
}

void TAreaEditor::Reset() {
    cyclePane_ = -1;
    dragging_ = 0;
    createPane_ = -1;
    grip_ = 0;
    handDragging_[0] = handDragging_[1] = false;
    ++nudgeRun_;
    history_.clear();
}

QString TAreaEditor::AreaText(const TAreaPair& a) {
    return QStringLiteral("1: %1,%2-%3,%4   2: %5,%6-%7,%8")
        .arg(a.Left1)
        .arg(a.Top1)
        .arg(a.Right1)
        .arg(a.Bottom1)
        .arg(a.Left2)
        .arg(a.Top2)
        .arg(a.Right2)
        .arg(a.Bottom2);
}

QString TAreaEditor::PointText(QPoint p) {
    return QStringLiteral("x %1, y %2").arg(p.x()).arg(p.y());
}
