// Pieces shared by the PCX, TGA and IFF readers: a bounds-checked cursor over
// the file's bytes, size checks made before any allocation, and error records.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "raster/dib.h"

namespace raster::detail {

// Reads little- and big-endian numbers from a span; every read says whether
// the bytes were there, nothing is ever read past the end.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t Pos() const { return pos_; }
    std::size_t Size() const { return data_.size(); }
    std::size_t Remaining() const { return data_.size() - pos_; }
    bool AtEnd() const { return pos_ >= data_.size(); }

    bool Seek(std::size_t pos) {
        if (pos > data_.size()) return false;
        pos_ = pos;
        return true;
    }
    bool Skip(std::size_t n) {
        if (n > Remaining()) return false;
        pos_ += n;
        return true;
    }
    bool U8(std::uint8_t& v) {
        if (pos_ >= data_.size()) return false;
        v = data_[pos_++];
        return true;
    }
    bool U16LE(std::uint16_t& v) {
        if (Remaining() < 2) return false;
        v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool U16BE(std::uint16_t& v) {
        if (Remaining() < 2) return false;
        v = static_cast<std::uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool U32LE(std::uint32_t& v) {
        if (Remaining() < 4) return false;
        v = data_[pos_] | (std::uint32_t{data_[pos_ + 1]} << 8) |
            (std::uint32_t{data_[pos_ + 2]} << 16) | (std::uint32_t{data_[pos_ + 3]} << 24);
        pos_ += 4;
        return true;
    }
    bool U32BE(std::uint32_t& v) {
        if (Remaining() < 4) return false;
        v = (std::uint32_t{data_[pos_]} << 24) | (std::uint32_t{data_[pos_ + 1]} << 16) |
            (std::uint32_t{data_[pos_ + 2]} << 8) | data_[pos_ + 3];
        pos_ += 4;
        return true;
    }
    // The next n bytes, or an empty span (and no movement) when fewer remain.
    std::span<const std::uint8_t> Take(std::size_t n) {
        if (n > Remaining()) return {};
        auto s = data_.subspan(pos_, n);
        pos_ += n;
        return s;
    }

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// Copies the next row.size() bytes into row; false when the file ends first.
inline bool CopyRow(ByteReader& in, std::span<std::uint8_t> row) {
    auto src = in.Take(row.size());
    if (src.empty() && !row.empty()) return false;
    std::copy(src.begin(), src.end(), row.begin());
    return true;
}

inline DibRecord Failed(std::string text) {
    DibRecord dib;
    dib.SetErrorText(std::move(text));
    return dib;
}

// Empty when a width x height picture of bitCount bits fits the program's
// limits; otherwise the text that refuses it. Called before allocating.
std::string SizeProblem(std::int64_t width, std::int64_t height, int bitCount);

// The refusal of a header that claims a picture of width x height which its
// `bytes` bytes of `what` cannot give, before anything is allocated for it.
std::string CannotHold(std::int64_t bytes, std::int64_t width, std::int64_t height,
                       const char* what = "picture data");

// A zeroed picture after SizeProblem(); on failure a record with the error.
DibRecord NewPicture(int width, int height, int bitCount);

inline constexpr const char* kTruncated =
    "The file is truncated or damaged: the picture data ends early.";

}  // namespace raster::detail
