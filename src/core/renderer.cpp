// The renderer holds its coordinate maps in separable form. Every map cell's
// source column depends only on the result column and its source row only on
// the result row: the base maps scale columns and rows independently, and a
// warp takes the cell of result column ox + u(j), row oy + v(i), with u
// depending on j alone and v on i alone. A cell is empty (no source pixel)
// when either its column or its row is empty. So a map is one column table
// (W entries) and one row table (H entries), -1 marking an empty entry, and a
// warp costs O(W + H). Only the colour pass touches every result pixel.
#include "core/renderer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace core {

std::int64_t MorphMix(std::int64_t p, std::int64_t q, std::int64_t n, std::int64_t N) {
    // N reaches 2^62 from the number fields; 128 bits hold any of the products.
    const __int128 v = static_cast<__int128>(p) * (N - n) + static_cast<__int128>(q) * n;
    return static_cast<std::int64_t>(v / N);
}

namespace {

using i64 = std::int64_t;
constexpr std::int32_t kEmpty = -1;

// One coordinate map: cell (x, y) = (col[x], row[y]), or empty when either is
// kEmpty.
struct TAxisMaps {
    std::vector<std::int32_t> col;
    std::vector<std::int32_t> row;
};

// The index of the entry closest to target, the lowest index on equal
// distances. The searched line of cells is wholly empty when the crossing
// entry of the other axis is empty; every cell then reads -1 and the first
// one wins.
i64 ClosestEntry(const std::vector<std::int32_t>& line, bool lineEmpty, i64 target) {
    if (lineEmpty) return 0;
    i64 best = 0;
    i64 bestDist = std::abs(line[0] - target);
    for (std::size_t c = 1; c < line.size(); ++c) {
        const i64 dist = std::abs(line[c] - target);
        if (dist < bestDist) {
            bestDist = dist;
            best = static_cast<i64>(c);
        }
    }
    return best;
}

// The three-segment warp of one axis: frame position j (0 <= j < frame) takes
// the map entry at frame position u(j), where the area a0..a1 comes from
// c0..c1 (all frame-relative). Each case is taken only when its divisor is at
// least 1. Picture sides are at most raster::kMaxSide, so the products fit in
// 64 bits whatever the area coordinates.
void WarpAxis(std::vector<std::int32_t>& map, std::vector<std::int32_t>& scratch, i64 offset,
              i64 frame, i64 a0, i64 a1, i64 c0, i64 c1) {
    const i64 size = static_cast<i64>(map.size());
    scratch.assign(map.size(), kEmpty);
    for (i64 j = 0; j < frame; ++j) {
        i64 u;
        if (j < a0)
            u = j * c0 / a0;
        else if (j > a1)
            u = (j - a1) * (frame - 1 - c1) / (frame - 1 - a1) + c1;
        else
            u = (j - a0) * (c1 - c0 + 1) / (a1 - a0 + 1) + c0;
        const i64 src = offset + u;
        scratch[offset + j] = (src >= 0 && src < size) ? map[src] : kEmpty;
    }
    map.swap(scratch);
}

struct TFrame {
    i64 W, H, Wf, Hf, ox, oy;
};

void WarpPair(TAxisMaps& m, std::vector<std::int32_t>& scratch, const TFrame& f, i64 left, i64 top,
              i64 right, i64 bottom, i64 aL, i64 aT, i64 aR, i64 aB) {
    // All four edges are searched in the map as it is before this pair.
    const bool midRowEmpty = m.row[f.H / 2] == kEmpty;
    const bool midColEmpty = m.col[f.W / 2] == kEmpty;
    const i64 cL = ClosestEntry(m.col, midRowEmpty, left) - f.ox;
    const i64 cR = ClosestEntry(m.col, midRowEmpty, right) - f.ox;
    const i64 rT = ClosestEntry(m.row, midColEmpty, top) - f.oy;
    const i64 rB = ClosestEntry(m.row, midColEmpty, bottom) - f.oy;
    WarpAxis(m.col, scratch, f.ox, f.Wf, aL, aR, cL, cR);
    WarpAxis(m.row, scratch, f.oy, f.Hf, aT, aB, rT, rB);
}

TAxisMaps BaseMaps(const TFrame& f, i64 srcW, i64 srcH) {
    TAxisMaps m{std::vector<std::int32_t>(f.W, kEmpty), std::vector<std::int32_t>(f.H, kEmpty)};
    for (i64 j = 0; j < f.Wf; ++j)
        m.col[f.ox + j] = static_cast<std::int32_t>((srcW - 1) * j / f.Wf);
    for (i64 i = 0; i < f.Hf; ++i)
        m.row[f.oy + i] = static_cast<std::int32_t>((srcH - 1) * i / f.Hf);
    return m;
}

// One picture's colours for the result columns of a row, as blue, green, red
// bytes in a line buffer (the background where the map shows nothing). The
// column lookups are worked out once per picture, not per row. Pixels are
// written in ascending order as 4-byte words or 16-byte blocks whose excess
// bytes land on pixels written after them, or on the line's spare bytes.
class TSource {
public:
    struct TLine {
        std::vector<std::uint8_t> bytes;
        std::int64_t row = kNoRow;  // source row held, kEmpty for all background
    };

