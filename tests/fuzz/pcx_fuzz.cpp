// libFuzzer target: the own PCX reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "raster/own_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const raster::DibRecord dib = raster::DecodePcx(std::span(data, size));
    // A picture must be fully inside its buffer and a failure must say why.
    if (dib.HasPixels()) {
        if (dib.Bits().size() != static_cast<std::size_t>(dib.BytesPerRow()) * dib.Height())
            __builtin_trap();
        volatile std::uint32_t sum = 0;
        for (std::uint8_t b : dib.Bits()) sum = sum + b;
    } else if (dib.ErrorText().empty()) {
        __builtin_trap();
    }
    return 0;
}
