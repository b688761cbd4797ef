#include "match/match.h"

#include "match/grey.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace match {

namespace {

constexpr double kMinScale = 0.5;
constexpr double kMaxScale = 2.0;
// The shorter side of the half on the coarsest level: smaller loses the
// content, larger multiplies the sizes to try. The search starts on the
// coarsest pyramid level where the side is at least kCoarseSide, shrunk
// further to about kCoarseTarget when it is much larger there.
constexpr double kCoarseSide = 10.0;
constexpr double kCoarseTarget = 12.0;
// A long side is shrunk on its own down to this many pixels on the coarse
// level: a thin half keeps its short side, but the long one need not cost
// full resolution across the whole picture.
constexpr double kCoarseLongSide = 32.0;
// Sizes tried on the coarsest level grow by at most this factor (more when
// the work bound widens the steps): a step smaller than the correlation
// peak's tolerance there, so no size falls between two.
constexpr double kSizeStep = 1.25;
// Work of the coarse search (sizes tried x pixels searched) on huge pictures
// with small halves; past it the coarse sizes are tried in bigger steps, and
// only past kMostCoarseWork at those steps does the search start on a coarser
// level, where the half would be too small to tell its place.
constexpr double kCoarseWork = 4.0e6;
constexpr double kMostCoarseWork = 16 * kCoarseWork;
// The largest edge displacement, in coarse pixels, between two sizes tried.
constexpr double kMostReach = 3.0;
constexpr int kPeaksPerSize = 2;
// More when the coarse sizes are far apart: the true place may rank lower.
constexpr int kCandidates = 8;
constexpr int kWideCandidates = 16;
// Candidates kept while refining: the best few, and only near the leader.
constexpr int kRefined = 3;
constexpr double kRefineMargin = 0.15;
// Candidates are pruned from the level on where the half's shorter side has this many pixels.
constexpr int kPruneSide = 40;
// Above this the half is matched at a reduced resolution: larger templates
// cost much and gain nothing at two pixels' accuracy.
constexpr double kFinestTemplatePixels = 512.0 * 512.0;
// Grey-level deviation (of 255) below which a half counts as one colour: a
// clear sky or a plain wall, with its JPEG noise and faint shading. Such a
// half correlates as well with any smooth patch as with its own place.
constexpr double kBlankDeviation = 8.0;

std::uint8_t Luma(int red, int green, int blue) {
    return static_cast<std::uint8_t>((77 * red + 150 * green + 29 * blue + 128) >> 8);
}

}  // namespace

cv::Mat GreyPart(const raster::DibRecord& dib, const cv::Rect& part) {
    cv::Mat out(part.height, part.width, CV_8U);
    std::array<std::uint8_t, 256> lut{};
    if (dib.IsPalette())
        for (std::size_t i = 0; i < lut.size(); ++i) {
            const raster::RgbEntry& e = dib.Palette()[i];
            lut[i] = Luma(e.red, e.green, e.blue);
        }
    for (int y = 0; y < part.height; ++y) {
        const std::uint8_t* row = dib.Row(part.y + y);
        std::uint8_t* o = out.ptr<std::uint8_t>(y);
        switch (dib.BitCount()) {
            case 24:
                for (int x = 0; x < part.width; ++x) {
                    const std::uint8_t* p = row + 3 * static_cast<std::size_t>(part.x + x);
                    o[x] = Luma(p[2], p[1], p[0]);
                }
                break;
            case 32:
                for (int x = 0; x < part.width; ++x) {
                    const std::uint8_t* p = row + 4 * static_cast<std::size_t>(part.x + x);
                    o[x] = Luma(p[2], p[1], p[0]);
                }
                break;
            case 8:
                for (int x = 0; x < part.width; ++x) o[x] = lut[row[part.x + x]];
                break;
            default:
                for (int x = 0; x < part.width; ++x)
                    o[x] = lut[raster::getpixel(dib, part.x + x, part.y + y) & 0xFFu];
                break;
        }
    }
    return out;
}

