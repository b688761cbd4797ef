#include "export/savenames.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

#include "export/pictureseries.h"

namespace exporting {

namespace {

struct TVideoType {
    SequenceType type;
    VideoCodec codec;
    const char* extension;
};

constexpr std::array<TVideoType, 4> kVideoTypes{{
    {SequenceType::Avi, VideoCodec::MotionJpeg, "avi"},
    {SequenceType::Mp4, VideoCodec::H264, "mp4"},
    {SequenceType::WebM, VideoCodec::Vp9, "webm"},
    {SequenceType::Gif, VideoCodec::Gif, "gif"},
}};

// The extension of the file part, without the dot; empty when it has none
// (".hidden" alone counts as a name without extension).
QString SuffixOf(const QString& name) {
    const QString file = QFileInfo(name).fileName();
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0) return {};
    return file.mid(dot + 1);
}

TSequenceTarget NumberedPictures(QString name, PictureFormat format, int count) {
    TSequenceTarget t;
    t.series = true;
    t.format = format;
    if (!IsNumberPattern(QFile::encodeName(QFileInfo(name).fileName()).toStdString())) {
        const int digits = std::max(4, static_cast<int>(QString::number(count).size()));
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        // Built by hand: QString::arg would read "%0" as a place marker.
        name.insert(dot, QStringLiteral("_%0") + QString::number(digits) + QLatin1Char('d'));
    }
    t.name = name;
    return t;
}

}  // namespace

QString SequenceFilter() {
    return QStringLiteral(
        "AVI video (*.avi)|*.avi|MP4 video, H.264 (*.mp4)|*.mp4|WebM video, VP9 (*.webm)|*.webm|"
        "Animated GIF (*.gif)|*.gif|"
        "Numbered pictures (*.png *.bmp *.jpg *.tif)|*.png;*.bmp;*.jpg;*.tif");
}

TSequenceTarget SequenceTargetFor(const QString& typed, int filterIndex, int count) {
    if (const std::optional<VideoCodec> codec = VideoCodecForName(typed)) {
        TSequenceTarget t;
        t.name = typed;
        t.codec = *codec;
        return t;
    }
    if (const std::optional<PictureFormat> format = FormatForName(typed))
        return NumberedPictures(typed, *format, count);
    // No extension of a kind written here: the chosen type supplies one.
    if (filterIndex == static_cast<int>(SequenceType::Numbered))
        return NumberedPictures(typed + QStringLiteral(".png"), PictureFormat::Png, count);
    TVideoType chosen = kVideoTypes[0];
    for (const TVideoType& v : kVideoTypes)
        if (static_cast<int>(v.type) == filterIndex) chosen = v;
    TSequenceTarget t;
    t.name = typed + QLatin1Char('.') + QLatin1String(chosen.extension);
    t.codec = chosen.codec;
    return t;
}

QString PictureFilter() {
    return QStringLiteral(
        "All pictures|*.bmp;*.png;*.jpg;*.jpeg;*.tif;*.tiff|BMP - Windows Bitmap|*.bmp|"
        "PNG - Portable Network Graphics|*.png|JPEG - JFIF Compliant|*.jpg;*.jpeg|"
        "TIF - Tagged Image File Format|*.tif;*.tiff");
}

TPictureTarget PictureTargetFor(const QString& typed, int filterIndex) {
    TPictureTarget t;
    if (const std::optional<PictureFormat> format = FormatForName(typed)) {
        t.name = typed;
        t.format = *format;
        return t;
    }
    const QString suffix = SuffixOf(typed);
    if (!suffix.isEmpty()) {
        t.refusal = QStringLiteral(
                        "Pictures cannot be saved as .%1 files. Choose a name ending in .png, "
                        ".bmp, .jpg or .tif.")
                        .arg(suffix);
        return t;
    }
    // "All pictures" saves BMP, the format every program reads.
    constexpr std::array<PictureFormat, 5> kEntries{PictureFormat::Bmp, PictureFormat::Bmp,
                                                    PictureFormat::Png, PictureFormat::Jpeg,
                                                    PictureFormat::Tiff};
    const int entry = filterIndex >= 1 && filterIndex <= 5 ? filterIndex - 1 : 0;
    t.format = kEntries[static_cast<std::size_t>(entry)];
    t.name = typed + ExtensionOf(t.format);
    return t;
}

}  // namespace exporting
