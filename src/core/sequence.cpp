#include "core/sequence.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "core/printable.h"

namespace core {

namespace {

namespace fs = std::filesystem;

std::string Identity(const std::string& file) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(file, ec), ec);
    return ec ? fs::path(file).lexically_normal().string() : canonical.string();
}

// Fills everything of out but the w x h rectangle at (ox, oy) with the
// background, row by row from one prepared row.
void FillBorder(raster::DibRecord& out, std::uint32_t background, int ox, int oy, int w, int h) {
    const std::size_t width = static_cast<std::size_t>(out.Width());
    std::vector<std::uint8_t> row(3 * width);
    for (std::size_t x = 0; x < width; ++x) {
        row[3 * x] = static_cast<std::uint8_t>(background >> 16);
        row[3 * x + 1] = static_cast<std::uint8_t>(background >> 8);
        row[3 * x + 2] = static_cast<std::uint8_t>(background);
    }
    const std::size_t right = 3 * static_cast<std::size_t>(ox + w);
    for (int y = 0; y < out.Height(); ++y) {
        std::uint8_t* dst = out.Row(y);
        if (y < oy || y >= oy + h) {
            std::memcpy(dst, row.data(), row.size());
        } else {
            std::memcpy(dst, row.data(), 3 * static_cast<std::size_t>(ox));
            std::memcpy(dst + right, row.data() + right, row.size() - right);
        }
    }
}

}  // namespace

std::int64_t SequenceFrameCount(std::span<const TSegmentFrames> segments) {
    std::int64_t count = 0;
    for (const TSegmentFrames& s : segments)
        count += HeldFrameCount(s.N, s.hold) - (s.sharesFirst ? 1 : 0);
    return count;
}

TFramePlace LocateFrame(std::span<const TSegmentFrames> segments, std::int64_t index) {
    if (segments.empty()) return {};
    index = std::max<std::int64_t>(index, 0);
    for (std::size_t s = 0; s < segments.size(); ++s) {
        const TSegmentFrames& seg = segments[s];
        const std::int64_t skip = seg.sharesFirst ? 1 : 0;
        const std::int64_t frames = HeldFrameCount(seg.N, seg.hold) - skip;
        if (index < frames || s + 1 == segments.size())
            return {s, HeldPictureNumber(index + skip, seg.N, seg.hold)};
        index -= frames;
    }
    return {};
}

