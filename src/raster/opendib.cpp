// OpenDib: reads a picture file into a DibRecord, through our own readers for
// PCX, TGA and IFF and through Qt's image readers for BMP (also RLE and
// headerless DIB), GIF, JPEG, PNG and TIFF.
#include "raster/opendib.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPointer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "raster/dib.h"
#include "raster/own_formats.h"
#include "raster/progress_event.h"

namespace raster {

namespace {

DibRecord Failed(std::string text) {
    DibRecord dib;
    dib.SetErrorText(std::move(text));
    return dib;
}

constexpr const char* kNoMemory = "Not enough memory for this picture.";

std::string TooLarge(qint64 width, qint64 height) {
    return "The picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
           " pixels).";
}

// Reads the whole file in chunks, reporting the percentage read to the
// receiver whenever it grows; the last report is 100.
class ProgressReader {
public:
    explicit ProgressReader(QObject* receiver) : receiver_(receiver) {}

    bool Read(QFile& file, QByteArray& out) {
        const qint64 size = file.size();
        if (size > kMaxPictureBytes * 2) {
            error_ = "The file is too large to be a picture.";
            return false;
        }
        out.resize(static_cast<qsizetype>(size));
        qint64 done = 0;
        const qint64 chunk = std::clamp<qint64>(size / 20, 16 << 10, 4 << 20);
        while (done < size) {
            const qint64 got = file.read(out.data() + done, std::min(chunk, size - done));
            if (got < 0) {
                error_ = "The file cannot be read: " + file.errorString().toStdString() + ".";
                return false;
            }
            if (got == 0) break;
            done += got;
            Report(static_cast<int>(done * 100 / size));
        }
        out.resize(static_cast<qsizetype>(done));
        Report(100);
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    void Report(int percent) {
        if (receiver_ == nullptr || percent <= last_) return;
        last_ = percent;
        TProgressEvent event(percent);
        QCoreApplication::sendEvent(receiver_, &event);
    }

    QPointer<QObject> receiver_;
    int last_ = -1;
    std::string error_;
};

std::uint32_t Le32(std::span<const std::uint8_t> d, std::size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (std::uint32_t{d[at + 3]} << 24);
}
std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}

// A DIB file may be stored without the 14-byte BITMAPFILEHEADER (a "packed"
// DIB, as on the clipboard). Recognised by its info header; Qt only reads
// BMP files, so such data gets the file header put in front.
bool IsPackedDib(std::span<const std::uint8_t> d) {
    if (d.size() < 16) return false;
    const std::uint32_t infoSize = Le32(d, 0);
    if (infoSize == 12)
        return Le16(d, 8) == 1 && (d[10] == 1 || d[10] == 4 || d[10] == 8 || d[10] == 24);
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return false;
    if (d.size() < infoSize) return false;
    const int bits = Le16(d, 14);
    return Le16(d, 12) == 1 && Le32(d, 16) <= 3 &&
           (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

QByteArray WithBmpFileHeader(std::span<const std::uint8_t> d) {
    const std::uint32_t infoSize = Le32(d, 0);
    std::uint32_t tableBytes = 0;
    if (infoSize == 12) {
        if (d[10] <= 8) tableBytes = 3u << d[10];
    } else {
        const int bits = Le16(d, 14);
        const std::uint32_t used = Le32(d, 32);
        if (bits <= 8) tableBytes = 4 * (used != 0 && used < (1u << bits) ? used : 1u << bits);
        if (infoSize == 40 && Le32(d, 16) == 3) tableBytes = 12;  // bit-field masks
    }
    const std::uint32_t offset = 14 + infoSize + tableBytes;
    const auto total = static_cast<std::uint32_t>(14 + d.size());
    QByteArray out;
    out.reserve(static_cast<qsizetype>(total));
    const std::uint8_t header[14] = {'B',
                                     'M',
                                     static_cast<std::uint8_t>(total),
                                     static_cast<std::uint8_t>(total >> 8),
                                     static_cast<std::uint8_t>(total >> 16),
                                     static_cast<std::uint8_t>(total >> 24),
                                     0,
                                     0,
                                     0,
                                     0,
                                     static_cast<std::uint8_t>(offset),
                                     static_cast<std::uint8_t>(offset >> 8),
                                     static_cast<std::uint8_t>(offset >> 16),
                                     static_cast<std::uint8_t>(offset >> 24)};
    out.append(reinterpret_cast<const char*>(header), 14);
    out.append(reinterpret_cast<const char*>(d.data()), static_cast<qsizetype>(d.size()));
    return out;
}

// Qt turns two-colour BMPs around so that entry 0 is the lighter colour,
// inverting every bit. Puts the file's own order back so that the indices
// are those of the file.
void RestoreBmpMonoOrder(const QByteArray& file, QImage& img) {
    const std::span<const std::uint8_t> d(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                          static_cast<std::size_t>(file.size()));
    if (img.format() != QImage::Format_Mono || img.colorCount() != 2 || d.size() < 30) return;
    const std::uint32_t infoSize = Le32(d, 14);
    const std::size_t table = 14 + std::size_t{infoSize};
    const std::size_t entry = infoSize == 12 ? 3 : 4;
    if (table + 2 * entry > d.size()) return;
    auto fileColour = [&](std::size_t i) {
        const std::uint8_t* p = d.data() + table + i * entry;
        return qRgb(p[2], p[1], p[0]);
    };
    const QRgb c0 = img.color(0), c1 = img.color(1);
    if (c0 == c1 || fileColour(0) != c1 || fileColour(1) != c0) return;
    img.invertPixels();
    img.setColorTable({c1, c0});
}

// Qt reads a black-and-white PNG as white = 0, black = 1, the other way
// round from the file; the file's order is put back.
void RestorePngMonoOrder(const QByteArray& file, QImage& img) {
    if (img.format() != QImage::Format_Mono || img.colorCount() != 2 || file.size() < 26) return;
    const auto bitDepth = static_cast<std::uint8_t>(file[24]);
    const auto colourType = static_cast<std::uint8_t>(file[25]);
    if (bitDepth != 1 || colourType != 0) return;
    if (img.color(0) != qRgb(255, 255, 255) || img.color(1) != qRgb(0, 0, 0)) return;
    img.invertPixels();
    img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
}

// The colour table of a GIF's first picture (its own, else the global one)
// and its transparent index (-1 for none).
struct GifTable {
    QList<QRgb> colours;
    int transparent = -1;
};

std::optional<GifTable> ReadGifTable(const QByteArray& file) {
    const std::span<const std::uint8_t> d(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                          static_cast<std::size_t>(file.size()));
    auto table = [&](std::size_t at, int count) -> std::optional<QList<QRgb>> {
        if (at + 3 * std::size_t(count) > d.size()) return std::nullopt;
        QList<QRgb> out;
        for (int i = 0; i < count; ++i)
            out.append(qRgb(d[at + 3 * i], d[at + 3 * i + 1], d[at + 3 * i + 2]));
        return out;
    };
    if (d.size() < 13) return std::nullopt;
    GifTable result;
    std::size_t pos = 13;
    if (d[10] & 0x80) {
        const int count = 2 << (d[10] & 7);
        auto global = table(pos, count);
        if (!global) return std::nullopt;
        result.colours = *global;
        pos += 3 * std::size_t(count);
    }
    while (pos < d.size()) {
        if (d[pos] == 0x2C) {  // image descriptor
            if (pos + 10 > d.size()) return std::nullopt;
            const std::uint8_t packed = d[pos + 9];
            if (packed & 0x80) {
                auto local = table(pos + 10, 2 << (packed & 7));
                if (!local) return std::nullopt;
                result.colours = *local;
            }
            return result;
        }
        if (d[pos] != 0x21 || pos + 2 > d.size()) return std::nullopt;
        const std::uint8_t label = d[pos + 1];
        pos += 2;
        if (label == 0xF9 && pos + 5 <= d.size() && d[pos] >= 4 && (d[pos + 1] & 1))
            result.transparent = d[pos + 4];
        while (pos < d.size() && d[pos] != 0) pos += 1 + std::size_t(d[pos]);  // sub-blocks
        ++pos;
    }
    return std::nullopt;
}

// Qt decodes GIFs to 32-bit images. A GIF is a palette file, so its pixels
// are mapped back to the indices of its colour table; if any pixel is not in
// the table the picture stays direct colour.
QImage GifToIndexed(const QByteArray& file, const QImage& img) {
    const std::optional<GifTable> table = ReadGifTable(file);
    if (!table || table->colours.isEmpty() || table->colours.size() > 256) return img;
    QHash<QRgb, int> index;
    for (int i = static_cast<int>(table->colours.size()) - 1; i >= 0; --i)
        index.insert(table->colours[i] | 0xFF000000u, i);
    QImage out(img.size(), QImage::Format_Indexed8);
    if (out.isNull()) return img;
    out.setColorTable(table->colours);
    const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(src[x]) == 0 && table->transparent >= 0 &&
                table->transparent < table->colours.size()) {
                dst[x] = static_cast<uchar>(table->transparent);
                continue;
            }
            const auto it = index.constFind(src[x] | 0xFF000000u);
            if (it == index.constEnd()) return img;
            dst[x] = static_cast<uchar>(*it);
        }
    }
    return out;
}

// A palette picture from an indexed QImage, at the smallest DIB depth that
// holds its colour table.
DibRecord FromIndexed(const QImage& source) {
    const QImage img = source.format() == QImage::Format_MonoLSB
                           ? source.convertToFormat(QImage::Format_Mono)
                           : source;
    const QList<QRgb> table = img.colorTable();
    const int colors = static_cast<int>(std::min<qsizetype>(table.size(), 256));
    const int bits = colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
    DibRecord dib = newdib(img.width(), img.height(), bits);
    if (!dib.HasPixels()) return Failed(kNoMemory);
    for (int i = 0; i < colors; ++i) {
        dib.Palette()[i] = {static_cast<std::uint8_t>(qRed(table[i])),
                            static_cast<std::uint8_t>(qGreen(table[i])),
                            static_cast<std::uint8_t>(qBlue(table[i]))};
    }
    const int width = img.width();
    for (int y = 0; y < img.height(); ++y) {
        const uchar* src = img.constScanLine(y);
        std::uint8_t* dst = dib.Row(y);
        if (img.format() == QImage::Format_Mono) {
            // Same bit order as a DIB row; the bits past the last pixel are
            // cleared so that rows compare equal.
            std::memcpy(dst, src, static_cast<std::size_t>((width + 7) / 8));
            if ((width & 7) != 0)
                dst[(width - 1) / 8] &= static_cast<std::uint8_t>(0xFF00u >> (width & 7));
        } else {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t v = src[x] < colors ? src[x] : 0;
                if (bits == 8) {
                    dst[x] = v;
                } else if (bits == 4) {
                    dst[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? v : v << 4);
                } else {
                    dst[x >> 3] |= static_cast<std::uint8_t>(v << (7 - (x & 7)));
                }
            }
        }
    }
    return dib;
}

