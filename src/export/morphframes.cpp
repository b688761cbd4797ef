#include "export/morphframes.h"

#include <utility>

#include "export/pictureseries.h"

namespace exporting {

TMorphFrames::TMorphFrames(core::TMorphInput input, int last, bool ahead)
    : input_(input), aheadInput_(input), last_(last), ahead_(ahead) {}

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

const raster::DibRecord& TMorphFrames::operator()(int n) {
    if (nextNumber_ == n && pending_.valid()) {
        pending_.get();  // running out of memory there reaches the caller here
        nextNumber_ = 0;
        std::swap(current_, next_);
    } else {
        Finish();
        input_.n = n;
        core::RenderMorphInto(input_, current_);
    }
    if (ahead_ && n < last_) {
        aheadInput_.n = n + 1;
        nextNumber_ = n + 1;
        pending_ =
            std::async(std::launch::async, [this] { core::RenderMorphInto(aheadInput_, next_); });
    }
    return current_;
}

ExportResult WriteMorphSequence(const TSequenceJob& job, const core::TMorphInput& input,
                                const ProgressSink& progress, const core::TStopFlag* stop) {
    core::TMorphInput in = input;
    if (job.series) {
        // The encoder takes one core, the picture rendered ahead the other.
        in.secondThread = false;
        TMorphFrames frames(in, job.options.last, true);
        return WritePictureSeries(
            job.pattern, job.format, job.options.first, job.options.last,
            [&frames](int n) -> const raster::DibRecord& { return frames(n); }, progress, stop);
    }
    // The video writer encodes on a thread of its own already; H.264 and VP9
    // keep every core busy themselves.
    in.secondThread = !EncoderFillsTheCores(job.options.codec);
    TMorphFrames frames(in, job.options.last, false);
    TVideoOptions options = job.options;
    options.stop = stop;
    return WriteVideo(
        job.video, options, [&frames](int n) -> const raster::DibRecord& { return frames(n); },
        progress);
}

}  // namespace exporting