    TSource(const raster::DibRecord& pic, const TAxisMaps& map, std::uint32_t background)
        : pic_(pic), rows_(map.row) {
        bg_ = {static_cast<std::uint8_t>(background >> 16),
               static_cast<std::uint8_t>(background >> 8), static_cast<std::uint8_t>(background),
               0};
        const std::size_t W = map.col.size();
        const i64 w = pic.HasPixels() ? pic.Width() : 0;
        const int bits = pic.BitCount();
        inPlace_ = bits == 24 || bits == 32;
        // A word read at the start of a 24-bit row's last pixel may end past
        // the row and, for the last row in memory, past the picture.
        const i64 safeEnd = static_cast<i64>(pic.BytesPerRow()) - 4;
        offsets_.resize(W);
        for (std::size_t x = 0; x < W; ++x) {
            const std::int32_t c = map.col[x];
            if (c < 0 || c >= w) {  // source columns outside the picture show the background
                offsets_[x] = kEmpty;
            } else if (!inPlace_) {
                offsets_[x] = c;
            } else {
                const std::int32_t o = c * (bits / 8);
                offsets_[x] = o <= safeEnd ? o : kShort - o;
            }
        }
        if (bits == 24) FindBlocks(pic.BytesPerRow());
        if (pic.IsPalette()) {
            for (int k = 0; k < 256; ++k) {
                const raster::RgbEntry& e = pic.Palette()[k];
                palette_[k] = {e.blue, e.green, e.red, 0};
            }
        }
    }

    // Asks for the source row of result row y ahead of its use.
    void Prefetch(i64 y) const {
        const std::int32_t r = rows_[y];
        if (!pic_.HasPixels() || r < 0 || r >= pic_.Height()) return;
        const std::uint8_t* src = pic_.Row(r);
        for (i64 k = 0; k < pic_.BytesPerRow(); k += 64) __builtin_prefetch(src + k);
    }

    // Room for the spill of the last word or shuffled block.
    TLine MakeLine() const {
        return {std::vector<std::uint8_t>(3 * offsets_.size() + kBlockBytes), kNoRow};
    }

    // The colours of result row y; refilled only when the source row changes.
    const std::uint8_t* Read(i64 y, TLine& line) const {
        const std::int32_t r = rows_[y];
        const bool rowOk = pic_.HasPixels() && r >= 0 && r < pic_.Height();
        const i64 key = rowOk ? r : kEmpty;
        if (line.row == key) return line.bytes.data();
        line.row = key;
        std::uint8_t* out = line.bytes.data();
        const std::size_t W = offsets_.size();
        if (!rowOk) {
            for (std::size_t x = 0; x < W; ++x) std::memcpy(out + 3 * x, bg_.data(), 4);
            return out;
        }
        const std::uint8_t* src = pic_.Row(r);
        switch (inPlace_ ? 24 : pic_.BitCount()) {
            case 24:
                if (blocks_.empty())
                    CopyPixels(src, out, 0, W);
                else
                    CopyBlocks(src, out);
                break;
            case 8:
                Convert(src, out, [](const std::uint8_t* s, i64 c) { return s[c]; });
                break;
            case 4:
                Convert(src, out, [](const std::uint8_t* s, i64 c) {
                    const unsigned b = s[c >> 1];
                    return (c & 1) ? (b & 0x0F) : (b >> 4);
                });
                break;
            case 1:
                Convert(src, out, [](const std::uint8_t* s, i64 c) {
                    return (s[c >> 3] >> (7 - (c & 7))) & 1u;
                });
                break;
            default: {
                // Depths the raster module cannot hold read as its getpixel
                // does: value 0, that is black or palette entry 0.
                const std::array<std::uint8_t, 4> zero{};
                const std::uint8_t* v = pic_.IsPalette() ? palette_[0].data() : zero.data();
                for (std::size_t x = 0; x < W; ++x)
                    std::memcpy(out + 3 * x, offsets_[x] == kEmpty ? bg_.data() : v, 4);
                break;
            }
        }
        return out;
    }

private:
    static constexpr i64 kNoRow = std::numeric_limits<i64>::min();
    // Offsets at or below kShort - 1 stand for offset kShort - o, to be read
    // as 3 bytes.
    static constexpr std::int32_t kShort = -2;

