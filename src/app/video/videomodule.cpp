// The entry of the video module, the one symbol it exports.
#include "app/export/videoexport.h"
#include "app/video/aviwriter.h"

namespace {

appexport::ExportResult WriteVideo(const QString& fileName, const appexport::TVideoOptions& options,
                                   const appexport::FrameSource& render,
                                   const appexport::ProgressSink& progress) {
    return avivideo::WriteVideo(fileName, options, render, progress);
}

constexpr appexport::TVideoModule kModule{appexport::kVideoModuleVersion, WriteVideo};

}  // namespace

extern "C" __attribute__((visibility("default"))) const appexport::TVideoModule*
vellora_video_module() {
    return &kModule;
}
