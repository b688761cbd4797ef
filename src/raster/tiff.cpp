// TIFF reader on top of libtiff, classic TIFF and BigTIFF. Palette and grey
// pictures of up to 8 bits keep their indices, in strips or tiles;
// everything else (planar, 16-bit, CMYK, YCbCr, ...) goes through libtiff's
// RGBA interface. libtiff's messages are collected and become the error
// text; none reach stderr.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "raster/opendib.h"
#include "raster/own_formats_detail.h"

namespace raster {

namespace {

using detail::Failed;

struct MemoryFile {
    std::span<const std::uint8_t> data;
    std::uint64_t pos = 0;
    std::string error;
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->pos >= f->data.size()) return 0;
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(size), f->data.size() - f->pos));
    std::memcpy(buf, f->data.data() + f->pos, n);
    f->pos += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = f->pos;
    if (whence == SEEK_END) base = f->data.size();
    f->pos = base + off;
    return f->pos;
}
int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}
// The bytes are in memory already: libtiff reads them in place, as it reads
// a mapped file. It never writes to a file opened for reading. (Without a
// mapping, libtiff 4.5 refuses every uncompressed tile whose size is not a
// multiple of 1024: it compares the tile with its rounded-up read buffer.)
int MapProc(thandle_t h, void** base, toff_t* size) {
    auto* f = static_cast<MemoryFile*>(h);
    *base = const_cast<std::uint8_t*>(f->data.data());
    *size = f->data.size();
    return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* f = static_cast<MemoryFile*>(user);
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    if (f->error.empty()) {
        f->error = text;
        (void)module;
    }
    return 1;
}
int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;  // warnings about tags we do not use are no reason to refuse
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

std::string Reason(const MemoryFile& f, const char* fallback) {
    return "The TIFF picture could not be read: " + (f.error.empty() ? fallback : f.error) + ".";
}

// How many bytes of decoded data one byte of compressed data can give at
// most, for the codecs libtiff reads.
std::int64_t BestRatio(int compression, int samples) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;  // 2 bytes for a run of 128
        case COMPRESSION_LZW:
            return 3641;  // a 9-bit code for at most 4096 bytes
        case COMPRESSION_DEFLATE:
        case COMPRESSION_ADOBE_DEFLATE:
            return 1032;
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return 512 * samples;  // a bit per 8 x 8 block
        default:
            return std::int64_t{1} << 17;
    }
}

// The rows of a picture of one sample per pixel, top to bottom, as stored:
// from strips through libtiff's scan-line interface, from tiles a band of
// tiles across the picture at a time. Tiles must start on whole bytes.
class RowReader {
public:
    RowReader(TIFF* tif, std::uint32_t height, int bits)
        : tif_(tif), height_(height), bits_(bits) {}

    // False when the tiles are laid out in a way this reader cannot take.
    bool Start(std::size_t lineBytes) {
        lineBytes_ = lineBytes;
        if (!TIFFIsTiled(tif_)) return true;
        TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileWidth_);
        TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileLength_);
        const auto tileBytes = static_cast<std::int64_t>(TIFFTileSize64(tif_));
        const std::uint32_t bandRows = std::min(tileLength_, height_);
        if (tileWidth_ == 0 || tileLength_ == 0 || (std::uint64_t{tileWidth_} * bits_) % 8 != 0 ||
            tileBytes <= 0 || tileBytes > kMaxPictureBytes ||
            static_cast<std::int64_t>(lineBytes) * bandRows > kMaxPictureBytes)
            return false;
        tile_.resize(static_cast<std::size_t>(tileBytes));
        band_.resize(lineBytes * bandRows);
        return true;
    }

    // Row y into line (lineBytes long); rows are asked for in order.
    bool Read(std::uint32_t y, std::uint8_t* line) {
        if (tileLength_ == 0) return TIFFReadScanline(tif_, line, y, 0) >= 0;
        const std::uint32_t top = y / tileLength_ * tileLength_;
        if (!bandLoaded_ || top != bandTop_) {
            if (!LoadBand(top)) return false;
        }
        std::copy_n(band_.data() + std::size_t{y - top} * lineBytes_, lineBytes_, line);
        return true;
    }

