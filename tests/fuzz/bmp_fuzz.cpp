// libFuzzer target: The own BMP/DIB/RLE reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_check.h"
#include "raster/own_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const raster::DibRecord dib = raster::DecodeBmp(std::span(data, size));
    CheckDecoded(dib);
    return 0;
}