namespace {

// Level l is level l-1 smoothed and halved; stops before a side would drop below 2.
std::vector<cv::Mat> Pyramid(cv::Mat base, int levels) {
    std::vector<cv::Mat> out{std::move(base)};
    while (static_cast<int>(out.size()) <= levels && out.back().cols >= 4 && out.back().rows >= 4) {
        cv::Mat next;
        cv::pyrDown(out.back(), next);
        out.push_back(std::move(next));
    }
    return out;
}

// The half's content at w x h, made from the smallest model level that is
// still at least that big, so that shrinking averages and never aliases.
cv::Mat Template(std::span<const cv::Mat> model, int w, int h) {
    std::size_t k = 0;
    while (k + 1 < model.size() && model[k + 1].cols >= w && model[k + 1].rows >= h) ++k;
    const cv::Mat& src = model[k];
    const bool shrinks = src.cols >= w && src.rows >= h;
    cv::Mat out;
    cv::resize(src, out, cv::Size(w, h), 0, 0, shrinks ? cv::INTER_AREA : cv::INTER_LINEAR);
    return out;
}

// Sides to try for a half side of `side` pixels on one level, from half to
// twice, no larger than `limit`.
std::vector<int> Sides(double side, int limit, double reach = 1.0) {
    // The step keeps an edge's displacement within about `reach` pixels, where
    // the correlation peak still holds at one pixel: fine for a long side,
    // coarse for a short one.
    const double step = std::clamp(1.0 + 2.0 * reach / side, 1.0 + 0.03 * (1.0 + reach),
                                   1.0 + (kSizeStep - 1.0) * (1.0 + reach) / 2.0);
    std::vector<int> out;
    const int lo = std::max(2, static_cast<int>(std::lround(side * kMinScale)));
    const int hi = std::min(limit, static_cast<int>(std::lround(side * kMaxScale)));
    for (int v = lo; v <= hi; v = std::max(v + 1, static_cast<int>(std::lround(v * step))))
        out.push_back(v);
    return out;
}

struct TCandidate {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    double score = -2.0;
    // Ranked by score less this: sizes far from the half's own lose ties.
    double penalty = 0.0;
    double Rank() const { return score - penalty; }
};

// Correlation alone cannot tell a part of a pattern from the same part at
// another size (bricks, blinds, a striped sleeve), so between places that fit
// about equally the size nearer the half's own wins.
constexpr double kSizePrior = 0.015;

void SetPenalty(TCandidate& c, double w, double h) {
    c.penalty = kSizePrior * (std::abs(std::log(c.w / w)) + std::abs(std::log(c.h / h)));
}

double Overlap(const TCandidate& a, const TCandidate& b) {
    const cv::Rect ra(a.x, a.y, a.w, a.h);
    const cv::Rect rb(b.x, b.y, b.w, b.h);
    const double common = (ra & rb).area();
    return common / (ra.area() + rb.area() - common);
}

// The best positions of one template over the whole image, apart from each other.
void Peaks(const cv::Mat& image, const cv::Mat& templ, std::vector<TCandidate>& out) {
    cv::Mat result;
    cv::matchTemplate(image, templ, result, cv::TM_CCOEFF_NORMED);
    cv::patchNaNs(result, -1.0);
    for (int p = 0; p < kPeaksPerSize; ++p) {
        double best = 0;
        cv::Point at;
        cv::minMaxLoc(result, nullptr, &best, nullptr, &at);
        if (best <= -1.0) break;
        out.push_back({at.x, at.y, templ.cols, templ.rows, best});
        const cv::Rect near(at.x - templ.cols / 2, at.y - templ.rows / 2, templ.cols + 1,
                            templ.rows + 1);
        result(near & cv::Rect(0, 0, result.cols, result.rows)).setTo(-1.0);
    }
}

// Every size on the coarsest level; the best distinct candidates.
std::vector<TCandidate> CoarseSearch(const cv::Mat& image, const std::vector<cv::Mat>& model,
                                     double modelW, double modelH, double reach) {
    const std::vector<int> widths = Sides(modelW, image.cols, reach);
    const std::vector<int> heights = Sides(modelH, image.rows, reach);
    const int wanted = reach > 1.0 ? kWideCandidates : kCandidates;
    const int count = static_cast<int>(widths.size() * heights.size());
    std::vector<std::vector<TCandidate>> found(static_cast<std::size_t>(count));
    cv::parallel_for_(cv::Range(0, count), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i) {
            const int w = widths[static_cast<std::size_t>(i) % widths.size()];
            const int h = heights[static_cast<std::size_t>(i) / widths.size()];
            Peaks(image, Template(model, w, h), found[static_cast<std::size_t>(i)]);
        }
    });
    std::vector<TCandidate> all;
    for (const auto& f : found) all.insert(all.end(), f.begin(), f.end());
    for (TCandidate& c : all) SetPenalty(c, modelW, modelH);
    std::sort(all.begin(), all.end(),
              [](const TCandidate& a, const TCandidate& b) { return a.Rank() > b.Rank(); });
    std::vector<TCandidate> out;
    for (const TCandidate& c : all) {
        if (static_cast<int>(out.size()) == wanted) break;
        if (std::none_of(out.begin(), out.end(),
                         [&](const TCandidate& o) { return Overlap(o, c) > 0.5; }))
            out.push_back(c);
    }
    return out;
}

