// Readers of our own for the formats no library here reads both correctly
// and safely: Windows/OS/2 bitmaps (BMP, DIB, RLE), GIF, ZSoft PCX,
// Truevision TGA and Amiga IFF (ILBM and Deluxe Paint PBM). Each works on the whole file in memory,
// checks every read against its end, checks the picture size before allocating, and returns a
// record without pixels and with an error text on failure. Truncated pixel data is refused rather
// than shown half-defined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "raster/dib.h"

namespace raster {

enum class OwnFormat { None, Bmp, Gif, Pcx, Tga, Iff };

// Decides from the first bytes (and, for TGA, which has no signature, the
// file name's suffix as well) whether one of our own readers handles a file.
// Content wins: a BMP, PNG, GIF, JPEG or TIFF named *.tga is not a TGA.
// A bitmap without its file header (a packed DIB) is recognised by its info
// header.
OwnFormat DetectOwnFormat(std::span<const std::uint8_t> data, std::string_view fileName);

// Every format OpenDib reads, as its first bytes tell.
enum class PictureFormat { None, Bmp, Gif, Pcx, Tga, Iff, Tiff, Png, Jpeg };

// The first bytes of a file that DetectPictureFormat needs: it decides the
// same on them as on the whole file.
inline constexpr std::size_t kFormatHeadBytes = 128;

// DetectOwnFormat, then the signatures of the formats libraries read (TIFF
// and BigTIFF, PNG, JPEG). None: no reader takes the file.
PictureFormat DetectPictureFormat(std::span<const std::uint8_t> head, std::string_view fileName);

// True when the first 18 bytes are a TGA header of a kind DecodeTga reads.
bool LooksLikeTga(std::span<const std::uint8_t> data);

// True when the data starts with a bitmap info header of a kind DecodeBmp
// reads (a DIB without the 14-byte file header, as on the clipboard).
bool LooksLikePackedDib(std::span<const std::uint8_t> data);

// BMP/DIB/RLE with or without the file header: every Windows and OS/2 info
// header, 1, 2, 4 and 8 bits (palette pictures; 2 bits give a 4-bit one),
// 16, 24 and 32 bits with bit fields of any width (24-bit pictures), RLE8
// and RLE4.
DibRecord DecodeBmp(std::span<const std::uint8_t> data);
// GIF: the first picture, as a 1-, 4- or 8-bit palette picture the size of
// the logical screen.
DibRecord DecodeGif(std::span<const std::uint8_t> data);
// PCX: 1, 2, 4 or 8 bits in 1 to 4 planes. Up to 16 colours give a 1- or
// 4-bit palette picture, 8 bits in one plane an 8-bit one (colour table at
// the end of the file), 8 bits in 3 or 4 planes a 24-bit picture.
DibRecord DecodePcx(std::span<const std::uint8_t> data);
// TGA: types 1, 2, 3 and their RLE forms 9, 10, 11; 8-bit colour-mapped and
// grey give 8-bit palette pictures, 15/16/24/32-bit true colour 24-bit ones.
DibRecord DecodeTga(std::span<const std::uint8_t> data);
// IFF: ILBM with 1-8 planes (palette picture; EHB and HAM resolved), 24 or 32
// planes (24-bit), and Deluxe Paint's chunky "PBM "; ByteRun1 or none.
DibRecord DecodeIff(std::span<const std::uint8_t> data);

}  // namespace raster
