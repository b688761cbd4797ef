// Writing the picture sequence as an AVI video. The writer lives in a module
// of its own (it needs FFmpeg's libraries), loaded the first time a video is
// written, so that writing a picture never pays for loading them.
#pragma once

#include <QString>

#include <functional>

#include "raster/dib.h"

namespace appexport {

enum class VideoCodec { MotionJpeg, Uncompressed };

enum class ExportStatus { Done, Cancelled, Failed };

struct ExportResult {
    ExportStatus status = ExportStatus::Done;
    QString message;  // why it failed; empty otherwise
};

// Renders picture n (1 to count) of the sequence; the picture must stay valid
// until the next call.
using FrameSource = std::function<const raster::DibRecord&(int n)>;
// Told how many frames are written so far (0 before the first); returning
// false cancels.
using ProgressSink = std::function<bool(int written, int total)>;

// Renders pictures 1 to count and writes them as a video at fps frames per
// second. The frame size is the size of picture 1. The file is replaced only
// once the video is complete and on the disk (core::ReplaceFile), so a
// cancelled or failed export leaves an existing file untouched and no other
// file behind.
ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress = {});

// What the video module exports under kVideoModuleEntry. Both sides are built
// from this header in one build; the version guards against a stale module.
struct TVideoModule {
    int version;
    ExportResult (*writeAviSequence)(const QString& fileName, int count, int fps, VideoCodec codec,
                                     const FrameSource& render, const ProgressSink& progress);
};
inline constexpr int kVideoModuleVersion = 1;
inline constexpr const char* kVideoModuleEntry = "vellora_video_module";

}  // namespace appexport
