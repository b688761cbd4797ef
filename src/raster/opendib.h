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

// TIFF through libtiff: the first picture of the file, its orientation
// applied. Palette and grey pictures of up to 8 bits stay palette pictures.
DibRecord DecodeTiff(std::span<const std::uint8_t> data);

// PNG through libpng. Palette and grey pictures of up to 8 bits stay palette
// pictures; 16-bit samples are rounded; alpha is ignored.
DibRecord DecodePng(std::span<const std::uint8_t> data);

// The picture as it is meant to be seen, given the orientation value of its
// file (TIFF and EXIF number them alike: 1 as stored, 2 mirrored, 3 turned
// half way, 4 flipped, 5 to 8 the same with rows and columns exchanged).
// Unknown values leave it as it is.
DibRecord Oriented(DibRecord dib, int orientation);

}  // namespace raster
