#include "raster/own_formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "raster/opendib.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace detail {

std::string SizeProblem(std::int64_t width, std::int64_t height, int bitCount) {
    if (width < 1 || height < 1) {
        return "The picture has no pixels (" + std::to_string(width) + " x " +
               std::to_string(height) + ").";
    }
    if (width > kMaxSide || height > kMaxSide ||
        RowBytes(width, bitCount) * height > kMaxPictureBytes) {
        return "The picture is too large (" + std::to_string(width) + " x " +
               std::to_string(height) + " pixels).";
    }
    return {};
}

std::string CannotHold(std::int64_t bytes, std::int64_t width, std::int64_t height,
                       const char* what) {
    return "The file is truncated or damaged: its " + std::to_string(bytes) + " bytes of " + what +
           " cannot hold a picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels.";
}

DibRecord NewPicture(int width, int height, int bitCount) {
    std::string problem = SizeProblem(width, height, bitCount);
    if (!problem.empty()) return Failed(std::move(problem));
    DibRecord dib = newdib(width, height, bitCount);
    if (!dib.HasPixels()) return Failed("Not enough memory for this picture.");
    return dib;
}

}  // namespace detail

namespace {

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool StartsWith(std::span<const std::uint8_t> data, std::string_view magic, std::size_t at = 0) {
    return data.size() >= at + magic.size() &&
           std::memcmp(data.data() + at, magic.data(), magic.size()) == 0;
}

// Signatures of the formats libraries read; such content never goes to our
// readers whatever the file is called. TIFF is version 42, BigTIFF 43 ('+').
// A JPEG starts with its start-of-image marker, as the decoder requires.
PictureFormat LibraryFormat(std::span<const std::uint8_t> data) {
    using std::string_view;
    if (StartsWith(data, string_view("II*\0", 4)) || StartsWith(data, string_view("MM\0*", 4)) ||
        StartsWith(data, string_view("II+\0", 4)) || StartsWith(data, string_view("MM\0+", 4))) {
        return PictureFormat::Tiff;
    }
    if (StartsWith(data, "\x89PNG\r\n\x1A\n")) return PictureFormat::Png;
    if (StartsWith(data, "\xFF\xD8")) return PictureFormat::Jpeg;
    return PictureFormat::None;
}

bool HasForeignSignature(std::span<const std::uint8_t> data) {
    return LibraryFormat(data) != PictureFormat::None;
}

std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}

// A PCX header: every field that has a small set of legal values must have
// one of them, so that other files (a TGA with a 10-byte id, say) are not
// taken for PCX.
bool LooksLikePcx(std::span<const std::uint8_t> d) {
    if (d.size() < 128 || d[0] != 0x0A) return false;
    const int version = d[1], encoding = d[2], bpp = d[3], planes = d[65];
    if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5) return false;
    if (encoding > 1) return false;
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return false;
    if (planes < 1 || planes > 4) return false;
    return Le16(d, 8) >= Le16(d, 4) && Le16(d, 10) >= Le16(d, 6) && Le16(d, 66) > 0;
}

}  // namespace

bool LooksLikeTga(std::span<const std::uint8_t> d) {
    if (d.size() < 18) return false;
    const int cmapType = d[1], type = d[2], entryBits = d[7], depth = d[16];
    if (cmapType > 1 || Le16(d, 12) == 0 || Le16(d, 14) == 0) return false;
    if (cmapType == 1 && entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32)
        return false;
    switch (type & ~8) {
        case 1:
            return type != 8 && cmapType == 1 && depth == 8;
        case 2:
            return depth == 15 || depth == 16 || depth == 24 || depth == 32;
        case 3:  // grey, alone or followed by an alpha byte
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

OwnFormat DetectOwnFormat(std::span<const std::uint8_t> data, std::string_view fileName) {
    if (StartsWith(data, "FORM") && (StartsWith(data, "ILBM", 8) || StartsWith(data, "PBM ", 8))) {
        return OwnFormat::Iff;
    }
    if (StartsWith(data, "BM")) return OwnFormat::Bmp;
    if (StartsWith(data, "GIF87a") || StartsWith(data, "GIF89a")) return OwnFormat::Gif;
    const bool tgaName = EndsWithNoCase(fileName, ".tga");
    // A TGA has no signature; under its own suffix a sound TGA header wins
    // over the (weaker) chance that the bytes also pass for a PCX header.
    if (tgaName && LooksLikeTga(data)) return OwnFormat::Tga;
    if (LooksLikePcx(data)) return OwnFormat::Pcx;
    if (HasForeignSignature(data)) return OwnFormat::None;
    if (tgaName) return OwnFormat::Tga;
    if (LooksLikePackedDib(data)) return OwnFormat::Bmp;
    return OwnFormat::None;
}

PictureFormat DetectPictureFormat(std::span<const std::uint8_t> head, std::string_view fileName) {
    switch (DetectOwnFormat(head, fileName)) {
        case OwnFormat::Bmp:
            return PictureFormat::Bmp;
        case OwnFormat::Gif:
            return PictureFormat::Gif;
        case OwnFormat::Pcx:
            return PictureFormat::Pcx;
        case OwnFormat::Tga:
            return PictureFormat::Tga;
        case OwnFormat::Iff:
            return PictureFormat::Iff;
        case OwnFormat::None:
            break;
    }
    return LibraryFormat(head);
}

DibRecord Oriented(DibRecord dib, int orientation) {
    if (orientation < 2 || orientation > 8 || !dib.HasPixels()) return dib;
    const int w = dib.Width(), h = dib.Height();
    const bool swap = orientation >= 5;
    DibRecord out = newdib(swap ? h : w, swap ? w : h, dib.BitCount(), &dib, 256);
    if (!out.HasPixels()) return detail::Failed("Not enough memory for this picture.");
    for (int y = 0; y < out.Height(); ++y) {
        for (int x = 0; x < out.Width(); ++x) {
            // The stored pixel that shows at (x, y).
            int sx = x, sy = y;
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    break;
                case 3:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;
                case 4:
                    sy = h - 1 - y;
                    break;
                case 5:
                    sx = y;
                    sy = x;
                    break;
                case 6:
                    sx = y;
                    sy = h - 1 - x;
                    break;
                case 7:
                    sx = w - 1 - y;
                    sy = h - 1 - x;
                    break;
                default:  // 8
                    sx = w - 1 - y;
                    sy = x;
                    break;
            }
            setpixel(out, x, y, getpixel(dib, sx, sy));
        }
    }
    return out;
}

}  // namespace raster
