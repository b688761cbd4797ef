// The area editor without a window: the four tools, the cursor choice, the
// keyboard moves and the undo history, driven through a host that records
// what the editor asks of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/zoommapping.h"
#include "editor/areaeditor.h"
#include "editor/areatools.h"
#include "raster/dib.h"

namespace {

class TFakeHost : public TAreaEditorHost {
public:
    TDynaArray<TAreaPair>& AreaList() override { return list; }
    int CurrentArea() const override { return current; }
    void SetCurrentArea(int index) override { current = index; }
    QSize PictureSize(int pane) const override { return picture[pane]; }
    const raster::DibRecord& Picture(int) const override { return pixels; }
    int Zoom(int pane) const override { return zoom[pane]; }
    void ZoomAt(int pane, QPoint at, int step) override {
        zoomRequests.push_back({pane, at, step});
        zoom[pane] = std::clamp(zoom[pane] + step, 10, 300);
    }
    void ScrollBy(int pane, int dx, int dy) override {
        const int w = static_cast<int>(zoommapping::ToPane(picture[pane].width(), zoom[pane]));
        const int h = static_cast<int>(zoommapping::ToPane(picture[pane].height(), zoom[pane]));
        scroll[pane] = {std::clamp(scroll[pane].x() + dx, 0, std::max(0, w - 1)),
                        std::clamp(scroll[pane].y() + dy, 0, std::max(0, h - 1))};
    }
    void RepaintPane(int pane) override {
        ++repaints[pane];
        dirty[pane] += QRect(-100000, -100000, 200000, 200000);
    }
    void RepaintPaneRegion(int pane, const QRegion& region) override { dirty[pane] += region; }
    void ShowCursorSlot(int slot) override { cursor = slot; }
    void ShowMousePoint(int pane, QPoint p) override {
        mousePane = pane;
        mousePoint = p;
    }
    void AreasChanged() override { ++changes; }
    void ToolChanged(TAreaTool tool) override { shownTool = tool; }
    void ShowStatus(const QString& text) override { status = text; }
    void Busy(bool on) override { busy.push_back(on); }

    struct ZoomRequest {
        int pane;
        QPoint at;
        int step;
        bool operator==(const ZoomRequest&) const = default;
    };
    std::vector<ZoomRequest> zoomRequests;
    std::optional<TAreaTool> shownTool;
    QString status;
    std::vector<bool> busy;

    TAreaPair* ptr = nullptr;
    TDynaArray<TAreaPair> list{&ptr};
    int current = -1;
    QSize picture[2] = {{320, 200}, {640, 400}};
    int zoom[2] = {100, 100};
    QPoint scroll[2];
    int repaints[2] = {0, 0};
    int cursor = 0;
    int mousePane = -1;
    QPoint mousePoint;
    int changes = 0;
    QRegion dirty[2];
    raster::DibRecord pixels;
};

class AreaEditorTest : public ::testing::Test {
protected:
    void Click(int pane, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        editor.Press(pane, b, p.x(), p.y());
        editor.Release(pane, b, p.x(), p.y());
    }
    void Drag(int pane, QPoint from, QPoint to) {
        editor.Press(pane, Qt::LeftButton, from.x(), from.y());
        editor.Move(pane, to.x(), to.y());
        editor.Release(pane, Qt::LeftButton, to.x(), to.y());
    }
    void Add(const TAreaPair& a) { *host.list.Add() = a; }
    std::vector<TAreaPair> Areas() {
        std::vector<TAreaPair> out;
        host.list.First();
        while (host.list.Next()) out.push_back(*host.ptr);
        return out;
    }
    void Select(int index, TAreaTool tool = TAreaTool::Pointer) {
        host.current = index;
        editor.SetTool(tool);
    }

    TFakeHost host;
    TAreaEditor editor{host};
};

struct CreationCase {
    const char* name;
    int pane;
    int zoom0, zoom1;
    QPoint from, to;
    TAreaPair expected;
};

class AreaCreation : public AreaEditorTest, public ::testing::WithParamInterface<CreationCase> {};

}  // namespace

