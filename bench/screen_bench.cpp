// Painting on a real X server (run by scripts/run-benchmarks.sh on Xvfb):
// one drag step of the current area repainting two 1280 x 800 panes, and one
// zoom step on a 6000 x 4000 picture, each until the X server has the
// pixels; beside them the floor of one drawImage of a 1280 x 800 pane on the
// same server, measured the same way.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

#include "app/mainform.h"
#include "bench/bench_support.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"

namespace {

constexpr QSize kViewport(1280, 800);

// Waits until the X server has drawn everything sent so far (a round trip).
void SyncX() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return;
    xcb_connection_t* c = x11->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A plain widget that draws one prepared image: what any pane costs at least.
class FloorWidget : public QWidget {
public:
    FloorWidget() : image_(kViewport, QImage::Format_RGB32) {
        image_.fill(Qt::darkCyan);
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(kViewport);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, image_);
    }

private:
    QImage image_;
};

std::unique_ptr<TMainForm> form;

void BM_Floor_OneDrawImage1280x800(benchmark::State& state) {
    FloorWidget w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("no window");
    for (auto _ : state) {
        w.repaint();
        SyncX();
    }
}

void BM_DragStep_TwoPanes1280x800(benchmark::State& state) {
    form = std::make_unique<TMainForm>();
    TMainForm& f = *form;
    f.SetPictures(bench_support::Picture(1920, 1080, 1), bench_support::Picture(1920, 1080, 2));
    std::vector<TAreaPair> areas;
    for (int i = 0; i < 20; ++i) {
        const int l = 40 + (i % 5) * 360, t = 40 + (i / 5) * 250;
        areas.push_back({l, t, l + 200, t + 150, l + 10, t + 5, l + 190, t + 160});
    }
    f.SetAreas(areas);
    f.setGeometry(0, 0, 2800, 1100);
    f.show();
    if (!QTest::qWaitForWindowExposed(&f)) state.SkipWithError("no window");
    f.PageControl2->setCurrentIndex(1);
    QApplication::processEvents();
    bench_support::FitViewport(f.ScrollBox3, kViewport);
    bench_support::FitViewport(f.ScrollBox4, kViewport);
    f.SpeedPointer->click();
    // Grab area 8 (at 400, 540) inside, away from its grips.
    const QPoint grab(500, 615);
    Send(f.PaintBox3, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        const int d = (step++ % 40) - 20;
        Send(f.PaintBox3, QEvent::MouseMove, grab + QPoint(d, d), Qt::LeftButton);
        f.PaintBox3->repaint();
        f.PaintBox4->repaint();
        SyncX();
    }
    Send(f.PaintBox3, QEvent::MouseButtonRelease, grab, Qt::NoButton);
    form.reset();
}

void BM_ZoomStep_6000x4000(benchmark::State& state) {
    form = std::make_unique<TMainForm>();
    TMainForm& f = *form;
    f.SetPictures(bench_support::Picture(6000, 4000, 3), TMainForm::MakeBlankPicture());
    f.setGeometry(0, 0, 1500, 1100);
    f.show();
    if (!QTest::qWaitForWindowExposed(&f)) state.SkipWithError("no window");
    bench_support::FitViewport(f.ScrollBox1, kViewport);
    int step = 0;
    for (auto _ : state) {
        f.Zoom1Ed->SetValue(step++ % 2 == 0 ? 110 : 100);
        QApplication::processEvents();  // the resize and the layout
        f.PaintBox1->repaint(f.ScrollBox1->viewport()->rect().translated(
            f.ScrollBox1->HorzPosition(), f.ScrollBox1->VertPosition()));
        SyncX();
    }
    form.reset();
}

}  // namespace

BENCHMARK(BM_Floor_OneDrawImage1280x800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragStep_TwoPanes1280x800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStep_6000x4000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != QStringLiteral("xcb")) {
        std::fprintf(stderr, "screen_bench needs a real X server: scripts/with-xvfb.sh %s\n",
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