// The sum of the template's pixels times those of `area` under it at (x, y);
// both 32-bit float. Row by row: cv::Mat::dot walks a narrow part slowly.
double Dot(const cv::Mat& templ, const cv::Mat& area, int x, int y) {
    double total = 0.0;
    for (int r = 0; r < templ.rows; ++r) {
        const float* t = templ.ptr<float>(r);
        const float* a = area.ptr<float>(y + r) + x;
        float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        int c = 0;
        for (; c + 4 <= templ.cols; c += 4) {
            s0 += t[c] * a[c];
            s1 += t[c + 1] * a[c + 1];
            s2 += t[c + 2] * a[c + 2];
            s3 += t[c + 3] * a[c + 3];
        }
        for (; c < templ.cols; ++c) s0 += t[c] * a[c];
        total += static_cast<double>(s0) + s1 + s2 + s3;
    }
    return total;
}

// Places and sizes near each other are compared with both the template and
// the picture smoothed by this (a Gaussian's sigma in pixels): a template
// resized by a few per cent is interpolated, which averages its noise away,
// so that on smooth content (a wall, the sky's gradient) any size but the
// half's own fits a little better. Smoothed alike, every size carries about
// as little noise. Only the finest level is smoothed, where sizes are told
// apart to the pixel; the score the threshold judges is taken unsmoothed.
constexpr double kPlaceBlur = 0.7;
// Halves with a shorter side below this are neither smoothed nor polished:
// smoothing takes much of a narrow side's detail, and a pixel more or less
// of it changes the fit too much for a nudge towards the half's size.
constexpr int kSmoothSide = 20;
// Nor are halves of more pixels than this: each size tried costs much, and
// many pixels leave a size less to chance.
constexpr double kSmoothPixels = 160.0 * 160.0;

// The best place of a w x h template near (cx, cy), the centre, within
// `radius` pixels, both smoothed by `blur` when it is positive. Only a few
// places are scored, so the correlation is summed directly: matchTemplate's
// transform would cost far more for a large half.
TCandidate BestNear(const cv::Mat& image, std::span<const cv::Mat> model, double cx, double cy,
                    int w, int h, cv::Size radius, double blur) {
    const TCandidate none{0, 0, w, h, -2.0};
    if (w < 2 || h < 2 || w > image.cols || h > image.rows) return none;
    const int x0 = static_cast<int>(std::lround(cx - w / 2.0)) - radius.width;
    const int y0 = static_cast<int>(std::lround(cy - h / 2.0)) - radius.height;
    const int left = std::clamp(x0, 0, image.cols - w);
    const int top = std::clamp(y0, 0, image.rows - h);
    const int right = std::clamp(x0 + w + 2 * radius.width, left + w, image.cols);
    const int bottom = std::clamp(y0 + h + 2 * radius.height, top + h, image.rows);
    cv::Mat templ;
    Template(model, w, h).convertTo(templ, CV_32F);
    if (blur > 0) cv::GaussianBlur(templ, templ, cv::Size(3, 3), blur, blur, cv::BORDER_REPLICATE);
    templ -= cv::mean(templ)[0];
    const double templNorm = templ.dot(templ);
    if (templNorm <= 0) return none;
    cv::Mat area;
    image(cv::Rect(left, top, right - left, bottom - top)).convertTo(area, CV_32F);
    if (blur > 0) cv::GaussianBlur(area, area, cv::Size(3, 3), blur, blur, cv::BORDER_REPLICATE);
    cv::Mat sum, squares;
    cv::integral(area, sum, squares, CV_64F, CV_64F);
    const double n = static_cast<double>(w) * h;
    TCandidate best = none;
    for (int y = 0; y + h <= area.rows; ++y)
        for (int x = 0; x + w <= area.cols; ++x) {
            auto box = [&](const cv::Mat& s) {
                return s.at<double>(y + h, x + w) - s.at<double>(y, x + w) -
                       s.at<double>(y + h, x) + s.at<double>(y, x);
            };
            const double s1 = box(sum);
            const double variance = box(squares) - s1 * s1 / n;
            // The template's mean is 0, so it correlates with the window's
            // deviations by correlating with the window itself.
            const double score =
                variance > 1e-6 ? Dot(templ, area, x, y) / std::sqrt(templNorm * variance) : 0.0;
            if (score > best.score) best = {left + x, top + y, w, h, score};
        }
    return best;
}

