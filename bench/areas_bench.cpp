// One drag step in the area editor: a mouse move that moves the current area
// (dragit) and repaints both panes, on two 1920 x 1080 pictures with 20 areas,
// each pane showing 1280 x 800 pixels; beside it the floor of drawing two
// unscaled 1280 x 800 images.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <vector>

#include "app/mainform.h"
#include "bench/bench_support.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "editor/areaeditor.h"

namespace {

constexpr QSize kViewport(1280, 800);

// Lives until main ends, before the application object goes.
std::unique_ptr<TMainForm> form;

TMainForm& Scene(int zoom) {
    if (!form) {
        form = std::make_unique<TMainForm>();
        form->SetPictures(bench_support::Picture(1920, 1080, 1),
                          bench_support::Picture(1920, 1080, 2));
        std::vector<TAreaPair> areas;
        for (int i = 0; i < 20; ++i) {
            const int l = 40 + (i % 5) * 360;
            const int t = 40 + (i / 5) * 250;
            areas.push_back({l, t, l + 200, t + 150, l + 10, t + 5, l + 190, t + 160});
        }
        form->SetAreas(areas);
        form->show();
        QApplication::processEvents();
        form->PageControl2->setCurrentIndex(1);
        form->PaintBox3Paint();
        form->PaintBox4Paint();
        form->resize(3000, 1300);
        bench_support::FitViewport(form->ScrollBox3, kViewport);
        bench_support::FitViewport(form->ScrollBox4, kViewport);
        form->SpeedPointer->setChecked(true);
    }
    form->Zoom3Ed->SetValue(zoom);
    form->Zoom4Ed->SetValue(zoom);
    QApplication::processEvents();
    for (TZoomPane* pane : {form->ScrollBox3, form->ScrollBox4}) {
        pane->SetHorzPosition(pane->horizontalScrollBar()->maximum() / 2);
        pane->SetVertPosition(pane->verticalScrollBar()->maximum() / 2);
    }
    // The current area grabbed inside by a Pointer-tool press at its middle.
    form->Editor().Reset();
    form->SetCurrentArea(7);
    const TAreaPair& a = form->Areas().Data()[7];
    const int x = static_cast<int>(form->ScrollBox3->ToPane(a.Left1 + a.Right1) / 2);
    const int y = static_cast<int>(form->ScrollBox3->ToPane(a.Top1 + a.Bottom1) / 2);
    form->PaintBox3MouseDown(Qt::LeftButton, x, y);
    return *form;
}

void DragStep(benchmark::State& state, int zoom) {
    TMainForm& form = Scene(zoom);
    const QPoint centre(form.ScrollBox3->HorzPosition() + kViewport.width() / 2,
                        form.ScrollBox3->VertPosition() + kViewport.height() / 2);
    int step = 0;
    for (auto _ : state) {
        const int d = (step++ % 40) - 20;
        form.PaintBox3MouseMove(centre.x() + d, centre.y() + d);
        // The handler asks for the paint; force it now, as the screen would.
        form.PaintBox3->repaint();
        form.PaintBox4->repaint();
    }
    const QSize shown3 = form.ScrollBox3->viewport()->size().boundedTo(form.PaintBox3->size());
    const QSize shown4 = form.ScrollBox4->viewport()->size().boundedTo(form.PaintBox4->size());
    state.counters["pixels"] = static_cast<double>(shown3.width()) * shown3.height() +
                               static_cast<double>(shown4.width()) * shown4.height();
}

void BM_Floor_TwoDrawImage1280x800(benchmark::State& state) {
    QImage source(kViewport, QImage::Format_RGB32);
    source.fill(Qt::darkCyan);
    QImage device1(kViewport, QImage::Format_RGB32);
    QImage device2(kViewport, QImage::Format_RGB32);
    for (auto _ : state) {
        for (QImage* device : {&device1, &device2}) {
            QPainter p(device);
            p.drawImage(0, 0, source);
        }
        benchmark::DoNotOptimize(device1.constBits());
        benchmark::DoNotOptimize(device2.constBits());
    }
}

void BM_DragStep_Zoom100(benchmark::State& s) {
    DragStep(s, 100);
}
void BM_DragStep_Zoom300(benchmark::State& s) {
    DragStep(s, 300);
}

}  // namespace

BENCHMARK(BM_Floor_TwoDrawImage1280x800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragStep_Zoom100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragStep_Zoom300)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    form.reset();
    return 0;
}
