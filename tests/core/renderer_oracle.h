// The morph algorithm done the slow, literal way: four W x H coordinate maps
// of (column, row) cells, the base maps, one full warp of both maps per area
// pair and a colour pass through getpixel. The production renderer must give
// the same pixels for every input; this is the reference it is checked
// against.
//
// Like the production renderer it clamps N to at least 1 and n into 1..N,
// computes mix in 128 bits and every other product in 64 bits, and treats a
// missing picture as 0 x 0.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/renderer.h"
#include "raster/dib.h"

namespace oracle {

struct TCell {
    std::int32_t col;
    std::int32_t row;
};

struct TMaps {
    int W = 0;
    int H = 0;
    std::vector<TCell> map1;
    std::vector<TCell> map2;
    TCell At1(int x, int y) const { return map1[static_cast<std::size_t>(y) * W + x]; }
    TCell At2(int x, int y) const { return map2[static_cast<std::size_t>(y) * W + x]; }
};

inline std::int64_t LiteralMix(std::int64_t p, std::int64_t q, std::int64_t n, std::int64_t N) {
    const __int128 v = static_cast<__int128>(p) * (N - n) + static_cast<__int128>(q) * n;
    return static_cast<std::int64_t>(v / N);
}

namespace detail {

inline void MakeEmpty(std::vector<TCell>& map) {
    std::memset(static_cast<void*>(map.data()), 0xFF, map.size() * sizeof(TCell));
}

// One warp of `map` into `scratch` with the picture rectangle (left, top,
// right, bottom) and the in-between rectangle aL..aB.
inline void Warp(const std::vector<TCell>& map, std::vector<TCell>& scratch, std::int64_t W,
                 std::int64_t H, std::int64_t Wf, std::int64_t Hf, std::int64_t ox, std::int64_t oy,
                 std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                 std::int64_t aL, std::int64_t aT, std::int64_t aR, std::int64_t aB) {
    auto cell = [&](std::int64_t x, std::int64_t y) { return map[y * W + x]; };
    auto searchColumn = [&](std::int64_t target) {
        std::int64_t best = 0;
        for (std::int64_t c = 0; c < W; ++c)
            if (std::abs(cell(c, H / 2).col - target) < std::abs(cell(best, H / 2).col - target))
                best = c;
        return best;
    };
    auto searchRow = [&](std::int64_t target) {
        std::int64_t best = 0;
        for (std::int64_t r = 0; r < H; ++r)
            if (std::abs(cell(W / 2, r).row - target) < std::abs(cell(W / 2, best).row - target))
                best = r;
        return best;
    };
    const std::int64_t cL = searchColumn(left) - ox;
    const std::int64_t cR = searchColumn(right) - ox;
    const std::int64_t rT = searchRow(top) - oy;
    const std::int64_t rB = searchRow(bottom) - oy;
    for (std::int64_t i = 0; i < Hf; ++i) {
        for (std::int64_t j = 0; j < Wf; ++j) {
            std::int64_t u, v;
            if (j < aL)
                u = j * cL / aL;
            else if (j > aR)
                u = (j - aR) * (Wf - 1 - cR) / (Wf - 1 - aR) + cR;
            else
                u = (j - aL) * (cR - cL + 1) / (aR - aL + 1) + cL;
            if (i < aT)
                v = i * rT / aT;
            else if (i > aB)
                v = (i - aB) * (Hf - 1 - rB) / (Hf - 1 - aB) + rB;
            else
                v = (i - aT) * (rB - rT + 1) / (aB - aT + 1) + rT;
            TCell& out = scratch[(oy + i) * W + ox + j];
            if (ox + u >= 0 && ox + u < W && oy + v >= 0 && oy + v < H)
                out = cell(ox + u, oy + v);
            else
                out = {-1, -1};
        }
    }
}

struct TRgb {
    std::int64_t red, green, blue;
};

inline TRgb Colour(const raster::DibRecord& pic, std::int64_t w, std::int64_t h, TCell c,
                   TRgb background) {
    if (c.col < 0 || c.row < 0 || c.col > w - 1 || c.row > h - 1) return background;
    const std::uint32_t v = raster::getpixel(pic, c.col, c.row);
    if (pic.BitCount() > 8) return {v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF};
    const raster::RgbEntry& e = pic.Palette()[v & 0xFF];
    return {e.red, e.green, e.blue};
}

}  // namespace detail

// Renders picture n of N step by step; the final maps go to *maps when given.
inline raster::DibRecord RenderLiteral(const core::TMorphInput& in, TMaps* maps = nullptr) {
    using i64 = std::int64_t;
    static const raster::DibRecord kNoPicture;
    const raster::DibRecord& pic1 = in.pic1 ? *in.pic1 : kNoPicture;
    const raster::DibRecord& pic2 = in.pic2 ? *in.pic2 : kNoPicture;

    // 1. Measure.
    const i64 W1 = pic1.HasPixels() ? pic1.Width() : 0;
    const i64 H1 = pic1.HasPixels() ? pic1.Height() : 0;
    const i64 W2 = pic2.HasPixels() ? pic2.Width() : 0;
    const i64 H2 = pic2.HasPixels() ? pic2.Height() : 0;

    // 2. The result bitmap.
    const i64 W = std::max(W1, W2);
    const i64 H = std::max(H1, H2);
    raster::DibRecord result = raster::newdib(static_cast<int>(W), static_cast<int>(H), 24);
    if (!result.HasPixels()) return result;

    // 3. Four maps, map 1 and map 2 empty.
    std::vector<TCell> map1(W * H), map2(W * H), scratch1(W * H), scratch2(W * H);
    detail::MakeEmpty(map1);
    detail::MakeEmpty(map2);

    // 4. n and N.
    const i64 N = std::max<i64>(in.N, 1);
    const i64 n = std::clamp<i64>(in.n, 1, N);
    auto mix = [&](i64 p, i64 q) { return LiteralMix(p, q, n, N); };

    // 5. The frame.
    const i64 Wf = mix(W1, W2);
    const i64 Hf = mix(H1, H2);
    const i64 ox = (W - Wf) / 2;
    const i64 oy = (H - Hf) / 2;

    // 6. Base maps.
    for (i64 i = 0; i < Hf; ++i) {
        for (i64 j = 0; j < Wf; ++j) {
            const i64 index = (oy + i) * W + ox + j;
            map1[index] = {static_cast<std::int32_t>((W1 - 1) * j / Wf),
                           static_cast<std::int32_t>((H1 - 1) * i / Hf)};
            map2[index] = {static_cast<std::int32_t>((W2 - 1) * j / Wf),
                           static_cast<std::int32_t>((H2 - 1) * i / Hf)};
        }
    }

    // 7. One warp of both maps per pair, in list order.
    for (const TAreaPair& a : in.areas) {
        detail::MakeEmpty(scratch1);
        detail::MakeEmpty(scratch2);
        const i64 aL = mix(a.Left1, a.Left2);
        const i64 aT = mix(a.Top1, a.Top2);
        const i64 aR = mix(a.Right1, a.Right2);
        const i64 aB = mix(a.Bottom1, a.Bottom2);
        detail::Warp(map1, scratch1, W, H, Wf, Hf, ox, oy, a.Left1, a.Top1, a.Right1, a.Bottom1, aL,
                     aT, aR, aB);
        detail::Warp(map2, scratch2, W, H, Wf, Hf, ox, oy, a.Left2, a.Top2, a.Right2, a.Bottom2, aL,
                     aT, aR, aB);
        map1 = scratch1;
        map2 = scratch2;
    }

    // 8. Background.
    const detail::TRgb bg{in.background & 0xFF, (in.background >> 8) & 0xFF,
                          (in.background >> 16) & 0xFF};

    // 9. Colour pass.
    for (i64 y = 0; y < H; ++y) {
        for (i64 x = 0; x < W; ++x) {
            const detail::TRgb c1 = detail::Colour(pic1, W1, H1, map1[y * W + x], bg);
            const detail::TRgb c2 = detail::Colour(pic2, W2, H2, map2[y * W + x], bg);
            std::uint8_t* p = result.StoredRow(static_cast<int>(H - 1 - y)) + 3 * x;
            p[0] = static_cast<std::uint8_t>(mix(c1.blue, c2.blue));
            p[1] = static_cast<std::uint8_t>(mix(c1.green, c2.green));
            p[2] = static_cast<std::uint8_t>(mix(c1.red, c2.red));
        }
    }

    if (maps) *maps = {static_cast<int>(W), static_cast<int>(H), map1, map2};
    return result;
}

}  // namespace oracle