// The candidate's own place and size scored as the threshold judges it:
// unsmoothed, no place nearby.
TCandidate Rescored(const cv::Mat& image, std::span<const cv::Mat> model, const TCandidate& c) {
    return BestNear(image, model, c.x + c.w / 2.0, c.y + c.h / 2.0, c.w, c.h, {0, 0}, 0.0);
}

// A coarser candidate on a finer level, enlarged by `factor` on each axis.
TCandidate Enlarged(TCandidate c, cv::Point2d factor) {
    c.x = static_cast<int>(std::lround(c.x * factor.x));
    c.y = static_cast<int>(std::lround(c.y * factor.y));
    c.w = static_cast<int>(std::lround(c.w * factor.x));
    c.h = static_cast<int>(std::lround(c.h * factor.y));
    return c;
}

// One level finer: the candidate enlarged by `factor` (2 between levels), then its size moved one
// pixel at a time while that improves the score, each size at its best place nearby.
TCandidate Refine(const cv::Mat& image, std::span<const cv::Mat> model, TCandidate c,
                  cv::Point2d factor, cv::Size radius, cv::Size least, cv::Size most,
                  cv::Size2d nominal, double blur) {
    c = Enlarged(c, factor);
    // Keyed by size and centre: a size tried around an older centre may have
    // missed the place a newer one finds.
    std::map<std::array<int, 4>, TCandidate> tried;
    auto at = [&](const TCandidate& from, int w, int h) {
        // Sizes outside the scale range are not candidates: a tiny template
        // correlates well with anything.
        if (w < least.width || h < least.height || w > most.width || h > most.height)
            return TCandidate{from.x, from.y, w, h, -2.0};
        auto [it, fresh] = tried.try_emplace({w, h, 2 * from.x + from.w, 2 * from.y + from.h});
        if (fresh) {
            it->second = BestNear(image, model, from.x + from.w / 2.0, from.y + from.h / 2.0, w, h,
                                  radius, blur);
            SetPenalty(it->second, nominal.width, nominal.height);
        }
        return it->second;
    };
    TCandidate best = at(c, c.w, c.h);
    // Big steps first, about 3 % of each side, then single pixels.
    // The size prior settles ties between sizes; the last pixel goes by the
    // correlation alone, which the prior would bias on smooth content.
    for (const int pass : {0, 1, 2}) {
        const int sw = pass > 0 ? 1 : std::max(1, c.w / 32);
        const int sh = pass > 0 ? 1 : std::max(1, c.h / 32);
        auto key = [&](const TCandidate& t) { return pass == 2 ? t.score : t.Rank(); };
        for (int step = 0; step < (pass == 2 ? 4 : 8); ++step) {
            TCandidate next = best;
            for (int dh = -1; dh <= 1; ++dh)
                for (int dw = -1; dw <= 1; ++dw) {
                    if (dw == 0 && dh == 0) continue;
                    const TCandidate t = at(best, best.w + dw * sw, best.h + dh * sh);
                    if (key(t) > key(next)) next = t;
                }
            if (key(next) <= key(best)) break;
            best = next;
        }
    }
    return best;
}

// The last look, on the finest level: the width, then the height, moved
// pixel by pixel up to kPolishReach either way and further in growing steps
// (up to a quarter of the side), each size at its best place nearby, then
// both together a pixel at a time. The walk of Refine stops where one pixel
// more brings no gain; on smooth content the score over sizes is flat with
// small bumps, and the true size may lie beyond one.
constexpr int kPolishReach = 8;
constexpr int kPolishFarthest = 16;
// While polishing, a size smaller than the half's pays this per factor e of
// shrinking on each axis: a smaller copy of smooth content (a wall, a
// gradient) fits about as well as the true size, and a little better by
// chance as it has fewer pixels. Scaled-down content still wins where it
// fits clearly better.
constexpr double kShrunkPrior = 0.04;

