#include "export/picturefile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImage>
#include <QImageWriter>

#include <png.h>

#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace exporting {

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

constexpr int kDotsPerMeter = 2835;  // 72 dpi

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
    PutLe32(h, kDotsPerMeter);
    PutLe32(h, kDotsPerMeter);
    PutLe32(h, 0);
    PutLe32(h, 0);
    return h;
}

QString WriteError(const QString& fileName, const QString& reason) {
    return QStringLiteral("The picture cannot be saved as \"%1\": %2.")
        .arg(QFileInfo(fileName).fileName(), reason);
}

// One device write, all of it or a failure with the device's reason.
bool Put(QIODevice& device, const void* data, std::size_t size, QString& error) {
    const auto want = static_cast<qint64>(size);
    if (device.write(static_cast<const char*>(data), want) == want) return true;
    error = device.errorString();
    return false;
}

QString EncodeBmp(const raster::DibRecord& picture, QIODevice& device) {
    const int w = picture.Width();
    const int h = picture.Height();
    const auto rowBytes = static_cast<std::size_t>(raster::RowBytes(w, 24));
    const std::uint64_t imageBytes =
        static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(h);
    if (imageBytes > 0xFFFFFFFFull - 54)
        return QStringLiteral("the picture is too large for a BMP file");
    const std::vector<std::uint8_t> header =
        BmpHeader(w, h, static_cast<std::uint32_t>(imageBytes));
    QString error;
    if (!Put(device, header.data(), header.size(), error)) return error;
    if (picture.BitCount() == 24) {
        // The picture is stored exactly as a BMP wants it: bottom-up rows
        // padded to 4 bytes, blue first.
        const auto bits = picture.Bits();
        Put(device, bits.data(), bits.size(), error);
        return error;
    }
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = raster::PixelColor(picture, x, y);
            row[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(c >> 16);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(c >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(c);
        }
        if (!Put(device, row.data(), row.size(), error)) return error;
    }
    return {};
}

// The replacement file as a device for Qt's image writers. A failed write
// stays failed in the replacement, which then refuses to commit, and its
// reason is the one reported. The encoder is not told: libpng and libtiff
// would print their own messages on stderr, and vellora-render prints one line.
class TReplacementDevice : public QIODevice {
public:
    explicit TReplacementDevice(core::TReplacement& out) : out_(out) { open(QIODevice::WriteOnly); }
    bool seek(qint64 pos) override {
        if (!QIODevice::seek(pos)) return false;
        out_.Seek(static_cast<off_t>(pos), SEEK_SET);
        return true;
    }
    qint64 size() const override { return out_.Size(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override {
        out_.Write(data, static_cast<std::size_t>(len));
        return len;
    }

private:
    core::TReplacement& out_;
};

// PNG through libpng at compression level 2 with the Sub and Up filters: a
// few times faster than the default level and filter search (a 1920 x 1080
// picture in well under 0.15 s), and files only a little larger.
QString EncodePng(const raster::DibRecord& picture, QIODevice& device) {
    struct TSink {
        QIODevice* device;
        QString error;
        std::vector<std::uint8_t> row;
    } sink{&device, {}, std::vector<std::uint8_t>(static_cast<std::size_t>(picture.Width()) * 3)};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return QStringLiteral("not enough memory");
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return QStringLiteral("not enough memory");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return sink.error.isEmpty() ? QStringLiteral("the picture could not be encoded")
                                    : sink.error;
    }
    png_set_write_fn(
        png, &sink,
        [](png_structp p, png_bytep data, png_size_t size) {
            auto* s = static_cast<TSink*>(png_get_io_ptr(p));
            const auto want = static_cast<qint64>(size);
            if (s->device->write(reinterpret_cast<const char*>(data), want) != want) {
                s->error = s->device->errorString();
                png_error(p, "write");
            }
        },
        nullptr);
    png_set_compression_level(png, 2);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
    const int w = picture.Width();
    const int h = picture.Height();
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_set_pHYs(png, info, kDotsPerMeter, kDotsPerMeter, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = sink.row.data();
        if (picture.BitCount() == 24) {
            const std::uint8_t* in = picture.Row(y);
            for (int x = 0; x < w; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        } else {
            for (int x = 0; x < w; ++x, out += 3) {
                const std::uint32_t c = raster::PixelColor(picture, x, y);
                out[0] = static_cast<std::uint8_t>(c);
                out[1] = static_cast<std::uint8_t>(c >> 8);
                out[2] = static_cast<std::uint8_t>(c >> 16);
            }
        }
        png_write_row(png, sink.row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

QImage ToRgb888(const raster::DibRecord& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_RGB888);
    if (image.isNull()) return image;
    // The default resolution follows the screen, when there is one; fixed, the
    // window and vellora-render write the same bytes. 72 dpi, as in the BMP.
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
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

QString EncodePicture(const raster::DibRecord& picture, PictureFormat format, QIODevice& device) {
    if (!picture.HasPixels()) return QStringLiteral("there is no picture");
    if (format == PictureFormat::Bmp) return EncodeBmp(picture, device);
    if (format == PictureFormat::Png) {
        try {
            return EncodePng(picture, device);
        } catch (const std::bad_alloc&) {
            return QStringLiteral("not enough memory");
        }
    }
    const QImage image = ToRgb888(picture);
    if (image.isNull()) return QStringLiteral("not enough memory");
    const char* name = format == PictureFormat::Png    ? "png"
                       : format == PictureFormat::Jpeg ? "jpeg"
                                                       : "tiff";
    QImageWriter writer(&device, name);
    if (format == PictureFormat::Jpeg) writer.setQuality(95);
    if (format == PictureFormat::Tiff) writer.setCompression(1);  // LZW, lossless
    const QString before = device.errorString();
    if (writer.write(image)) return {};
    // A failed device write is the more useful reason (a full disk).
    if (device.errorString() != before) return device.errorString();
    if (!writer.errorString().isEmpty()) return writer.errorString();
    return QStringLiteral("the picture could not be encoded");
}

bool WritePictureInto(core::TReplacement& out, const raster::DibRecord& picture,
                      PictureFormat format) {
    TReplacementDevice device(out);
    const QString error = EncodePicture(picture, format, device);
    if (!error.isEmpty()) out.Fail(error.toStdString());
    return error.isEmpty() && !out.Failed();
}

core::TSaveResult WritePictureFile(const raster::DibRecord& picture, PictureFormat format,
                                   const std::filesystem::path& file, const core::TStopFlag* stop) {
    core::TSaveResult result;
    if (!picture.HasPixels()) {
        result.error = "there is no picture";
        return result;
    }
    try {
        return core::ReplaceFile(
            file, [&](core::TReplacement& out) { return WritePictureInto(out, picture, format); },
            stop);
    } catch (const std::bad_alloc&) {
        // The replacement is gone with the stack; the old file stays.
        result.error = "not enough memory";
        return result;
    }
}

QString SavePicture(const raster::DibRecord& picture, const QString& fileName) {
    const PictureFormat format = FormatForName(fileName).value_or(PictureFormat::Bmp);
    const core::TSaveResult saved = WritePictureFile(
        picture, format, std::filesystem::path(QFile::encodeName(fileName).toStdString()));
    if (saved.ok) return {};
    return WriteError(fileName, QString::fromStdString(saved.error));
}

}  // namespace exporting
