// Windows and OS/2 bitmap reader (BMP, DIB, RLE), with or without the file
// header. This is the program's own picture format, so it is read here rather
// than by a library: every header size, bit fields of any width, short
// colour tables and RLE streams are handled the way other decoders agree on.
#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::ByteReader;
using detail::Failed;

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5,
                        kAlphaBitFields = 6;

std::uint32_t Le32(std::span<const std::uint8_t> d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t{d[at + 3]} << 24);
}
std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}

bool KnownInfoSize(std::uint32_t size) {
    // 12: OS/2 1.x; 16 to 64: OS/2 2.x (any prefix of its 64 bytes); 40, 52,
    // 56, 108, 124: Windows versions 3 to 5.
    return size == 12 || (size >= 16 && size <= 64 && size % 4 == 0) || size == 108 || size == 124;
}

// One colour channel of a bit-field pixel, widened to 8 bits.
struct Channel {
    int shift = 0;
    std::uint32_t max = 0;  // all ones in the channel's width; 0 for no channel

    static bool Make(std::uint32_t mask, Channel& out) {
        if (mask == 0) {
            out = {};
            return true;
        }
        out.shift = std::countr_zero(mask);
        out.max = mask >> out.shift;
        return (out.max & (out.max + 1)) == 0;  // contiguous ones
    }
    // Full range, rounded: c * 255 / max, so that 31 of 5 bits is 255.
    std::uint8_t Of(std::uint32_t pixel) const {
        if (max == 0) return 0;
        const std::uint64_t c = (pixel >> shift) & max;
        return static_cast<std::uint8_t>((c * 255 + max / 2) / max);
    }
};

struct Header {
    bool os2Core = false;
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: rows stored top-down
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t colorsUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    bool hasMasks = false;
};

// The picture of an RLE8 or RLE4 stream, written index by index. As other
// decoders do, pixels follow each other through the rows: a stream without
// end-of-line markers fills row after row, and pixels a row's runs give past
// its end spill into the next row until an end of line starts that row
// afresh. Pixels the stream skips keep index 0.
bool DecodeRle(ByteReader& in, bool four, DibRecord& dib, bool topDown, std::string& error) {
    const std::int64_t width = dib.Width(), height = dib.Height();
    const std::int64_t total = width * height;
    std::int64_t line = 0;  // rows begun by end-of-line and delta markers
    std::int64_t p = 0;     // pixel position, row by row in storage order
    auto put = [&](int value) {
        if (p < total) {
            const int y = static_cast<int>(p / width), x = static_cast<int>(p % width);
            std::uint8_t* row = topDown ? dib.Row(y) : dib.StoredRow(y);
            if (four) {
                std::uint8_t& cell = row[x >> 1];
                cell = (x & 1) ? static_cast<std::uint8_t>((cell & 0xF0) | value)
                               : static_cast<std::uint8_t>((cell & 0x0F) | (value << 4));
            } else {
                row[x] = static_cast<std::uint8_t>(value);
            }
        }
        ++p;
    };
    while (p < total) {
        std::uint8_t count = 0, value = 0;
        if (!in.U8(count) || !in.U8(value)) {
            error = detail::kTruncated;
            return false;
        }
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
            case 0:  // end of line
                p = ++line * width;
                break;
            case 1:  // end of picture
                return true;
            case 2: {  // delta: right and up (down in the stored order)
                std::uint8_t dx = 0, dy = 0;
                if (!in.U8(dx) || !in.U8(dy)) {
                    error = detail::kTruncated;
                    return false;
                }
                const std::int64_t x = p - line * width + dx;
                line += dy;
                p = line * width + x;
                break;
            }
            default: {  // literal pixels, padded to 16 bits
                const int n = value;
                const std::size_t bytes = four ? (n + 1) / 2 : n;
                auto src = in.Take(bytes);
                if (src.empty() || !in.Skip(bytes & 1)) {
                    error = detail::kTruncated;
                    return false;
                }
                for (int i = 0; i < n; ++i)
                    put(four ? ((i & 1) ? src[i / 2] & 15 : src[i / 2] >> 4) : src[i]);
                break;
            }
        }
    }
    return true;
}

}  // namespace

bool LooksLikePackedDib(std::span<const std::uint8_t> d) {
    if (d.size() < 16) return false;
    const std::uint32_t infoSize = Le32(d, 0);
    if (infoSize == 12) {
        const int bits = Le16(d, 10);
        return Le16(d, 8) == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24);
    }
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return false;
    if (d.size() < infoSize) return false;
    const int bits = Le16(d, 14);
    const std::uint32_t compression = Le32(d, 16);
    return Le16(d, 12) == 1 && (compression <= 3 || compression == kAlphaBitFields) &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
            bits == 32);
}

