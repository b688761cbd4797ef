// Painting a picture pane: one paint of a 1280 x 800 viewport, compared with
// the floor of drawing an unscaled 1280 x 800 image of the same format.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "raster/paintdib.h"

namespace {

constexpr QSize kViewport(1280, 800);

raster::DibRecord Picture(int w, int h) {
    raster::DibRecord d = raster::newdib(w, h, 24);
    std::uint32_t seed = 12345;
    for (std::uint8_t& b : d.Bits()) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return d;
}

// What a pane's paint does for its exposed rectangle: compose off-screen,
// then one copy onto the device.
void PaintViewport(benchmark::State& state, int w, int h, int zoom) {
    const raster::DibRecord pic = Picture(w, h);
    const int paneW = static_cast<int>(static_cast<long double>(w) * zoom / 100);
    const int paneH = static_cast<int>(static_cast<long double>(h) * zoom / 100);
    // The viewport scrolled to the middle of the pane.
    const QRect exposed(std::max(0, paneW / 2 - kViewport.width() / 2),
                        std::max(0, paneH / 2 - kViewport.height() / 2),
                        std::min(paneW, kViewport.width()), std::min(paneH, kViewport.height()));
    QImage device(kViewport, QImage::Format_RGB32);
    for (auto _ : state) {
        QImage canvas(exposed.size(), QImage::Format_RGB32);
        canvas.fill(Qt::white);
        raster::PaintDibInto(canvas, exposed.topLeft(), 0, 0, paneW, paneH, pic, 0, 0, w, h);
        QPainter p(&device);
        p.drawImage(0, 0, canvas);
        benchmark::DoNotOptimize(device.constBits());
    }
    state.counters["pixels"] = static_cast<double>(exposed.width()) * exposed.height();
}

void BM_Floor_DrawImage1280x800(benchmark::State& state) {
    QImage source(kViewport, QImage::Format_RGB32);
    source.fill(Qt::darkCyan);
    QImage device(kViewport, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&device);
        p.drawImage(0, 0, source);
        benchmark::DoNotOptimize(device.constBits());
    }
}

void BM_Pane6000x4000_Zoom10(benchmark::State& s) {
    PaintViewport(s, 6000, 4000, 10);
}
void BM_Pane6000x4000_Zoom100(benchmark::State& s) {
    PaintViewport(s, 6000, 4000, 100);
}
void BM_Pane6000x4000_Zoom300(benchmark::State& s) {
    PaintViewport(s, 6000, 4000, 300);
}
void BM_Pane1920x1080_Zoom100(benchmark::State& s) {
    PaintViewport(s, 1920, 1080, 100);
}

}  // namespace

BENCHMARK(BM_Floor_DrawImage1280x800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pane6000x4000_Zoom10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pane6000x4000_Zoom100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pane6000x4000_Zoom300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pane1920x1080_Zoom100)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