TEST_P(AreaCreation, MapsBothHalvesFromTheOwnPaneAndIsOneStep) {
    const CreationCase& c = GetParam();
    host.zoom[0] = c.zoom0;
    host.zoom[1] = c.zoom1;
    Add({1, 2, 3, 4, 5, 6, 7, 8});
    host.current = 0;
    editor.Press(c.pane, Qt::LeftButton, c.from.x(), c.from.y());
    EXPECT_EQ(editor.Grip(), 1);
    EXPECT_EQ(editor.CreatePane(), c.pane);
    EXPECT_EQ(host.current, 1);
    // Moves in the other pane change nothing.
    editor.Move(1 - c.pane, 5, 5);
    editor.Move(c.pane, c.to.x(), c.to.y());
    editor.Release(c.pane, Qt::LeftButton, c.to.x(), c.to.y());
    EXPECT_EQ(editor.Grip(), 0);
    EXPECT_EQ(editor.CreatePane(), -1);
    ASSERT_EQ(host.list.Count(), 2u);
    EXPECT_EQ(*host.list.GotoIndex(1), c.expected);
    EXPECT_EQ(host.current, 1);
    EXPECT_EQ(host.cursor, 13);
    // Moves after the release change nothing.
    editor.Move(c.pane, 1, 1);
    EXPECT_EQ(*host.list.GotoIndex(1), c.expected);

    ASSERT_EQ(editor.History().count(), 1);
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{{1, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_EQ(host.current, 0);
    editor.Redo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{{1, 2, 3, 4, 5, 6, 7, 8}, c.expected}));
    EXPECT_EQ(host.current, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, AreaCreation,
    ::testing::Values(
        CreationCase{"click", 0, 100, 100, {40, 30}, {40, 30}, {40, 30, 90, 80, 80, 60, 180, 160}},
        CreationCase{
            "leftwards", 0, 100, 100, {100, 100}, {60, 70}, {100, 100, 60, 70, 200, 200, 120, 140}},
        CreationCase{
            "own zoom only", 0, 200, 50, {20, 20}, {120, 80}, {10, 10, 60, 40, 20, 20, 120, 80}},
        CreationCase{"right pane, same column",
                     1,
                     100,
                     100,
                     {200, 100},
                     {200, 300},
                     {100, 50, 100, 150, 200, 100, 201, 300}},
        CreationCase{"past the picture",
                     0,
                     100,
                     100,
                     {-20, 190},
                     {400, 250},
                     {-20, 190, 400, 250, -40, 380, 800, 500}}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace_if(
            n.begin(), n.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        return n;
    });

TEST_F(AreaEditorTest, PointerSelectsTheSmallestAreaUnderTheMouseCyclesOnAndRecordsNothing) {
    Add({10, 10, 100, 100, 0, 0, 0, 0});  // the head
    Add({40, 40, 60, 60, 0, 0, 0, 0});    // an eye in it
    Add({200, 10, 250, 60, 0, 0, 0, 0});
    Add({200, 10, 250, 60, 0, 0, 0, 0});  // the same size: the later wins
    editor.SetTool(TAreaTool::Pointer);
    Drag(0, {20, 20}, {30, 30});  // selects the head, starts no drag
    EXPECT_EQ(host.current, 0);
    EXPECT_EQ(editor.Dragging(), 0);
    EXPECT_EQ(host.list.GotoIndex(0)->Left1, 10);
    // Inside the current head, on the eye: the eye, not a move of the head.
    Click(0, {50, 50});
    EXPECT_EQ(host.current, 1);
    EXPECT_EQ(host.list.GotoIndex(0)->Left1, 10);
    // The same spot again without a move: the next larger, then round.
    Click(0, {50, 50});
    EXPECT_EQ(host.current, 0);
    Click(0, {50, 50});
    EXPECT_EQ(host.current, 1);
    // After a move, a press inside the current eye moves it.
    editor.Move(0, 51, 50);
    editor.Press(0, Qt::LeftButton, 51, 50);
    EXPECT_EQ(editor.Dragging(), 1);
    editor.Release(0, Qt::LeftButton, 51, 50);
    Click(0, {220, 30});
    EXPECT_EQ(host.current, 3);
    Click(0, {300, 190});
    EXPECT_EQ(host.current, -1);
    // A press on the current area that moves nothing is no step either.
    Select(2);
    editor.Move(0, 230, 40);
    Click(0, {230, 40});
    EXPECT_EQ(editor.History().count(), 0);
    EXPECT_EQ(host.changes, 0);
}

TEST_F(AreaEditorTest, CursorSlotsFollowTheToolAndTheGripUnderTheMouse) {
    const struct {
        TAreaTool tool;
        int slot;
    } tools[] = {{TAreaTool::Area, 13},
                 {TAreaTool::Zoom, 11},
                 {TAreaTool::Hand, 9},
                 {TAreaTool::Pointer, 10}};
    for (const auto& t : tools) {
        editor.SetTool(t.tool);
        editor.Move(0, 5, 5);
        EXPECT_EQ(host.cursor, t.slot);
    }
    Add({100, 100, 149, 129, 0, 0, 0, 0});
    host.current = 0;
    const struct {
        QPoint p;
        int slot;
    } spots[] = {
        {{100, 100}, 1}, {{150, 100}, 2}, {{100, 130}, 3}, {{150, 130}, 4},  {{125, 100}, 5},
        {{125, 130}, 6}, {{100, 115}, 7}, {{150, 115}, 8}, {{120, 110}, 9},  {{10, 10}, 10},
        {{94, 94}, 1},   {{93, 97}, 10},  {{156, 136}, 4}, {{157, 133}, 10}, {{104, 104}, 9},
    };
    for (const auto& s : spots) {
        SCOPED_TRACE(s.p.x());
        editor.Move(0, s.p.x(), s.p.y());
        EXPECT_EQ(host.cursor, s.slot);
        EXPECT_EQ(editor.Grip(), s.slot % 10);
    }
    // The right pane tests its own half (a single point at 0, 0), at its
    // zoom: the nearest corner, at (1, 1).
    editor.Move(1, 2, 2);
    EXPECT_EQ(editor.Grip(), 4);
    EXPECT_EQ(editor.GrabX(), 1);
    EXPECT_EQ(editor.GrabY(), 1);
    EXPECT_EQ(host.mousePane, 1);
    EXPECT_EQ(host.mousePoint, QPoint(2, 2));
}

TEST_F(AreaEditorTest, GripsMirrorMovesStopAtThePictureEdgesAndEachDragIsOneStep) {
    Add({100, 100, 149, 149, 0, 0, 99, 99});
    Select(0);
    // The right-middle grip dragged past the left edge becomes the left-middle.
    editor.Press(0, Qt::LeftButton, 150, 125);
    EXPECT_EQ(editor.Grip(), 8);
    EXPECT_EQ(editor.Dragging(), 1);
    editor.Move(0, 80, 125);
    EXPECT_EQ(editor.Grip(), 7);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{80, 100, 99, 149, 0, 0, 99, 99}));
    editor.Release(0, Qt::LeftButton, 70, 125);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{70, 100, 99, 149, 0, 0, 99, 99}));
    EXPECT_EQ(editor.Dragging(), 0);

    // Moving far out of the pane: the right edge stops at column -1, the left
    // edge at the last column.
    editor.Press(0, Qt::LeftButton, 80, 120);
    EXPECT_EQ(editor.Grip(), 9);
    editor.Move(0, -900, -900);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{-30, -50, -1, -1, 0, 0, 99, 99}));
    editor.Release(0, Qt::LeftButton, 5000, 5000);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{319, 199, 348, 248, 0, 0, 99, 99}));

    // At zoom 50 in the right pane: the grabbed point lands at p / z x 100.
    host.zoom[1] = 50;
    editor.Press(1, Qt::LeftButton, 20, 20);
    EXPECT_EQ(editor.Grip(), 9);
    editor.Release(1, Qt::LeftButton, 30, 40);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{319, 199, 348, 248, 20, 40, 119, 139}));

    ASSERT_EQ(editor.History().count(), 3);
    for (const TAreaPair& before :
         {TAreaPair{319, 199, 348, 248, 0, 0, 99, 99}, TAreaPair{70, 100, 99, 149, 0, 0, 99, 99},
          TAreaPair{100, 100, 149, 149, 0, 0, 99, 99}}) {
        editor.Undo();
        EXPECT_EQ(*host.list.GotoIndex(0), before);
        EXPECT_EQ(host.current, 0);
    }
    EXPECT_FALSE(editor.History().canUndo());
}

