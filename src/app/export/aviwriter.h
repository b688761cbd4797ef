// Writing a picture sequence as an AVI video with FFmpeg's libraries.
//
// Two variants: Motion JPEG at high quality (every frame a JPEG with colour at
// full resolution, so sharp colour edges survive) and uncompressed 24-bit RGB,
// which holds every picture exactly. Files that grow past 1 GB are continued
// in OpenDML extension chunks by the muxer, so long sequences stay readable.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "raster/dib.h"

namespace appexport {

enum class VideoCodec { MotionJpeg, Uncompressed };

struct VideoFormat {
    int width = 0;
    int height = 0;
    int fps = 1;  // frames per second
    VideoCodec codec = VideoCodec::MotionJpeg;
};

// Writes frames to one file as given; no temporary name. Errors come back as
// messages for the user (empty string: success).
class TAviWriter {
public:
    TAviWriter();
    ~TAviWriter();
    TAviWriter(const TAviWriter&) = delete;
    TAviWriter& operator=(const TAviWriter&) = delete;

    // Creates the file and writes the headers.
    QString Open(const QString& fileName, const VideoFormat& format);
    // Appends one picture, which must have the size given to Open.
    QString WriteFrame(const raster::DibRecord& picture);
    // Writes the index and closes the file. Without Finish the destructor
    // just closes the file, leaving it incomplete.
    QString Finish();

    int FramesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

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
// second. The frame size is the size of picture 1. The video is written under
// a temporary name in the same folder and renamed to fileName only when it is
// complete, so a cancelled or failed export leaves no file at fileName (and
// leaves an existing file there untouched).
ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress = {});

// A sentence describing an FFmpeg or system error code for the user.
QString DescribeAvError(int error);

}  // namespace appexport
