// libFuzzer target: the whole of OpenDib's decoding (content detection, our
// own readers, Qt's readers) on arbitrary bytes. The first byte picks the
// name the data is given, so that the TGA path (chosen by suffix) is reached.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_check.h"
#include "raster/opendib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr const char* kNames[] = {"p.bmp", "p.tga", "p.pcx", "p.lbm",
                                             "p.gif", "p.png", "p.jpg", "p.tif"};
    const char* name = kNames[data[0] % 8];
    const raster::DibRecord dib = raster::DecodePicture(std::span(data + 1, size - 1), name);
    CheckDecoded(dib);
    return 0;
}