DibRecord FromGrey(const QImage& img) {
    DibRecord dib = newdib(img.width(), img.height(), 8);
    if (!dib.HasPixels()) return Failed(kNoMemory);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        dib.Palette()[i] = {v, v, v};
    }
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(dib.Row(y), img.constScanLine(y), static_cast<std::size_t>(img.width()));
    return dib;
}

DibRecord FromDirect(const QImage& source) {
    const bool direct =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    const QImage img = direct ? source : source.convertToFormat(QImage::Format_ARGB32);
    if (img.isNull()) return Failed(kNoMemory);
    DibRecord dib = newdib(img.width(), img.height(), 24);
    if (!dib.HasPixels()) return Failed(kNoMemory);
    for (int y = 0; y < img.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        std::uint8_t* dst = dib.Row(y);
        for (int x = 0; x < img.width(); ++x) {
            dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
        }
    }
    return dib;
}

// The formats handed to Qt. Others Qt knows (SVG, WebP, icons, ...) are not
// picture files of this program and are refused rather than given to more
// decoders than needed.
bool AcceptedQtFormat(const QByteArray& format) {
    return format == "bmp" || format == "gif" || format == "jpeg" || format == "jpg" ||
           format == "png" || format == "tif" || format == "tiff";
}

DibRecord DecodeWithQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!AcceptedQtFormat(format)) return Failed("Unknown or unsupported picture format.");
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    if (format == "bmp" && bytes.size() >= 26) {
        // Qt gives no size for a BMP header it finds implausible; the claim
        // is read here so that the refusal can say what is wrong.
        const std::span<const std::uint8_t> d(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()));
        const bool core = Le32(d, 14) == 12;
        const qint64 w = core ? Le16(d, 18) : static_cast<std::int32_t>(Le32(d, 18));
        const qint64 h = core ? Le16(d, 20) : static_cast<std::int32_t>(Le32(d, 22));
        if (std::abs(w) > kMaxSide || std::abs(h) > kMaxSide ||
            std::abs(w) * std::abs(h) * 4 > kMaxPictureBytes) {
            return Failed(TooLarge(std::abs(w), std::abs(h)));
        }
    }
    if (size.isValid() && (size.width() > kMaxSide || size.height() > kMaxSide ||
                           std::int64_t{size.width()} * size.height() * 4 > kMaxPictureBytes)) {
        return Failed(TooLarge(size.width(), size.height()));
    }
    // Qt's BMP decoder leaves the rows of a truncated file (and the pixels
    // an RLE bitmap skips) as it found them; it decodes into an image of the
    // right size and format that it is given, so it is given a zeroed one.
    // The other decoders fill their images or fail.
    QImage img;
    const QImage::Format expected = reader.imageFormat();
    if (format == "bmp" && size.isValid() && !size.isEmpty() &&
        expected != QImage::Format_Invalid) {
        img = QImage(size, expected);
        if (img.isNull()) return Failed(kNoMemory);
        img.fill(0);
    }
    if (!reader.read(&img) || img.isNull()) {
        const QString why = reader.errorString();
        if (reader.error() == QImageReader::InvalidDataError && why.contains("limit")) {
            return Failed(TooLarge(size.width(), size.height()));
        }
        return Failed("The picture could not be read: " + why.toStdString() + ".");
    }
    if (format == "bmp") RestoreBmpMonoOrder(bytes, img);
    if (format == "png") RestorePngMonoOrder(bytes, img);
    if (format == "gif") img = GifToIndexed(bytes, img);
    switch (img.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            return FromIndexed(img);
        case QImage::Format_Grayscale8:
            return FromGrey(img);
        default:
            return FromDirect(img);
    }
}

