#include "video/jpegframe.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo is needed: its BGR input saves converting every picture first"
#endif

namespace avivideo {

namespace {

// Quantiser steps, in the natural order: the intra matrix of MPEG-1 at a
// quarter of its size, DC in steps of 8, for every plane. They are those of
// FFmpeg's Motion JPEG at quantiser scale 2, so videos are as fine as before.
constexpr std::array<unsigned int, 64> kQuant = {
    8, 4, 4, 5, 6,  6,  7,  8,   //
    4, 4, 5, 6, 6,  7,  8,  9,   //
    4, 5, 6, 6, 7,  8,  8,  9,   //
    5, 5, 6, 6, 7,  8,  9,  10,  //
    5, 6, 6, 7, 8,  8,  10, 12,  //
    6, 6, 7, 8, 8,  10, 12, 14,  //
    6, 6, 7, 8, 9,  11, 14, 17,  //
    6, 7, 8, 9, 11, 14, 17, 20,
};

// libjpeg reports failures by calling error_exit, which must not return.
struct TJpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr c) {
    auto* e = reinterpret_cast<TJpegError*>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

// Compresses into a vector that grows as needed. When it cannot grow, the
// rest goes into a scratch block and the failure is told afterwards (an
// exception must not pass through libjpeg's frames).
struct TVectorDestination {
    jpeg_destination_mgr mgr;
    std::vector<std::uint8_t>* out;
    bool outOfMemory;
    std::array<std::uint8_t, 4096> scratch;
};

TVectorDestination& DestinationOf(j_compress_ptr c) {
    return *reinterpret_cast<TVectorDestination*>(c->dest);
}

void InitDestination(j_compress_ptr c) {
    TVectorDestination& d = DestinationOf(c);
    try {
        d.out->resize(std::max<std::size_t>(d.out->capacity(), 1 << 16));
        d.mgr.next_output_byte = d.out->data();
        d.mgr.free_in_buffer = d.out->size();
    } catch (const std::bad_alloc&) {
        d.outOfMemory = true;
        d.mgr.next_output_byte = d.scratch.data();
        d.mgr.free_in_buffer = d.scratch.size();
    }
}

boolean EmptyOutputBuffer(j_compress_ptr c) {
    TVectorDestination& d = DestinationOf(c);
    if (!d.outOfMemory) {
        const std::size_t used = d.out->size();
        try {
            d.out->resize(2 * used);
            d.mgr.next_output_byte = d.out->data() + used;
            d.mgr.free_in_buffer = d.out->size() - used;
            return TRUE;
        } catch (const std::bad_alloc&) {
            d.outOfMemory = true;
        }
    }
    d.mgr.next_output_byte = d.scratch.data();
    d.mgr.free_in_buffer = d.scratch.size();
    return TRUE;
}

void TermDestination(j_compress_ptr c) {
    TVectorDestination& d = DestinationOf(c);
    if (!d.outOfMemory) d.out->resize(d.out->size() - d.mgr.free_in_buffer);
}

// All the state of one compression, out of the stack frame that calls
// setjmp, so that nothing in it is lost when libjpeg jumps back.
struct TCompression {
    jpeg_compress_struct cinfo{};
    TJpegError error{};
    TVectorDestination destination{};
    std::array<JSAMPROW, 16> rows{};

