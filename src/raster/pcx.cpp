// ZSoft PCX reader.
#include <algorithm>
#include <array>
#include <vector>

#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::ByteReader;
using detail::Failed;

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPalette256Size = 769;  // marker 0x0C and 256 RGB triples

// The colours of a 16-colour picture whose header carries no palette
// (version 3): the standard EGA set.
constexpr std::array<RgbEntry, 16> kEgaPalette = {{{0, 0, 0},
                                                   {0, 0, 170},
                                                   {0, 170, 0},
                                                   {0, 170, 170},
                                                   {170, 0, 0},
                                                   {170, 0, 170},
                                                   {170, 85, 0},
                                                   {170, 170, 170},
                                                   {85, 85, 85},
                                                   {85, 85, 255},
                                                   {85, 255, 85},
                                                   {85, 255, 255},
                                                   {255, 85, 85},
                                                   {255, 85, 255},
                                                   {255, 255, 85},
                                                   {255, 255, 255}}};

// PCX run-length stream. A run that goes past the end of the scan line being
// filled is cut there and its rest continues the next line (some writers let
// runs cross lines), so no run ever writes outside its line.
class PcxRle {
public:
    PcxRle(ByteReader& in, bool compressed) : in_(in), compressed_(compressed) {}

    bool Fill(std::span<std::uint8_t> line) {
        std::size_t x = 0;
        while (x < line.size()) {
            if (pending_ == 0) {
                std::uint8_t b = 0;
                if (!in_.U8(b)) return false;
                if (compressed_ && (b & 0xC0) == 0xC0) {
                    pending_ = b & 0x3F;
                    if (!in_.U8(value_)) return false;
                } else {
                    pending_ = 1;
                    value_ = b;
                }
                continue;
            }
            const std::size_t n = std::min(pending_, line.size() - x);
            std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(x), n, value_);
            x += n;
            pending_ -= n;
        }
        return true;
    }

private:
    ByteReader& in_;
    bool compressed_;
    std::size_t pending_ = 0;
    std::uint8_t value_ = 0;
};

}  // namespace

