// GIF reader: the first picture of the file, as the palette picture it is.
// The LZW decoder yields colour indices directly, so nothing has to map
// colours back to the table.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::ByteReader;
using detail::Failed;

constexpr int kMaxCodes = 4096;

// The data sub-blocks of one picture joined into one stream.
bool ReadSubBlocks(ByteReader& in, std::vector<std::uint8_t>& out) {
    for (;;) {
        std::uint8_t n = 0;
        if (!in.U8(n)) return false;
        if (n == 0) return true;
        auto block = in.Take(n);
        if (block.empty()) return false;
        out.insert(out.end(), block.begin(), block.end());
    }
}

bool SkipSubBlocks(ByteReader& in) {
    for (;;) {
        std::uint8_t n = 0;
        if (!in.U8(n)) return false;
        if (n == 0) return true;
        if (!in.Skip(n)) return false;
    }
}

// Decodes the LZW stream into out (exactly out.size() indices); the text of
// what went wrong otherwise.
std::string DecodeLzw(std::span<const std::uint8_t> stream, int minCodeSize,
                      std::vector<std::uint8_t>& out) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::array<std::uint16_t, kMaxCodes> prefix{};
    std::array<std::uint8_t, kMaxCodes> suffix{};
    std::array<std::uint16_t, kMaxCodes> length{};
    for (int i = 0; i < clear; ++i) {
        suffix[i] = static_cast<std::uint8_t>(i);
        length[i] = 1;
    }
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    std::size_t bitPos = 0;
    const std::size_t totalBits = stream.size() * 8;
    std::size_t written = 0;
    while (written < out.size()) {
        if (bitPos + codeSize > totalBits) return detail::kTruncated;
        int code = 0;
        for (int i = 0; i < codeSize; ++i, ++bitPos)
            code |= ((stream[bitPos >> 3] >> (bitPos & 7)) & 1) << i;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) return "The GIF picture data is damaged.";
            out[written++] = static_cast<std::uint8_t>(code);
            previous = code;
            continue;
        }
        int first = 0;  // first index of the string of code
        if (code < next) {
            int c = code;
            while (c >= clear) c = prefix[c];
            first = c;
        } else if (code == next) {
            int c = previous;
            while (c >= clear) c = prefix[c];
            first = c;
        } else {
            return "The GIF picture data is damaged.";
        }
        if (next < kMaxCodes) {
            prefix[next] = static_cast<std::uint16_t>(previous);
            suffix[next] = static_cast<std::uint8_t>(first);
            length[next] = static_cast<std::uint16_t>(length[previous] + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12) ++codeSize;
        }
        // Write the string backwards from its last index, cut at the end.
        const std::size_t n = length[code];
        const std::size_t room = std::min(n, out.size() - written);
        int c = code;
        for (std::size_t i = n; i > 0; --i) {
            if (i <= room) out[written + i - 1] = suffix[c];
            c = prefix[c];
        }
        written += room;
        previous = code;
    }
    if (written < out.size()) return detail::kTruncated;
    return {};
}

}  // namespace

