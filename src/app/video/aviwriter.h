// Writing a picture sequence as an AVI video with FFmpeg's libraries; built
// into the video module that appexport::WriteAviSequence loads.
//
// Two variants: Motion JPEG at high quality (every frame a JPEG with colour at
// full resolution, so sharp colour edges survive) and uncompressed 24-bit RGB,
// which holds every picture exactly. Files that grow past 1 GB are continued
// in OpenDML extension chunks by the muxer, so long sequences stay readable.
#pragma once

#include <QString>

#include <memory>

#include "app/export/videoexport.h"
#include "core/replacefile.h"
#include "raster/dib.h"

namespace avivideo {

using appexport::ExportResult;
using appexport::FrameSource;
using appexport::ProgressSink;
using appexport::VideoCodec;

struct VideoFormat {
    int width = 0;
    int height = 0;
    int fps = 1;  // frames per second
    VideoCodec codec = VideoCodec::MotionJpeg;
};

// Writes frames into a replacement file, through its checked writes. Errors
// come back as reasons for the user (empty string: success).
class TAviWriter {
public:
    TAviWriter();
    ~TAviWriter();
    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // Writes the headers into out, which must outlive the writer.
    QString Open(core::TReplacement& out, const VideoFormat& format);
    // Appends one picture, which must have the size given to Open.
    QString WriteFrame(const raster::DibRecord& picture);
    // Writes the index. The caller then commits the replacement.
    QString Finish();

    int FramesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Renders and writes the sequence into out, without committing it. Returns
// the reason on failure, "" when done; *cancelled tells a cancel apart.
QString WriteAviInto(core::TReplacement& out, int count, int fps, VideoCodec codec,
                     const FrameSource& render, const ProgressSink& progress, bool* cancelled);

// appexport::WriteAviSequence, done here.
ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress = {});

// A reason for an FFmpeg or system error code: the system's text for errno
// values ("No space left on device"), FFmpeg's for its own.
QString DescribeAvError(int error);

}  // namespace avivideo
