// The one road from a project to its written sequence, shared by the window's
// "Save AVI video..." and vellora-render: every picture rendered into a
// buffer used again, the renderer's second thread only where the encoder
// leaves a core free, and numbered pictures rendered one ahead on a thread
// of their own while the previous one is encoded.
#pragma once

#include <QString>

#include <future>
#include <string>

#include "core/morphtiming.h"
#include "core/renderer.h"
#include "export/picturefile.h"
#include "export/videoexport.h"

namespace exporting {

// Renders the pictures of one sequence. The picture returned stays valid
// until the next call. With `ahead`, after picture n is returned picture
// n + 1 is rendered on a thread of its own, so that writing n and rendering
// n + 1 overlap; a call for another picture renders it where it is asked.
class TMorphFrames {
public:
    // Frame f shows picture core::HeldPictureNumber(f - 1, input.N, hold):
    // picture 1 held before the morph and picture N after it.
    TMorphFrames(core::TMorphInput input, int last, bool ahead, std::int64_t hold = 0);
    ~TMorphFrames();
    TMorphFrames(const TMorphFrames&) = delete;
    TMorphFrames& operator=(const TMorphFrames&) = delete;

    const raster::DibRecord& operator()(int frame);

private:
    void Finish();

    core::TMorphInput input_;
    core::TMorphInput aheadInput_;
    int last_;
    bool ahead_;
    std::int64_t hold_;
    raster::DibRecord current_;
    std::int64_t currentNumber_ = 0;  // the picture in current_; 0 for none
    raster::DibRecord next_;
    std::int64_t nextNumber_ = 0;  // the picture being rendered into next_; 0 for none
    std::future<void> pending_;
};

// What the sequence is written as.
struct TSequenceJob {
    bool series = false;
    std::string pattern;  // numbered pictures: the pattern, in the file system's bytes
    PictureFormat format = PictureFormat::Png;
    QString video;          // otherwise: the video file
    TVideoOptions options;  // codec, rate, first and last frame, quality, background
    std::int64_t hold = 0;  // pictures held before and after the morph
};

// Writes frames options.first..options.last that render gives as the job says
// (WritePictureSeries or WriteVideo).
ExportResult WriteSequenceFrames(const TSequenceJob& job, const FrameSource& render,
                                 const ProgressSink& progress = {},
                                 const core::TStopFlag* stop = nullptr);

// Renders pictures options.first..options.last of input's sequence and writes
// them as the job says (WritePictureSeries or WriteVideo).
ExportResult WriteMorphSequence(const TSequenceJob& job, const core::TMorphInput& input,
                                const ProgressSink& progress = {},
                                const core::TStopFlag* stop = nullptr);

}  // namespace exporting
