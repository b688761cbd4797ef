// What the export library and the video module agree on: the codecs, the
// options of one video, the result, and the one entry the module exports.
// Header only: the export library loads the module through it without
// linking FFmpeg, and the module implements it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "core/replacefile.h"
#include "raster/dib.h"

namespace video {

// MotionJpeg and Uncompressed go into AVI files, H264 into MP4, Vp9 into
// WebM, Gif into an animated GIF.
enum class VideoCodec { MotionJpeg, Uncompressed, H264, Vp9, Gif };

enum class ExportStatus { Done, Cancelled, Failed };

struct ExportResult {
    ExportResult() = default;
    ExportResult(ExportStatus status_, QString message_, QString replaced_ = {})
        : status(status_), message(std::move(message_)), replaced(std::move(replaced_)) {}

    ExportStatus status = ExportStatus::Done;
    QString message;  // why it failed; empty otherwise
    // Numbered pictures that did not finish: the old pictures already
    // replaced, "pictures 1 to 61 were replaced, the rest are as they were";
    // empty when no file changed.
    QString replaced;
};

// Renders picture n of the sequence; the picture must stay valid until the
// next call.
using FrameSource = std::function<const raster::DibRecord&(int n)>;
// Told how many frames are written so far (0 before the first); returning
// false cancels.
using ProgressSink = std::function<bool(int written, int total)>;

struct TVideoOptions {
    VideoCodec codec = VideoCodec::MotionJpeg;
    int fps = 1;  // frames per second
    // The pictures written, first to last (both counted).
    int first = 1;
    int last = 1;
    // The codec's quality scale (H.264 and VP9: the constant rate factor,
    // lower is better); -1 for the default, which is visually lossless.
    int quality = -1;
    // Fills the column or row H.264 and VP9 add to an odd size.
    std::uint32_t background = 0;  // red in the lowest byte
    // Stops the export at once when set, also inside a frame or while the
    // encoder drains (vellora-render's signals); null for none.
    const core::TStopFlag* stop = nullptr;
};

// The default quality and the range --quality accepts, for the codecs that
// have one.
struct TQualityRange {
    int defaultValue;
    int best;
    int worst;
};
inline std::optional<TQualityRange> QualityRangeOf(VideoCodec codec) {
    // Constant rate factors: 18 (H.264) and 12 (VP9) keep a morph visually
    // identical to the rendered pictures.
    switch (codec) {
        case VideoCodec::H264:
            return TQualityRange{18, 0, 51};
        case VideoCodec::Vp9:
            return TQualityRange{12, 0, 63};
        case VideoCodec::MotionJpeg:
        case VideoCodec::Uncompressed:
        case VideoCodec::Gif:
            break;
    }
    return std::nullopt;
}

// Whether the codec's encoder runs threads of its own that keep every core
// busy (H.264 and VP9): a second rendering thread would only take turns with
// them, so its pictures are best rendered on one.
inline bool EncoderFillsTheCores(VideoCodec codec) {
    return codec == VideoCodec::H264 || codec == VideoCodec::Vp9;
}

// What the video module exports under kVideoModuleEntry. Both sides are built
// from this header in one build; the version guards against a stale module.
struct TVideoModule {
    int version;
    ExportResult (*writeVideo)(const QString& fileName, const TVideoOptions& options,
                               const FrameSource& render, const ProgressSink& progress);
};
inline constexpr int kVideoModuleVersion = 4;
inline constexpr const char* kVideoModuleEntry = "vellora_video_module";

}  // namespace video