TCandidate Polish(const cv::Mat& image, std::span<const cv::Mat> model, const TCandidate& c,
                  cv::Size least, cv::Size most, cv::Size2d nominal) {
    auto key = [&](const TCandidate& t) {
        return t.score - kShrunkPrior * (std::max(0.0, std::log(nominal.width / t.w)) +
                                         std::max(0.0, std::log(nominal.height / t.h)));
    };
    TCandidate best =
        BestNear(image, model, c.x + c.w / 2.0, c.y + c.h / 2.0, c.w, c.h, {0, 0}, kPlaceBlur);
    // Sizes around `from`'s centre, scored in parallel, each within `near` of it.
    auto tryAll = [&](const TCandidate& from, const std::vector<cv::Size>& sizes,
                      const std::vector<cv::Size>& near) {
        std::vector<TCandidate> scored(sizes.size());
        cv::parallel_for_(cv::Range(0, static_cast<int>(sizes.size())), [&](const cv::Range& r) {
            for (int i = r.start; i < r.end; ++i) {
                const cv::Size s = sizes[static_cast<std::size_t>(i)];
                if (s.width < least.width || s.height < least.height || s.width > most.width ||
                    s.height > most.height)
                    continue;
                scored[static_cast<std::size_t>(i)] =
                    BestNear(image, model, from.x + from.w / 2.0, from.y + from.h / 2.0, s.width,
                             s.height, near[static_cast<std::size_t>(i)], kPlaceBlur);
            }
        });
        for (const TCandidate& t : scored)
            if (key(t) > key(best)) best = t;
    };
    std::vector<int> offsets;
    for (int v = 1; v <= kPolishReach; ++v) offsets.push_back(v);
    for (int v = kPolishReach + 2; v <= kPolishFarthest; v += 1 + v / 6) offsets.push_back(v);
    // One axis; the place may move by half the change of the side.
    auto line = [&](const TCandidate& from, bool horizontal) {
        const int side = horizontal ? from.w : from.h;
        std::vector<cv::Size> sizes, near;
        for (const int v : offsets)
            for (const int sign : {-1, 1}) {
                if (v > std::max(2, side / 4)) continue;
                const int n = side + sign * v;
                const int r = 3 + v / 2;
                sizes.push_back(horizontal ? cv::Size(n, from.h) : cv::Size(from.w, n));
                near.push_back(horizontal ? cv::Size(r, 1) : cv::Size(1, r));
            }
        tryAll(from, sizes, near);
    };
    line(best, true);
    line(best, false);
    for (int step = 0; step < 4; ++step) {
        const TCandidate from = best;
        std::vector<cv::Size> sizes;
        for (int dh = -1; dh <= 1; ++dh)
            for (int dw = -1; dw <= 1; ++dw) sizes.emplace_back(from.w + dw, from.h + dh);
        tryAll(from, sizes, std::vector<cv::Size>(sizes.size(), cv::Size(2, 2)));
        if (best.w == from.w && best.h == from.h && best.x == from.x && best.y == from.y) break;
    }
    best = Rescored(image, model, best);
    SetPenalty(best, nominal.width, nominal.height);
    return best;
}

double Distance(const TCandidate& c, cv::Point2d at) {
    return std::hypot(c.x + c.w / 2.0 - at.x, c.y + c.h / 2.0 - at.y);
}

// Of the candidates that fit about as well as the best, the one nearest `at`.
std::size_t NearestOfTheBest(const std::vector<TCandidate>& sorted, cv::Point2d at) {
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i].Rank() >= sorted.front().Rank() - kDistinctMargin &&
            Distance(sorted[i], at) < Distance(sorted[nearest], at))
            nearest = i;
    return nearest;
}

// The candidates worth refining further: the best few near the leader, and
// the one nearest the other half's present place among those about as good
// as the leader.
void Prune(std::vector<TCandidate>& candidates, std::optional<cv::Point2d> present) {
    std::sort(candidates.begin(), candidates.end(),
              [](const TCandidate& a, const TCandidate& b) { return a.Rank() > b.Rank(); });
    if (candidates.empty()) return;
    const double floor = candidates.front().Rank() - kRefineMargin;
    std::size_t keep = 1;
    while (keep < candidates.size() && keep < kRefined && candidates[keep].Rank() >= floor) ++keep;
    if (present)
        if (const std::size_t nearest = NearestOfTheBest(candidates, *present); nearest >= keep)
            candidates[keep++] = candidates[nearest];
    candidates.resize(keep);
}

