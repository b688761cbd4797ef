#include "export/morphframes.h"

#include <utility>

#include "export/pictureseries.h"

namespace exporting {

TMorphFrames::TMorphFrames(core::TMorphInput input, int last, bool ahead, std::int64_t hold)
    : input_(input), aheadInput_(input), last_(last), ahead_(ahead), hold_(hold) {}

TMorphFrames::~TMorphFrames() {
    Finish();
}

void TMorphFrames::Finish() {
    if (!pending_.valid()) return;
    try {
        pending_.get();
    } catch (...) {
        // A picture rendered ahead that is not wanted any more.
    }
    nextNumber_ = 0;
}

const raster::DibRecord& TMorphFrames::operator()(int frame) {
    const std::int64_t n = core::HeldPictureNumber(frame - 1, input_.N, hold_);
    if (n == currentNumber_) return current_;  // a held picture, as rendered
    if (nextNumber_ == n && pending_.valid()) {
        pending_.get();  // running out of memory there reaches the caller here
        nextNumber_ = 0;
        std::swap(current_, next_);
    } else {
        Finish();
        currentNumber_ = 0;
        input_.n = n;
        core::RenderMorphInto(input_, current_);
    }
    currentNumber_ = n;
    if (ahead_ && frame < last_) {
        const std::int64_t following = core::HeldPictureNumber(frame, input_.N, hold_);
        if (following != n) {
            aheadInput_.n = following;
            nextNumber_ = following;
            pending_ = std::async(std::launch::async,
                                  [this] { core::RenderMorphInto(aheadInput_, next_); });
        }
    }
    return current_;
}

ExportResult WriteSequenceFrames(const TSequenceJob& job, const FrameSource& render,
                                 const ProgressSink& progress, const core::TStopFlag* stop) {
    if (job.series)
        return WritePictureSeries(job.pattern, job.format, job.options.first, job.options.last,
                                  render, progress, stop);
    TVideoOptions options = job.options;
    options.stop = stop;
    return WriteVideo(job.video, options, render, progress);
}

ExportResult WriteMorphSequence(const TSequenceJob& job, const core::TMorphInput& input,
                                const ProgressSink& progress, const core::TStopFlag* stop) {
    core::TMorphInput in = input;
    // Numbered pictures: the encoder takes one core, the picture rendered
    // ahead the other. Videos: the writer encodes on a thread of its own
    // already; H.264 and VP9 keep every core busy themselves.
    in.secondThread = !job.series && !EncoderFillsTheCores(job.options.codec);
    TMorphFrames frames(in, job.options.last, job.series, job.hold);
    return WriteSequenceFrames(
        job, [&frames](int n) -> const raster::DibRecord& { return frames(n); }, progress, stop);
}

}  // namespace exporting
