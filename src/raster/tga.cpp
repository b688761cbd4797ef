// Truevision TGA reader.
#include <algorithm>
#include <array>
#include <vector>

#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::ByteReader;
using detail::CopyRow;
using detail::Failed;

// A 15/16-bit TGA colour (ARRRRRGG GGGBBBBB, little-endian) widened to 8 bits
// per channel as c * 255 / 31 rounded, so that 31 becomes 255 and 16 is 132.
RgbEntry From16(std::uint16_t v) {
    auto widen = [](int c) { return static_cast<std::uint8_t>((c * 255 + 15) / 31); };
    return {widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31)};
}

// A colour from a stored pixel or colour-map entry of `bytes` bytes (B, G, R
// order for 24 and 32 bits).
RgbEntry ColourOf(const std::uint8_t* p, int bytes) {
    if (bytes == 2) return From16(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    return {p[2], p[1], p[0]};
}

// TGA run-length stream in whole pixels. Packets that run past the end of
// the row being filled are cut there and continue in the next row.
class TgaRle {
public:
    TgaRle(ByteReader& in, int pixelBytes, bool compressed)
        : in_(in), pixelBytes_(static_cast<std::size_t>(pixelBytes)), compressed_(compressed) {}

    bool Fill(std::span<std::uint8_t> row) {
        if (!compressed_) return CopyRow(in_, row);
        std::size_t x = 0;
        const std::size_t count = row.size() / pixelBytes_;
        while (x < count) {
            if (pending_ == 0) {
                std::uint8_t h = 0;
                if (!in_.U8(h)) return false;
                pending_ = (h & 0x7Fu) + 1;
                repeat_ = (h & 0x80u) != 0;
                if (repeat_) {
                    auto px = in_.Take(pixelBytes_);
                    if (px.empty()) return false;
                    std::copy(px.begin(), px.end(), value_.begin());
                }
                continue;
            }
            const std::size_t n = std::min(pending_, count - x);
            std::uint8_t* dst = row.data() + x * pixelBytes_;
            if (repeat_) {
                for (std::size_t i = 0; i < n; ++i)
                    std::copy_n(value_.begin(), pixelBytes_, dst + i * pixelBytes_);
            } else {
                auto src = in_.Take(n * pixelBytes_);
                if (src.empty()) return false;
                std::copy(src.begin(), src.end(), dst);
            }
            x += n;
            pending_ -= n;
        }
        return true;
    }

private:
    ByteReader& in_;
    std::size_t pixelBytes_;
    bool compressed_;
    std::size_t pending_ = 0;
    bool repeat_ = false;
    std::array<std::uint8_t, 4> value_{};
};

}  // namespace

DibRecord DecodeTga(std::span<const std::uint8_t> data) {
    if (!LooksLikeTga(data)) return Failed("This is not a TGA file of a supported kind.");
    ByteReader in(data);
    std::uint8_t idLength = 0, cmapType = 0, type = 0, entryBits = 0, depth = 0, descriptor = 0;
    std::uint16_t cmapFirst = 0, cmapLength = 0, xOrigin = 0, yOrigin = 0, width = 0, height = 0;
    in.U8(idLength);
    in.U8(cmapType);
    in.U8(type);
    in.U16LE(cmapFirst);
    in.U16LE(cmapLength);
    in.U8(entryBits);
    in.U16LE(xOrigin);
    in.U16LE(yOrigin);
    in.U16LE(width);
    in.U16LE(height);
    in.U8(depth);
    in.U8(descriptor);

    const bool compressed = (type & 8) != 0;
    const int kind = type & 7;  // 1 colour-mapped, 2 true colour, 3 grey
    const int pixelBytes = (depth + 7) / 8;
    const int dibBits = kind == 2 ? 24 : 8;
    if (std::string problem = detail::SizeProblem(width, height, dibBits); !problem.empty()) {
        return Failed(std::move(problem));
    }
    if (!in.Skip(idLength)) return Failed(detail::kTruncated);

    const int entryBytes = (entryBits + 7) / 8;
    std::span<const std::uint8_t> cmap;
    if (cmapType == 1) {
        cmap = in.Take(std::size_t{cmapLength} * entryBytes);
        if (cmap.empty() && cmapLength > 0) return Failed(detail::kTruncated);
    }

    // A packet of 1 + pixelBytes bytes gives at most 128 pixels.
    const std::int64_t pixels = std::int64_t{width} * height;
    const auto available = static_cast<std::int64_t>(in.Remaining());
    const std::int64_t most =
        compressed ? available / (1 + pixelBytes) * 128 + 128 : available / pixelBytes;
    if (most < pixels) return Failed(detail::kTruncated);

    DibRecord dib = detail::NewPicture(width, height, dibBits);
    if (!dib.HasPixels()) return dib;
    auto& pal = dib.Palette();
    if (kind == 1) {
        // Colour-map entry i describes pixel value cmapFirst + i; values with
        // no entry stay black.
        for (int i = 0; i < cmapLength && cmapFirst + i < 256; ++i)
            pal[cmapFirst + i] = ColourOf(
                cmap.data() + std::size_t{static_cast<unsigned>(i)} * entryBytes, entryBytes);
    } else if (kind == 3) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            pal[i] = {v, v, v};
        }
    }

    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    TgaRle rle(in, pixelBytes, compressed);
    std::vector<std::uint8_t> row(std::size_t{width} * pixelBytes);
    for (int i = 0; i < height; ++i) {
        if (!rle.Fill(row)) return Failed(detail::kTruncated);
        std::uint8_t* out = topDown ? dib.Row(i) : dib.StoredRow(i);
        for (int x = 0; x < width; ++x) {
            const int dx = rightToLeft ? width - 1 - x : x;
            const std::uint8_t* px =
                row.data() + std::size_t{static_cast<unsigned>(x)} * pixelBytes;
            if (dibBits == 8) {
                out[dx] = px[0];
            } else {
                const RgbEntry c = ColourOf(px, pixelBytes);
                out[3 * dx] = c.blue;
                out[3 * dx + 1] = c.green;
                out[3 * dx + 2] = c.red;
            }
        }
    }
    return dib;
}

}  // namespace raster