    // Result columns go in blocks of five (15 bytes). Where a block's five
    // pixels lie within 16 bytes of the source row, as they do wherever the
    // map does not skip columns, one byte shuffle moves the whole block.
    static constexpr std::size_t kBlockPixels = 5;
    static constexpr std::size_t kBlockBytes = 16;
    struct TBlock {
        std::int32_t start = -1;  // source byte of the shuffle; -1: pixel by pixel
        std::array<std::uint8_t, kBlockBytes> mask{};
    };

    void CopyPixels(const std::uint8_t* src, std::uint8_t* out, std::size_t begin,
                    std::size_t end) const {
        for (std::size_t x = begin; x < end; ++x) {
            const std::int32_t o = offsets_[x];
            if (o >= 0)
                std::memcpy(out + 3 * x, src + o, 4);
            else if (o == kEmpty)
                std::memcpy(out + 3 * x, bg_.data(), 4);
            else
                std::memcpy(out + 3 * x, src + (kShort - o), 3);
        }
    }

    void FindBlocks(i64 bytesPerRow) {
#ifdef __SSE2__
        if (!__builtin_cpu_supports("ssse3")) return;
        const std::size_t W = offsets_.size();
        blocks_.resize((W + kBlockPixels - 1) / kBlockPixels);
        for (std::size_t k = 0; k < blocks_.size(); ++k) {
            const std::size_t x0 = k * kBlockPixels;
            const std::size_t count = std::min(kBlockPixels, W - x0);
            std::int32_t lo = std::numeric_limits<std::int32_t>::max(), hi = -1;
            for (std::size_t i = 0; i < count; ++i) {
                lo = std::min(lo, offsets_[x0 + i]);
                hi = std::max(hi, offsets_[x0 + i]);
            }
            // Empty or short-read pixels, a wide spread, or a load past the
            // row's end go pixel by pixel.
            if (lo < 0 || hi + 3 - lo > static_cast<std::int32_t>(kBlockBytes) ||
                lo + static_cast<i64>(kBlockBytes) > bytesPerRow)
                continue;
            TBlock& block = blocks_[k];
            block.start = lo;
            block.mask.fill(0x80);  // zero
            for (std::size_t i = 0; i < count; ++i)
                for (std::size_t c = 0; c < 3; ++c)
                    block.mask[3 * i + c] = static_cast<std::uint8_t>(offsets_[x0 + i] - lo + c);
        }
#else
        (void)bytesPerRow;
#endif
    }

#ifdef __SSE2__
    __attribute__((target("ssse3"))) void CopyBlocks(const std::uint8_t* src,
                                                     std::uint8_t* out) const {
        const std::size_t W = offsets_.size();
        for (std::size_t k = 0; k < blocks_.size(); ++k) {
            const TBlock& block = blocks_[k];
            const std::size_t x0 = k * kBlockPixels;
            if (block.start < 0) {
                CopyPixels(src, out, x0, std::min(x0 + kBlockPixels, W));
                continue;
            }
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + block.start));
            const __m128i mask =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.mask.data()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x0), _mm_shuffle_epi8(v, mask));
        }
    }
#else
    void CopyBlocks(const std::uint8_t* src, std::uint8_t* out) const {
        CopyPixels(src, out, 0, offsets_.size());
    }
