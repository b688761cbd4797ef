// The live result during a drag, on a real X server (scripts/run-benchmarks.sh
// runs it on Xvfb): how many new pictures the live view shows per second
// while an area of two 1920 x 1080 pictures with 8 pairs is dragged, beside
// one plain render of the same picture; the panes' own repaint per drag step
// with the live view shown and hidden; and with 3840 x 2160 pictures the time
// from a mouse move to the panes' repaint while the live view renders.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/liveview.h"
#include "app/mainform.h"
#include "bench/bench_support.h"
#include "controls/spinedit.h"
#include "core/renderer.h"

namespace {

void SyncX() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return;
    xcb_connection_t* c = x11->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void Send(QWidget* w, QEvent::Type type, QPoint at) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Eight pairs spread over the picture, the first one grabbed in the drags.
std::vector<TAreaPair> EightPairs(int w, int h) {
    std::vector<TAreaPair> areas;
    for (int i = 0; i < 8; ++i) {
        const int l = w / 10 + (i % 4) * w / 5, t = h / 8 + (i / 4) * h / 2;
        areas.push_back(
            {l, t, l + w / 8, t + h / 4, l + w / 50, t + h / 40, l + w / 7, t + h / 4 + h / 30});
    }
    return areas;
}

std::unique_ptr<TMainForm> form;

// The window on "Similar areas" with two pictures, 8 pairs, the first one
// current, the Pointer tool, both panes at zoom 50.
TMainForm& Window(int w, int h, bool live, benchmark::State& state) {
    form = std::make_unique<TMainForm>();
    TMainForm& f = *form;
    f.SetPictures(bench_support::Picture(w, h, 1), bench_support::Picture(w, h, 2));
    f.SetAreas(EightPairs(w, h));
    f.SetCurrentArea(0);
    f.setGeometry(0, 0, 2000, 1150);
    f.show();
    if (!QTest::qWaitForWindowExposed(&f)) state.SkipWithError("no window");
    f.PageControl2->setCurrentIndex(1);
    f.LiveView().SetShown(live);
    f.Zoom3Ed->SetValue(50);
    f.Zoom4Ed->SetValue(50);
    f.SpeedPointer->click();
    QApplication::processEvents();
    return f;
}

// Inside the first area's left half at zoom 50, away from its grips.
QPoint Grab(int w, int h) {
    return {(w / 10 + w / 16) / 2, (h / 8 + h / 8) / 2};
}

void BM_PlainRender(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const raster::DibRecord a = bench_support::Picture(w, h, 1),
                            b = bench_support::Picture(w, h, 2);
    const std::vector<TAreaPair> areas = EightPairs(w, h);
    core::TMorphInput in;
    in.pic1 = &a;
    in.pic2 = &b;
    in.areas = areas;
    in.n = 50;
    in.N = 100;
    in.secondThread = state.range(2) != 0;
    raster::DibRecord out;
    for (auto _ : state) core::RenderMorphInto(in, out);
    state.counters["pictures_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// A drag of one second per iteration, a mouse move every 4 ms (a 250 Hz
// mouse), each followed by the panes' repaint as the event loop does it.
void BM_LiveDuringDrag(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    TMainForm& f = Window(w, h, true, state);
    const QPoint grab = Grab(w, h);
    Send(f.PaintBox3, QEvent::MouseButtonPress, grab);
    std::uint64_t shown = 0;
    double seconds = 0;
    std::vector<double> stepMs;
    int step = 0;
    for (auto _ : state) {
        const std::uint64_t before = f.LiveView().ShownCount();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000) {
            QElapsedTimer move;
            move.start();
            const int d = (step++ % 60) - 30;
            Send(f.PaintBox3, QEvent::MouseMove, grab + QPoint(d, d / 2));
            QApplication::processEvents();
            SyncX();
            stepMs.push_back(move.nsecsElapsed() / 1e6);
            const qint64 left = 4 - move.elapsed();
            if (left > 0) QTest::qSleep(static_cast<int>(left));
        }
        shown += f.LiveView().ShownCount() - before;
        seconds += clock.nsecsElapsed() / 1e9;
    }
    Send(f.PaintBox3, QEvent::MouseButtonRelease, grab);
    state.counters["live_pictures_per_s"] = static_cast<double>(shown) / seconds;
    // The time from a move to the panes' repaint on the screen, the live
    // view's new pictures included.
    std::sort(stepMs.begin(), stepMs.end());
    if (!stepMs.empty()) {
        state.counters["move_to_repaint_p50_ms"] = stepMs[stepMs.size() / 2];
        state.counters["move_to_repaint_p95_ms"] = stepMs[stepMs.size() * 95 / 100];
        state.counters["move_to_repaint_max_ms"] = stepMs.back();
    }
    const core::TLiveRenderer::TCounts c = f.LiveView().Renderer().Counts();
    state.counters["skipped_share"] =
        c.requested > 0 ? static_cast<double>(c.skipped) / static_cast<double>(c.requested) : 0;
    form.reset();
}

// One drag step: the move and the repaint of both panes until the X server
// has them, with the live view shown (rendering beside it) or hidden.
void BM_DragStepPanes(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    TMainForm& f = Window(w, h, state.range(2) != 0, state);
    const QPoint grab = Grab(w, h);
    Send(f.PaintBox3, QEvent::MouseButtonPress, grab);
    int step = 0;
    for (auto _ : state) {
        const int d = (step++ % 40) - 20;
        Send(f.PaintBox3, QEvent::MouseMove, grab + QPoint(d, d));
        f.PaintBox3->repaint();
        f.PaintBox4->repaint();
        SyncX();
        // What else the event loop has (the live view's new pictures) is
        // not part of this step's time.
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    Send(f.PaintBox3, QEvent::MouseButtonRelease, grab);
    form.reset();
}

}  // namespace

BENCHMARK(BM_PlainRender)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDuringDrag)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragStepPanes)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 1})
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != QStringLiteral("xcb")) {
        std::fprintf(stderr, "live_bench needs a real X server: scripts/with-xvfb.sh %s\n",
                     argv[0]);
        return 1;
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    form.reset();
    return 0;
}
