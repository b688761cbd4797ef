// OpenDib: reads a picture file into a DibRecord, through our own readers for
// BMP (also RLE and headerless DIB), GIF, PCX, TGA and IFF, libtiff for TIFF,
// libpng for PNG and Qt's image reader for JPEG.
#include "raster/opendib.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPointer>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "raster/dib.h"
#include "raster/own_formats.h"
#include "raster/own_formats_detail.h"
#include "raster/progress_event.h"

namespace raster {

namespace {

DibRecord Failed(std::string text) {
    DibRecord dib;
    dib.SetErrorText(std::move(text));
    return dib;
}

constexpr const char* kNoMemory = "Not enough memory for this picture.";
constexpr const char* kUnknownFormat = "Unknown or unsupported picture format.";

std::string TooLarge(qint64 width, qint64 height) {
    return "The picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
           " pixels).";
}

// Reads the whole file in chunks, reporting the percentage read to the
// receiver whenever it grows; the last report is 100. The receiver may cancel
// any report, and the reading stops there.
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
            if (!Report(static_cast<int>(done * 100 / size))) return false;
        }
        out.resize(static_cast<qsizetype>(done));
        return Report(100);
    }

    const std::string& Error() const { return error_; }

private:
    // False when the receiver cancelled the loading.
    bool Report(int percent) {
        if (receiver_ == nullptr || percent <= last_) return true;
        last_ = percent;
        TProgressEvent event(percent);
        QCoreApplication::sendEvent(receiver_, &event);
        if (event.Cancelled()) {
            error_ = kLoadCancelled;
            return false;
        }
        return true;
    }

    QPointer<QObject> receiver_;
    int last_ = -1;
    std::string error_;
};

std::uint16_t Be16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>((d[at] << 8) | d[at + 1]);
}

// More scans than any encoder writes (they write a few dozen at most).
// Each progressive scan makes the decoder pass over every block of the
// picture again, so a file of a few bytes per scan repeated thousands of
// times costs a minute; libjpeg-turbo advises such a bound for files from
// elsewhere.
constexpr int kMaxJpegScans = 100;

// The end of the entropy-coded data that starts at pos: the next marker,
// past stuffed zero bytes (FF 00), restart markers and fill bytes.
std::size_t SkipEntropyData(std::span<const std::uint8_t> d, std::size_t pos) {
    while (pos < d.size()) {
        const auto* ff =
            static_cast<const std::uint8_t*>(std::memchr(d.data() + pos, 0xFF, d.size() - pos));
        if (ff == nullptr || ff + 1 == d.data() + d.size()) return d.size();
        pos = static_cast<std::size_t>(ff - d.data());
        const std::uint8_t next = d[pos + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
            pos += 2;
        } else if (next == 0xFF) {
            ++pos;
        } else {
            return pos;
        }
    }
    return d.size();
}

// Walks a JPEG's segments and scans. Refuses a file whose first scan is
// missing, cut inside its header or empty (the decoder would show a uniform
// picture as if nothing were wrong), one whose picture is larger than its
// scan data could give (every 8 x 8 block takes at least one bit), and one
// with more than kMaxJpegScans scans.
std::string JpegProblem(std::span<const std::uint8_t> d) {
    std::int64_t width = 0, height = 0;
    bool arithmetic = false;
    int scans = 0;
    std::size_t pos = 2;
    while (pos + 1 < d.size()) {
        if (d[pos] != 0xFF) {
            ++pos;  // stray bytes between segments; the decoder skips them too
            continue;
        }
        const std::uint8_t marker = d[pos + 1];
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9) break;
        if (pos + 4 > d.size()) break;
        const std::size_t length = Be16(d, pos + 2);
        const std::size_t next = pos + 2 + length;
        if (marker == 0xDA) {
            if (++scans > kMaxJpegScans) {
                return "The JPEG file holds more than " + std::to_string(kMaxJpegScans) +
                       " scans, more than any picture needs: it is refused as damaged.";
            }
            // A later scan that is cut off is the decoder's to judge: what
            // came before it still gives a picture.
            if (length < 2 || next > d.size()) {
                if (scans > 1) break;
                return "The JPEG file is cut inside its start-of-scan header.";
            }
            if (scans == 1) {
                if (next >= d.size() ||
                    (d[next] == 0xFF && next + 1 < d.size() && d[next + 1] == 0xD9))
                    return "The JPEG file holds no image data.";
                const auto bytes = static_cast<std::int64_t>(d.size() - next);
                const std::int64_t blocks = (width + 7) / 8 * ((height + 7) / 8);
                if (!arithmetic && blocks > bytes * 8)
                    return detail::CannotHold(bytes, width, height);
            }
            pos = SkipEntropyData(d, next);
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && pos + 9 <= d.size()) {
            height = Be16(d, pos + 5);
            width = Be16(d, pos + 7);
            arithmetic = marker >= 0xC9;
        }
        pos = next;
    }
    if (scans == 0) return "The JPEG file holds no image data.";
    return {};
}

