// TIFF reader on top of libtiff. Palette and grey pictures of up to 8 bits
// in strips keep their indices; everything else (planar, 16-bit, tiled,
// CMYK, YCbCr, ...) goes through libtiff's RGBA interface. libtiff's
// messages are collected and become the error text; none reach stderr.
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

}  // namespace

DibRecord DecodeTiff(std::span<const std::uint8_t> data) {
    MemoryFile file{data, 0, {}};
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                             &TIFFOpenOptionsFree);
    if (!options) return Failed("Not enough memory for this picture.");
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &OnError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &OnWarning, &file);
    // "m": no memory mapping, the procedures above serve every read.
    std::unique_ptr<TIFF, TiffCloser> tif(
        TIFFClientOpenExt("picture", "rm", &file, &ReadProc, &WriteProc, &SeekProc, &CloseProc,
                          &SizeProc, nullptr, nullptr, options.get()));
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
    const std::uint32_t striles = TIFFNumberOfStrips(tif.get());
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
        hasPhotometric && samples == 1 && !TIFFIsTiled(tif.get()) &&
        (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
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
        for (int y = 0; y < h; ++y) {
            if (TIFFReadScanline(tif.get(), line.data(), static_cast<std::uint32_t>(y), 0) < 0)
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
