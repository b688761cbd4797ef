// Video export and playback at full HD.
//
// BM_WriteSequence: 100 pictures of 1920 x 1080 with 8 area pairs written as
// AVI, for both codecs; counters give pictures per second and the share of
// the time spent rendering versus encoding and writing.
// BM_WindowExport: Motion JPEG through the window's "Save AVI video..."
// (window_export_bench compares the window with vellora-render).
// BM_Playback: the window plays 4 seconds at 25 pictures per second with the
// real timer; counters give the share of the 100 pictures actually shown.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <set>
#include <vector>

#include "app/mainform.h"
#include "controls/spinedit.h"
#include "core/process.h"
#include "core/renderer.h"
#include "export/videoexport.h"
#include "export_scene.h"

namespace {

constexpr int kW = export_scene::kWidth;
constexpr int kH = export_scene::kHeight;
constexpr int kPictures = 100;
using export_scene::EightPairs;

raster::DibRecord Picture(int seed) {
    raster::DibRecord dib = raster::newdib(kW, kH, 24);
    for (int y = 0; y < kH; ++y) export_scene::FillRow(dib.Row(y), y, seed);
    return dib;
}

struct Scene {
    raster::DibRecord pic1 = Picture(1);
    raster::DibRecord pic2 = Picture(2);
    std::vector<TAreaPair> areas = EightPairs();
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

QString OutFile() {
    const QString dir = QDir::tempPath() + QStringLiteral("/vellora-export-bench");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/bench.avi");
}

void BM_WriteSequence(benchmark::State& state) {
    const auto codec = static_cast<exporting::VideoCodec>(state.range(0));
    Scene& scene = TheScene();
    core::TMorphInput input;
    input.pic1 = &scene.pic1;
    input.pic2 = &scene.pic2;
    input.areas = scene.areas;
    input.N = kPictures;
    double renderSeconds = 0;
    double totalSeconds = 0;
    for (auto _ : state) {
        raster::DibRecord frame;
        auto render = [&](int n) -> const raster::DibRecord& {
            const auto t0 = std::chrono::steady_clock::now();
            input.n = n;
            frame = core::RenderMorph(input);
            renderSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            return frame;
        };
        const auto t0 = std::chrono::steady_clock::now();
        const exporting::ExportResult r =
            exporting::WriteAviSequence(OutFile(), kPictures, 25, codec, render);
        totalSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (r.status != exporting::ExportStatus::Done)
            state.SkipWithError(r.message.toStdString().c_str());
        QFile::remove(OutFile());
    }
    state.counters["pictures_per_s"] =
        benchmark::Counter(static_cast<double>(kPictures) * state.iterations() / totalSeconds);
    state.counters["render_share"] = renderSeconds / totalSeconds;
    state.counters["encode_write_share"] = 1 - renderSeconds / totalSeconds;
}
BENCHMARK(BM_WriteSequence)
    ->ArgName("uncompressed")
    ->Arg(static_cast<int>(exporting::VideoCodec::MotionJpeg))
    ->Arg(static_cast<int>(exporting::VideoCodec::Uncompressed))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Answers the save dialog with the benchmark's file; no other questions.
class TBenchPrompter : public TPrompter {
public:
    bool Message(QWidget*, const QString&, const QString&, Icon, Buttons) override { return true; }
    bool Execute(QWidget*, TFileDialog& dlg) override {
        dlg.fileName = OutFile();
        return true;
    }
    std::optional<QColor> ChooseColor(QWidget*, QColor) override { return std::nullopt; }
    bool OpenUrl(const QUrl&) override { return true; }
    void ShowModal(QDialog&) override {}
};

std::unique_ptr<TMainForm> FullHdWindow(int length, int rate) {
    auto w = std::make_unique<TMainForm>(std::make_unique<TBenchPrompter>());
    Scene& scene = TheScene();
    w->SetPictures(Picture(1), Picture(2));
    w->SetAreas(scene.areas);
    w->TimeEd->SetText(QString::number(length));
    w->PPSEd->SetText(QString::number(rate));
    w->PicEd->SetText(QStringLiteral("1"));
    w->show();
    w->PageControl2->setCurrentIndex(2);
    QApplication::processEvents();
    return w;
}

void BM_WindowExport(benchmark::State& state) {
    auto w = FullHdWindow(4, 25);
    for (auto _ : state) {
        w->SaveAVIBtnClick();
        QFile::remove(OutFile());
    }
    state.counters["pictures_per_s"] = benchmark::Counter(
        static_cast<double>(kPictures) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WindowExport)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Playback(benchmark::State& state) {
    auto w = FullHdWindow(4, 25);
    const int N = w->PicEd->MaxValue();
    double shownShare = 0;
    double playSeconds = 0;
    for (auto _ : state) {
        std::set<int> shown;
        w->PicEd->SetValue(1);
        shown.insert(1);
        const QMetaObject::Connection c = QObject::connect(
            w->PicEd, &TSpinEdit::Changed, [&] { shown.insert(w->PicEd->Value()); });
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!w->Timer1->isActive()) loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(8000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        w->PlayBtnClick();
        loop.exec();
        playSeconds += clock.elapsed() / 1000.0;
        QObject::disconnect(c);
        shownShare += static_cast<double>(shown.size()) / N;
    }
    state.counters["shown_share"] = shownShare / static_cast<double>(state.iterations());
    state.counters["play_s"] = playSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Playback)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    core::PrepareProcess();  // as the programs do
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(QDir::tempPath() + QStringLiteral("/vellora-export-bench")).removeRecursively();
    return 0;
}