// Collects what Qt and the decoder behind it say while one picture is read,
// instead of letting it reach stderr; the last thing said becomes the reason
// of a failure.
class LibraryMessages {
public:
    LibraryMessages() {
        active_ = this;
        previous_ = qInstallMessageHandler(&Collect);
    }
    ~LibraryMessages() {
        qInstallMessageHandler(previous_);
        active_ = nullptr;
    }
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // A decoder's warnings come before its error.
    const std::string& Reason() const { return last_; }

private:
    void Note(const QString& text) {
        QString t = text.trimmed();
        if (t.startsWith(QLatin1String("QImageIOHandler:"))) t = t.mid(16).trimmed();
        if (t.endsWith(QLatin1Char('.'))) t.chop(1);
        if (!t.isEmpty()) last_ = t.toStdString();
    }
    static void Collect(QtMsgType, const QMessageLogContext&, const QString& text) {
        if (active_ != nullptr) active_->Note(text);
    }

    static inline LibraryMessages* active_ = nullptr;
    QtMessageHandler previous_ = nullptr;
    std::string last_;
};

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
    return format == "jpeg" || format == "jpg";
}

DibRecord DecodeWithQt(std::span<const std::uint8_t> d) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(d.data()),
                                                     static_cast<qsizetype>(d.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LibraryMessages messages;
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!AcceptedQtFormat(format)) return Failed(kUnknownFormat);
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    // EXIF orientation: a portrait photo is shown upright.
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxSide || size.height() > kMaxSide ||
                           std::int64_t{size.width()} * size.height() * 4 > kMaxPictureBytes)) {
        return Failed(TooLarge(size.width(), size.height()));
    }
    if (std::string problem = JpegProblem(d); !problem.empty()) return Failed(std::move(problem));
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        const QString why = reader.errorString();
        if (reader.error() == QImageReader::InvalidDataError && why.contains("limit")) {
            return Failed(TooLarge(size.width(), size.height()));
        }
        const std::string& reason = messages.Reason();
        return Failed("The picture could not be read: " +
                      (reason.empty() ? why.toStdString() : reason) + ".");
    }
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
    switch (DetectPictureFormat(data, nameHint)) {
        case PictureFormat::Bmp:
            return DecodeBmp(data);
        case PictureFormat::Gif:
            return DecodeGif(data);
        case PictureFormat::Pcx:
            return DecodePcx(data);
        case PictureFormat::Tga:
            return DecodeTga(data);
        case PictureFormat::Iff:
            return DecodeIff(data);
        case PictureFormat::Tiff:
            return DecodeTiff(data);
        case PictureFormat::Png:
            return DecodePng(data);
        case PictureFormat::Jpeg:
            return DecodeWithQt(data);
        case PictureFormat::None:
            break;
    }
    return Failed(kUnknownFormat);
}

DibRecord OpenDib(const std::string& fileName, int /*option*/, QObject* progressReceiver) {
    if (fileName.empty()) return Failed("No file name given.");
    const QString name = QString::fromStdString(fileName);
    // The system's own reason when the file cannot be reached (a loop of
    // symbolic links, a folder without the right to enter it, ...).
    struct stat status {};
    if (::stat(QFile::encodeName(name).constData(), &status) != 0) {
        const int error = errno;
        if (error == ENOENT) return Failed("The file does not exist.");
        return Failed("The file cannot be opened: " + std::generic_category().message(error) + ".");
    }
    if (S_ISDIR(status.st_mode)) return Failed("This is a folder, not a picture file.");
    // Devices and pipes could block or never end.
    if (!S_ISREG(status.st_mode)) return Failed("This is not a regular file.");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failed("The file cannot be opened: " + file.errorString().toStdString() + ".");
    }
    if (file.size() == 0) return Failed("The file is empty.");
    // The first bytes decide whether any reader takes the file, before the
    // rest (which may be gigabytes) is read.
    const QByteArray headBytes = file.peek(static_cast<qint64>(kFormatHeadBytes));
    const std::span head(reinterpret_cast<const std::uint8_t*>(headBytes.constData()),
                         static_cast<std::size_t>(headBytes.size()));
    const PictureFormat format = DetectPictureFormat(head, fileName);
    if (format == PictureFormat::None) return Failed(kUnknownFormat);
    // A TGA is taken by its name; its header alone can refuse it.
    if (format == PictureFormat::Tga && !LooksLikeTga(head)) return DecodeTga(head);
    QByteArray bytes;
    ProgressReader reader(progressReceiver);
    if (!reader.Read(file, bytes)) return Failed(reader.Error());
    return DecodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size())),
                         fileName);
}

}  // namespace raster