DibRecord DecodeBmp(std::span<const std::uint8_t> data) {
    const bool fileHeader = data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
    if (!fileHeader && !LooksLikePackedDib(data)) return Failed("This is not a BMP file.");
    const std::size_t infoAt = fileHeader ? 14 : 0;
    if (data.size() < infoAt + 16) return Failed(detail::kTruncated);
    const std::uint32_t infoSize = Le32(data, infoAt);
    if (!KnownInfoSize(infoSize)) {
        return Failed("The BMP header is damaged: its size of " + std::to_string(infoSize) +
                      " bytes is not one of a bitmap header.");
    }
    if (data.size() < infoAt + infoSize) return Failed(detail::kTruncated);
    const auto info = data.subspan(infoAt, infoSize);

    Header h;
    h.os2Core = infoSize == 12;
    if (h.os2Core) {
        h.width = Le16(info, 4);
        h.height = Le16(info, 6);
        h.bits = Le16(info, 10);
    } else {
        h.width = static_cast<std::int32_t>(Le32(info, 4));
        h.height = static_cast<std::int32_t>(Le32(info, 8));
        h.bits = Le16(info, 14);
        if (infoSize >= 20) h.compression = Le32(info, 16);
        if (infoSize >= 36) h.colorsUsed = Le32(info, 32);
    }
    // OS/2 2.x headers (sizes other than Windows') number their compressions
    // differently: 3 is Huffman 1D and 4 is RLE24, neither of which we read.
    const bool windows =
        infoSize >= 40 && (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize >= 108);
    if (!windows && !h.os2Core && (h.compression == 3 || h.compression == 4)) {
        return Failed("This OS/2 bitmap is compressed in a way that is not supported.");
    }
    if (h.compression == kJpeg || h.compression == kPng) {
        return Failed("BMP files holding a JPEG or PNG picture are not supported.");
    }

    std::size_t pos = infoAt + infoSize;
    const bool bitFields = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (bitFields) {
        if (h.bits != 16 && h.bits != 24 && h.bits != 32) {
            return Failed("The BMP header is damaged: bit fields with " + std::to_string(h.bits) +
                          " bits per pixel.");
        }
        if (infoSize >= 52) {
            for (int i = 0; i < 3; ++i) h.masks[i] = Le32(info, 40 + 4 * i);
        } else {
            // Masks follow a 40-byte header (alpha too for ALPHABITFIELDS).
            const std::size_t count = h.compression == kAlphaBitFields ? 4 : 3;
            if (data.size() < pos + 4 * count) return Failed(detail::kTruncated);
            for (int i = 0; i < 3; ++i) h.masks[i] = Le32(data, pos + 4 * i);
            pos += 4 * count;
        }
        h.hasMasks = true;
    } else if (h.compression != kRgb && h.compression != kRle8 && h.compression != kRle4) {
        return Failed("This BMP compression (" + std::to_string(h.compression) +
                      ") is not supported.");
    }
    if (h.compression == kRle8 && h.bits != 8)
        return Failed(
            "The BMP header is damaged: RLE8 "
            "with a depth other than 8 bits.");
    if (h.compression == kRle4 && h.bits != 4)
        return Failed(
            "The BMP header is damaged: RLE4 "
            "with a depth other than 4 bits.");

    int dibBits = 0;
    switch (h.bits) {
        case 1:
            dibBits = 1;
            break;
        case 2:
        case 4:
            dibBits = 4;
            break;
        case 8:
            dibBits = 8;
            break;
        case 16:
        case 24:
        case 32:
            dibBits = 24;
            break;
        default:
            return Failed("This BMP depth (" + std::to_string(h.bits) +
                          " bits per pixel) is not supported.");
    }
    const std::int64_t width = h.width;
    const std::int64_t height = h.height < 0 ? -h.height : h.height;
    if (std::string problem = detail::SizeProblem(width, height, dibBits); !problem.empty())
        return Failed(std::move(problem));

    // The colour table: as many entries as the header says, but never more
    // than fit before the pixel data; missing entries are black.
    const std::size_t entryBytes = h.os2Core ? 3 : 4;
    const std::size_t tableAt = pos;
    std::size_t entries = 0;
    if (h.bits <= 8) {
        const std::uint32_t full = 1u << h.bits;
        entries = h.colorsUsed != 0 && h.colorsUsed < full ? h.colorsUsed : full;
    } else if (h.colorsUsed <= 256) {
        entries = h.colorsUsed;  // an optional table for palette displays
    }
    // Where the table must end: at the pixel data when the file header says
    // where that is, else at the end of the file.
    const std::uint32_t offset = fileHeader ? Le32(data, 10) : 0;
    const bool offsetSound = fileHeader && offset >= tableAt && offset <= data.size();
    const std::size_t room = (offsetSound ? offset : data.size()) - std::min(tableAt, data.size());
    if (h.colorsUsed != 0 && std::uint64_t{h.colorsUsed} * entryBytes > room) {
        return Failed("The BMP header is damaged: its " + std::to_string(h.colorsUsed) +
                      " colours do not fit before the picture data.");
    }
    std::size_t pixelsAt = tableAt + entries * entryBytes;
    if (offsetSound) {
        entries = std::min(entries, (offset - tableAt) / entryBytes);
        pixelsAt = offset;
    }
    if (pixelsAt > data.size() || tableAt + entries * entryBytes > data.size())
        return Failed(detail::kTruncated);

    const bool topDown = h.height < 0;
    const std::size_t available = data.size() - pixelsAt;
    const std::int64_t rowBytes = RowBytes(width, h.bits);
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (rle) {
        // Each two bytes give at most one run of 255 pixels.
        if (static_cast<std::int64_t>(available / 2 + 1) * 255 < width * height) {
            return Failed(detail::CannotHold(static_cast<std::int64_t>(available), width, height,
                                             "RLE data"));
        }
    } else {
        // The last row may lack its padding.
        const std::int64_t needed = rowBytes * (height - 1) + (width * h.bits + 7) / 8;
        if (static_cast<std::int64_t>(available) < needed) return Failed(detail::kTruncated);
    }

    DibRecord dib = detail::NewPicture(static_cast<int>(width), static_cast<int>(height), dibBits);
    if (!dib.HasPixels()) return dib;
    if (h.bits <= 8) {
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = data.data() + tableAt + i * entryBytes;
            dib.Palette()[i] = {e[2], e[1], e[0]};
        }
    }

    ByteReader in(data);
    in.Seek(pixelsAt);
    if (rle) {
        std::string error;
        if (!DecodeRle(in, h.compression == kRle4, dib, topDown, error))
            return Failed(std::move(error));
        return dib;
    }

    Channel red, green, blue;
    if (!h.hasMasks) {
        if (h.bits == 16) {
            h.masks[0] = 0x7C00;
            h.masks[1] = 0x03E0;
            h.masks[2] = 0x001F;
        } else {
            h.masks[0] = 0xFF0000;
            h.masks[1] = 0x00FF00;
            h.masks[2] = 0x0000FF;
        }
    }
    if (!Channel::Make(h.masks[0], red) || !Channel::Make(h.masks[1], green) ||
        !Channel::Make(h.masks[2], blue)) {
        return Failed("The BMP bit fields are damaged: a colour mask is not one run of bits.");
    }

    const int w = static_cast<int>(width);
    const int pixelBytes = h.bits / 8;
    // Blue, green, red bytes in the usual order are the record's own: the
    // rows are copied as they are, or without their fourth byte.
    const bool usualOrder =
        h.masks[0] == 0xFF0000 && h.masks[1] == 0x00FF00 && h.masks[2] == 0x0000FF;
    for (int r = 0; r < dib.Height(); ++r) {
        const std::uint8_t* src = data.data() + pixelsAt + static_cast<std::size_t>(r) * rowBytes;
        std::uint8_t* out = topDown ? dib.Row(r) : dib.StoredRow(r);
        switch (h.bits) {
            case 1:
            case 8:
                std::copy_n(src, (w * h.bits + 7) / 8, out);
                break;
            case 4:
                std::copy_n(src, (w + 1) / 2, out);
                break;
            case 2:
                for (int x = 0; x < w; ++x) {
                    const int v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                    out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? v : v << 4);
                }
                break;
            default:
                if (usualOrder && h.bits == 24) {
                    std::copy_n(src, std::size_t{3} * static_cast<std::size_t>(w), out);
                    break;
                }
                if (usualOrder && h.bits == 32) {
                    for (int x = 0; x < w; ++x) {
                        out[3 * x] = src[4 * x];
                        out[3 * x + 1] = src[4 * x + 1];
                        out[3 * x + 2] = src[4 * x + 2];
                    }
                    break;
                }
                for (int x = 0; x < w; ++x) {
                    const std::uint8_t* p = src + static_cast<std::size_t>(x) * pixelBytes;
                    std::uint32_t v = 0;
                    for (int i = pixelBytes - 1; i >= 0; --i) v = (v << 8) | p[i];
                    out[3 * x] = blue.Of(v);
                    out[3 * x + 1] = green.Of(v);
                    out[3 * x + 2] = red.Of(v);
                }
                break;
        }
    }
    // Clear the bits past the last pixel so that rows compare equal.
    if (dibBits == 1 && (w & 7) != 0) {
        const auto mask = static_cast<std::uint8_t>(0xFF00u >> (w & 7));
        for (int y = 0; y < dib.Height(); ++y) dib.Row(y)[(w - 1) / 8] &= mask;
    } else if (dibBits == 4 && (w & 1) != 0) {
        for (int y = 0; y < dib.Height(); ++y) dib.Row(y)[(w - 1) / 2] &= 0xF0;
    }
    return dib;
}

}  // namespace raster
