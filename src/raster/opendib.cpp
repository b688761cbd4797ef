// OpenDib: reads a picture file into a DibRecord, through our own readers for
// PCX, TGA and IFF and through Qt's image readers for everything else.
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPointer>

#include <algorithm>
#include <cstring>

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

// Reads the whole file in chunks, reporting the percentage read to the
// receiver whenever it grows.
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
        constexpr qint64 kChunk = 1 << 20;
        while (done < size) {
            const qint64 got = file.read(out.data() + done, std::min(kChunk, size - done));
            if (got < 0) {
                error_ = file.errorString().toStdString();
                return false;
            }
            if (got == 0) break;
            done += got;
            Report(static_cast<int>(done * 100 / size));
        }
        out.resize(static_cast<qsizetype>(done));
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

// A palette picture from an indexed QImage, at the smallest DIB depth that
// holds its colour table.
DibRecord FromIndexed(const QImage& img) {
    const QList<QRgb> table = img.colorTable();
    const int colors = static_cast<int>(table.size());
    const int bits = img.format() == QImage::Format_Mono ? 1 : colors <= 16 ? 4 : 8;
    DibRecord dib = newdib(img.width(), img.height(), bits);
    if (!dib.HasPixels()) return Failed("Not enough memory for this picture.");
    for (int i = 0; i < std::min(colors, 256); ++i) {
        dib.Palette()[i] = {static_cast<std::uint8_t>(qRed(table[i])),
                            static_cast<std::uint8_t>(qGreen(table[i])),
                            static_cast<std::uint8_t>(qBlue(table[i]))};
    }
    if (bits == 1) {
        for (int y = 0; y < img.height(); ++y)
            std::memcpy(dib.Row(y), img.constScanLine(y), static_cast<std::size_t>((img.width() + 7) / 8));
        return dib;
    }
    const QImage idx = img.format() == QImage::Format_Indexed8
                           ? img
                           : img.convertToFormat(QImage::Format_Indexed8, table);
    for (int y = 0; y < idx.height(); ++y) {
        const uchar* src = idx.constScanLine(y);
        for (int x = 0; x < idx.width(); ++x) setpixel(dib, x, y, src[x]);
    }
    return dib;
}

DibRecord FromDirect(const QImage& img) {
    const QImage bgr = img.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) return Failed("Not enough memory for this picture.");
    DibRecord dib = newdib(bgr.width(), bgr.height(), 24);
    if (!dib.HasPixels()) return Failed("Not enough memory for this picture.");
    // Format_BGR888 is red, green, blue in memory; a DIB row is blue, green, red.
    for (int y = 0; y < bgr.height(); ++y) {
        const uchar* src = bgr.constScanLine(y);
        std::uint8_t* dst = dib.Row(y);
        for (int x = 0; x < bgr.width(); ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return dib;
}

DibRecord DecodeWithQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead()) return Failed("Unknown or unsupported picture format.");
    const QSize size = reader.size();
    if (size.isValid() &&
        (size.width() > kMaxSide || size.height() > kMaxSide ||
         std::int64_t{size.width()} * size.height() * 4 > kMaxPictureBytes)) {
        return Failed("The picture is too large (" + std::to_string(size.width()) + " x " +
                      std::to_string(size.height()) + " pixels).");
    }
    QImage img;
    if (!reader.read(&img) || img.isNull()) {
        return Failed("The picture could not be read: " + reader.errorString().toStdString() + ".");
    }
    switch (img.format()) {
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
            return FromIndexed(img);
        case QImage::Format_Grayscale8: {
            QList<QRgb> gray;
            for (int i = 0; i < 256; ++i) gray.append(qRgb(i, i, i));
            QImage indexed = img.convertToFormat(QImage::Format_Indexed8, gray);
            indexed.setColorTable(gray);
            DibRecord dib = newdib(img.width(), img.height(), 8);
            if (!dib.HasPixels()) return Failed("Not enough memory for this picture.");
            for (int i = 0; i < 256; ++i)
                dib.Palette()[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                    static_cast<std::uint8_t>(i)};
            for (int y = 0; y < img.height(); ++y)
                std::memcpy(dib.Row(y), img.constScanLine(y), static_cast<std::size_t>(img.width()));
            return dib;
        }
        default:
            return FromDirect(img);
    }
}

struct AllocationLimit {
    AllocationLimit() { QImageReader::setAllocationLimit(static_cast<int>(kMaxPictureBytes >> 20) + 64); }
};

}  // namespace

DibRecord OpenDib(const std::string& fileName, int /*option*/, QObject* progressReceiver) {
    static const AllocationLimit limit;
    const QString name = QString::fromStdString(fileName);
    if (fileName.empty()) return Failed("No file name given.");
    QFileInfo info(name);
    if (!info.exists()) return Failed("The file does not exist.");
    if (info.isDir()) return Failed("This is a folder, not a picture file.");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failed("The file cannot be opened: " + file.errorString().toStdString() + ".");
    }
    if (file.size() == 0) return Failed("The file is empty.");
    QByteArray bytes;
    ProgressReader reader(progressReceiver);
    if (!reader.Read(file, bytes)) return Failed(reader.Error());
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<std::size_t>(bytes.size()));
    switch (DetectOwnFormat(data, fileName)) {
        case OwnFormat::Pcx:
            return DecodePcx(data);
        case OwnFormat::Tga:
            return DecodeTga(data);
        case OwnFormat::Iff:
            return DecodeIff(data);
        case OwnFormat::None:
            break;
    }
    return DecodeWithQt(bytes);
}

}  // namespace raster
