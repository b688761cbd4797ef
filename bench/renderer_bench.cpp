// The morph renderer against the literal step-by-step algorithm and against
// the floor set by memory: a plain pass that reads both pictures and writes
// the result once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "../tests/core/renderer_oracle.h"
#include "core/renderer.h"
#include "raster/dib.h"

namespace {

raster::DibRecord Picture(int w, int h, std::uint32_t seed) {
    raster::DibRecord d = raster::newdib(w, h, 24);
    std::mt19937 rng(seed);
    for (auto& byte : d.Bits()) byte = static_cast<std::uint8_t>(rng());
    return d;
}

// Areas of a portrait-like layout, spread over the picture, each moved and
// resized a little between the two pictures.
std::vector<TAreaPair> Pairs(int w, int h, int count) {
    std::vector<TAreaPair> pairs;
    for (int k = 0; k < count; ++k) {
        const int x = w / 10 + (k % 4) * w / 5;
        const int y = h / 8 + (k / 4) * h / 4;
        const int aw = w / 12 + k * 3;
        const int ah = h / 10 + k * 2;
        pairs.push_back(
            {x, y, x + aw, y + ah, x + w / 40, y - h / 50, x + aw + w / 30, y + ah + h / 60});
    }
    return pairs;
}

struct TScene {
    raster::DibRecord pic1, pic2;
    std::vector<TAreaPair> pairs;
    core::TMorphInput input;
    TScene(int w, int h, int pairCount)
        : pic1(Picture(w, h, 1)), pic2(Picture(w, h, 2)), pairs(Pairs(w, h, pairCount)) {
        input.pic1 = &pic1;
        input.pic2 = &pic2;
        input.areas = pairs;
        input.n = 9;
        input.N = 25;
        input.background = 0x203040;
    }
};

void SetBytes(benchmark::State& state, const TScene& s) {
    // Bytes the colour pass must move: both pictures read, the result written.
    const std::int64_t bytes = std::int64_t{3} * s.pic1.Width() * s.pic1.Height() * 3;
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Production(benchmark::State& state) {
    const TScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
    for (auto _ : state) {
        raster::DibRecord out = core::RenderMorph(s.input);
        benchmark::DoNotOptimize(out.Bits().data());
    }
    SetBytes(state, s);
}

void BM_Oracle(benchmark::State& state) {
    const TScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)));
    for (auto _ : state) {
        raster::DibRecord out = oracle::RenderLiteral(s.input);
        benchmark::DoNotOptimize(out.Bits().data());
    }
    SetBytes(state, s);
}

// The floor: one thread reads every byte of both pictures and writes every
// byte of a new result picture, with no mapping and no blending worth the name.
void BM_CopyFloor(benchmark::State& state) {
    const TScene s(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0);
    for (auto _ : state) {
        raster::DibRecord out = raster::newdib(s.pic1.Width(), s.pic1.Height(), 24);
        const std::size_t row = 3 * static_cast<std::size_t>(s.pic1.Width());
        for (int y = 0; y < out.Height(); ++y) {
            const std::uint8_t* a = s.pic1.Row(y);
            const std::uint8_t* b = s.pic2.Row(y);
            std::uint8_t* o = out.Row(y);
            for (std::size_t k = 0; k < row; ++k) o[k] = a[k] ^ b[k];
        }
        benchmark::DoNotOptimize(out.Bits().data());
    }
    SetBytes(state, s);
}

BENCHMARK(BM_Production)->Args({1920, 1080, 8})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Oracle)
    ->Args({1920, 1080, 8})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_CopyFloor)->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Production)->Args({3840, 2160, 16})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFloor)->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