int LevelFor(double ratio) {
    // The number of halvings that brings ratio down to 1 or below.
    int level = 0;
    while (ratio > 1.0) {
        ratio /= 4.0;
        ++level;
    }
    return level;
}

}  // namespace

namespace {

TResult SearchPictures(const raster::DibRecord& model, TRect half, const raster::DibRecord& other,
                       std::optional<TRect> present) {
    TResult out;
    half = Normalized(half);
    // The half's part inside its picture, in 64 bits: corners may be far out.
    const std::int64_t left = std::max<std::int64_t>(half.left, 0);
    const std::int64_t top = std::max<std::int64_t>(half.top, 0);
    const std::int64_t right = std::min<std::int64_t>(half.right, model.Width() - 1);
    const std::int64_t bottom = std::min<std::int64_t>(half.bottom, model.Height() - 1);
    if (!model.HasPixels() || left > right || top > bottom) {
        out.status = TStatus::Outside;
        return out;
    }
    const int mw = static_cast<int>(right - left + 1);
    const int mh = static_cast<int>(bottom - top + 1);
    if (mw < kMinSide || mh < kMinSide) {
        out.status = TStatus::TooSmall;
        return out;
    }
    if (!other.HasPixels() || other.Width() < (mw + 1) / 2 || other.Height() < (mh + 1) / 2) {
        out.status = TStatus::OtherTooSmall;
        return out;
    }
    cv::Mat modelGrey =
        GreyPart(model, cv::Rect(static_cast<int>(left), static_cast<int>(top), mw, mh));
    cv::Scalar mean, deviation;
    cv::meanStdDev(modelGrey, mean, deviation);
    if (deviation[0] < kBlankDeviation) {
        out.status = TStatus::Blank;
        return out;
    }

    // Levels: the finest that keeps the template affordable; the coarsest
    // where the half's shorter side is still kCoarseSide. The work of trying
    // every size there is bounded by trying fewer sizes.
    const int finest = LevelFor(static_cast<double>(mw) * mh / kFinestTemplatePixels);
    int coarse = finest;
    while (std::min(mw, mh) / std::ldexp(1.0, coarse + 1) >= kCoarseSide) ++coarse;
    const double otherPixels = static_cast<double>(other.Width()) * other.Height();
    // The coarse search's own shrinking below `coarse`: both sides by the
    // shorter one's factor, and the long side further down to
    // kCoarseLongSide; then its work at size steps reaching `steps` pixels.
    auto shrink = [&](int level) {
        const double side = std::min(mw, mh) / std::ldexp(1.0, level);
        const double both = side > 1.2 * kCoarseTarget ? kCoarseTarget / side : 1.0;
        auto own = [&](int length) {
            const double l = length / std::ldexp(1.0, level);
            return std::min(both, l > 1.2 * kCoarseLongSide ? kCoarseLongSide / l : 1.0);
        };
        return cv::Point2d(own(mw), own(mh));
    };
    auto work = [&](int level, double steps) {
        const cv::Point2d s = shrink(level) * std::ldexp(1.0, -level);
        return static_cast<double>(Sides(mw * s.x, INT32_MAX, steps).size() *
                                   Sides(mh * s.y, INT32_MAX, steps).size()) *
               otherPixels * s.x * s.y;
    };
    // Coarser size steps first; a coarser level only for tiny halves in huge
    // pictures.
    double reach = 1.0;
    while (work(coarse, reach) > kCoarseWork && reach < kMostReach) reach += 0.5;
    while (work(coarse, reach) > kMostCoarseWork &&
           std::min(other.Width(), other.Height()) >> (coarse + 1) >= 2 * kMinSide)
        ++coarse;

    const std::vector<cv::Mat> image =
        Pyramid(GreyPart(other, cv::Rect(0, 0, other.Width(), other.Height())), coarse);
    coarse = std::min(coarse, static_cast<int>(image.size()) - 1);
    const std::vector<cv::Mat> templ = Pyramid(std::move(modelGrey), coarse + 2);

    // The coarse search runs on `coarse` itself, or on a copy shrunk by
    // shrink(coarse) and then refined on `coarse` first.
    const cv::Mat& coarseLevel = image[static_cast<std::size_t>(coarse)];
    cv::Mat shrunk = coarseLevel;
    cv::Point2d factor(2.0, 2.0);
    int first = coarse - 1;
    if (const cv::Point2d s = shrink(coarse); s.x < 1.0 || s.y < 1.0) {
        cv::resize(coarseLevel, shrunk,
                   cv::Size(std::max(1, static_cast<int>(std::lround(coarseLevel.cols * s.x))),
                            std::max(1, static_cast<int>(std::lround(coarseLevel.rows * s.y)))),
                   0, 0, cv::INTER_AREA);
        factor = {static_cast<double>(coarseLevel.cols) / shrunk.cols,
                  static_cast<double>(coarseLevel.rows) / shrunk.rows};
        first = coarse;
    } else if (first < finest) {
        // Searched on the finest level itself: its sizes still need refining.
        factor = {1.0, 1.0};
        first = finest;
    }
    const double scale = std::ldexp(1.0, -coarse);
    const cv::Point2d own = first == coarse ? factor : cv::Point2d(1.0, 1.0);
    std::vector<TCandidate> candidates =
        CoarseSearch(shrunk, templ, mw * scale / own.x, mh * scale / own.y, reach);
    if (candidates.empty()) {
        out.status = TStatus::NotConvincing;
        return out;
    }
    // The centre of the other half's present place on a level.
    auto presentAt = [&](int level) -> std::optional<cv::Point2d> {
        if (!present) return std::nullopt;
        const TRect p = Normalized(*present);
        const double f = std::ldexp(1.0, -level);
        return cv::Point2d((static_cast<double>(p.left) + p.right + 1) / 2 * f,
                           (static_cast<double>(p.top) + p.bottom + 1) / 2 * f);
    };
    // The smallest and largest sizes of the half on a level.
    auto sizesAt = [&](int level) {
        const double f = std::ldexp(1.0, -level);
        return std::pair(cv::Size(static_cast<int>(std::floor(mw * f * kMinScale)),
                                  static_cast<int>(std::floor(mh * f * kMinScale))),
                         cv::Size(static_cast<int>(std::ceil(mw * f * kMaxScale)),
                                  static_cast<int>(std::ceil(mh * f * kMaxScale))));
    };
    const bool smooth =
        std::min(mw, mh) >= kSmoothSide && static_cast<double>(mw) * mh <= kSmoothPixels;
    const double blur = smooth ? kPlaceBlur : 0.0;
    // The finest level takes the template straight from the half, so that no
    // pyramid's half-pixel shift biases the edges.
    const std::span<const cv::Mat> coarserModel(templ);
    const std::span<const cv::Mat> finestModel(templ.data(), 1);
    for (int level = first; level >= finest; --level) {
        const cv::Mat& img = image[static_cast<std::size_t>(level)];
        // Wider on the first level when the coarse sizes were far apart (the
        // place moves with the size) or its pixels much coarser.
        auto radius = [&](double by) {
            return level == first ? 3 + static_cast<int>(std::ceil(by * (reach - 1))) +
                                        std::max(0, static_cast<int>(std::ceil(by / 2)) - 1)
                                  : 3;
        };
        const cv::Size near(radius(factor.x), radius(factor.y));
        const cv::Point2d by = level == first ? factor : cv::Point2d(2.0, 2.0);
        const double f = std::ldexp(1.0, -level);
        const auto [least, most] = sizesAt(level);
        const std::span<const cv::Mat> levelModel = level == finest ? finestModel : coarserModel;
        std::vector<TCandidate> refined(candidates.size());
        cv::parallel_for_(
            cv::Range(0, static_cast<int>(candidates.size())), [&](const cv::Range& range) {
                for (int i = range.start; i < range.end; ++i)
                    refined[static_cast<std::size_t>(i)] = Refine(
                        img, levelModel, candidates[static_cast<std::size_t>(i)], by, near, least,
                        most, cv::Size2d(mw * f, mh * f), level == finest ? blur : 0.0);
            });
        candidates = std::move(refined);
        // On coarse levels the scores tell little apart and refining is cheap.
        if (std::min(mw, mh) >> level >= kPruneSide) Prune(candidates, presentAt(level));
    }
    Prune(candidates, presentAt(finest));
    // The best, unless other places fit about as well: then the one clearly
    // nearest the other half's present place (half as far as the next), or
    // none.
    std::size_t chosen = 0;
    bool distinct = true;
    for (std::size_t i = 1; i < candidates.size(); ++i)
        if (Overlap(candidates.front(), candidates[i]) < 0.25 &&
            candidates[i].Rank() > candidates.front().Rank() - kDistinctMargin)
            distinct = false;
    if (!distinct && present) {
        const cv::Point2d at = *presentAt(finest);
        const std::size_t nearest = NearestOfTheBest(candidates, at);
        distinct = true;
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (i != nearest && Overlap(candidates[nearest], candidates[i]) < 0.25 &&
                candidates[i].Rank() >= candidates.front().Rank() - kDistinctMargin &&
                Distance(candidates[i], at) < 2 * Distance(candidates[nearest], at))
                distinct = false;
        if (distinct) chosen = nearest;
    }
    if (smooth) {
        const double f = std::ldexp(1.0, -finest);
        const auto [least, most] = sizesAt(finest);
        candidates[chosen] = Polish(image[static_cast<std::size_t>(finest)], finestModel,
                                    candidates[chosen], least, most, cv::Size2d(mw * f, mh * f));
    }
    const TCandidate& c = candidates[chosen];

    // Back to full resolution, then the half's parts outside its picture
    // added in proportion to the size found.
    const int f = 1 << finest;
    const double sx = static_cast<double>(c.w) * f / mw;
    const double sy = static_cast<double>(c.h) * f / mh;
    auto clamp32 = [](double v) {
        return static_cast<std::int32_t>(std::clamp(std::round(v), -2147483648.0, 2147483647.0));
    };
    out.best.rect = {clamp32(c.x * f - (left - half.left) * sx),
                     clamp32(c.y * f - (top - half.top) * sy),
                     clamp32((c.x + c.w) * f - 1 + (half.right - right) * sx),
                     clamp32((c.y + c.h) * f - 1 + (half.bottom - bottom) * sy)};
    out.best.score = c.score;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (i != chosen && Overlap(c, candidates[i]) < 0.25) {
            // Scored as the best is: unsmoothed.
            out.runnerUp = smooth ? Rescored(image[static_cast<std::size_t>(finest)], finestModel,
                                             candidates[i])
                                        .score
                                  : candidates[i].score;
            break;
        }
    out.ambiguous = !distinct;
    // A smaller copy of the half has fewer pixels, so chance fits it better.
    const double needed = kMinSimilarity + kShrunkSimilarity * (std::max(0.0, -std::log(sx)) +
                                                                std::max(0.0, -std::log(sy)));
    out.status = c.score >= needed && distinct ? TStatus::Matched : TStatus::NotConvincing;
    return out;
}

}  // namespace