#endif

    template <typename Index>
    void Convert(const std::uint8_t* src, std::uint8_t* out, Index index) const {
        for (std::size_t x = 0; x < offsets_.size(); ++x) {
            const std::int32_t c = offsets_[x];
            std::memcpy(out + 3 * x, c == kEmpty ? bg_.data() : palette_[index(src, c)].data(), 4);
        }
    }

    const raster::DibRecord& pic_;
    const std::vector<std::int32_t>& rows_;
    std::array<std::uint8_t, 4> bg_{};
    bool inPlace_ = false;
    std::vector<std::int32_t> offsets_;  // byte offset (in place) or source column
    std::vector<TBlock> blocks_;         // 24-bit pictures with a byte shuffle at hand
    std::array<std::array<std::uint8_t, 4>, 256> palette_{};
};

// mix(a, b) for channel values a, b, in the cheapest form that is exact for
// every pair of values (each form is checked against the exact one here).
// With n / N reduced to rn / rN:
// - kShort (rN <= 257): X = a (rN - rn) + b rn fits 16 bits, and X div rN is
//   a 16-bit multiply-high by a magic number and a shift;
// - kFixed (rN < 2^15): (a w1 + b w2) >> 24 with the weights rounded up;
// - kTable: mix(a, b) = a + floor((b - a) n / N), since a (N - n) + b n =
//   a N + (b - a) n and the total is never negative; the table holds the
//   second term for b - a from -255 to 255.
struct TBlend {
    enum TKind { kTable, kFixed, kShort };
    TKind kind = kTable;
    std::array<std::int16_t, 511> delta{};
    std::uint32_t w1 = 0, w2 = 0;  // kFixed, kShort
    std::uint16_t magic = 0;       // kShort
    int shift = 0;                 // kShort

    TBlend(i64 n, i64 N) {
        for (int d = -255; d <= 255; ++d) {
            const __int128 num = static_cast<__int128>(d) * n;
            __int128 q = num / N;
            if (num % N != 0 && num < 0) --q;
            delta[d + 255] = static_cast<std::int16_t>(q);
        }
        const i64 g = std::gcd(n, N);
        const i64 rn = n / g, rN = N / g;
        if (TryShort(rn, rN) || TryFixed(rn, rN)) return;
        kind = kTable;
    }

private:
    bool TryShort(i64 rn, i64 rN) {
#ifdef __SSE2__
        if (rN < 2 || rN > 257) return false;
        const i64 maxX = 255 * rN;
        int bits = 0;
        while ((i64{1} << bits) < rN) ++bits;
        for (int s : {bits, bits - 1}) {
            if (s < 0) continue;
            const i64 m = ((i64{1} << (16 + s)) + rN - 1) / rN;
            if (m > 0xFFFF) continue;
            bool exact = true;
            for (i64 x = 0; x <= maxX && exact; ++x) exact = ((x * m) >> 16 >> s) == x / rN;
            if (!exact) continue;
            kind = kShort;
            w1 = static_cast<std::uint32_t>(rN - rn);
            w2 = static_cast<std::uint32_t>(rn);
            magic = static_cast<std::uint16_t>(m);
            shift = s;
            return true;
        }
#else
        (void)rn;
        (void)rN;
#endif
        return false;
    }

    bool TryFixed(i64 rn, i64 rN) {
        // Rounding the weights up errs by at most 510 / 2^24 per value, below
        // the smallest step 1 / rN of the exact quotient for these rN.
        if (rN >= (i64{1} << 15)) return false;
        w1 = static_cast<std::uint32_t>((((rN - rn) << 24) + rN - 1) / rN);
        w2 = static_cast<std::uint32_t>(((rn << 24) + rN - 1) / rN);
        for (std::uint32_t a = 0; a < 256; ++a)
            for (std::uint32_t b = 0; b < 256; ++b)
                if (((a * w1 + b * w2) >> 24) != a + delta[b - a + 255]) return false;
        kind = kFixed;
        return true;
    }
};

void BlendTable(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t count,
                const std::int16_t* delta) {
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<std::uint8_t>(a[k] + delta[b[k] - a[k] + 255]);
}

__attribute__((target_clones("avx2", "default"))) void BlendFixed(
    const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t count,
    std::uint32_t w1, std::uint32_t w2) {
    for (std::size_t k = 0; k < count; ++k)
        out[k] = static_cast<std::uint8_t>((a[k] * w1 + b[k] * w2) >> 24);
}

