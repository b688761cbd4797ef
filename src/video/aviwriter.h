// Writing a picture sequence as a video with FFmpeg's libraries; built into
// the video module that video::WriteVideo loads.
//
// AVI holds Motion JPEG at high quality (every frame a JPEG with colour at
// full resolution, so sharp colour edges survive; see jpegframe.h) or
// uncompressed 24-bit RGB,
// which holds every picture exactly; files past 1 GB are continued in OpenDML
// extension chunks by the muxer. MP4 holds H.264 and WebM holds VP9, both
// 4:2:0 with BT.601 limited-range colour, tagged so. GIF holds one palette of
// 256 colours chosen for the whole sequence, the pictures dithered to it.
//
// Picture n + 1 is rendered and converted while picture n is compressed and
// written on a thread of the writer's own (and the encoders' frame threads).
// An export holds the picture being rendered, the frames in flight and, for
// Motion JPEG, two compressed frames: at 7680 x 4320 about two result
// pictures besides the two pictures of the project.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/replacefile.h"
#include "raster/dib.h"
#include "video/videocontract.h"

namespace avivideo {

using video::ExportResult;
using video::FrameSource;
using video::ProgressSink;
using video::TVideoOptions;
using video::VideoCodec;

struct VideoFormat {
    int width = 0;
    int height = 0;
    int fps = 1;  // frames per second
    VideoCodec codec = VideoCodec::MotionJpeg;
    int quality = -1;  // see TVideoOptions
    std::uint32_t background = 0;
    // GIF: the colours (0xRRGGBB) every frame is dithered to, at most 256.
    std::vector<std::uint32_t> palette;
};

// The colours of some pictures, counted, for one palette that represents
// them all.
class TColourHistogram {
public:
    TColourHistogram();
    void Add(const raster::DibRecord& picture);
    // Up to 256 colours (median cut), 0xRRGGBB.
    std::vector<std::uint32_t> Palette() const;

private:
    std::vector<std::uint64_t> count_;  // per cell of 5 bits per channel
    // Sums of the exact channel values per cell, for the mean of each box.
    std::vector<std::array<std::uint64_t, 3>> sum_;
};

// The running time of frame k (0-based) at fps, in hundredths of a second:
// GIF delays are the differences, so their sum never drifts.
std::int64_t GifTick(std::int64_t k, int fps);

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
    // Drains the encoder and writes the index. The caller then commits the
    // replacement.
    QString Finish();

    int FramesWritten() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Renders and writes the sequence into out, without committing it. Returns
// the reason on failure, "" when done; *cancelled tells a cancel apart.
QString WriteVideoInto(core::TReplacement& out, const TVideoOptions& options,
                       const FrameSource& render, const ProgressSink& progress, bool* cancelled);

// video::WriteVideo, done here.
ExportResult WriteVideo(const QString& fileName, const TVideoOptions& options,
                        const FrameSource& render, const ProgressSink& progress = {});

// A reason for an FFmpeg or system error code: the system's text for errno
// values ("No space left on device"), FFmpeg's for its own.
QString DescribeAvError(int error);

}  // namespace avivideo