TEST_F(AreaEditorTest, ZoomToolAsksThePaneToZoomAtTheClickedPoint) {
    editor.SetTool(TAreaTool::Zoom);
    Click(0, {800, 700});
    Click(1, {10, 20}, Qt::RightButton);
    // The middle button only centres.
    Click(0, {5, 6}, Qt::MiddleButton);
    using R = TFakeHost::ZoomRequest;
    EXPECT_EQ(host.zoomRequests,
              (std::vector<R>{{0, {800, 700}, 10}, {1, {10, 20}, -10}, {0, {5, 6}, 0}}));
    EXPECT_EQ(host.list.Count(), 0u);
    EXPECT_EQ(editor.History().count(), 0);
}

TEST_F(AreaEditorTest, HandToolScrollsEachPaneWithTheMouseAndStopsAtZero) {
    host.picture[0] = {1920, 1080};
    editor.SetTool(TAreaTool::Hand);
    Drag(0, {300, 300}, {350, 320});
    EXPECT_EQ(host.scroll[0], QPoint(0, 0));
    editor.Press(0, Qt::LeftButton, 300, 300);
    EXPECT_TRUE(editor.PaneDragging(0));
    EXPECT_FALSE(editor.PaneDragging(1));
    EXPECT_EQ(editor.PaneDragStart(0), QPoint(300, 300));
    editor.Move(0, 250, 260);
    EXPECT_EQ(host.scroll[0], QPoint(50, 40));
    editor.Move(1, 0, 0);  // the other pane is not being dragged
    EXPECT_EQ(host.scroll[1], QPoint(0, 0));
    editor.Release(0, Qt::LeftButton, 250, 260);
    editor.Move(0, 100, 100);
    EXPECT_EQ(host.scroll[0], QPoint(50, 40));
    EXPECT_EQ(host.cursor, 9);
}