#ifdef __SSE2__
// 16 channel values at a time in 16-bit lanes; the tail goes through the table.
void BlendShort(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t count,
                const TBlend& blend) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w1 = _mm_set1_epi16(static_cast<std::int16_t>(blend.w1));
    const __m128i w2 = _mm_set1_epi16(static_cast<std::int16_t>(blend.w2));
    const __m128i magic = _mm_set1_epi16(static_cast<std::int16_t>(blend.magic));
    const __m128i shift = _mm_cvtsi32_si128(blend.shift);
    auto half = [&](__m128i va, __m128i vb) {
        const __m128i x = _mm_add_epi16(_mm_mullo_epi16(va, w1), _mm_mullo_epi16(vb, w2));
        return _mm_srl_epi16(_mm_mulhi_epu16(x, magic), shift);
    };
    std::size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
        const __m128i lo = half(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(lo, hi));
    }
    BlendTable(a + k, b + k, out + k, count - k, blend.delta.data());
}
#endif

void Blend(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t count,
           const TBlend& blend) {
    switch (blend.kind) {
#ifdef __SSE2__
        case TBlend::kShort:
            BlendShort(a, b, out, count, blend);
            return;
#endif
        case TBlend::kFixed:
            BlendFixed(a, b, out, count, blend.w1, blend.w2);
            return;
        default:
            BlendTable(a, b, out, count, blend.delta.data());
            return;
    }
}

void ColourRows(raster::DibRecord& result, const TSource& source1, const TSource& source2,
                const TBlend& blend, i64 yBegin, i64 yEnd) {
    const std::size_t bytes = 3 * static_cast<std::size_t>(result.Width());
    TSource::TLine line1 = source1.MakeLine();
    TSource::TLine line2 = source2.MakeLine();
    for (i64 y = yBegin; y < yEnd; ++y) {
        if (y + 1 < yEnd) {
            source1.Prefetch(y + 1);
            source2.Prefetch(y + 1);
        }
        const std::uint8_t* a = source1.Read(y, line1);
        const std::uint8_t* b = source2.Read(y, line2);
        std::uint8_t* out = result.Row(static_cast<int>(y));
        Blend(a, b, out, bytes, blend);
    }
}

struct TPictures {
    const raster::DibRecord& pic1;
    const raster::DibRecord& pic2;
    i64 W1, H1, W2, H2;
};

TPictures Measure(const TMorphInput& input) {
    static const raster::DibRecord kNoPicture;
    const raster::DibRecord& pic1 = input.pic1 != nullptr ? *input.pic1 : kNoPicture;
    const raster::DibRecord& pic2 = input.pic2 != nullptr ? *input.pic2 : kNoPicture;
    return {pic1,
            pic2,
            pic1.HasPixels() ? pic1.Width() : 0,
            pic1.HasPixels() ? pic1.Height() : 0,
            pic2.HasPixels() ? pic2.Width() : 0,
            pic2.HasPixels() ? pic2.Height() : 0};
}

// Values typed but not committed yet: at least one picture, n within the
// sequence. This keeps the frame inside the result. Then the timing.
std::pair<i64, i64> Position(const TMorphInput& input) {
    const i64 N = std::max<i64>(input.N, 1);
    const TMorphPosition p = TimedPosition(input.timing, std::clamp<i64>(input.n, 1, N), N);
    return {p.m, p.M};
}

// The colours' weight of picture 2 (m of M for the mix), by mode.
i64 ColourPosition(const TMorphInput& input, i64 m, i64 M) {
    switch (input.mode) {
        case TMorphMode::WarpOnly:
            return 0;
        case TMorphMode::WarpOnly2:
            return M;
        case TMorphMode::Morph:
        case TMorphMode::DissolveOnly:
            break;
    }
    return m;
}