private:
    bool LoadBand(std::uint32_t top) {
        bandLoaded_ = false;
        const std::size_t tileRowBytes = std::size_t{tileWidth_} * bits_ / 8;
        const std::uint32_t rows = std::min(tileLength_, height_ - top);
        for (std::size_t at = 0, x = 0; at < lineBytes_; at += tileRowBytes, x += tileWidth_) {
            if (TIFFReadTile(tif_, tile_.data(), static_cast<std::uint32_t>(x), top, 0, 0) < 0)
                return false;
            const std::size_t n = std::min(tileRowBytes, lineBytes_ - at);
            for (std::uint32_t r = 0; r < rows; ++r)
                std::copy_n(tile_.data() + r * tileRowBytes, n, band_.data() + r * lineBytes_ + at);
        }
        bandTop_ = top;
        bandLoaded_ = true;
        return true;
    }

    TIFF* tif_;
    std::uint32_t height_;
    int bits_;
    std::size_t lineBytes_ = 0;
    std::uint32_t tileWidth_ = 0, tileLength_ = 0;
    std::vector<std::uint8_t> tile_, band_;
    std::uint32_t bandTop_ = 0;
    bool bandLoaded_ = false;
};

}  // namespace

DibRecord DecodeTiff(std::span<const std::uint8_t> data) {
    MemoryFile file{data, 0, {}};
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             &TIFFOpenOptionsFree);
    if (!options) return Failed("Not enough memory for this picture.");
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &OnError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &OnWarning, &file);
    std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFClientOpenExt("picture", "r", &file, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                          &SizeProc, &MapProc, &UnmapProc, options.get()));
    if (!tif) return Failed(Reason(file, "not a TIFF file"));

    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, compression = COMPRESSION_NONE,
                  orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    const bool hasPhotometric = TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric) != 0;
    if (std::string problem = detail::SizeProblem(width, height, 24); !problem.empty())
        return Failed(std::move(problem));

    // A picture larger than its compressed data could give is refused
    // before libtiff or we allocate for it.
    std::int64_t stored = 0;
    const std::uint32_t striles =
        TIFFIsTiled(tif.get()) ? TIFFNumberOfTiles(tif.get()) : TIFFNumberOfStrips(tif.get());
    for (std::uint32_t i = 0; i < striles && stored < static_cast<std::int64_t>(data.size()); ++i)
        stored += static_cast<std::int64_t>(
            std::min<std::uint64_t>(TIFFGetStrileByteCount(tif.get(), i), data.size()));
    stored = std::min<std::int64_t>(stored, static_cast<std::int64_t>(data.size()));
    const std::int64_t raw =
        (std::int64_t{width} * samples * bits + 7) / 8 * static_cast<std::int64_t>(height);
    const bool fax = compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
                     compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
    const bool cannotHold = fax ? std::int64_t{height} > (stored + 1) * 8
                                : raw > (stored + 1) * BestRatio(compression, samples);
    if (cannotHold) {
        return Failed(detail::CannotHold(stored, width, height));
    }

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    const bool indexed =
        hasPhotometric && samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
        (photometric == PHOTOMETRIC_PALETTE || photometric == PHOTOMETRIC_MINISBLACK ||
         photometric == PHOTOMETRIC_MINISWHITE);
    DibRecord dib;
    if (indexed) {
        dib = detail::NewPicture(w, h, bits == 1 ? 1 : bits == 8 ? 8 : 4);
        if (!dib.HasPixels()) return dib;
        const int n = 1 << bits;
        auto& pal = dib.Palette();
        if (photometric == PHOTOMETRIC_PALETTE) {
            std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            if (!TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &r, &g, &b))
                return Failed(Reason(file, "the colour map is missing"));
            // Some writers store 8-bit values in the 16-bit map.
            bool eightBit = true;
            for (int i = 0; i < n; ++i)
                eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
            const int shift = eightBit ? 0 : 8;
            for (int i = 0; i < n; ++i)
                pal[i] = {static_cast<std::uint8_t>(r[i] >> shift),
                          static_cast<std::uint8_t>(g[i] >> shift),
                          static_cast<std::uint8_t>(b[i] >> shift)};
        } else {
            for (int i = 0; i < n; ++i) {
                const auto v = static_cast<std::uint8_t>(i * 255 / (n - 1));
                pal[i] = photometric == PHOTOMETRIC_MINISBLACK
                             ? RgbEntry{v, v, v}
                             : RgbEntry{static_cast<std::uint8_t>(255 - v),
                                        static_cast<std::uint8_t>(255 - v),
                                        static_cast<std::uint8_t>(255 - v)};
            }
        }
        std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif.get())));
        if (line.size() < static_cast<std::size_t>((std::int64_t{w} * bits + 7) / 8))
            return Failed(Reason(file, "damaged scan lines"));
        RowReader rows(tif.get(), height, bits);
        if (!rows.Start(line.size())) return Failed(Reason(file, "unusual tiles"));
        for (int y = 0; y < h; ++y) {
            if (!rows.Read(static_cast<std::uint32_t>(y), line.data()))
                return Failed(Reason(file, "the picture data is damaged"));
            std::uint8_t* out = dib.Row(y);
            if (bits == 1 || bits == 8) {
                std::copy_n(line.data(), (w * bits + 7) / 8, out);
                if (bits == 1 && (w & 7) != 0)
                    out[(w - 1) / 8] &= static_cast<std::uint8_t>(0xFF00u >> (w & 7));
            } else {
                const int perByte = 8 / bits;
                for (int x = 0; x < w; ++x) {
                    const int v = (line[x / perByte] >> (8 - bits * (x % perByte + 1))) & (n - 1);
                    out[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? v : v << 4);
                }
            }
        }
    } else {
        // The colour channels as stored: an alpha sample is declared
        // unspecified so that libtiff does not multiply the colours by it.
        std::uint16_t extraCount = 0;
        std::uint16_t* extraTypes = nullptr;
        if (TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) &&
            extraCount > 0) {
            std::vector<std::uint16_t> unspecified(extraCount, EXTRASAMPLE_UNSPECIFIED);
            TIFFSetField(tif.get(), TIFFTAG_EXTRASAMPLES, extraCount, unspecified.data());
        }
        // The orientation is applied below, for all eight values alike.
        TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        char why[1024] = {};
        if (!TIFFRGBAImageOK(tif.get(), why)) {
            return Failed("This kind of TIFF picture is not supported: " + std::string(why) + ".");
        }
        std::vector<std::uint32_t> raster;
        try {
            raster.resize(static_cast<std::size_t>(w) * h);
        } catch (const std::bad_alloc&) {
            return Failed("Not enough memory for this picture.");
        }
        if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                       0))
            return Failed(Reason(file, "the picture data is damaged"));
        dib = detail::NewPicture(w, h, 24);
        if (!dib.HasPixels()) return dib;
        for (int y = 0; y < h; ++y) {
            const std::uint32_t* src = raster.data() + static_cast<std::size_t>(y) * w;
            std::uint8_t* out = dib.Row(y);
            for (int x = 0; x < w; ++x) {
                out[3 * x] = static_cast<std::uint8_t>(TIFFGetB(src[x]));
                out[3 * x + 1] = static_cast<std::uint8_t>(TIFFGetG(src[x]));
                out[3 * x + 2] = static_cast<std::uint8_t>(TIFFGetR(src[x]));
            }
        }
    }
    return Oriented(std::move(dib), orientation);
}

}  // namespace raster