TEST_F(AreaEditorTest, ThePagesKeysMoveDeleteMatchChooseToolsAndLeaveOthersAlone) {
    Add({10, 10, 29, 29, 10, 10, 29, 29});
    Add({50, 50, 69, 69, 50, 50, 69, 69});
    host.current = 1;
    EXPECT_TRUE(editor.Key(Qt::Key_Right, Qt::NoModifier));
    EXPECT_TRUE(editor.Key(Qt::Key_Down, Qt::ShiftModifier | Qt::KeypadModifier));
    EXPECT_EQ(*host.list.GotoIndex(1), (TAreaPair{51, 60, 70, 79, 50, 50, 69, 69}));
    EXPECT_EQ(editor.History().count(), 1);  // one run of moves, one step

    // Keys with Ctrl or Alt belong to the window's shortcuts.
    EXPECT_FALSE(editor.Key(Qt::Key_Left, Qt::ControlModifier));
    EXPECT_FALSE(editor.Key(Qt::Key_P, Qt::AltModifier));
    EXPECT_FALSE(editor.Key(Qt::Key_Q, Qt::NoModifier));

    for (const auto& [key, tool] :
         {std::pair{Qt::Key_Z, TAreaTool::Zoom}, std::pair{Qt::Key_H, TAreaTool::Hand},
          std::pair{Qt::Key_P, TAreaTool::Pointer}, std::pair{Qt::Key_A, TAreaTool::Area}}) {
        EXPECT_TRUE(editor.Key(key, Qt::NoModifier));
        EXPECT_EQ(editor.Tool(), tool);
        EXPECT_EQ(host.shownTool, tool);
    }

    // M searches while the host shows it is busy, then says what it found.
    host.status.clear();
    EXPECT_TRUE(editor.Key(Qt::Key_M, Qt::NoModifier));
    EXPECT_EQ(host.busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(host.status.isEmpty());

    // Esc and Delete both delete the current area; without one they do nothing.
    EXPECT_TRUE(editor.Key(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_EQ(host.list.Count(), 1u);
    EXPECT_EQ(host.current, -1);
    EXPECT_TRUE(editor.Key(Qt::Key_Delete, Qt::NoModifier));
    EXPECT_EQ(host.list.Count(), 1u);
}

TEST_F(AreaEditorTest, PreviousAndNextGoRoundTheListAndEndAGesture) {
    for (int i = 0; i < 3; ++i) Add({i, i, i + 9, i + 9, i, i, i + 9, i + 9});
    editor.SelectNext();  // nothing current: the first press takes the first or the last
    EXPECT_EQ(host.current, 0);
    host.current = -1;
    editor.SelectPrevious();
    EXPECT_EQ(host.current, 2);
    editor.SelectNext();
    EXPECT_EQ(host.current, 0);
    editor.SelectPrevious();
    EXPECT_EQ(host.current, 2);
    editor.SelectPrevious();
    EXPECT_EQ(host.current, 1);

    // A drag in progress becomes a step before the current area changes.
    editor.SetTool(TAreaTool::Pointer);
    editor.Press(0, Qt::LeftButton, 1, 1);
    editor.Move(0, 8, 9);
    editor.SelectNext();
    EXPECT_EQ(editor.Dragging(), 0);
    EXPECT_EQ(editor.History().count(), 1);
    EXPECT_EQ(host.current, 2);
}

TEST_F(AreaEditorTest, PaintDrawsEachPanesOwnHalfAtItsZoomWhereverTheCanvasStarts) {
    host.picture[1] = {320, 200};
    host.zoom[1] = 200;
    Add({10, 10, 29, 29, 40, 30, 59, 49});
    Add({100, 100, 119, 119, 5, 5, 9, 9});
    host.current = 0;
    // The whole pane, then a canvas that starts inside it: the same pixels.
    QImage whole(640, 400, QImage::Format_RGB32);
    whole.fill(Qt::white);
    editor.Paint(1, whole, whole.rect());
    QImage part(100, 80, QImage::Format_RGB32);
    part.fill(Qt::white);
    editor.Paint(1, part, QRect(60, 40, 100, 80));
    EXPECT_EQ(part, whole.copy(60, 40, 100, 80));
    // The current area's half at (80, 60)-(118, 98) in pane pixels, with a
    // black grip on its top-left corner; the other half dotted at (10, 10).
    EXPECT_EQ(whole.pixel(80, 60), qRgb(0, 0, 0));
    EXPECT_EQ(whole.pixel(99, 60), qRgb(0, 0, 0));
    EXPECT_EQ(whole.pixel(99, 70), qRgb(255, 255, 255));
    EXPECT_EQ(whole.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(whole.pixel(11, 10), qRgb(255, 255, 255));
    // Nothing of picture 1's halves shows in picture 2's pane.
    EXPECT_EQ(whole.pixel(200, 200), qRgb(255, 255, 255));
}

TEST_F(AreaEditorTest, DeleteUndoRestoresOrderAndTheCurrentArea) {
    const TAreaPair a{1, 1, 5, 5, 1, 1, 5, 5}, b{2, 2, 6, 6, 2, 2, 6, 6}, c{3, 3, 7, 7, 3, 3, 7, 7};
    for (const TAreaPair& p : {a, b, c}) Add(p);
    editor.DeleteCurrent();  // nothing current: nothing happens
    EXPECT_EQ(editor.History().count(), 0);
    host.current = 1;
    editor.DeleteCurrent();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{a, c}));
    EXPECT_EQ(host.current, -1);
    host.current = 0;
    editor.DeleteCurrent();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{c}));
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{a, c}));
    EXPECT_EQ(host.current, 0);
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{a, b, c}));
    EXPECT_EQ(host.current, 1);
    editor.Redo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{a, c}));
    EXPECT_EQ(host.current, -1);
    // A new step drops what could be redone.
    host.current = 1;
    editor.DeleteCurrent();
    EXPECT_FALSE(editor.History().canRedo());
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{a}));
    EXPECT_GT(host.changes, 0);
}

