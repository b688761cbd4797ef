// The frames of a Motion JPEG video: baseline JPEGs with colour at full
// resolution (4:4:4, full-range BT.601 as JFIF defines it) and Huffman tables
// made for each frame.
//
// A frame is made in two steps, so that neither needs more than the picture
// and a compressed frame in memory. Compress codes the picture with
// libjpeg-turbo and its standard tables; Optimise then codes the very same
// symbols again with the tables that fit them best, which makes the frame
// about a fifth smaller without touching a pixel. (libjpeg's own optimised
// coding would keep every coefficient of the picture, twice the picture's
// size, until the end.) The two steps can run on different threads, the
// second of frame n beside the first of frame n + 1.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace avivideo {

// Picture rows top-down over bottom-up BGR storage.
struct TBgrRows {
    const std::uint8_t* bits;
    int stride;
    int width;
    int height;
    const std::uint8_t* Row(int y) const {
        return bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
    }
};

// Codes the picture as a JPEG with the standard Huffman tables into out
// (replacing what it held), with a restart marker after every row of 8 x 8
// blocks when asked. Returns the reason on failure, "" on success.
QString CompressJpeg(const TBgrRows& picture, std::vector<std::uint8_t>& out,
                     bool restartEveryRow = false);

// Re-codes the entropy-coded data of a baseline, sequential JPEG (as
// CompressJpeg writes it) with Huffman tables made for it, into out.
class TJpegOptimiser {
public:
    QString Optimise(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out);
    // The same for a picture coded in bands, top to bottom, each as a JPEG
    // of its own (so that they can be coded side by side) with a restart
    // marker after every row of blocks; all but the last band hold whole
    // rows of blocks. They become one JPEG of the whole picture.
    QString Optimise(std::span<const std::vector<std::uint8_t>* const> bands,
                     std::vector<std::uint8_t>& out);

    TJpegOptimiser();
    ~TJpegOptimiser();
    TJpegOptimiser(const TJpegOptimiser&) = delete;
    TJpegOptimiser& operator=(const TJpegOptimiser&) = delete;

private:
    struct TDecodings;
    // Decoding by the next 16 bits, for each of the eight tables, and the
    // table bytes they were made from.
    std::unique_ptr<TDecodings> decoding_;
    std::vector<std::uint8_t> decodedTables_;
    // The symbols of the frame, in order: table (0..3) << 24 | symbol << 16
    // | the extra bits that follow it. Kept between frames.
    std::vector<std::uint32_t> codes_;
};

namespace detail {
// The code length of each symbol (0: none) in the table a frame gets for
// these frequencies: no code longer than 16 bits, the all-ones one unused.
std::array<std::uint8_t, 256> OptimalCodeLengths(const std::array<std::uint64_t, 256>& frequencies);
}  // namespace detail

}  // namespace avivideo