DibRecord DecodePcx(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    if (data.size() < kHeaderSize || data[0] != 0x0A) return Failed("This is not a PCX file.");
    const int version = data[1];
    if (version != 0 && version != 2 && version != 3 && version != 4 && version != 5)
        return Failed("This is not a PCX file: unknown version " + std::to_string(version) + ".");
    const bool compressed = data[2] == 1;
    const int bpp = data[3];
    auto le16 = [&](std::size_t at) { return static_cast<int>(data[at] | (data[at + 1] << 8)); };
    const int xmin = le16(4), ymin = le16(6), xmax = le16(8), ymax = le16(10);
    const int planes = data[65];
    const int bytesPerLine = le16(66);
    if (xmax < xmin || ymax < ymin) return Failed("The PCX header gives no picture size.");
    const int width = xmax - xmin + 1;
    const int height = ymax - ymin + 1;

    // No planes would mean no bytes per line: a huge picture from nothing.
    if (planes < 1 || planes > 4) {
        return Failed("The PCX header is damaged: it gives " + std::to_string(planes) + " planes.");
    }
    const int colourBits = bpp * planes;
    int dibBits = 0;
    if (bpp == 8 && planes == 1) {
        dibBits = 8;
    } else if (bpp == 8 && (planes == 3 || planes == 4)) {
        dibBits = 24;
    } else if (colourBits == 1) {
        dibBits = 1;
    } else if ((bpp == 1 && planes <= 4) || (bpp == 2 && planes == 1) ||
               (bpp == 4 && planes == 1)) {
        dibBits = 4;
    } else {
        return Failed("This kind of PCX file (" + std::to_string(bpp) + " bits in " +
                      std::to_string(planes) + " planes) is not supported.");
    }
    if (std::string problem = detail::SizeProblem(width, height, dibBits); !problem.empty()) {
        return Failed(std::move(problem));
    }
    if (static_cast<std::int64_t>(bytesPerLine) * 8 < static_cast<std::int64_t>(width) * bpp) {
        return Failed("The PCX header is damaged: its lines are too short for the picture width.");
    }

    // The 256-colour table sits in the last 769 bytes; the pixel data ends
    // before it.
    std::size_t dataEnd = data.size();
    std::span<const std::uint8_t> palette256;
    if (dibBits == 8) {
        if (data.size() < kHeaderSize + kPalette256Size ||
            data[data.size() - kPalette256Size] != 0x0C) {
            return Failed("The colour table at the end of the PCX file is missing.");
        }
        dataEnd = data.size() - kPalette256Size;
        palette256 = data.subspan(dataEnd + 1, 768);
    }

    // Even a perfect run-length stream yields at most 63 bytes per 2 bytes
    // read; a header that claims more than the file could hold is refused
    // before allocating.
    const std::int64_t lineBytes = std::int64_t{bytesPerLine} * planes;
    const std::int64_t needed = lineBytes * height;
    const std::int64_t available = static_cast<std::int64_t>(dataEnd - kHeaderSize);
    if ((compressed ? available * 63 / 2 + 63 : available) < needed)
        return Failed(detail::kTruncated);

    DibRecord dib = detail::NewPicture(width, height, dibBits);
    if (!dib.HasPixels()) return dib;

    auto& pal = dib.Palette();
    if (dibBits == 8) {
        for (int i = 0; i < 256; ++i)
            pal[i] = {palette256[3 * i], palette256[3 * i + 1], palette256[3 * i + 2]};
    } else if (dibBits <= 4) {
        for (int i = 0; i < 16; ++i)
            pal[i] = {data[16 + 3 * i], data[17 + 3 * i], data[18 + 3 * i]};
        if (dibBits == 1) {
            // Writers fill the header's table of a two-colour file with
            // anything (CGA mode bytes, stale colours); other readers show
            // black and white, and so do we.
            pal[0] = {0, 0, 0};
            pal[1] = {255, 255, 255};
        } else if (version == 3) {
            std::copy(kEgaPalette.begin(), kEgaPalette.end(), pal.begin());
        }
    }

    ByteReader body(data.first(dataEnd));
    body.Seek(kHeaderSize);
    PcxRle rle(body, compressed);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineBytes));
    for (int y = 0; y < height; ++y) {
        if (!rle.Fill(line)) return Failed(detail::kTruncated);
        std::uint8_t* out = dib.Row(y);
        const std::uint8_t* src = line.data();
        if (dibBits == 1) {
            std::copy_n(src, (width + 7) / 8, out);
        } else if (dibBits == 8) {
            std::copy_n(src, width, out);
        } else if (dibBits == 24) {
            const std::uint8_t* r = src;
            const std::uint8_t* g = src + bytesPerLine;
            const std::uint8_t* b = src + 2 * bytesPerLine;
            for (int x = 0; x < width; ++x) {
                out[3 * x] = b[x];
                out[3 * x + 1] = g[x];
                out[3 * x + 2] = r[x];
            }
        } else {
            for (int x = 0; x < width; ++x) {
                int index = 0;
                if (bpp == 1) {
                    for (int p = 0; p < planes; ++p) {
                        const int bit = (src[p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1;
                        index |= bit << p;
                    }
                } else {
                    const int perByte = 8 / bpp;
                    const int shift = 8 - bpp * (x % perByte + 1);
                    index = (src[x / perByte] >> shift) & ((1 << bpp) - 1);
                }
                std::uint8_t& cell = out[x >> 1];
                cell = (x & 1) ? static_cast<std::uint8_t>(cell | index)
                               : static_cast<std::uint8_t>(index << 4);
            }
        }
    }
    if (dibBits == 1 && (width & 7) != 0) {
        // Clear the bits past the last pixel so that rows compare equal.
        const auto mask = static_cast<std::uint8_t>(0xFF00u >> (width & 7));
        for (int y = 0; y < height; ++y) dib.Row(y)[(width - 1) / 8] &= mask;
    }
    return dib;
}

}  // namespace raster
