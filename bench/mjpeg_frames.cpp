// The Motion JPEG re-coder on its own, for bench/mjpeg_vs_ffmpeg.sh: codes
// raw BGR frames (bgr24, top-down, as ffmpeg writes them) one after another
// on one thread, as CompressJpeg then Optimise, and writes the JPEGs end to
// end (a stream ffmpeg reads with -f mjpeg). Prints the processor time of the
// coding per frame in milliseconds, reading and writing excluded.
//
//   mjpeg_frames FRAMES.bgr WIDTH HEIGHT OUT.mjpeg
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include "video/jpegframe.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: mjpeg_frames FRAMES.bgr WIDTH HEIGHT OUT.mjpeg\n");
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(argv[4], std::ios::binary);
    const std::size_t frameBytes = static_cast<std::size_t>(width) * 3 * height;
    std::vector<std::uint8_t> frame(frameBytes);
    std::vector<std::uint8_t> coded;
    std::vector<std::uint8_t> optimised;
    avivideo::TJpegOptimiser optimiser;
    double total = 0;
    int frames = 0;
    while (
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes))) {
        // TBgrRows reads bottom-up storage: start at the last row, step back.
        const avivideo::TBgrRows rows{
            frame.data() + frameBytes - static_cast<std::size_t>(width) * 3, -width * 3, width,
            height};
        const std::clock_t start = std::clock();
        QString error = avivideo::CompressJpeg(rows, coded);
        if (error.isEmpty()) error = optimiser.Optimise(coded, optimised);
        total += 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        if (!error.isEmpty()) {
            std::fprintf(stderr, "mjpeg_frames: %s\n", qPrintable(error));
            return 1;
        }
        out.write(reinterpret_cast<const char*>(optimised.data()),
                  static_cast<std::streamsize>(optimised.size()));
        ++frames;
    }
    std::printf("%.1f\n", frames ? total / frames : 0.0);
    return frames ? 0 : 1;
}
