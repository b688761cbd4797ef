// The entry of the video module, the one symbol it exports.
#include "app/export/videoexport.h"
#include "app/video/aviwriter.h"

namespace {

appexport::ExportResult WriteSequence(const QString& fileName, int count, int fps,
                                      appexport::VideoCodec codec,
                                      const appexport::FrameSource& render,
                                      const appexport::ProgressSink& progress) {
    return avivideo::WriteAviSequence(fileName, count, fps, codec, render, progress);
}

constexpr appexport::TVideoModule kModule{appexport::kVideoModuleVersion, WriteSequence};

}  // namespace

extern "C" __attribute__((visibility("default"))) const appexport::TVideoModule*
vellora_video_module() {
    return &kModule;
}
