// The 4:2:0 conversion of the H.264 and VP9 export against libswscale, on the
// same frames (allocated alike, so with the same padding): milliseconds per
// frame at 1080p, 4K and 8K, best of several runs, and the largest error of
// each against the exact limited-range BT.601 values (luma per pixel, chroma
// of the mean of each 2 x 2 block). The picture is noise with gradients, the
// hardest case for the chroma average.
//
//   yuv420_frames [RUNS]
extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "video/yuv420.h"

namespace {

AVFrame* NewFrame(int width, int height) {
    AVFrame* f = av_frame_alloc();
    f->format = AV_PIX_FMT_YUV420P;
    f->width = width;
    f->height = height;
    if (av_frame_get_buffer(f, 0) < 0) std::abort();
    return f;
}

double BestMs(int runs, const std::function<void()>& convert) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        convert();
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
    }
    return best;
}

struct TErrors {
    double luma = 0;
    double chroma = 0;
};

// Against the exact values, from top-down BGR pixels.
TErrors Errors(const std::vector<std::uint8_t>& bgr, int w, int h, const AVFrame& f) {
    TErrors e;
    auto at = [&](int x, int y, int k) { return double(bgr[(std::size_t(y) * w + x) * 3 + k]); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double luma =
                16 + (65.481 * at(x, y, 2) + 128.553 * at(x, y, 1) + 24.966 * at(x, y, 0)) / 255;
            e.luma = std::max(e.luma, std::abs(luma - f.data[0][y * f.linesize[0] + x]));
        }
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2) {
            double c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = (at(x, y, k) + at(x + 1, y, k) + at(x, y + 1, k) + at(x + 1, y + 1, k)) / 4;
            const double cb = 128 + (-37.797 * c[2] - 74.203 * c[1] + 112.0 * c[0]) / 255;
            const double cr = 128 + (112.0 * c[2] - 93.786 * c[1] - 18.214 * c[0]) / 255;
            e.chroma =
                std::max({e.chroma, std::abs(cb - f.data[1][(y / 2) * f.linesize[1] + x / 2]),
                          std::abs(cr - f.data[2][(y / 2) * f.linesize[2] + x / 2])});
        }
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    std::printf("== yuv420_vs_swscale (ms per frame, best of %d; largest error in levels)\n", runs);
    std::printf("%-11s %-28s %9s %8s %8s\n", "size", "conversion", "ms", "luma", "chroma");
    const int sizes[][2] = {{1920, 1080}, {3840, 2160}, {7680, 4320}};
    for (const auto& size : sizes) {
        const int w = size[0];
        const int h = size[1];
        std::vector<std::uint8_t> bgr(std::size_t(w) * h * 3);
        std::mt19937 rng(7);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k)
                    bgr[(std::size_t(y) * w + x) * 3 + k] =
                        static_cast<std::uint8_t>((x * (k + 1) / 8 + y / 4 + rng() % 96) & 0xFF);
        AVFrame* frame = NewFrame(w, h);
        const std::uint8_t black[3] = {0, 0, 0};
        // Bottom-up rows over top-down storage, as TBgrRows expects.
        const avivideo::TBgrRows rows{bgr.data() + bgr.size() - std::size_t(w) * 3, -w * 3, w, h};
        char label[32];
        std::snprintf(label, sizeof label, "%dx%d", w, h);

        double ms = BestMs(runs, [&] { avivideo::BgrToYuv420(rows, black, *frame); });
        TErrors e = Errors(bgr, w, h, *frame);
        std::printf("%-11s %-28s %9.1f %8.2f %8.2f\n", label, "ours (BgrToYuv420)", ms, e.luma,
                    e.chroma);

        const struct {
            const char* name;
            int flags;
        } kinds[] = {{"swscale default (bicubic)", SWS_BICUBIC},
                     {"swscale accurate_rnd", SWS_BICUBIC | SWS_ACCURATE_RND},
                     {"swscale area, accurate_rnd", SWS_AREA | SWS_ACCURATE_RND}};
        for (const auto& kind : kinds) {
            SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGR24, w, h, AV_PIX_FMT_YUV420P,
                                             kind.flags, nullptr, nullptr, nullptr);
            const std::uint8_t* src[1] = {bgr.data()};
            const int stride[1] = {w * 3};
            ms = BestMs(runs,
                        [&] { sws_scale(sws, src, stride, 0, h, frame->data, frame->linesize); });
            e = Errors(bgr, w, h, *frame);
            std::printf("%-11s %-28s %9.1f %8.2f %8.2f\n", label, kind.name, ms, e.luma, e.chroma);
            sws_freeContext(sws);
        }
        av_frame_free(&frame);
    }
    return 0;
}
