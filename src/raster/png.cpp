// PNG reader on top of libpng. Palette and grey pictures of up to 8 bits keep
// their indices; 16-bit samples are rounded to 8 bits; alpha and transparency
// are ignored, so every pixel keeps the colour the file stores. libpng's
// errors become the error text and its warnings are dropped: nothing reaches
// stderr.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "raster/opendib.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::Failed;

// What the libpng callbacks share. Only trivially destructible members: the
// functions that call setjmp keep nothing that a longjmp would have to
// destroy.
struct Source {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    char error[256] = {};
};

void OnRead(png_structp png, png_bytep out, png_size_t length) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (length > s->size - s->pos) png_error(png, "the file ends early");
    std::memcpy(out, s->data + s->pos, length);
    s->pos += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* s = static_cast<Source*>(png_get_error_ptr(png));
    if (s->error[0] == '\0') std::snprintf(s->error, sizeof s->error, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colourType = 0;
};

// Reads up to the picture data and sets the transformations. False on a
// libpng error, whose text is in the source.
bool ReadHeader(png_structp png, png_infop info, Header& h) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    png_get_IHDR(png, info, &h.width, &h.height, &h.depth, &h.colourType, nullptr, nullptr,
                 nullptr);
    if (h.depth == 16) png_set_scale_16(png);
    if ((h.colourType & PNG_COLOR_MASK_ALPHA) != 0) png_set_strip_alpha(png);
    if (h.colourType == PNG_COLOR_TYPE_RGB || h.colourType == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_bgr(png);
    // Two bits a pixel has no picture record of its own: one byte per pixel,
    // packed into four bits below.
    if (h.depth == 2) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

// What follows the picture data (text, times, the end marker) is not needed:
// a file cut after its last row still gives its whole picture.
void ReadEnd(png_structp png) {
    if (setjmp(png_jmpbuf(png))) return;
    png_read_end(png, nullptr);
}

struct ReadStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;
    explicit ReadStruct(Source& source) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, &OnError, &OnWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~ReadStruct() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
};

// A chunk named for a message: "the tEXt chunk" when its type is four
// letters, as it should be.
std::string ChunkName(const std::uint8_t* type) {
    const std::string name(reinterpret_cast<const char*>(type), 4);
    const bool letters = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    return letters ? "the " + name + " chunk" : "a chunk";
}

// Checks made before libpng reads the file. Sides beyond the limits are
// refused first. A chunk that claims more bytes than the file has left is
// refused at once: libpng would first allocate what it claims (a gigabyte
// for a text in a file of 57 bytes). A picture larger than its compressed
// data could give (deflate gives at most about 1032 bytes for one) is
// refused before anything is allocated for it.
std::string SizeProblem(std::span<const std::uint8_t> d) {
    const bool header = d.size() >= 33 && std::memcmp(d.data() + 12, "IHDR", 4) == 0;
    const std::int64_t width = header ? png_get_uint_32(d.data() + 16) : 0;
    const std::int64_t height = header ? png_get_uint_32(d.data() + 20) : 0;
    if (width > kMaxSide || height > kMaxSide) return detail::SizeProblem(width, height, 24);
    std::int64_t compressed = 0;
    for (std::size_t pos = 8; pos + 8 <= d.size();) {
        const std::uint32_t length = png_get_uint_32(d.data() + pos);
        const std::size_t left = d.size() - pos - 8;
        // The chunk's data and its 4-byte check sum.
        if (std::uint64_t{length} + 4 > left) {
            return "The picture could not be read: " + ChunkName(d.data() + pos + 4) +
                   " runs past the end of the file (it claims " + std::to_string(length) +
                   " bytes, " + std::to_string(left) + " follow).";
        }
        if (std::memcmp(d.data() + pos + 4, "IDAT", 4) == 0) compressed += length;
        if (std::memcmp(d.data() + pos + 4, "IEND", 4) == 0) break;
        pos += std::size_t{12} + length;
    }
    if (!header) return {};
    const int depth = d[24], colourType = d[25];
    // The estimate below holds only for sides within the limits; a zero
    // side or an impossible depth is left to libpng.
    if (width == 0 || height == 0 || depth == 0 || depth > 16) return {};
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const std::int64_t raw = height * (1 + (width * channels * depth + 7) / 8);
    if (raw > (compressed + 1) * 1032 + 1024) return detail::CannotHold(compressed, width, height);
    return {};
}

