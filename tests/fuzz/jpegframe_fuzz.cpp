// libFuzzer target: the Motion JPEG frame re-coding. With the first byte
// even, the rest is taken as a JPEG frame, possibly cut in two bands at the
// second byte's share of it: any bytes are refused or re-coded, never read
// past. With it odd, the rest makes a small picture that is coded in two
// bands and must be re-coded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "video/jpegframe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static avivideo::TJpegOptimiser optimiser;
    std::vector<std::uint8_t> out;
    if ((data[0] & 1) == 0) {
        const std::size_t cut = 2 + (size - 2) * data[1] / 256;
        const std::vector<std::uint8_t> upper(data + 2, data + cut);
        const std::vector<std::uint8_t> lower(data + cut, data + size);
        if (data[1] == 0) {
            optimiser.Optimise(lower, out);
        } else {
            const std::vector<std::uint8_t>* bands[] = {&upper, &lower};
            optimiser.Optimise(bands, out);
        }
        return 0;
    }
    if (size < 3) return 0;
    // A picture of 1..64 x 9..72, its rows from the bytes that follow.
    const int w = 1 + data[1] % 64;
    const int h = 9 + (data[1] / 64) * 21;
    const int stride = (3 * w + 3) & ~3;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * h, 0);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = data[2 + i % (size - 2)];
    const int upperRows = 8;
    const avivideo::TBgrRows upper{
        pixels.data() + static_cast<std::ptrdiff_t>(h - upperRows) * stride, stride, w, upperRows};
    const avivideo::TBgrRows lower{pixels.data(), stride, w, h - upperRows};
    std::vector<std::uint8_t> a, b;
    if (!avivideo::CompressJpeg(upper, a, true).isEmpty() ||
        !avivideo::CompressJpeg(lower, b, true).isEmpty())
        __builtin_trap();
    const std::vector<std::uint8_t>* bands[] = {&a, &b};
    if (!optimiser.Optimise(bands, out).isEmpty()) __builtin_trap();
    return 0;
}