TResult Search(const raster::DibRecord& model, TRect half, const raster::DibRecord& other,
               std::optional<TRect> present) {
    // OpenCV reports running out of memory with its own exception; callers
    // handle that as everywhere else in the program.
    try {
        return SearchPictures(model, half, other, present);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem) throw std::bad_alloc();
        throw std::runtime_error(e.what());
    }
}

std::optional<TMatch> FindArea(const raster::DibRecord& model, TRect half,
                               const raster::DibRecord& other) {
    const TResult r = Search(model, half, other);
    if (r.status != TStatus::Matched) return std::nullopt;
    return r.best;
}

std::string StatusText(const TResult& result) {
    // Two decimals with a full stop whatever the locale.
    char score[16];
    const auto end =
        std::to_chars(score, score + sizeof score, result.best.score, std::chars_format::fixed, 2);
    const std::string similarity(score, end.ptr);
    switch (result.status) {
        case TStatus::Matched:
            return "matched with " + similarity + " similarity";
        case TStatus::NotConvincing:
            if (result.ambiguous && result.runnerUp >= 0) {
                char other[16];
                const auto e = std::to_chars(other, other + sizeof other, result.runnerUp,
                                             std::chars_format::fixed, 2);
                return "nothing convincing found: two places fit about equally (" + similarity +
                       " and " + std::string(other, e.ptr) + " similarity)";
            }
            return "nothing convincing found (best " + similarity + " similarity)";
        case TStatus::TooSmall:
            return "the area is too small to match: it needs " + std::to_string(kMinSide) +
                   " pixels on each side";
        case TStatus::Outside:
            return "the area lies outside its picture";
        case TStatus::Blank:
            return "the area is blank: nothing to match";
        case TStatus::OtherTooSmall:
            return "the other picture is too small for the area";
    }
    return {};
}

}  // namespace match