    QString Run(const TBgrRows& picture, std::vector<std::uint8_t>& out, bool restartEveryRow) {
        cinfo.err = jpeg_std_error(&error.mgr);
        error.mgr.error_exit = OnJpegError;
        error.mgr.emit_message = OnJpegMessage;
        destination.mgr.init_destination = InitDestination;
        destination.mgr.empty_output_buffer = EmptyOutputBuffer;
        destination.mgr.term_destination = TermDestination;
        destination.out = &out;
        if (setjmp(error.jump)) {
            jpeg_destroy_compress(&cinfo);
            return QString::fromLocal8Bit(error.message);
        }
        jpeg_create_compress(&cinfo);
        cinfo.dest = &destination.mgr;
        cinfo.image_width = static_cast<JDIMENSION>(picture.width);
        cinfo.image_height = static_cast<JDIMENSION>(picture.height);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        jpeg_add_quant_table(&cinfo, 0, kQuant.data(), 100, TRUE);
        for (int i = 0; i < cinfo.num_components; ++i) {
            cinfo.comp_info[i].h_samp_factor = 1;
            cinfo.comp_info[i].v_samp_factor = 1;
            cinfo.comp_info[i].quant_tbl_no = 0;
        }
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.optimize_coding = FALSE;
        if (restartEveryRow) cinfo.restart_in_rows = 1;
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            const int y0 = static_cast<int>(cinfo.next_scanline);
            const int count = std::min<int>(static_cast<int>(rows.size()), picture.height - y0);
            for (int i = 0; i < count; ++i)
                rows[static_cast<std::size_t>(i)] = const_cast<JSAMPROW>(picture.Row(y0 + i));
            jpeg_write_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(count));
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        if (destination.outOfMemory) return QStringLiteral("not enough memory");
        return {};
    }
};

// ---- Huffman tables -------------------------------------------------------

// A table as a JPEG file gives it: how many codes of each length 1..16, and
// the symbols in the order of their codes.
struct THuffmanTable {
    std::array<std::uint8_t, 17> counts{};  // counts[0] unused
    std::vector<std::uint8_t> symbols;
};

// The table of least total length for the symbol frequencies, with no code
// longer than 16 bits and none made of ones only (the procedure of the JPEG
// standard, annex K.2 and K.3).
THuffmanTable OptimalTable(const std::array<std::uint64_t, 256>& frequencies) {
    // One more symbol, 256, with the least frequency of all, keeps the
    // all-ones code out of the table: it takes that code and is dropped.
    std::array<std::uint64_t, 257> freq{};
    std::copy(frequencies.begin(), frequencies.end(), freq.begin());
    freq[256] = 1;
    std::array<int, 257> size{};
    std::array<int, 257> next{};
    next.fill(-1);
    for (;;) {
        // The two least frequent trees; of equal ones, the higher symbol.
        int v1 = -1;
        int v2 = -1;
        for (int i = 0; i < 257; ++i) {
            if (freq[static_cast<std::size_t>(i)] == 0) continue;
            if (v1 < 0 || freq[static_cast<std::size_t>(i)] <= freq[static_cast<std::size_t>(v1)]) {
                v2 = v1;
                v1 = i;
            } else if (v2 < 0 ||
                       freq[static_cast<std::size_t>(i)] <= freq[static_cast<std::size_t>(v2)]) {
                v2 = i;
            }
        }
        if (v2 < 0) break;
        // Merges v2's tree into v1's: every symbol of both gets one bit more.
        freq[static_cast<std::size_t>(v1)] += freq[static_cast<std::size_t>(v2)];
        freq[static_cast<std::size_t>(v2)] = 0;
        int i = v1;
        for (;;) {
            ++size[static_cast<std::size_t>(i)];
            if (next[static_cast<std::size_t>(i)] < 0) break;
            i = next[static_cast<std::size_t>(i)];
        }
        next[static_cast<std::size_t>(i)] = v2;
        for (i = v2; i >= 0; i = next[static_cast<std::size_t>(i)])
            ++size[static_cast<std::size_t>(i)];
    }
    // A tree of 257 leaves is at most 256 deep.
    std::array<int, 258> bits{};
    for (int s : size)
        if (s > 0) ++bits[static_cast<std::size_t>(s)];
    // Codes longer than 16 bits: a pair of them becomes one a bit shorter
    // and one shorter code is split to take the other's place.
    for (int i = 257; i > 16; --i) {
        while (bits[static_cast<std::size_t>(i)] > 0) {
            int j = i - 2;
            while (bits[static_cast<std::size_t>(j)] == 0) --j;
            bits[static_cast<std::size_t>(i)] -= 2;
            ++bits[static_cast<std::size_t>(i - 1)];
            bits[static_cast<std::size_t>(j + 1)] += 2;
            --bits[static_cast<std::size_t>(j)];
        }
    }
    // The longest code left is the reserved symbol's.
    THuffmanTable table;
    int longest = 16;
    while (longest > 0 && bits[static_cast<std::size_t>(longest)] == 0) --longest;
    if (longest == 0) return table;  // no symbol at all
    --bits[static_cast<std::size_t>(longest)];
    for (int i = 1; i <= 16; ++i)
        table.counts[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(bits[static_cast<std::size_t>(i)]);
    // Symbols by code length, and the more frequent first within one length:
    // the lengths the limit changed are given out again in that order,
    // shortest first, so that no symbol gets a longer code than a rarer one.
    std::array<int, 256> order{};
    for (int i = 0; i < 256; ++i) order[static_cast<std::size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto sa = static_cast<std::size_t>(a);
        const auto sb = static_cast<std::size_t>(b);
        if (size[sa] != size[sb]) return size[sa] < size[sb];
        return frequencies[sa] > frequencies[sb];
    });
    for (int s : order)
        if (size[static_cast<std::size_t>(s)] > 0)
            table.symbols.push_back(static_cast<std::uint8_t>(s));
    return table;
}

// The canonical codes of a table (annex C): code and length per symbol.
struct TEncoding {
    std::array<std::uint16_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
};

TEncoding EncodingOf(const THuffmanTable& table) {
    TEncoding e;
    std::uint32_t code = 0;
    std::size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
        for (int n = 0; n < table.counts[static_cast<std::size_t>(len)]; ++n, ++k) {
            const std::uint8_t s = table.symbols[k];
            e.code[s] = static_cast<std::uint16_t>(code++);
            e.length[s] = static_cast<std::uint8_t>(len);
        }
        code <<= 1;
    }
    return e;
}

