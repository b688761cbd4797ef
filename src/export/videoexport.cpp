#include "export/videoexport.h"

#include <QFileInfo>

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace exporting {

namespace {

// Beside the installed programs first (bin/../lib/vellora), then where this
// build made it, for the programs and tests run from the build tree.
std::vector<std::string> ModuleCandidates() {
    std::vector<std::string> candidates;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        candidates.push_back(
            (exe.parent_path() / ".." / "lib" / "vellora" / "vellora-video.so").string());
#ifdef VELLORA_VIDEO_MODULE_BUILD
    candidates.emplace_back(VELLORA_VIDEO_MODULE_BUILD);
#endif
    return candidates;
}

struct TLoaded {
    const video::TVideoModule* module = nullptr;
    QString error;
};

const TLoaded& LoadVideoModule() {
    static TLoaded loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        std::string why = "it is not installed";
        for (const std::string& path : ModuleCandidates()) {
            if (!std::filesystem::exists(path)) continue;
            // Never closed: the module stays for the life of the process.
            void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* e = ::dlerror();
                why = e ? e : "it cannot be loaded";
                continue;
            }
            using Entry = const video::TVideoModule* (*)();
            auto entry = reinterpret_cast<Entry>(::dlsym(handle, video::kVideoModuleEntry));
            const video::TVideoModule* module = entry ? entry() : nullptr;
            if (!module || module->version != video::kVideoModuleVersion) {
                why = path + " is of another version";
                continue;
            }
            loaded.module = module;
            return;
        }
        loaded.error = QStringLiteral("the video writer is missing (%1)")
                           .arg(QString::fromLocal8Bit(why.c_str()));
    });
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
