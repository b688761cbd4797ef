#include "video/yuv420.h"

namespace avivideo {

namespace {

// The conversions below are plain loops over rows that the compiler
// vectorises; on x86-64 an AVX2 version of each is built as well and picked
// when the program is loaded, where the processor has it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define VECTOR_CLONES
#endif

// Limited-range BT.601 (studio swing), 16-bit fixed point.
inline std::uint8_t LumaOf(std::int32_t r, std::int32_t g, std::int32_t b) {
    return static_cast<std::uint8_t>((16829 * r + 33039 * g + 6416 * b + (16 << 16) + 32768) >> 16);
}

// Cb and Cr of the sum of four pixels: the factors carry the division by 4.
inline void ChromaOf(std::int32_t sr, std::int32_t sg, std::int32_t sb, std::uint8_t& cb,
                     std::uint8_t& cr) {
    cb =
        static_cast<std::uint8_t>((-2428 * sr - 4768 * sg + 7196 * sb + (128 << 16) + 32768) >> 16);
    cr = static_cast<std::uint8_t>((7196 * sr - 6026 * sg - 1170 * sb + (128 << 16) + 32768) >> 16);
}

VECTOR_CLONES void LumaRow(const std::uint8_t* __restrict p, int width,
                           std::uint8_t* __restrict out) {
    for (int x = 0; x < width; ++x) out[x] = LumaOf(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
}

// Chroma of the 2 x 2 blocks of two rows of BGR pixels.
VECTOR_CLONES void ChromaRow(const std::uint8_t* __restrict p, const std::uint8_t* __restrict q,
                             int blocks, std::uint8_t* __restrict outCb,
                             std::uint8_t* __restrict outCr) {
    for (int i = 0; i < blocks; ++i) {
        const std::int32_t sb = p[6 * i] + p[6 * i + 3] + q[6 * i] + q[6 * i + 3];
        const std::int32_t sg = p[6 * i + 1] + p[6 * i + 4] + q[6 * i + 1] + q[6 * i + 4];
        const std::int32_t sr = p[6 * i + 2] + p[6 * i + 5] + q[6 * i + 2] + q[6 * i + 5];
        ChromaOf(sr, sg, sb, outCb[i], outCr[i]);
    }
}

}  // namespace

void BgrToYuv420(const TBgrRows& in, const std::uint8_t* background, AVFrame& frame) {
    const int codedW = frame.width;
    for (int y = 0; y < frame.height; y += 2) {
        const std::uint8_t* rows[2] = {in.Row(y), y + 1 < in.height ? in.Row(y + 1) : nullptr};
        std::uint8_t* outY[2] = {
            frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0],
            frame.data[0] + static_cast<std::ptrdiff_t>(y + 1) * frame.linesize[0]};
        std::uint8_t* outCb =
            frame.data[1] + static_cast<std::ptrdiff_t>(y / 2) * frame.linesize[1];
        std::uint8_t* outCr =
            frame.data[2] + static_cast<std::ptrdiff_t>(y / 2) * frame.linesize[2];
        int x = 0;
        if (rows[1]) {
            // Whole blocks inside the picture.
            LumaRow(rows[0], in.width, outY[0]);
            LumaRow(rows[1], in.width, outY[1]);
            ChromaRow(rows[0], rows[1], in.width / 2, outCb, outCr);
            x = in.width & ~1;
        }
        for (; x < codedW; x += 2) {
            std::int32_t sum[3] = {0, 0, 0};
            int inside = 0;
            const std::uint8_t* last = background;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const bool real = rows[dy] && x + dx < in.width;
                    const std::uint8_t* p = real ? rows[dy] + 3 * (x + dx) : background;
                    if (real) {
                        for (int k = 0; k < 3; ++k) sum[k] += p[k];
                        ++inside;
                        last = p;
                    }
                    outY[dy][x + dx] = LumaOf(p[2], p[1], p[0]);
                }
            }
            if (inside == 2) {
                for (std::int32_t& v : sum) v *= 2;
            } else if (inside != 4) {
                // One picture pixel (the corner), or none.
                for (int k = 0; k < 3; ++k) sum[k] = 4 * last[k];
            }
            ChromaOf(sum[2], sum[1], sum[0], outCb[x / 2], outCr[x / 2]);
        }
    }
}

}  // namespace avivideo
