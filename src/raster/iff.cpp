// Amiga IFF reader: interleaved bitplanes (ILBM) and Deluxe Paint's chunky
// "PBM " variant.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::ByteReader;
using detail::CopyRow;
using detail::Failed;

constexpr std::uint32_t kCamgEhb = 0x80;
constexpr std::uint32_t kCamgHam = 0x800;

struct Bmhd {
    int width = 0;
    int height = 0;
    int planes = 0;
    int masking = 0;
    int compression = 0;
};

// ByteRun1 stream. A run that goes past the end of the plane row being
// filled is cut there and continues in the next one, so no run writes
// outside its row.
class ByteRun1 {
public:
    ByteRun1(ByteReader& in, bool compressed) : in_(in), compressed_(compressed) {}

    bool Fill(std::span<std::uint8_t> row) {
        if (!compressed_) return CopyRow(in_, row);
        std::size_t x = 0;
        while (x < row.size()) {
            if (pending_ == 0) {
                std::uint8_t b = 0;
                if (!in_.U8(b)) return false;
                const auto n = static_cast<std::int8_t>(b);
                if (n == -128) continue;  // no operation
                literal_ = n >= 0;
                pending_ = literal_ ? std::size_t(n) + 1 : std::size_t(1 - n);
                if (!literal_ && !in_.U8(value_)) return false;
                continue;
            }
            const std::size_t n = std::min(pending_, row.size() - x);
            if (literal_) {
                auto src = in_.Take(n);
                if (src.empty()) return false;
                std::copy(src.begin(), src.end(), row.begin() + static_cast<std::ptrdiff_t>(x));
            } else {
                std::fill_n(row.begin() + static_cast<std::ptrdiff_t>(x), n, value_);
            }
            x += n;
            pending_ -= n;
        }
        return true;
    }

private:
    ByteReader& in_;
    bool compressed_;
    std::size_t pending_ = 0;
    bool literal_ = false;
    std::uint8_t value_ = 0;
};

// Bytes a ByteRun1 stream decodes to, counting no further than `limit`.
std::size_t ByteRun1Length(std::span<const std::uint8_t> in, std::size_t limit) {
    std::size_t out = 0, pos = 0;
    while (pos < in.size() && out < limit) {
        const auto n = static_cast<std::int8_t>(in[pos++]);
        if (n >= 0) {
            const std::size_t len = std::min<std::size_t>(std::size_t(n) + 1, in.size() - pos);
            out += len;
            pos += len;
        } else if (n != -128) {
            if (pos >= in.size()) break;
            out += std::size_t(1 - n);
            ++pos;
        }
    }
    return std::min(out, limit);
}

struct Chunks {
    std::optional<Bmhd> bmhd;
    std::span<const std::uint8_t> cmap;
    std::optional<std::uint32_t> camg;
    std::optional<std::span<const std::uint8_t>> body;
};

// Walks the chunks of the FORM. A chunk that claims more bytes than the file
// has is cut to what is there (the BODY decoder then reports a truncation).
std::optional<std::string> ReadChunks(std::span<const std::uint8_t> data, Chunks& out) {
    ByteReader in(data);
    std::uint32_t formSize = 0;
    in.Skip(4);
    in.U32BE(formSize);
    in.Skip(4);
    // Some writers get the FORM size wrong; the chunks themselves decide.
    while (in.Remaining() >= 8) {
        const auto id = in.Take(4);
        std::uint32_t size = 0;
        in.U32BE(size);
        const std::size_t avail = std::min<std::size_t>(size, in.Remaining());
        const auto body = in.Take(avail);
        const std::string_view name(reinterpret_cast<const char*>(id.data()), 4);
        if (name == "BMHD") {
            ByteReader h(body);
            std::uint16_t w = 0, hgt = 0;
            std::uint8_t planes = 0, masking = 0, compression = 0;
            if (!h.U16BE(w) || !h.U16BE(hgt) || !h.Skip(4) || !h.U8(planes) || !h.U8(masking) ||
                !h.U8(compression)) {
                return "The IFF picture header is damaged.";
            }
            out.bmhd = Bmhd{w, hgt, planes, masking, compression};
        } else if (name == "CMAP") {
            out.cmap = body;
        } else if (name == "CAMG") {
            ByteReader c(body);
            std::uint32_t modes = 0;
            if (c.U32BE(modes)) out.camg = modes;
        } else if (name == "BODY") {
            out.body = body;
            break;
        }
        if ((size & 1) != 0) in.Skip(1);  // chunks are padded to even length
    }
    return std::nullopt;
}

}  // namespace

