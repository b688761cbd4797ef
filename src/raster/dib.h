// Picture records and the raster functions the rest of the program calls.
//
// A DibRecord owns one bitmap: rows stored bottom-up, each row padded to a
// multiple of 4 bytes, with a colour table of up to 256 entries for palette
// pictures. Records are move-only; moving transfers the pixels, deldib()
// releases them. A record without pixels is "no picture" and may carry the
// error text of a failed load.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QObject;

namespace raster {

struct RgbEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const RgbEntry&) const = default;
};

class DibRecord {
public:
    DibRecord() = default;
    DibRecord(DibRecord&&) noexcept;
    DibRecord& operator=(DibRecord&&) noexcept;
    DibRecord(const DibRecord&) = delete;
    DibRecord& operator=(const DibRecord&) = delete;
    ~DibRecord() = default;

    // Success of a load or a newdib: the record holds pixel memory.
    bool HasPixels() const { return !bits_.empty(); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitCount() const { return bitCount_; }
    int BytesPerRow() const { return bytesPerRow_; }
    bool IsPalette() const { return bitCount_ <= 8; }

    // Row r counted from the bottom, as stored.
    std::uint8_t* StoredRow(int r) {
        return bits_.data() + static_cast<std::size_t>(r) * bytesPerRow_;
    }
    const std::uint8_t* StoredRow(int r) const {
        return bits_.data() + static_cast<std::size_t>(r) * bytesPerRow_;
    }
    // Row y counted from the top, as displayed.
    std::uint8_t* Row(int y) { return StoredRow(height_ - 1 - y); }
    const std::uint8_t* Row(int y) const { return StoredRow(height_ - 1 - y); }

    std::span<std::uint8_t> Bits() { return bits_; }
    std::span<const std::uint8_t> Bits() const { return bits_; }

    std::array<RgbEntry, 256>& Palette() { return palette_; }
    const std::array<RgbEntry, 256>& Palette() const { return palette_; }
    // Number of meaningful colour-table entries (2^bits for palette pictures).
    int PaletteSize() const { return paletteSize_; }

    const std::string& ErrorText() const { return error_; }
    void SetErrorText(std::string text) { error_ = std::move(text); }

    // Allocates zeroed pixel memory; false (and no pixels) when the size is
    // not a valid picture size or the memory cannot be had.
    bool Allocate(int width, int height, int bitCount);
    void Release();

private:
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    int bytesPerRow_ = 0;
    int paletteSize_ = 0;
    std::vector<std::uint8_t> bits_;
    std::array<RgbEntry, 256> palette_{};
    std::string error_;
};

// Bytes per stored row of a picture: bits rounded up to whole 32-bit words.
std::int64_t RowBytes(std::int64_t width, int bitCount);

// Largest picture the program accepts, in pixels per side and in bytes.
inline constexpr int kMaxSide = 65535;
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t{16384} * 16384 * 4;

int DibWidth(const DibRecord& dib);
int DibHeight(const DibRecord& dib);
int DibBitCount(const DibRecord& dib);
int DibColorCount(const DibRecord& dib);

// A new picture with zeroed pixels; the colour table is copied from
// paletteSource (colorCount entries) when one is given.
DibRecord newdib(int width, int height, int bitCount, const DibRecord* paletteSource = nullptr,
                 int colorCount = 0);
void deldib(DibRecord& dib);

// x from the left, y from the top. Direct colour: red in bits 0-7, green
// 8-15, blue 16-23. Palette pictures: the palette index.
std::uint32_t getpixel(const DibRecord& dib, int x, int y);
void setpixel(DibRecord& dib, int x, int y, std::uint32_t value);

// Colour of a pixel whatever the depth, red in the lowest byte.
std::uint32_t PixelColor(const DibRecord& dib, int x, int y);

// A copy reduced to a 256-colour palette picture (the program's halftone
// option), and the same scaled by nearest neighbour to width x height.
DibRecord DIBHalftoneDIB(const DibRecord& dib);
DibRecord DIBHalftoneDIBXY(const DibRecord& dib, int width, int height);

// Loads a picture file. On failure the record has no pixels and carries the
// error text. Loading progress is sent to progressReceiver (may be null) as
// TProgressEvent with the percentage read so far; a receiver that cancels
// the event stops the loading, which then fails with kLoadCancelled.
inline constexpr const char* kLoadCancelled = "The loading was cancelled.";
DibRecord OpenDib(const std::string& fileName, int option = 0, QObject* progressReceiver = nullptr);

}  // namespace raster