bool SamePixels(const raster::DibRecord& a, const raster::DibRecord& b) {
    if (!a.HasPixels() || !b.HasPixels() || a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    if (a.BitCount() == b.BitCount() && !a.IsPalette() && std::ranges::equal(a.Bits(), b.Bits()))
        return true;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (raster::PixelColor(a, x, y) != raster::PixelColor(b, x, y)) return false;
    return true;
}

raster::DibRecord LoadProjectPicture(const std::string& project, const std::string& stored) {
    if (stored.empty()) {
        // What a slot holds without a picture file: white, 320 x 200.
        raster::DibRecord dib = raster::newdib(320, 200, 24);
        std::fill(dib.Bits().begin(), dib.Bits().end(), std::uint8_t{255});
        return dib;
    }
    return raster::OpenDib(ResolveStoredName(project, stored));
}

std::string TMorphSequence::Load(const std::vector<TSequenceItem>& items,
                                 const TSequenceSettings& common, const TKeepGoing& keepGoing) {
    segments_.clear();
    border_ = {};
    width_ = height_ = 0;
    mode_ = common.mode;
    background_ = common.background;
    if (items.empty()) return "no project given";
    // Pictures by resolved path: a picture shared by two projects is loaded once.
    std::map<std::string, std::shared_ptr<const raster::DibRecord>> loaded;
    for (const TSequenceItem& item : items) {
        const std::string where = item.origin.empty() ? "" : item.origin + ": ";
        TSegment seg;
        seg.project = item.project;
        seg.origin = item.origin;
        const TProjectReadResult read = ReadProjectFile(item.project);
        if (read.status != TProjectStatus::Ok)
            return where + "cannot use project " + PrintableText(item.project) + ": " +
                   DescribeProjectStatus(read);
        seg.data = read.data;
        const double length = item.settings.length.value_or(common.length);
        const double product = std::trunc(length * common.rate);
        if (!(product >= 1)) return where + "length x rate gives no picture (N < 1)";
        seg.N = product >= 9.0e18 ? INT64_MAX : static_cast<std::int64_t>(product);
        seg.timing = item.settings.timing.value_or(common.timing);
        seg.hold = std::clamp<std::int64_t>(item.settings.hold.value_or(common.hold), 0, kMaxHold);

        for (int number = 1; number <= 2; ++number) {
            const std::string& stored = number == 1 ? seg.data.pic1Name : seg.data.pic2Name;
            const std::string key =
                stored.empty() ? std::string() : Identity(ResolveStoredName(item.project, stored));
            std::shared_ptr<const raster::DibRecord>& slot = number == 1 ? seg.pic1 : seg.pic2;
            if (auto it = loaded.find(key); !key.empty() && it != loaded.end()) {
                slot = it->second;
            } else {
                auto dib =
                    std::make_shared<raster::DibRecord>(LoadProjectPicture(item.project, stored));
                if (!dib->HasPixels())
                    return where + "picture " + std::to_string(number) + " (" +
                           PrintableText(stored) +
                           ") cannot be loaded: " + PrintableText(dib->ErrorText());
                slot = dib;
                if (!key.empty()) loaded[key] = slot;
                if (keepGoing && !keepGoing()) return kStopped;
            }
            // Picture 1 alone may make the result too large.
            TMorphInput input;
            input.pic1 = seg.pic1.get();
            input.pic2 = seg.pic2.get();
            seg.size = MorphResultSize(input);
            const std::string problem = ResultSizeProblem(seg.size);
            if (!problem.empty()) return where + problem;
        }
        if (!segments_.empty()) {
            const TSegment& before = segments_.back();
            seg.sharesFirst = before.pic2 == seg.pic1 || SamePixels(*before.pic2, *seg.pic1);
        }
        width_ = std::max(width_, seg.size.width);
        height_ = std::max(height_, seg.size.height);
        segments_.push_back(std::move(seg));
    }
    TResultSize all;
    all.width = width_;
    all.height = height_;
    all.bytes = raster::RowBytes(width_, 24) * height_;
    const std::string problem = ResultSizeProblem(all);
    if (!problem.empty()) {
        segments_.clear();
        return problem;
    }
    return {};
}

std::vector<TSegmentFrames> TMorphSequence::Frames() const {
    std::vector<TSegmentFrames> frames;
    for (const TSegment& s : segments_) frames.push_back({s.N, s.hold, s.sharesFirst});
    return frames;
}

std::int64_t TMorphSequence::FrameCount() const {
    return SequenceFrameCount(Frames());
}

TMorphInput TMorphSequence::Input(std::size_t s, std::int64_t n) const {
    const TSegment& seg = segments_.at(s);
    TMorphInput input;
    input.pic1 = seg.pic1.get();
    input.pic2 = seg.pic2.get();
    input.areas = seg.data.areas;
    input.N = seg.N;
    input.n = n;
    input.background = background_;
    input.timing = seg.timing;
    input.mode = mode_;
    return input;
}

void TMorphSequence::RenderFrame(std::int64_t index, raster::DibRecord& out, bool secondThread) {
    if (segments_.empty()) {
        out = raster::DibRecord();
        return;
    }
    const std::vector<TSegmentFrames> frames = Frames();
    const TFramePlace place = LocateFrame(frames, index);
    TMorphInput input = Input(place.segment, place.picture);
    input.secondThread = secondThread;
    const TSegment& seg = segments_[place.segment];
    if (seg.size.width == width_ && seg.size.height == height_) {
        border_ = {};
        RenderMorphInto(input, out);
        return;
    }
    // A smaller project's picture, centred on the largest in the background.
    RenderMorphInto(input, scratch_);
    if (!out.HasPixels() || out.BitCount() != 24 || out.Width() != width_ ||
        out.Height() != height_) {
        out = raster::DibRecord();
        out = raster::newdib(static_cast<int>(width_), static_cast<int>(height_), 24);
        border_ = {};  // new pixels, wherever they lie
    }
    if (!out.HasPixels() || !scratch_.HasPixels()) {
        border_ = {};
        out = raster::DibRecord();
        return;
    }
    const int ox = static_cast<int>((width_ - scratch_.Width()) / 2);
    const int oy = static_cast<int>((height_ - scratch_.Height()) / 2);
    // The border stays from the frame before when that was of the same
    // project into the same pixels: the frames of a video cost no more than
    // the copy of the picture itself.
    const TBorder border{out.Bits().data(), place.segment};
    if (border != border_)
        FillBorder(out, background_, ox, oy, scratch_.Width(), scratch_.Height());
    border_ = border;
    for (int y = 0; y < scratch_.Height(); ++y)
        std::memcpy(out.Row(oy + y) + 3 * ox, scratch_.Row(y),
                    3 * static_cast<std::size_t>(scratch_.Width()));
}

}  // namespace core
