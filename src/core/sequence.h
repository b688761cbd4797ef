// A sequence: projects morphed one after another into one run of pictures.
// Each project gives its N = trunc(length x rate) pictures with its timing,
// held `hold` pictures at either end. Where a project's picture 2 and the
// next project's picture 1 are the same file (the same resolved path) or
// hold the same pixels, the next project's first picture is left out, so
// three such projects give 3N - 2 pictures. Every picture has the size of
// the largest result of all projects; a smaller one sits centred on it in
// the background colour. The window and vellora-render both render
// sequences through this.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/morphtiming.h"
#include "core/projectfile.h"
#include "core/renderer.h"
#include "core/sequencefile.h"
#include "raster/dib.h"

namespace core {

// What every project of a sequence takes unless its entry says otherwise.
struct TSequenceSettings {
    double length = 5;  // seconds
    double rate = 5;    // pictures per second
    TTiming timing = TTiming::Linear;
    std::int64_t hold = 0;
    TMorphMode mode = TMorphMode::Morph;
    std::uint32_t background = 0;  // red in the lowest byte
};

// ---- The frames of a sequence, as pure arithmetic ---------------------------

struct TSegmentFrames {
    std::int64_t N = 1;
    std::int64_t hold = 0;
    bool sharesFirst = false;  // its first picture is the one before it
};

// The number of frames: each segment's N + 2 hold, less one per shared join.
std::int64_t SequenceFrameCount(std::span<const TSegmentFrames> segments);

// Frame `index` (0-based, clamped into the frames) is picture `picture` (1..N)
// of segment `segment`.
struct TFramePlace {
    std::size_t segment = 0;
    std::int64_t picture = 1;
    bool operator==(const TFramePlace&) const = default;
};
TFramePlace LocateFrame(std::span<const TSegmentFrames> segments, std::int64_t index);

// Whether two pictures show the same pixels: the same size and the same
// colour everywhere, whatever their bit depth.
bool SamePixels(const raster::DibRecord& a, const raster::DibRecord& b);

// ---- Loading and rendering ----------------------------------------------------

class TMorphSequence {
public:
    struct TSegment {
        std::string project;  // the file as named
        std::string origin;   // "faces.morseq, line 3", or empty
        TProjectData data;
        std::shared_ptr<const raster::DibRecord> pic1, pic2;
        std::int64_t N = 1;
        TTiming timing = TTiming::Linear;
        std::int64_t hold = 0;
        bool sharesFirst = false;
        TResultSize size;
    };

    // Called after each picture is loaded; false stops the loading.
    using TKeepGoing = std::function<bool()>;

    // Reads every project and loads its pictures, checking everything before
    // any picture is rendered. Empty on success; otherwise one line for the
    // user ("faces.morseq, line 2: cannot use project b.mor: it cannot be
    // opened: No such file or directory"). A stop from keepGoing returns
    // kStopped.
    std::string Load(const std::vector<TSequenceItem>& items, const TSequenceSettings& common,
                     const TKeepGoing& keepGoing = {});
    static constexpr const char* kStopped = "stopped";

    const std::vector<TSegment>& Segments() const { return segments_; }
    std::vector<TSegmentFrames> Frames() const;
    std::int64_t FrameCount() const;
    // The size of every frame: the largest result of all projects.
    std::int64_t Width() const { return width_; }
    std::int64_t Height() const { return height_; }

    // The input that renders picture n of segment s (its own size).
    TMorphInput Input(std::size_t s, std::int64_t n) const;
    // Renders frame `index` (0-based) into out, which is reused as
    // RenderMorphInto does. No pixels when it cannot be had. Between calls
    // out must hold the frame as it was returned (or another record).
    void RenderFrame(std::int64_t index, raster::DibRecord& out, bool secondThread = true);

private:
    std::vector<TSegment> segments_;
    TMorphMode mode_ = TMorphMode::Morph;
    std::uint32_t background_ = 0;
    std::int64_t width_ = 0, height_ = 0;
    raster::DibRecord scratch_;
    // Where the last centred frame left its background border.
    struct TBorder {
        const std::uint8_t* pixels = nullptr;
        std::size_t segment = 0;
        bool operator==(const TBorder&) const = default;
    } border_;
};

// The picture a project names: the file resolved against the project's
// folder, or, for an empty name, the white 320 x 200 picture of an empty slot.
raster::DibRecord LoadProjectPicture(const std::string& project, const std::string& stored);

}  // namespace core
