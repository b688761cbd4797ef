#include "app/export/picturefile.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <array>
#include <cstring>
#include <vector>

namespace appexport {

namespace {

struct NamedFormat {
    const char* extension;  // lower case, without the dot
    PictureFormat format;
};

constexpr std::array<NamedFormat, 7> kFormats{{
    {"bmp", PictureFormat::Bmp},
    {"dib", PictureFormat::Bmp},
    {"png", PictureFormat::Png},
    {"jpg", PictureFormat::Jpeg},
    {"jpeg", PictureFormat::Jpeg},
    {"tif", PictureFormat::Tiff},
    {"tiff", PictureFormat::Tiff},
}};

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutLe16(out, v & 0xFFFFu);
    PutLe16(out, v >> 16);
}

// File header and BITMAPINFOHEADER of a bottom-up 24-bit picture.
std::vector<std::uint8_t> BmpHeader(int width, int height, std::uint32_t imageBytes) {
    constexpr std::uint32_t kHeaders = 14 + 40;
    std::vector<std::uint8_t> h;
    h.reserve(kHeaders);
    h.push_back('B');
    h.push_back('M');
    PutLe32(h, kHeaders + imageBytes);
    PutLe32(h, 0);
    PutLe32(h, kHeaders);
    PutLe32(h, 40);
    PutLe32(h, static_cast<std::uint32_t>(width));
    PutLe32(h, static_cast<std::uint32_t>(height));
    PutLe16(h, 1);
    PutLe16(h, 24);
    PutLe32(h, 0);  // BI_RGB
    PutLe32(h, imageBytes);
    PutLe32(h, 2835);  // 72 dpi
    PutLe32(h, 2835);
    PutLe32(h, 0);
    PutLe32(h, 0);
    return h;
}

QString WriteError(const QString& fileName, const QString& reason) {
    return QStringLiteral("The picture cannot be saved as \"%1\": %2.")
        .arg(QFileInfo(fileName).fileName(), reason);
}

QString SaveBmp(const raster::DibRecord& picture, QSaveFile& file) {
    const int w = picture.Width();
    const int h = picture.Height();
    const auto rowBytes = static_cast<std::size_t>(raster::RowBytes(w, 24));
    const std::uint64_t imageBytes =
        static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(h);
    if (imageBytes > 0xFFFFFFFFull - 54)
        return QStringLiteral("the picture is too large for a BMP file");
    const std::vector<std::uint8_t> header =
        BmpHeader(w, h, static_cast<std::uint32_t>(imageBytes));
    if (file.write(reinterpret_cast<const char*>(header.data()),
                   static_cast<qint64>(header.size())) < 0)
        return file.errorString();
    if (picture.BitCount() == 24) {
        // The picture is stored exactly as a BMP wants it: bottom-up rows
        // padded to 4 bytes, blue first.
        const auto bits = picture.Bits();
        if (file.write(reinterpret_cast<const char*>(bits.data()),
                       static_cast<qint64>(bits.size())) < 0)
            return file.errorString();
        return {};
    }
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = raster::PixelColor(picture, x, y);
            row[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(c >> 16);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(c >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(c);
        }
        if (file.write(reinterpret_cast<const char*>(row.data()), static_cast<qint64>(row.size())) <
            0)
            return file.errorString();
    }
    return {};
}

QImage ToRgb888(const raster::DibRecord& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_RGB888);
    if (image.isNull()) return image;
    for (int y = 0; y < picture.Height(); ++y) {
        std::uint8_t* out = image.scanLine(y);
        if (picture.BitCount() == 24) {
            const std::uint8_t* in = picture.Row(y);
            for (int x = 0; x < picture.Width(); ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        } else {
            for (int x = 0; x < picture.Width(); ++x, out += 3) {
                const std::uint32_t c = raster::PixelColor(picture, x, y);
                out[0] = static_cast<std::uint8_t>(c);
                out[1] = static_cast<std::uint8_t>(c >> 8);
                out[2] = static_cast<std::uint8_t>(c >> 16);
            }
        }
    }
    return image;
}

}  // namespace

std::optional<PictureFormat> FormatForName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const NamedFormat& f : kFormats) {
        if (suffix == QLatin1String(f.extension)) return f.format;
    }
    return std::nullopt;
}

QString PictureFileName(const QString& chosen) {
    if (FormatForName(chosen)) return chosen;
    return chosen + QStringLiteral(".bmp");
}

QString ExtensionOf(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp:
            return QStringLiteral(".bmp");
        case PictureFormat::Png:
            return QStringLiteral(".png");
        case PictureFormat::Jpeg:
            return QStringLiteral(".jpg");
        case PictureFormat::Tiff:
            return QStringLiteral(".tif");
    }
    return QStringLiteral(".bmp");
}

QString SavePicture(const raster::DibRecord& picture, const QString& fileName) {
    if (!picture.HasPixels()) return WriteError(fileName, QStringLiteral("there is no picture"));
    const PictureFormat format = FormatForName(fileName).value_or(PictureFormat::Bmp);

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return WriteError(fileName, file.errorString());

    QString error;
    if (format == PictureFormat::Bmp) {
        error = SaveBmp(picture, file);
    } else {
        const QImage image = ToRgb888(picture);
        if (image.isNull()) {
            error = QStringLiteral("not enough memory");
        } else {
            const char* name = format == PictureFormat::Png    ? "png"
                               : format == PictureFormat::Jpeg ? "jpeg"
                                                               : "tiff";
            QImageWriter writer(&file, name);
            if (format == PictureFormat::Jpeg) writer.setQuality(95);
            if (format == PictureFormat::Tiff) writer.setCompression(1);  // LZW, lossless
            if (!writer.write(image)) {
                // A failed device write is the more useful reason (a full disk).
                error = file.error() != QFileDevice::NoError ? file.errorString()
                                                             : writer.errorString();
            }
        }
    }
    if (error.isEmpty() && file.error() != QFileDevice::NoError) error = file.errorString();
    if (!error.isEmpty()) {
        file.cancelWriting();
        return WriteError(fileName, error);
    }
    if (!file.commit()) return WriteError(fileName, file.errorString());
    return {};
}

}  // namespace appexport