TEST_F(AreaEditorTest, DeleteDuringADragOrACreationKeepsBothAsSteps) {
    Add({10, 10, 50, 50, 0, 0, 0, 0});
    Select(0);
    editor.Press(0, Qt::LeftButton, 30, 30);
    editor.Move(0, 40, 30);
    editor.DeleteCurrent();
    editor.Move(0, 90, 90);  // the area is gone: nothing is written
    editor.Release(0, Qt::LeftButton, 90, 90);
    EXPECT_EQ(host.list.Count(), 0u);
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{{20, 10, 60, 50, 0, 0, 0, 0}}));
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{{10, 10, 50, 50, 0, 0, 0, 0}}));

    editor.SetTool(TAreaTool::Area);
    editor.Press(0, Qt::LeftButton, 40, 30);
    editor.DeleteCurrent();
    editor.Release(0, Qt::LeftButton, 60, 60);
    EXPECT_EQ(host.list.Count(), 1u);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(Areas(), (std::vector<TAreaPair>{{10, 10, 50, 50, 0, 0, 0, 0}}));
    EXPECT_EQ(host.current, 0);
}

TEST_F(AreaEditorTest, ANudgeRunOfOneHalfIsOneStepAndKeepsDragitsClamps) {
    Add({100, 100, 149, 149, 10, 10, 19, 19});
    Add({0, 0, 9, 9, 0, 0, 9, 9});
    host.current = 0;
    // Before any press the keys act on the left pane's half.
    editor.Nudge(1, 0);
    editor.Nudge(1, 0);
    editor.Nudge(0, 1);
    editor.Nudge(-10, 0);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{92, 101, 141, 150, 10, 10, 19, 19}));
    ASSERT_EQ(editor.History().count(), 1);
    editor.Undo();
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{100, 100, 149, 149, 10, 10, 19, 19}));

    // A press in the right pane moves the keys there; the run starts anew.
    editor.Nudge(0, -1);
    editor.SetTool(TAreaTool::Pointer);
    Click(1, {15, 15});
    EXPECT_EQ(editor.KeyPane(), 1);
    editor.Nudge(0, -10);
    editor.Nudge(0, -10);
    editor.Nudge(-30, 0);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{100, 99, 149, 148, -10, -10, -1, -1}));
    EXPECT_EQ(editor.History().count(), 2);
    // At the edge a move changes nothing and records nothing.
    editor.Nudge(-1, -1);
    EXPECT_EQ(editor.History().count(), 2);
    editor.Undo();
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{100, 99, 149, 148, 10, 10, 19, 19}));

    // Moves that come back to where they began leave no step.
    editor.Nudge(1, 0);
    editor.Nudge(-1, 0);
    EXPECT_EQ(editor.History().count(), 1);
    EXPECT_FALSE(editor.History().canRedo());
    // Another current area is another run.
    editor.Nudge(1, 0);
    host.current = 1;
    editor.EndGesture();
    editor.Nudge(1, 0);
    EXPECT_EQ(editor.History().count(), 3);
    // No current area, or the mouse dragging: the keys do nothing.
    host.current = -1;
    editor.Nudge(1, 0);
    host.current = 1;
    editor.Press(1, Qt::LeftButton, 5, 5);
    editor.Nudge(1, 0);
    EXPECT_EQ(*host.list.GotoIndex(1), (TAreaPair{0, 0, 9, 9, 1, 0, 10, 9}));
}

