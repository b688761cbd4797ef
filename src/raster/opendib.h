// The decoding half of OpenDib, on bytes already in memory.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "raster/dib.h"

namespace raster {

// Decodes a whole picture file held in memory. nameHint is only used for
// formats without a signature (TGA is recognised by its suffix). On failure
// the record has no pixels and carries the error text.
DibRecord DecodePicture(std::span<const std::uint8_t> data, std::string_view nameHint);

}  // namespace raster
