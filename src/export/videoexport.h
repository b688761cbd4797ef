// Writing the picture sequence as a video. The writer lives in a module of
// its own (it needs FFmpeg's libraries), loaded the first time a video is
// written, so that writing a picture never pays for loading them.
#pragma once

#include <QString>

#include <optional>

#include "video/videocontract.h"

namespace exporting {

using video::EncoderFillsTheCores;
using video::ExportResult;
using video::ExportStatus;
using video::FrameSource;
using video::ProgressSink;
using video::QualityRangeOf;
using video::TQualityRange;
using video::TVideoOptions;
using video::VideoCodec;

// The container a file name's extension names (.avi, .mp4, .webm, .gif; case
// does not matter) with its codec (Motion JPEG for .avi), or none.
std::optional<VideoCodec> VideoCodecForName(const QString& fileName);

// Renders the pictures and writes them as a video at options.fps frames per
// second. The frame size is the size of the first picture. The file is
// replaced only once the video is complete and on the disk
// (core::ReplaceFile), so a cancelled or failed export leaves an existing
// file untouched and no other file behind.
ExportResult WriteVideo(const QString& fileName, const TVideoOptions& options,
                        const FrameSource& render, const ProgressSink& progress = {});

// WriteVideo of pictures 1 to count.
ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress = {});

}  // namespace exporting
