// Undo and redo of one step on a list of 1,000 areas: the editor alone, with
// a host that only holds the list; in the window, up to the repaint request;
// and in the window with the panes (1280 x 800 each) painted where the step
// changed them after each undo and each redo. A frame at 60
// pictures per second is 16.7 ms. Each iteration is one undo and one redo.
#include <QApplication>
#include <QScrollBar>
#include <QTabWidget>

#include <benchmark/benchmark.h>

#include <vector>

#include "app/mainform.h"
#include "controls/zoompane.h"
#include "editor/areaeditor.h"

namespace {

constexpr int kAreas = 1000;

TAreaPair AreaNumber(int i) {
    const int l = (i * 37) % 1700;
    const int t = (i * 53) % 900;
    return {l, t, l + 150, t + 100, l + 10, t + 5, l + 140, t + 120};
}

class TListHost : public TAreaEditorHost {
public:
    TListHost() {
        for (int i = 0; i < kAreas; ++i) *list.Add() = AreaNumber(i);
    }
    TDynaArray<TAreaPair>& AreaList() override { return list; }
    int CurrentArea() const override { return current; }
    void SetCurrentArea(int index) override { current = index; }
    QSize PictureSize(int) const override { return {1920, 1080}; }
    const raster::DibRecord& Picture(int) const override { return picture; }
    int Zoom(int) const override { return 100; }
    void ZoomAt(int, QPoint, int) override {}
    void ScrollBy(int, int, int) override {}
    void RepaintPane(int) override {}
    void ShowCursorSlot(int) override {}
    void ShowMousePoint(int, QPoint) override {}

    TAreaPair* ptr = nullptr;
    TDynaArray<TAreaPair> list{&ptr};
    int current = -1;
    raster::DibRecord picture;
};

// The step undone and redone: deleting the first area (every record behind
// it moves) or a run of keyboard moves of the last one.
enum class Step { DeleteFirst, NudgeLast };

template <typename SetCurrent>
void MakeStep(TAreaEditor& editor, SetCurrent setCurrent, Step step) {
    if (step == Step::DeleteFirst) {
        setCurrent(0);
        editor.DeleteCurrent();
    } else {
        setCurrent(kAreas - 1);
        for (int i = 0; i < 5; ++i) editor.Nudge(1, 0);
    }
}

void UndoRedoModel(benchmark::State& state, Step step) {
    TListHost host;
    TAreaEditor editor(host);
    const auto setCurrent = [&host](int index) { host.current = index; };
    MakeStep(editor, setCurrent, step);
    for (auto _ : state) {
        editor.Undo();
        editor.Redo();
        benchmark::DoNotOptimize(host.list.Data());
    }
    state.counters["steps"] = static_cast<double>(editor.History().count());
}

// Lives until main ends, before the application object goes.
std::unique_ptr<TMainForm> form;

void UndoRedoWindow(benchmark::State& state, Step step, bool paint) {
    form = std::make_unique<TMainForm>();
    form->SetPictures(raster::newdib(1920, 1080, 24), raster::newdib(1920, 1080, 24));
    std::vector<TAreaPair> areas;
    for (int i = 0; i < kAreas; ++i) areas.push_back(AreaNumber(i));
    form->SetAreas(areas);
    form->show();
    form->PageControl2->setCurrentIndex(1);
    form->resize(3000, 1300);
    for (TZoomPane* pane : {form->ScrollBox3, form->ScrollBox4}) {
        for (int i = 0; i < 3; ++i) {
            pane->setFixedSize(QSize(1280, 800) + pane->size() - pane->viewport()->size());
            QApplication::processEvents();
        }
    }
    const auto setCurrent = [](int index) { form->SetCurrentArea(index); };
    MakeStep(form->Editor(), setCurrent, step);
    QApplication::processEvents();
    for (auto _ : state) {
        for (bool undo : {true, false}) {
            if (undo)
                form->UndoBtnClick();
            else
                form->RedoBtnClick();
            // The step asks for the paint of what it changed; let it happen
            // now, as the screen would.
            if (paint) QApplication::processEvents();
        }
    }
    state.counters["steps"] = static_cast<double>(form->Editor().History().count());
    form.reset();
}

void BM_UndoRedo_DeleteFirstOf1000_Editor(benchmark::State& s) {
    UndoRedoModel(s, Step::DeleteFirst);
}
void BM_UndoRedo_NudgeRunOf1000_Editor(benchmark::State& s) {
    UndoRedoModel(s, Step::NudgeLast);
}
void BM_UndoRedo_DeleteFirstOf1000_Window(benchmark::State& s) {
    UndoRedoWindow(s, Step::DeleteFirst, false);
}
void BM_UndoRedo_DeleteFirstOf1000_WindowPainted(benchmark::State& s) {
    UndoRedoWindow(s, Step::DeleteFirst, true);
}

}  // namespace

BENCHMARK(BM_UndoRedo_DeleteFirstOf1000_Editor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_NudgeRunOf1000_Editor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DeleteFirstOf1000_Window)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UndoRedo_DeleteFirstOf1000_WindowPainted)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    form.reset();
    return 0;
}
