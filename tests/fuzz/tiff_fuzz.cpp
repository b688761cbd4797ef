// libFuzzer target: The libtiff-based TIFF reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_check.h"
#include "raster/opendib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const raster::DibRecord dib = raster::DecodeTiff(std::span(data, size));
    CheckDecoded(dib);
    return 0;
}