// Decoding by the next 16 bits of the data: length << 8 | symbol, or 0 for
// bits no code begins. Codes of up to 10 bits, nearly all of them, are found
// in a table small enough to stay in the first-level cache; longer ones by
// their length.
struct TDecoding {
    static constexpr int kFastBits = 10;
    std::array<std::uint16_t, 1 << kFastBits> fast{};
    // Per length: the last code of that length (-1: none) and where its
    // symbols begin, counted from the first code of that length.
    std::array<std::int32_t, 17> lastCode{};
    std::array<std::int32_t, 17> firstIndex{};
    std::array<std::int32_t, 17> firstCode{};
    std::vector<std::uint8_t> symbols;
    bool present = false;

    std::uint32_t Decode(std::uint32_t next16) const {
        const std::uint16_t e = fast[next16 >> (16 - kFastBits)];
        if (e != 0) return e;
        for (int len = kFastBits + 1; len <= 16; ++len) {
            const auto code = static_cast<std::int32_t>(next16 >> (16 - len));
            if (code <= lastCode[static_cast<std::size_t>(len)])
                return static_cast<std::uint32_t>(len << 8) |
                       symbols[static_cast<std::size_t>(firstIndex[static_cast<std::size_t>(len)] +
                                                        code -
                                                        firstCode[static_cast<std::size_t>(len)])];
        }
        return 0;
    }
};

bool BuildDecoding(const THuffmanTable& table, TDecoding& d) {
    d.fast.fill(0);
    d.symbols = table.symbols;
    std::uint32_t code = 0;
    std::size_t k = 0;
    for (int len = 1; len <= 16; ++len) {
        const auto l = static_cast<std::size_t>(len);
        d.firstIndex[l] = static_cast<std::int32_t>(k);
        d.firstCode[l] = static_cast<std::int32_t>(code);
        d.lastCode[l] = -1;
        for (int n = 0; n < table.counts[l]; ++n, ++k) {
            if (k >= table.symbols.size() || code >= (1u << len)) return false;
            if (len <= TDecoding::kFastBits) {
                const std::uint32_t first = code << (TDecoding::kFastBits - len);
                const std::uint32_t last = first + (1u << (TDecoding::kFastBits - len));
                std::fill(d.fast.begin() + first, d.fast.begin() + last,
                          static_cast<std::uint16_t>(len << 8 | table.symbols[k]));
            }
            d.lastCode[l] = static_cast<std::int32_t>(code);
            ++code;
        }
        code <<= 1;
    }
    d.present = true;
    return true;
}

// ---- Bits ------------------------------------------------------------------

