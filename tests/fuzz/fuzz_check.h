// What every picture decoder must hold for any input: a picture lies fully
// inside its buffer (every byte is read once to let the sanitizers see it),
// and a refusal says why.
#pragma once

#include <cstdint>

#include "raster/dib.h"

inline void CheckDecoded(const raster::DibRecord& dib) {
    if (dib.HasPixels()) {
        if (dib.Bits().size() != static_cast<std::size_t>(dib.BytesPerRow()) * dib.Height())
            __builtin_trap();
        volatile std::uint32_t sum = 0;
        for (std::uint8_t b : dib.Bits()) sum = sum + b;
    } else if (dib.ErrorText().empty()) {
        __builtin_trap();
    }
}