DibRecord DecodeIff(std::span<const std::uint8_t> data) {
    if (data.size() < 12 || std::memcmp(data.data(), "FORM", 4) != 0) {
        return Failed("This is not an IFF file.");
    }
    const bool chunky = std::memcmp(data.data() + 8, "PBM ", 4) == 0;
    if (!chunky && std::memcmp(data.data() + 8, "ILBM", 4) != 0) {
        return Failed("This IFF file holds no ILBM or PBM picture.");
    }
    Chunks chunks;
    if (auto problem = ReadChunks(data, chunks)) return Failed(*problem);
    if (!chunks.bmhd) return Failed("The IFF file has no picture header (BMHD).");
    if (!chunks.body) return Failed("The IFF file has no picture data (BODY).");
    const Bmhd h = *chunks.bmhd;
    if (h.compression > 1) {
        return Failed("The IFF picture uses an unsupported compression (" +
                      std::to_string(h.compression) + ").");
    }
    const std::uint32_t modes = chunks.camg.value_or(0);
    const bool ham = !chunky && (modes & kCamgHam) != 0 && (h.planes == 6 || h.planes == 8);
    const bool ehb = !chunky && !ham && (modes & kCamgEhb) != 0 && h.planes == 6;

    int dibBits = 0;
    if (chunky) {
        if (h.planes != 8) return Failed("Only 8-bit PBM pictures are supported.");
        dibBits = 8;
    } else if (ham || h.planes == 24 || h.planes == 32) {
        dibBits = 24;
    } else if (h.planes >= 1 && h.planes <= 8) {
        dibBits = h.planes == 1 ? 1 : h.planes <= 4 ? 4 : 8;
    } else {
        return Failed("IFF pictures with " + std::to_string(h.planes) +
                      " planes are not supported.");
    }
    if (std::string problem = detail::SizeProblem(h.width, h.height, dibBits); !problem.empty()) {
        return Failed(std::move(problem));
    }

    // Bytes one picture row takes in the BODY, and how many rows of which
    // length it is made of (one per plane, plus the mask plane).
    std::size_t planeRow = chunky ? static_cast<std::size_t>(h.width)
                                  : static_cast<std::size_t>((h.width + 15) / 16 * 2);
    if (chunky && (h.width & 1) != 0) {
        // Deluxe Paint pads odd rows to an even length; other writers do not.
        // The amount of data in the BODY tells which one this file is.
        const std::size_t padded = (planeRow + 1) * static_cast<std::size_t>(h.height);
        const std::size_t have =
            h.compression == 1 ? ByteRun1Length(*chunks.body, padded) : chunks.body->size();
        if (have >= padded) ++planeRow;
    }
    const int rowsPerLine = chunky ? 1 : h.planes + (h.masking == 1 ? 1 : 0);
    const std::int64_t needed =
        static_cast<std::int64_t>(planeRow) * rowsPerLine * static_cast<std::int64_t>(h.height);
    const auto available = static_cast<std::int64_t>(chunks.body->size());
    // ByteRun1 gives at most 128 bytes for 2 read.
    if ((h.compression == 1 ? available * 64 + 128 : available) < needed) {
        return Failed(detail::kTruncated);
    }

    DibRecord dib = detail::NewPicture(h.width, h.height, dibBits);
    if (!dib.HasPixels()) return dib;

    // Colour table: CMAP entries, grey steps when there is none; the extra
    // half-bright colours are half of the first 32.
    std::array<RgbEntry, 256> colours{};
    const int indexBits = chunky ? 8 : std::min(h.planes, 8);
    const int cmapCount = static_cast<int>(std::min<std::size_t>(chunks.cmap.size() / 3, 256));
    if (cmapCount > 0) {
        for (int i = 0; i < cmapCount; ++i)
            colours[i] = {chunks.cmap[3 * i], chunks.cmap[3 * i + 1], chunks.cmap[3 * i + 2]};
    } else if (!ham) {
        const int top = (1 << indexBits) - 1;
        for (int i = 0; i <= top; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / top);
            colours[i] = {v, v, v};
        }
    }
    if (ehb) {
        for (int i = 0; i < 32; ++i)
            colours[32 + i] = {static_cast<std::uint8_t>(colours[i].red >> 1),
                               static_cast<std::uint8_t>(colours[i].green >> 1),
                               static_cast<std::uint8_t>(colours[i].blue >> 1)};
    }
    if (dibBits <= 8) std::copy(colours.begin(), colours.end(), dib.Palette().begin());

    ByteReader in(*chunks.body);
    ByteRun1 decoder(in, h.compression == 1);
    std::vector<std::uint8_t> line(planeRow * static_cast<std::size_t>(rowsPerLine));
    std::vector<std::uint8_t> index(static_cast<std::size_t>(h.width));
    const int planeCount = std::min(h.planes, 24);  // a 32-plane picture's alpha is ignored
    for (int y = 0; y < h.height; ++y) {
        for (int p = 0; p < rowsPerLine; ++p) {
            if (!decoder.Fill(std::span(line).subspan(p * planeRow, planeRow))) {
                return Failed(detail::kTruncated);
            }
        }
        std::uint8_t* out = dib.Row(y);
        if (chunky) {
            std::copy_n(line.begin(), h.width, out);
            continue;
        }
        if (dibBits == 24 && !ham) {
            for (int x = 0; x < h.width; ++x) {
                const std::size_t byte = static_cast<std::size_t>(x >> 3);
                const int shift = 7 - (x & 7);
                std::uint32_t rgb = 0;
                for (int p = 0; p < planeCount; ++p)
                    rgb |= std::uint32_t{(line[p * planeRow + byte] >> shift) & 1u} << p;
                out[3 * x] = static_cast<std::uint8_t>(rgb >> 16);
                out[3 * x + 1] = static_cast<std::uint8_t>(rgb >> 8);
                out[3 * x + 2] = static_cast<std::uint8_t>(rgb);
            }
            continue;
        }
        for (int x = 0; x < h.width; ++x) {
            const std::size_t byte = static_cast<std::size_t>(x >> 3);
            const int shift = 7 - (x & 7);
            int v = 0;
            for (int p = 0; p < h.planes; ++p) v |= ((line[p * planeRow + byte] >> shift) & 1) << p;
            index[x] = static_cast<std::uint8_t>(v);
        }
        if (ham) {
            // Hold-and-modify: the top two bits choose a palette colour or
            // set one channel of the previous pixel to the value in the
            // other bits. The hardware's channels are that wide (4 bits for
            // HAM6, 6 for HAM8), so the value is the whole channel: it is
            // widened to 8 bits by repeating its bits (v x 17 for 4 bits,
            // v x 4 + v / 16 for 6), 0 staying black and the top value white.
            const int dataBits = h.planes - 2;
            const int mask = (1 << dataBits) - 1;
            auto widen = [&](int v) {
                return static_cast<std::uint8_t>((v << (8 - dataBits)) | (v >> (2 * dataBits - 8)));
            };
            RgbEntry c = colours[0];
            for (int x = 0; x < h.width; ++x) {
                const int value = index[x] & mask;
                switch (index[x] >> dataBits) {
                    case 0:
                        c = colours[value];
                        break;
                    case 1:
                        c.blue = widen(value);
                        break;
                    case 2:
                        c.red = widen(value);
                        break;
                    default:
                        c.green = widen(value);
                        break;
                }
                out[3 * x] = c.blue;
                out[3 * x + 1] = c.green;
                out[3 * x + 2] = c.red;
            }
        } else {
            for (int x = 0; x < h.width; ++x) setpixel(dib, x, y, index[x]);
        }
    }
    return dib;
}

}  // namespace raster