// Reads entropy-coded data: drops the zero byte stuffed after every 0xFF,
// and gives zero bits once a marker or the end is reached.
class TBitReader {
public:
    TBitReader(const std::uint8_t* data, const std::uint8_t* end) : p_(data), end_(end) {}

    // At least 32 bits ready: a code and the bits after it.
    void Ensure32() {
        if (count_ < 32) Fill();
    }
    std::uint32_t Peek(int n) const {
        return n == 0 ? 0 : static_cast<std::uint32_t>(bits_ >> (64 - n));
    }
    void Skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    // Whether the symbols read ran past the data into the made-up zeros.
    bool Overran() const { return count_ < 8 * padding_; }
    // Passes the restart marker that must come next: what is left of the
    // byte before it only filled it.
    bool Restart() {
        if (end_ - p_ < 2 || p_[0] != 0xFF || (p_[1] & 0xF8) != 0xD0) return false;
        p_ += 2;
        bits_ = 0;
        count_ = 0;
        padding_ = 0;
        atMarker_ = false;
        return true;
    }

private:
    void Fill() {
        while (count_ <= 56) {
            std::uint64_t byte = 0;
            if (!atMarker_ && p_ < end_) {
                byte = *p_;
                if (byte == 0xFF) {
                    if (p_ + 1 < end_ && p_[1] == 0) {
                        p_ += 2;
                    } else {
                        atMarker_ = true;
                        byte = 0;
                        ++padding_;
                    }
                } else {
                    ++p_;
                }
            } else {
                ++padding_;
            }
            bits_ |= byte << (56 - count_);
            count_ += 8;
        }
    }

    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::uint64_t bits_ = 0;
    int count_ = 0;
    int padding_ = 0;
    bool atMarker_ = false;
};

// Writes entropy-coded data into a block large enough for it, stuffing a
// zero byte after every 0xFF.
class TBitWriter {
public:
    explicit TBitWriter(std::uint8_t* out) : out_(out) {}

    // n is at most 32.
    void Put(std::uint32_t value, int n) {
        bits_ = (bits_ << n) | value;
        count_ += n;
        if (count_ < 32) return;
        count_ -= 32;
        const auto word = static_cast<std::uint32_t>(bits_ >> count_);
        // No byte of the word is 0xFF (no byte of ~word is zero): all four
        // go out as they are.
        const std::uint32_t inverse = ~word;
        if (((inverse - 0x01010101u) & ~inverse & 0x80808080u) == 0) {
            out_[0] = static_cast<std::uint8_t>(word >> 24);
            out_[1] = static_cast<std::uint8_t>(word >> 16);
            out_[2] = static_cast<std::uint8_t>(word >> 8);
            out_[3] = static_cast<std::uint8_t>(word);
            out_ += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8) Byte(static_cast<std::uint8_t>(word >> shift));
    }
    // Writes what is left, the last byte filled with ones; the end.
    std::uint8_t* Flush() {
        const int pad = (8 - count_ % 8) % 8;
        bits_ = (bits_ << pad) | ((1u << pad) - 1);
        count_ += pad;
        while (count_ > 0) {
            count_ -= 8;
            Byte(static_cast<std::uint8_t>(bits_ >> count_));
        }
        return out_;
    }
    // Ends a restart interval: what is left, then restart marker k (mod 8).
    void Restart(int k) {
        Flush();
        *out_++ = 0xFF;
        *out_++ = static_cast<std::uint8_t>(0xD0 + (k & 7));
    }

private:
    void Byte(std::uint8_t b) {
        *out_++ = b;
        if (b == 0xFF) *out_++ = 0;
    }

    std::uint8_t* out_;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

std::uint32_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 8 | p[1];
}

// Stands among the symbols for a restart marker.
constexpr std::uint32_t kRestart = 8u << 24;

struct TComponent {
    int id = 0;
    int dcTable = 0;
    int acTable = 0;
};

}  // namespace

std::array<std::uint8_t, 256> detail::OptimalCodeLengths(
    const std::array<std::uint64_t, 256>& frequencies) {
    return EncodingOf(OptimalTable(frequencies)).length;
}