DibRecord DecodeGif(std::span<const std::uint8_t> data) {
    ByteReader in(data);
    auto magic = in.Take(6);
    if (magic.empty() || !std::equal(magic.begin(), magic.begin() + 3, "GIF"))
        return Failed("This is not a GIF file.");
    std::uint16_t screenWidth = 0, screenHeight = 0;
    std::uint8_t flags = 0, background = 0, aspect = 0;
    if (!in.U16LE(screenWidth) || !in.U16LE(screenHeight) || !in.U8(flags) || !in.U8(background) ||
        !in.U8(aspect))
        return Failed(detail::kTruncated);
    std::span<const std::uint8_t> table;
    if (flags & 0x80) {
        table = in.Take(std::size_t{3} << ((flags & 7) + 1));
        if (table.empty()) return Failed(detail::kTruncated);
    } else {
        background = 0;
    }

    for (;;) {
        std::uint8_t block = 0;
        if (!in.U8(block)) return Failed(detail::kTruncated);
        if (block == 0x3B) return Failed("The GIF file holds no picture.");
        if (block == 0x21) {
            std::uint8_t label = 0;
            if (!in.U8(label) || !SkipSubBlocks(in)) return Failed(detail::kTruncated);
            continue;
        }
        if (block != 0x2C) return Failed("The GIF file is damaged: unknown block.");
        break;
    }

    std::uint16_t left = 0, top = 0, width = 0, height = 0;
    std::uint8_t frameFlags = 0, minCodeSize = 0;
    if (!in.U16LE(left) || !in.U16LE(top) || !in.U16LE(width) || !in.U16LE(height) ||
        !in.U8(frameFlags))
        return Failed(detail::kTruncated);
    if (frameFlags & 0x80) {
        table = in.Take(std::size_t{3} << ((frameFlags & 7) + 1));
        if (table.empty()) return Failed(detail::kTruncated);
    }
    if (!in.U8(minCodeSize)) return Failed(detail::kTruncated);
    if (minCodeSize < 1 || minCodeSize > 11)
        return Failed("The GIF file is damaged: LZW code size " + std::to_string(minCodeSize) +
                      ".");
    // The picture covers the screen, grown where the frame reaches beyond it.
    const int pictureWidth = std::max<int>(screenWidth, left + width);
    const int pictureHeight = std::max<int>(screenHeight, top + height);
    if (std::string problem = detail::SizeProblem(pictureWidth, pictureHeight, 8); !problem.empty())
        return Failed(std::move(problem));

    std::vector<std::uint8_t> stream;
    if (!ReadSubBlocks(in, stream) && stream.empty()) return Failed(detail::kTruncated);
    // Every code has at least minCodeSize + 1 bits and stands for at most
    // 4096 pixels; a picture beyond that cannot be in the data.
    const std::int64_t most =
        static_cast<std::int64_t>(stream.size()) * 8 / (minCodeSize + 1) * kMaxCodes;
    const std::int64_t claimed = std::int64_t{pictureWidth} * pictureHeight;
    if (claimed > most) {
        return Failed(detail::CannotHold(static_cast<std::int64_t>(stream.size()), pictureWidth,
                                         pictureHeight));
    }

    std::vector<std::uint8_t> indices(std::size_t{width} * height);
    if (std::string problem = DecodeLzw(stream, minCodeSize, indices); !problem.empty())
        return Failed(std::move(problem));

    const int tableSize = static_cast<int>(table.size() / 3);
    const bool fill = background != 0 && (width != pictureWidth || height != pictureHeight);
    int highest = fill ? background : 0;
    for (std::uint8_t v : indices) highest = std::max<int>(highest, v);
    const int colours = std::max(tableSize, highest + 1);
    const int bits = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
    DibRecord dib = detail::NewPicture(pictureWidth, pictureHeight, bits);
    if (!dib.HasPixels()) return dib;
    if (table.empty()) {
        // No colour table at all: a grey ramp over the indices in use.
        const int n = 1 << bits;
        for (int i = 0; i < n; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / (n - 1));
            dib.Palette()[i] = {v, v, v};
        }
    } else {
        for (int i = 0; i < tableSize; ++i)
            dib.Palette()[i] = {table[3 * i], table[3 * i + 1], table[3 * i + 2]};
    }
    if (fill) {
        for (int y = 0; y < pictureHeight; ++y)
            for (int x = 0; x < pictureWidth; ++x) setpixel(dib, x, y, background);
    }

    // Interlaced pictures store every 8th row from 0, every 8th from 4, every
    // 4th from 2, then every 2nd from 1.
    std::vector<int> rowOrder;
    rowOrder.reserve(height);
    if (frameFlags & 0x40) {
        for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < height; y += step) rowOrder.push_back(y);
    } else {
        for (int y = 0; y < height; ++y) rowOrder.push_back(y);
    }
    for (int i = 0; i < height; ++i) {
        const std::uint8_t* src = indices.data() + static_cast<std::size_t>(i) * width;
        const int y = top + rowOrder[i];
        std::uint8_t* row = dib.Row(y);
        if (bits == 8) {
            std::copy_n(src, width, row + left);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int dx = left + x;
            if (bits == 4) {
                std::uint8_t& cell = row[dx >> 1];
                cell = (dx & 1) ? static_cast<std::uint8_t>((cell & 0xF0) | src[x])
                                : static_cast<std::uint8_t>((cell & 0x0F) | (src[x] << 4));
            } else {
                const auto mask = static_cast<std::uint8_t>(0x80u >> (dx & 7));
                row[dx >> 3] = src[x] ? (row[dx >> 3] | mask) : (row[dx >> 3] & ~mask);
            }
        }
    }
    return dib;
}

}  // namespace raster
