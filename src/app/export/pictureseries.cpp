#include "app/export/pictureseries.h"

#include <QFileInfo>

#include <cctype>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

namespace appexport {

namespace {

// The field starting at name[at] ('%'): its length and width, or length 0
// when it is no number field.
struct TField {
    std::size_t length = 0;
    int width = 0;
    bool zeros = false;
};

TField ParseField(std::string_view name, std::size_t at) {
    TField f;
    std::size_t i = at + 1;
    if (i < name.size() && name[i] == '0') {
        f.zeros = true;
        ++i;
    }
    const std::size_t digits = i;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && i - digits < 2)
        f.width = f.width * 10 + (name[i++] - '0');
    if (i - digits > 1 || i >= name.size() || name[i] != 'd') return {};
    f.length = i + 1 - at;
    return f;
}

}  // namespace

int NumberFieldCount(std::string_view name) {
    int fields = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (i + 1 < name.size() && name[i + 1] == '%') {
            ++i;
            continue;
        }
        const TField f = ParseField(name, i);
        if (f.length == 0) return -1;
        ++fields;
        i += f.length - 1;
    }
    return fields;
}

std::string SeriesFileName(std::string_view pattern, std::int64_t n) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        const TField f = ParseField(pattern, i);
        if (f.length == 0) {
            name += pattern[i];
            continue;
        }
        std::string digits = std::to_string(n);
        if (static_cast<int>(digits.size()) < f.width)
            digits.insert(n < 0 ? 1 : 0, static_cast<std::size_t>(f.width) - digits.size(),
                          f.zeros ? '0' : ' ');
        name += digits;
        i += f.length - 1;
    }
    return name;
}

ExportResult WritePictureSeries(const std::string& pattern, PictureFormat format, int first,
                                int last, const FrameSource& render, const ProgressSink& progress) {
    const QString shownName = QFileInfo(QString::fromLocal8Bit(pattern.c_str())).fileName();
    auto failed = [&](const QString& reason) {
        return ExportResult{
            ExportStatus::Failed,
            QStringLiteral("The pictures cannot be saved as \"%1\": %2.").arg(shownName, reason)};
    };
    const int count = last - first + 1;
    if (count < 1 || first < 1) return failed(QStringLiteral("there are no pictures"));
    if (NumberFieldCount(pattern) != 1)
        return failed(QStringLiteral("the name needs one number field such as %04d"));

    std::vector<std::filesystem::path> written;
    // Whatever this run wrote goes again when it does not finish.
    auto removeWritten = [&] {
        for (const std::filesystem::path& file : written) {
            std::error_code ec;
            std::filesystem::remove(file, ec);
        }
    };
    if (progress && !progress(0, count))
        return {ExportStatus::Cancelled,
                QStringLiteral("Saving the pictures was cancelled; no file was written.")};
    try {
        for (int n = first; n <= last; ++n) {
            const raster::DibRecord& picture = render(n);
            const std::filesystem::path file = SeriesFileName(pattern, n);
            const QString shownFile = QFileInfo(QString::fromLocal8Bit(file.c_str())).fileName();
            if (!picture.HasPixels()) {
                removeWritten();
                return failed(QStringLiteral("picture %1 could not be rendered").arg(n));
            }
            const core::TSaveResult saved = WritePictureFile(picture, format, file);
            if (!saved.ok) {
                removeWritten();
                return failed(
                    QStringLiteral("%1: %2").arg(shownFile, QString::fromStdString(saved.error)));
            }
            written.push_back(file);
            if (progress && !progress(n - first + 1, count)) {
                removeWritten();
                return {ExportStatus::Cancelled,
                        QStringLiteral("Saving the pictures was cancelled; no file was kept.")};
            }
        }
    } catch (const std::bad_alloc&) {
        removeWritten();
        return failed(QStringLiteral("not enough memory"));
    }
    return {};
}

}  // namespace appexport