std::pair<TAxisMaps, TAxisMaps> BuildMaps(const TMorphInput& input, const TPictures& p) {
    const std::pair<i64, i64> position = Position(input);
    const i64 n = position.first, N = position.second;
    auto mix = [n, N](i64 a, i64 b) { return MorphMix(a, b, n, N); };
    TFrame f{};
    f.W = std::max(p.W1, p.W2);
    f.H = std::max(p.H1, p.H2);
    f.Wf = mix(p.W1, p.W2);
    f.Hf = mix(p.H1, p.H2);
    f.ox = (f.W - f.Wf) / 2;
    f.oy = (f.H - f.Hf) / 2;

    TAxisMaps map1 = BaseMaps(f, p.W1, p.H1);
    TAxisMaps map2 = BaseMaps(f, p.W2, p.H2);
    if (f.W == 0 || f.H == 0) return {std::move(map1), std::move(map2)};
    std::vector<std::int32_t> scratch;
    // Dissolve only: the morph without area pairs.
    const std::span<const TAreaPair> areas =
        input.mode == TMorphMode::DissolveOnly ? std::span<const TAreaPair>() : input.areas;
    for (const TAreaPair& a : areas) {
        const i64 aL = mix(a.Left1, a.Left2);
        const i64 aT = mix(a.Top1, a.Top2);
        const i64 aR = mix(a.Right1, a.Right2);
        const i64 aB = mix(a.Bottom1, a.Bottom2);
        WarpPair(map1, scratch, f, a.Left1, a.Top1, a.Right1, a.Bottom1, aL, aT, aR, aB);
        WarpPair(map2, scratch, f, a.Left2, a.Top2, a.Right2, a.Bottom2, aL, aT, aR, aB);
    }
    return {std::move(map1), std::move(map2)};
}

}  // namespace

TMorphMaps MorphMaps(const TMorphInput& input) {
    auto [map1, map2] = BuildMaps(input, Measure(input));
    return {std::move(map1.col), std::move(map1.row), std::move(map2.col), std::move(map2.row)};
}

bool TResultSize::Fits() const {
    return width <= raster::kMaxSide && height <= raster::kMaxSide &&
           bytes <= raster::kMaxPictureBytes;
}

TResultSize MorphResultSize(const TMorphInput& input) {
    const TPictures p = Measure(input);
    TResultSize size;
    size.width = std::max(p.W1, p.W2);
    size.height = std::max(p.H1, p.H2);
    size.bytes = raster::RowBytes(size.width, 24) * size.height;
    return size;
}

std::string ResultSizeProblem(const TResultSize& size) {
    if (size.Fits()) return {};
    const std::string pixels = std::to_string(size.width) + " x " + std::to_string(size.height);
    if (size.width > raster::kMaxSide || size.height > raster::kMaxSide)
        return "the result would be too large: " + pixels + " pixels, the limit is " +
               std::to_string(raster::kMaxSide) + " on a side";
    // Rounded up, so that a result past the limit never shows as the limit.
    constexpr std::int64_t kMb = std::int64_t{1} << 20;
    return "the result would be too large: " + pixels + " pixels take " +
           std::to_string((size.bytes + kMb - 1) / kMb) + " MB, the limit is " +
           std::to_string(raster::kMaxPictureBytes / kMb) + " MB";
}

raster::DibRecord RenderMorph(const TMorphInput& input) {
    raster::DibRecord result;
    RenderMorphInto(input, result);
    return result;
}

void RenderMorphInto(const TMorphInput& input, raster::DibRecord& result) {
    const TPictures p = Measure(input);
    const i64 W = std::max(p.W1, p.W2);
    const i64 H = std::max(p.H1, p.H2);
    if (!MorphResultSize(input).Fits()) {
        result = raster::DibRecord();
        return;
    }
    if (!result.HasPixels() || result.BitCount() != 24 || result.Width() != W ||
        result.Height() != H) {
        // The old picture goes before the new one is made.
        result = raster::DibRecord();
        result = raster::newdib(static_cast<int>(W), static_cast<int>(H), 24);
    }
    if (!result.HasPixels()) return;

    const std::pair<TAxisMaps, TAxisMaps> maps = BuildMaps(input, p);
    const TAxisMaps& map1 = maps.first;
    const TAxisMaps& map2 = maps.second;
    const auto [m, M] = Position(input);
    const TBlend blend(ColourPosition(input, m, M), M);
    const TSource source1(p.pic1, map1, input.background);
    const TSource source2(p.pic2, map2, input.background);
    auto colour = [&](i64 yBegin, i64 yEnd) {
        ColourRows(result, source1, source2, blend, yBegin, yEnd);
    };
    // Thread start-up costs about as much as colouring a small picture.
    constexpr i64 kThreadedPixels = 1 << 17;
    if (input.secondThread && W * H >= kThreadedPixels && H >= 2 &&
        std::thread::hardware_concurrency() >= 2) {
        const i64 half = H / 2;
        try {
            std::jthread lower(colour, half, H);
            colour(0, half);
        } catch (const std::system_error&) {
            // No second thread to be had: colour everything here.
            colour(0, H);
        }
    } else {
        colour(0, H);
    }
}

}  // namespace core
