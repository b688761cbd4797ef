#include "raster/dib.h"

#include <algorithm>
#include <new>
#include <utility>

namespace raster {

DibRecord::DibRecord(DibRecord&& other) noexcept {
    *this = std::move(other);
}

DibRecord& DibRecord::operator=(DibRecord&& other) noexcept {
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        bitCount_ = std::exchange(other.bitCount_, 0);
        bytesPerRow_ = std::exchange(other.bytesPerRow_, 0);
        paletteSize_ = std::exchange(other.paletteSize_, 0);
        bits_ = std::move(other.bits_);
        other.bits_.clear();
        palette_ = other.palette_;
        error_ = std::move(other.error_);
        other.error_.clear();
    }
    return *this;
}

std::int64_t RowBytes(std::int64_t width, int bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

bool DibRecord::Allocate(int width, int height, int bitCount) {
    Release();
    const bool depthOk =
        bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
    if (!depthOk || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    const std::int64_t rowBytes = RowBytes(width, bitCount);
    const std::int64_t total = rowBytes * height;
    if (total > kMaxPictureBytes) return false;
    try {
        bits_.assign(static_cast<std::size_t>(total), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    bytesPerRow_ = static_cast<int>(rowBytes);
    paletteSize_ = bitCount <= 8 ? 1 << bitCount : 0;
    return true;
}

void DibRecord::Release() {
    std::vector<std::uint8_t>().swap(bits_);
    width_ = height_ = bitCount_ = bytesPerRow_ = paletteSize_ = 0;
}

int DibWidth(const DibRecord& dib) {
    return dib.Width();
}
int DibHeight(const DibRecord& dib) {
    return dib.Height();
}
int DibBitCount(const DibRecord& dib) {
    return dib.BitCount();
}
int DibColorCount(const DibRecord& dib) {
    const int bits = dib.BitCount();
    return bits >= 31 ? 0 : 1 << bits;
}

DibRecord newdib(int width, int height, int bitCount, const DibRecord* paletteSource,
                 int colorCount) {
    DibRecord dib;
    if (!dib.Allocate(width, height, bitCount)) {
        dib.SetErrorText("Not enough memory for a picture of this size.");
        return dib;
    }
    if (paletteSource != nullptr && colorCount > 0) {
        const int n = std::min(colorCount, 256);
        std::copy_n(paletteSource->Palette().begin(), n, dib.Palette().begin());
    }
    return dib;
}

void deldib(DibRecord& dib) {
    dib.Release();
}

std::uint32_t getpixel(const DibRecord& dib, int x, int y) {
    if (!dib.HasPixels() || x < 0 || y < 0 || x >= dib.Width() || y >= dib.Height()) return 0;
    const std::uint8_t* row = dib.Row(y);
    switch (dib.BitCount()) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
        case 8:
            return row[x];
        case 24: {
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            return p[2] | (p[1] << 8) | (static_cast<std::uint32_t>(p[0]) << 16);
        }
        case 32: {
            const std::uint8_t* p = row + 4 * static_cast<std::size_t>(x);
            return p[2] | (p[1] << 8) | (static_cast<std::uint32_t>(p[0]) << 16);
        }
        default:
            return 0;
    }
}

void setpixel(DibRecord& dib, int x, int y, std::uint32_t value) {
    if (!dib.HasPixels() || x < 0 || y < 0 || x >= dib.Width() || y >= dib.Height()) return;
    std::uint8_t* row = dib.Row(y);
    switch (dib.BitCount()) {
        case 1: {
            const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
            row[x >> 3] = (value & 1u) ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
            break;
        }
        case 4: {
            std::uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0u) | (value & 0x0Fu))
                        : static_cast<std::uint8_t>((b & 0x0Fu) | ((value & 0x0Fu) << 4));
            break;
        }
        case 8:
            row[x] = static_cast<std::uint8_t>(value);
            break;
        case 24:
        case 32: {
            std::uint8_t* p = row + (dib.BitCount() / 8) * static_cast<std::size_t>(x);
            p[0] = static_cast<std::uint8_t>(value >> 16);
            p[1] = static_cast<std::uint8_t>(value >> 8);
            p[2] = static_cast<std::uint8_t>(value);
            break;
        }
        default:
            break;
    }
}

std::uint32_t PixelColor(const DibRecord& dib, int x, int y) {
    const std::uint32_t v = getpixel(dib, x, y);
    if (!dib.IsPalette()) return v & 0xFFFFFFu;
    const RgbEntry& e = dib.Palette()[v & 0xFFu];
    return e.red | (e.green << 8) | (static_cast<std::uint32_t>(e.blue) << 16);
}

namespace {

// Fixed 6x7x6 colour cube used by the halftone copies.
std::uint8_t CubeIndex(std::uint32_t rgb) {
    const int r = (rgb & 0xFF) * 5 / 255;
    const int g = ((rgb >> 8) & 0xFF) * 6 / 255;
    const int b = ((rgb >> 16) & 0xFF) * 5 / 255;
    return static_cast<std::uint8_t>(r * 42 + g * 6 + b);
}

DibRecord HalftoneScaled(const DibRecord& dib, int width, int height) {
    DibRecord out = newdib(width, height, 8);
    if (!out.HasPixels() || !dib.HasPixels()) return out;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                out.Palette()[r * 42 + g * 6 + b] = {static_cast<std::uint8_t>(r * 51),
                                                     static_cast<std::uint8_t>(g * 255 / 6),
                                                     static_cast<std::uint8_t>(b * 51)};
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * dib.Height() / height);
        std::uint8_t* row = out.Row(y);
        for (int x = 0; x < width; ++x) {
            const int sx = static_cast<int>(static_cast<std::int64_t>(x) * dib.Width() / width);
            row[x] = CubeIndex(PixelColor(dib, sx, sy));
        }
    }
    return out;
}

}  // namespace

DibRecord DIBHalftoneDIB(const DibRecord& dib) {
    return HalftoneScaled(dib, dib.Width(), dib.Height());
}

DibRecord DIBHalftoneDIBXY(const DibRecord& dib, int width, int height) {
    return HalftoneScaled(dib, width, height);
}

}  // namespace raster