QString CompressJpeg(const TBgrRows& picture, std::vector<std::uint8_t>& out,
                     bool restartEveryRow) {
    if (picture.width < 1 || picture.height < 1 || picture.width > JPEG_MAX_DIMENSION ||
        picture.height > JPEG_MAX_DIMENSION)
        return QStringLiteral("a JPEG cannot hold a picture of %1 x %2")
            .arg(picture.width)
            .arg(picture.height);
    try {
        auto compression = std::make_unique<TCompression>();
        return compression->Run(picture, out, restartEveryRow);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("not enough memory");
    }
}

struct TJpegOptimiser::TDecodings : std::array<TDecoding, 8> {};

TJpegOptimiser::TJpegOptimiser() : decoding_(std::make_unique<TDecodings>()) {}
TJpegOptimiser::~TJpegOptimiser() = default;

QString TJpegOptimiser::Optimise(const std::vector<std::uint8_t>& in,
                                 std::vector<std::uint8_t>& out) {
    const std::vector<std::uint8_t>* bands[] = {&in};
    return Optimise(bands, out);
}

QString TJpegOptimiser::Optimise(std::span<const std::vector<std::uint8_t>* const> bands,
                                 std::vector<std::uint8_t>& out) {
    const QString damaged = QStringLiteral("the compressed frame is damaged");
    if (bands.empty()) return damaged;
    out.clear();
    out.reserve(bands[0]->size());
    out.push_back(0xFF);
    out.push_back(0xD8);

    // Tables 0..3 for DC, 4..7 for AC. Decoding tables are made again only
    // when the frame's tables differ from the last frame's.
    std::array<std::array<std::uint64_t, 256>, 8> frequencies{};
    codes_.clear();
    std::array<TDecoding, 8>& decoding = *decoding_;
    const std::uint8_t* scanHeader = nullptr;
    std::size_t scanHeaderSize = 0;
    std::size_t heightAt = 0;  // where the frame header's height is in out
    int width = 0;
    int height = 0;
    std::int64_t interval = 0;  // restart interval, in units
    std::size_t scanBytes = 0;
    std::vector<std::uint8_t> tableBytes;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const std::vector<std::uint8_t>& in = *bands[b];
        const bool first = b == 0;
        const std::uint8_t* p = in.data();
        const std::uint8_t* end = p + in.size();
        if (in.size() < 4 || p[0] != 0xFF || p[1] != 0xD8) return damaged;
        p += 2;
        std::array<THuffmanTable, 8> tables;
        tableBytes.clear();
        int bandWidth = 0;
        int bandHeight = 0;
        std::int64_t bandInterval = 0;
        std::vector<TComponent> components;
        const std::uint8_t* bandScan = nullptr;
        while (!bandScan) {
            if (end - p < 4 || p[0] != 0xFF) return damaged;
            const std::uint8_t marker = p[1];
            const std::uint32_t length = Be16(p + 2);
            if (length < 2 || static_cast<std::size_t>(end - p) < 2 + length) return damaged;
            const std::uint8_t* body = p + 4;
            const std::uint8_t* bodyEnd = p + 2 + length;
            switch (marker) {
                case 0xC4:  // Huffman tables: replaced by those made below
                    tableBytes.insert(tableBytes.end(), body, bodyEnd);
                    while (body < bodyEnd) {
                        if (bodyEnd - body < 17) return damaged;
                        const int cls = body[0] >> 4;
                        const int id = body[0] & 15;
                        if (cls > 1 || id > 3) return damaged;
                        THuffmanTable& t = tables[static_cast<std::size_t>(cls * 4 + id)];
                        int total = 0;
                        for (int i = 1; i <= 16; ++i) {
                            t.counts[static_cast<std::size_t>(i)] = body[i];
                            total += body[i];
                        }
                        body += 17;
                        if (total > 256 || bodyEnd - body < total) return damaged;
                        t.symbols.assign(body, body + total);
                        body += total;
                    }
                    p = bodyEnd;
                    continue;
                case 0xC0:    // baseline
                case 0xC1: {  // extended sequential, Huffman coded
                    if (length < 8 || body[0] != 8) return damaged;
                    bandHeight = static_cast<int>(Be16(body + 1));
                    bandWidth = static_cast<int>(Be16(body + 3));
                    if (first) heightAt = out.size() + 5;
                    const int n = body[5];
                    if (length != 8u + 3u * static_cast<std::uint32_t>(n) || n < 1 || n > 4)
                        return damaged;
                    for (int i = 0; i < n; ++i) {
                        // One block per component in every unit: 4:4:4.
                        if (body[6 + 3 * i + 1] != 0x11)
                            return QStringLiteral("the compressed frame is not 4:4:4");
                        components.push_back({body[6 + 3 * i], 0, 0});
                    }
                    break;
                }
                case 0xDD:  // restart interval
                    if (length != 4) return damaged;
                    bandInterval = Be16(body);
                    break;
                case 0xDA: {  // start of scan
                    if (length < 6) return damaged;
                    if (tableBytes.empty() || tableBytes != decodedTables_) {
                        // All or none: a table that fails leaves none behind
                        // for the next frame.
                        decodedTables_.clear();
                        bool built = true;
                        for (std::size_t t = 0; t < 8; ++t) {
                            decoding[t].present = false;
                            if (!tables[t].symbols.empty())
                                built = BuildDecoding(tables[t], decoding[t]) && built;
                        }
                        if (!built) {
                            for (TDecoding& d : decoding) d.present = false;
                            return damaged;
                        }
                        decodedTables_ = tableBytes;
                    }
                    const int n = body[0];
                    if (n != static_cast<int>(components.size()) ||
                        length != 6u + 2u * static_cast<std::uint32_t>(n))
                        return damaged;
                    for (int i = 0; i < n; ++i) {
                        TComponent& c = components[static_cast<std::size_t>(i)];
                        if (body[1 + 2 * i] != c.id) return damaged;
                        c.dcTable = body[2 + 2 * i] >> 4;
                        c.acTable = 4 + (body[2 + 2 * i] & 15);
                        if (c.dcTable > 3 || c.acTable > 7 ||
                            !decoding[static_cast<std::size_t>(c.dcTable)].present ||
                            !decoding[static_cast<std::size_t>(c.acTable)].present)
                            return damaged;
                    }
                    const std::uint8_t* s = body + 1 + 2 * n;
                    if (s[0] != 0 || s[1] != 63 || s[2] != 0) return damaged;
                    bandScan = p;
                    if (first) {
                        scanHeader = p;
                        scanHeaderSize = 2 + length;
                    }
                    p = bodyEnd;
                    continue;
                }
                default:
                    if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                        marker != 0xCC)
                        return QStringLiteral("the compressed frame is not baseline");
                    break;
            }
            if (first) out.insert(out.end(), p, bodyEnd);
            p = bodyEnd;
        }
        if (bandWidth < 1 || bandHeight < 1 || components.empty()) return damaged;
        // Bands are stacked: as wide as the first, of whole rows of units but for
        // the last, and each begins a restart interval.
        const std::int64_t units = static_cast<std::int64_t>((bandWidth + 7) / 8) *
                                   static_cast<std::int64_t>((bandHeight + 7) / 8);
        if (first) {
            width = bandWidth;
            interval = bandInterval;
        } else if (bandWidth != width || bandInterval != interval || height % 8 != 0 ||
                   interval == 0) {
            return damaged;
        }
        if (!first) codes_.push_back(kRestart);
        height += bandHeight;
        scanBytes += static_cast<std::size_t>(end - p);

        // Every symbol of the scan, and how often each one occurs.
        TBitReader reader(p, end);
        for (std::int64_t u = 0; u < units; ++u) {
            // Zeros past the data decode as symbols too: a header that claims
            // more blocks than the data holds must end here, not run on.
            if (reader.Overran()) return damaged;
            if (interval != 0 && u != 0 && u % interval == 0) {
                if (!reader.Restart()) return damaged;
                codes_.push_back(kRestart);
            }
            for (const TComponent& c : components) {
                const TDecoding& dc = decoding[static_cast<std::size_t>(c.dcTable)];
                reader.Ensure32();
                std::uint32_t entry = dc.Decode(reader.Peek(16));
                if (entry == 0) return damaged;
                reader.Skip(static_cast<int>(entry >> 8));
                std::uint32_t symbol = entry & 0xFF;
                if (symbol > 11) return damaged;
                codes_.push_back(static_cast<std::uint32_t>(c.dcTable) << 24 | symbol << 16 |
                                 reader.Peek(static_cast<int>(symbol)));
                reader.Skip(static_cast<int>(symbol));
                ++frequencies[static_cast<std::size_t>(c.dcTable)][symbol];
                const TDecoding& ac = decoding[static_cast<std::size_t>(c.acTable)];
                auto& acFrequencies = frequencies[static_cast<std::size_t>(c.acTable)];
                const std::uint32_t acTag = static_cast<std::uint32_t>(c.acTable) << 24;
                for (int k = 1; k < 64;) {
                    reader.Ensure32();
                    entry = ac.Decode(reader.Peek(16));
                    if (entry == 0) return damaged;
                    reader.Skip(static_cast<int>(entry >> 8));
                    symbol = entry & 0xFF;
                    ++acFrequencies[symbol];
                    const int run = static_cast<int>(symbol >> 4);
                    const int bits = static_cast<int>(symbol & 15);
                    if (bits == 0 && run != 15) {  // end of block
                        codes_.push_back(acTag | symbol << 16);
                        break;
                    }
                    k += run + 1;
                    if (k > 64 || bits > 10) return damaged;
                    codes_.push_back(acTag | symbol << 16 | reader.Peek(bits));
                    reader.Skip(bits);
                }
            }
        }
        if (reader.Overran()) return damaged;
        if (!first && interval != 0 &&
            (height - bandHeight) / 8 * ((width + 7) / 8) % interval != 0)
            return damaged;
    }
    if (height > 0xFFFF) return QStringLiteral("a JPEG cannot be that high");
    out[heightAt] = static_cast<std::uint8_t>(height >> 8);
    out[heightAt + 1] = static_cast<std::uint8_t>(height);

    // The new tables, then the scan coded with them.
    std::array<TEncoding, 8> encodings;
    const std::size_t tablesAt = out.size();
    out.insert(out.end(), {0xFF, 0xC4, 0, 0});
    for (std::size_t t = 0; t < 8; ++t) {
        // Only the tables the scan uses; every one of them codes something.
        bool used = false;
        for (const std::uint64_t f : frequencies[t]) used = used || f != 0;
        if (!used) continue;
        const THuffmanTable table = OptimalTable(frequencies[t]);
        encodings[t] = EncodingOf(table);
        out.push_back(static_cast<std::uint8_t>((t / 4) << 4 | (t % 4)));
        out.insert(out.end(), table.counts.begin() + 1, table.counts.end());
        out.insert(out.end(), table.symbols.begin(), table.symbols.end());
    }
    const std::size_t tablesLength = out.size() - tablesAt - 2;
    out[tablesAt + 2] = static_cast<std::uint8_t>(tablesLength >> 8);
    out[tablesAt + 3] = static_cast<std::uint8_t>(tablesLength);
    out.insert(out.end(), scanHeader, scanHeader + scanHeaderSize);
    // Optimal codes are no longer than the standard ones, so twice the old
    // data holds the new, however many bytes need stuffing.
    const std::size_t scanAt = out.size();
    out.resize(scanAt + 2 * scanBytes + 16);
    TBitWriter writer(out.data() + scanAt);
    int restarts = 0;
    for (const std::uint32_t code : codes_) {
        if (code == kRestart) {
            writer.Restart(restarts++);
            continue;
        }
        const std::size_t table = code >> 24;
        const std::uint32_t symbol = (code >> 16) & 0xFF;
        const int bits = static_cast<int>(table < 4 ? symbol : symbol & 15);
        const TEncoding& e = encodings[table];
        writer.Put(static_cast<std::uint32_t>(e.code[symbol]) << bits | (code & 0xFFFF),
                   e.length[symbol] + bits);
    }
    out.resize(static_cast<std::size_t>(writer.Flush() - out.data()));
    out.insert(out.end(), {0xFF, 0xD9});
    return {};
}

}  // namespace avivideo