TEST_F(AreaEditorTest, ResetForgetsTheHistoryAndAnyGesture) {
    editor.Press(0, Qt::LeftButton, 10, 10);
    host.list.Clear();
    host.current = -1;
    editor.Reset();
    EXPECT_EQ(editor.CreatePane(), -1);
    EXPECT_EQ(editor.History().count(), 0);
    editor.Move(0, 50, 50);
    editor.Release(0, Qt::LeftButton, 50, 50);
    EXPECT_EQ(host.list.Count(), 0u);
    EXPECT_EQ(editor.History().count(), 0);
}

TEST_F(AreaEditorTest, AListChangedBehindTheHistorysBackIsNeverWrittenOutside) {
    Add({10, 10, 50, 50, 0, 0, 9, 9});
    Add({60, 60, 90, 90, 0, 0, 9, 9});
    host.current = 1;
    editor.Nudge(5, 0);
    editor.DeleteCurrent();
    host.list.Clear();
    host.current = -1;
    for (int i = 0; i < 2; ++i) editor.Undo();
    ASSERT_EQ(host.list.Count(), 0u);
    EXPECT_EQ(host.current, -1);
    for (int i = 0; i < 2; ++i) editor.Redo();
    EXPECT_EQ(host.list.Count(), 0u);
    EXPECT_EQ(host.current, -1);
}

TEST_F(AreaEditorTest, UndoOnALongListTouchesOnlyItsStep) {
    std::vector<TAreaPair> all;
    for (int i = 0; i < 1000; ++i) {
        all.push_back({i % 300, i % 190, i % 300 + 5, i % 190 + 5, -i, -i, 3 * i, 4 * i});
        Add(all.back());
    }
    host.current = 0;
    editor.DeleteCurrent();
    host.current = 998;
    editor.Nudge(-1, 0);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(Areas(), all);
    EXPECT_EQ(host.current, 0);
    editor.Redo();
    editor.Redo();
    all.erase(all.begin());
    all[998].Left1 -= 1;
    all[998].Right1 -= 1;
    EXPECT_EQ(Areas(), all);
}