std::string Reason(const Source& s, const char* fallback) {
    return std::string("The picture could not be read: ") +
           (s.error[0] != '\0' ? s.error : fallback) + ".";
}

}  // namespace

DibRecord DecodePng(std::span<const std::uint8_t> data) {
    if (std::string problem = SizeProblem(data); !problem.empty())
        return Failed(std::move(problem));
    Source source;
    source.data = data.data();
    source.size = data.size();
    ReadStruct r(source);
    if (r.png == nullptr || r.info == nullptr) return Failed("Not enough memory for this picture.");
    png_set_read_fn(r.png, &source, &OnRead);

    Header h;
    if (!ReadHeader(r.png, r.info, h)) return Failed(Reason(source, "damaged header"));
    const int w = static_cast<int>(h.width), ht = static_cast<int>(h.height);
    const bool palette = h.colourType == PNG_COLOR_TYPE_PALETTE;
    const bool grey = (h.colourType & PNG_COLOR_MASK_COLOR) == 0;
    const int bits = palette || grey ? (h.depth == 16 ? 8 : h.depth == 2 ? 4 : h.depth) : 24;
    if (std::string problem = detail::SizeProblem(w, ht, bits); !problem.empty())
        return Failed(std::move(problem));

    DibRecord dib = detail::NewPicture(w, ht, bits);
    if (!dib.HasPixels()) return dib;
    if (palette) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(r.png, r.info, &entries, &count);
        // Indices past the stored palette show black, as the record's
        // unused entries are.
        count = std::min(count, 1 << bits);
        for (int i = 0; i < count; ++i)
            dib.Palette()[i] = {entries[i].red, entries[i].green, entries[i].blue};
    } else if (grey) {
        const int levels = 1 << std::min(h.depth, 8);
        for (int i = 0; i < levels; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            dib.Palette()[i] = {v, v, v};
        }
    }

    // Two-bit rows arrive a byte per pixel and are packed afterwards; every
    // other kind is read straight into the picture's rows.
    const std::size_t rowBytes = png_get_rowbytes(r.png, r.info);
    const bool unpacked = h.depth == 2;
    std::vector<std::uint8_t> scratch;
    std::vector<png_bytep> rows(static_cast<std::size_t>(ht));
    if (unpacked) {
        scratch.resize(rowBytes * static_cast<std::size_t>(ht));
        for (int y = 0; y < ht; ++y) rows[y] = scratch.data() + rowBytes * y;
    } else {
        if (rowBytes > static_cast<std::size_t>(dib.BytesPerRow()))
            return Failed(Reason(source, "unexpected row size"));
        for (int y = 0; y < ht; ++y) rows[y] = dib.Row(y);
    }
    if (!ReadRows(r.png, rows.data())) return Failed(Reason(source, "damaged data"));
    ReadEnd(r.png);
    if (unpacked) {
        for (int y = 0; y < ht; ++y) {
            std::uint8_t* out = dib.Row(y);
            const std::uint8_t* in = rows[y];
            for (int x = 0; x < w; ++x)
                out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? in[x] : in[x] << 4);
        }
    } else if (bits == 1 && (w & 7) != 0) {
        // The bits past the last pixel are cleared, so that rows compare equal.
        for (int y = 0; y < ht; ++y)
            dib.Row(y)[(w - 1) / 8] &= static_cast<std::uint8_t>(0xFF00u >> (w & 7));
    }
    return dib;
}

}  // namespace raster
