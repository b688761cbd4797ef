// The entry of the video module, the one symbol it exports.
#include "video/aviwriter.h"
#include "video/videocontract.h"

namespace {

video::ExportResult WriteVideo(const QString& fileName, const video::TVideoOptions& options,
                               const video::FrameSource& render,
                               const video::ProgressSink& progress) {
    return avivideo::WriteVideo(fileName, options, render, progress);
}

constexpr video::TVideoModule kModule{video::kVideoModuleVersion, WriteVideo};

}  // namespace

extern "C" __attribute__((visibility("default"))) const video::TVideoModule*
vellora_video_module() {
    return &kModule;
}
