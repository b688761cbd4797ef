#include "export/videoexport.h"

#include <QFileInfo>

#include <string>

#include "core/module.h"

namespace exporting {

namespace {

struct TLoaded {
    const video::TVideoModule* module = nullptr;
    QString error;
};

const TLoaded& LoadVideoModule() {
    static const TLoaded loaded = [] {
#ifdef VELLORA_VIDEO_MODULE_BUILD
        const char* build = VELLORA_VIDEO_MODULE_BUILD;
#else
        const char* build = nullptr;
#endif
        std::string why;
        TLoaded result;
        result.module = core::LoadModuleTable<video::TVideoModule>(
            core::ModulePath("vellora-video.so", build), video::kVideoModuleEntry,
            video::kVideoModuleVersion, why);
        if (!result.module)
            result.error = QStringLiteral("the video writer is missing (%1)")
                               .arg(QString::fromLocal8Bit(why.c_str()));
        return result;
    }();
    return loaded;
}

}  // namespace

std::optional<VideoCodec> VideoCodecForName(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("avi")) return VideoCodec::MotionJpeg;
    if (ext == QLatin1String("mp4")) return VideoCodec::H264;
    if (ext == QLatin1String("webm")) return VideoCodec::Vp9;
    if (ext == QLatin1String("gif")) return VideoCodec::Gif;
    return std::nullopt;
}

ExportResult WriteVideo(const QString& fileName, const TVideoOptions& options,
                        const FrameSource& render, const ProgressSink& progress) {
    const TLoaded& loaded = LoadVideoModule();
    if (!loaded.module)
        return {ExportStatus::Failed, QStringLiteral("The video cannot be saved as \"%1\": %2.")
                                          .arg(QFileInfo(fileName).fileName(), loaded.error)};
    return loaded.module->writeVideo(fileName, options, render, progress);
}

ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress) {
    TVideoOptions options;
    options.codec = codec;
    options.fps = fps;
    options.last = count;
    return WriteVideo(fileName, options, render, progress);
}

}  // namespace exporting
