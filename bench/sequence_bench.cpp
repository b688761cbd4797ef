// A sequence of three projects against rendering the three projects one by
// one: the sequence must cost no more than 1.05 x the sum of its parts.
//
// BM_SequenceVsParts/0: three 1280 x 720 projects of 25 pictures with 4 area
// pairs; /1: the same with the middle project at 960 x 540, centred on the
// others' size in the background colour. Counter "ratio" is the time of the
// sequence over the sum of the parts. Both render on one thread: a second
// one only adds the noise of a shared machine to what is compared.
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <vector>

#include "core/projectfile.h"
#include "core/renderer.h"
#include "core/sequence.h"

namespace {

constexpr int kN = 25;

QImage Picture(int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x / 6 + seed * 50);
            row[3 * x + 1] = static_cast<std::uint8_t>(y / 4 + ((x / 48 + y / 48) & 1) * 60);
            row[3 * x + 2] = static_cast<std::uint8_t>((x + y) / 9 + seed * 90);
        }
    }
    return image;
}

std::vector<TAreaPair> Pairs(int w, int h) {
    std::vector<TAreaPair> pairs;
    for (int i = 0; i < 4; ++i) {
        const int x = w / 10 + (i % 2) * w / 2, y = h / 8 + (i / 2) * h / 2;
        pairs.push_back(
            {x, y, x + w / 4, y + h / 4, x + 20 + i * 8, y + 12, x + w / 4 + 30, y + h / 4 + 20});
    }
    return pairs;
}

void BM_SequenceVsParts(benchmark::State& state) {
    QTemporaryDir dir;
    const bool mixed = state.range(0) == 1;
    std::vector<core::TSequenceItem> items;
    for (int p = 0; p < 3; ++p) {
        const int w = mixed && p == 1 ? 960 : 1280, h = mixed && p == 1 ? 540 : 720;
        const QString a = QStringLiteral("p%1a.png").arg(p), b = QStringLiteral("p%1b.png").arg(p);
        Picture(w, h, 2 * p).save(dir.filePath(a));
        Picture(w, h, 2 * p + 1).save(dir.filePath(b));
        std::vector<std::uint8_t> bytes;
        core::WriteProject({a.toStdString(), b.toStdString(), Pairs(w, h)}, bytes);
        const std::string project = dir.filePath(QStringLiteral("p%1.mor").arg(p)).toStdString();
        std::ofstream(project, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        items.push_back({project, {}, {}});
    }
    core::TSequenceSettings settings;
    settings.length = kN;
    settings.rate = 1;
    core::TMorphSequence sequence;
    if (!sequence.Load(items, settings).empty()) {
        state.SkipWithError("the sequence cannot be loaded");
        return;
    }
    using Clock = std::chrono::steady_clock;
    double partsSeconds = 0, sequenceSeconds = 0;
    raster::DibRecord out;
    auto parts = [&] {
        const auto t0 = Clock::now();
        for (std::size_t s = 0; s < 3; ++s)
            for (int n = 1; n <= kN; ++n) {
                core::TMorphInput input = sequence.Input(s, n);
                input.secondThread = false;
                core::RenderMorphInto(input, out);
                benchmark::DoNotOptimize(out.Bits().data());
            }
        partsSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    };
    auto whole = [&] {
        const auto t0 = Clock::now();
        for (std::int64_t i = 0; i < sequence.FrameCount(); ++i) {
            sequence.RenderFrame(i, out, false);
            benchmark::DoNotOptimize(out.Bits().data());
        }
        sequenceSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    };
    // Taking turns at going first, so that neither gets the warmer caches or
    // the quieter moments of a shared machine.
    bool partsFirst = true;
    for (auto _ : state) {
        if (partsFirst) {
            parts();
            whole();
        } else {
            whole();
            parts();
        }
        partsFirst = !partsFirst;
    }
    state.counters["ratio"] = sequenceSeconds / partsSeconds;
    state.counters["parts_ms"] = 1000 * partsSeconds / static_cast<double>(state.iterations());
    state.counters["sequence_ms"] =
        1000 * sequenceSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SequenceVsParts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