TEST(AreaEditorTexts, PointAndAreaAsThePositionLabelShowsThem) {
    EXPECT_EQ(TAreaEditor::PointText({120, 45}), QStringLiteral("x 120, y 45"));
    EXPECT_EQ(TAreaEditor::AreaText({40, 30, 90, 80, 80, 60, 180, 160}),
              QStringLiteral("1: 40,30-90,80   2: 80,60-180,160"));
    EXPECT_EQ(TAreaEditor::AreaText({-1, 0, 0, 0, 0, 0, 0, -7}),
              QStringLiteral("1: -1,0-0,0   2: 0,0-0,-7"));
}

namespace {

// The outlines of a pane as the window draws them over its picture.
QImage Outlines(TFakeHost& host, int pane) {
    QImage canvas(800, 500, QImage::Format_RGB32);
    canvas.fill(0xFF808080u);
    const int z = host.zoom[pane];
    for (std::uint32_t i = 0; i < host.list.Count(); ++i) {
        TAreaPair a = *host.list.GotoIndex(static_cast<std::int32_t>(i));
        const TAreaHalf h = HalfOf(a, pane);
        const std::int64_t l = areatools::ToPane(h.left, z), t = areatools::ToPane(h.top, z);
        const std::int64_t r = areatools::ToPane(h.right, z), b = areatools::ToPane(h.bottom, z);
        if (static_cast<int>(i) == host.current)
            areatools::markrec(canvas, {0, 0}, l, t, r - l + 1, b - t + 1);
        else
            areatools::DottedRect(canvas, {0, 0}, l, t, r, b);
    }
    return canvas;
}

}  // namespace

class UndoRepaint : public AreaEditorTest, public ::testing::WithParamInterface<int> {};

TEST_P(UndoRepaint, EveryPixelAStepChangesIsInsideTheRepaintedPart) {
    host.zoom[0] = host.zoom[1] = GetParam();
    Add({10, 10, 60, 40, 5, 5, 30, 30});
    Add({100, 20, 70, 90, 120, 150, 200, 220});  // drawn leftwards
    Add({150, 150, 199, 199, 20, 200, 90, 260});
    // The steps: a creation, a drag of a grip, keyboard moves, a deletion;
    // between them other areas become current without a step.
    editor.Press(0, Qt::LeftButton, 30, 120);
    editor.Release(0, Qt::LeftButton, 80, 170);
    Select(0);
    const int g = static_cast<int>(areatools::ToPane(60, GetParam()));
    editor.Press(0, Qt::LeftButton, g + 1, static_cast<int>(areatools::ToPane(10, GetParam())));
    editor.Release(0, Qt::LeftButton, g + 40, 2);
    host.current = 2;
    editor.Nudge(-10, 0);
    editor.Nudge(0, 10);
    host.current = 1;
    editor.DeleteCurrent();
    ASSERT_EQ(editor.History().count(), 4);
    host.current = 2;

    auto check = [&](bool undo, int step) {
        SCOPED_TRACE(::testing::Message() << (undo ? "undo " : "redo ") << step);
        const QImage before[2] = {Outlines(host, 0), Outlines(host, 1)};
        host.dirty[0] = host.dirty[1] = QRegion();
        if (undo)
            editor.Undo();
        else
            editor.Redo();
        for (int pane : {0, 1}) {
            const QImage after = Outlines(host, pane);
            int changed = 0;
            for (int y = 0; y < after.height(); ++y)
                for (int x = 0; x < after.width(); ++x)
                    if (after.pixel(x, y) != before[pane].pixel(x, y)) {
                        ++changed;
                        ASSERT_TRUE(host.dirty[pane].contains(QPoint(x, y)))
                            << "pane " << pane << " at " << x << "," << y;
                    }
            EXPECT_GT(changed, 0) << "pane " << pane;
        }
    };
    for (int step = 4; step >= 1; --step) check(true, step);
    for (int step = 1; step <= 4; ++step) check(false, step);
}

INSTANTIATE_TEST_SUITE_P(Zooms, UndoRepaint, ::testing::Values(100, 50, 300, 30));