struct AllocationLimit {
    // In megabytes; a little above the largest picture accepted, which is
    // checked (with a clear text) before Qt is asked to read.
    AllocationLimit() {
        QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes >> 20) + 64);
    }
};

}  // namespace

DibRecord DecodePicture(std::span<const std::uint8_t> data, std::string_view nameHint) {
    static const AllocationLimit limit;
    if (data.empty()) return Failed("The file is empty.");
    switch (DetectOwnFormat(data, nameHint)) {
        case OwnFormat::Pcx:
            return DecodePcx(data);
        case OwnFormat::Tga:
            return DecodeTga(data);
        case OwnFormat::Iff:
            return DecodeIff(data);
        case OwnFormat::None:
            break;
    }
    if (IsPackedDib(data)) return DecodeWithQt(WithBmpFileHeader(data));
    return DecodeWithQt(QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                static_cast<qsizetype>(data.size())));
}

DibRecord OpenDib(const std::string& fileName, int /*option*/, QObject* progressReceiver) {
    if (fileName.empty()) return Failed("No file name given.");
    const QString name = QString::fromStdString(fileName);
    const QFileInfo info(name);
    if (!info.exists()) return Failed("The file does not exist.");
    if (info.isDir()) return Failed("This is a folder, not a picture file.");
    // Devices and pipes could block or never end.
    if (!info.isFile()) return Failed("This is not a regular file.");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failed("The file cannot be opened: " + file.errorString().toStdString() + ".");
    }
    if (file.size() == 0) return Failed("The file is empty.");
    QByteArray bytes;
    ProgressReader reader(progressReceiver);
    if (!reader.Read(file, bytes)) return Failed(reader.Error());
    return DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())),
                         fileName);
}

}  // namespace raster
