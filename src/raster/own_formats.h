// Readers of our own for the formats no library here reads both correctly
// and safely: ZSoft PCX, Truevision TGA and Amiga IFF (ILBM and Deluxe Paint
// PBM). Each works on the whole file in memory, checks every read against its
// end, and returns a record without pixels and with an error text on failure.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "raster/dib.h"

namespace raster {

enum class OwnFormat { None, Pcx, Tga, Iff };

// Decides from the first bytes (and, for TGA, which has no signature, the
// file name's suffix as well) whether one of our own readers handles a file.
OwnFormat DetectOwnFormat(std::span<const std::uint8_t> data, std::string_view fileName);

DibRecord DecodePcx(std::span<const std::uint8_t> data);
DibRecord DecodeTga(std::span<const std::uint8_t> data);
DibRecord DecodeIff(std::span<const std::uint8_t> data);

}  // namespace raster
