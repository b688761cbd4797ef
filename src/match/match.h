// "Match object": finds where the content of one area half lies in the other
// picture, so that the user only has to draw one half roughly.
//
// The search covers the whole other picture at every position and at widths
// and heights from half to twice the half's, independently. It compares by
// normalised correlation, so brightness and contrast may differ between the
// pictures, and runs coarse to fine: every size on a small copy of the other
// picture, then the best few candidates refined level by level up to full
// resolution. The result is in whole pixels. No widgets; the window and
// vellora-render share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "raster/dib.h"

namespace match {

// A rectangle in pixels of its picture, right and bottom inclusive; the
// corners may come in any order, as area halves store them.
struct TRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const TRect&) const = default;
};

// The same rectangle with left <= right and top <= bottom.
inline TRect Normalized(TRect r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

struct TMatch {
    TRect rect;          // normalised
    double score = 0.0;  // normalised correlation, -1..1
};

enum class TStatus {
    Matched,        // found with a score of at least kMinSimilarity
    NotConvincing,  // the best scores too low (kMinSimilarity), or others fit about as well
    TooSmall,       // the half (its part inside the picture) is below kMinSide on a side
    Outside,        // the half does not overlap its picture
    Blank,          // the half is (nearly) one colour: nothing to compare
    OtherTooSmall,  // the other picture cannot hold the half even at half its size
};

// Sides below this carry too little content to be found again.
inline constexpr int kMinSide = 8;
// Below this score a candidate is as likely chance as the same content: on
// the sample photographs (bench/match_accuracy) no correct match scored
// below 0.81, while the best place of an area in an unrelated photograph
// scored below 0.82 nine times in ten (smooth areas fit any smooth patch).
inline constexpr double kMinSimilarity = 0.82;
// A place smaller than the half needs this much more per factor e of
// shrinking on each axis: fewer pixels fit by chance better. On
// match_accuracy's unrelated pairs it halved the wrong acceptances (to 1 %)
// and refused no more right ones.
inline constexpr double kShrunkSimilarity = 0.1;

// The best must beat the best other place (one overlapping it by less than a
// quarter) by this much: content that fits two places about equally, an edge,
// a smooth blob or a repeated pattern, is as likely found by chance.
inline constexpr double kDistinctMargin = 0.05;

struct TResult {
    TStatus status = TStatus::Outside;
    TMatch best;  // the best candidate, for Matched and NotConvincing
    // The best other place's score, -1 when none came near.
    double runnerUp = -1.0;
    // Refused because other places fit about as well and the other half's
    // present place did not decide between them.
    bool ambiguous = false;
};

// Searches `other` for the content of `half` in `model`. A half that reaches
// past its picture's edge is matched by its part inside, and the result
// extended past the found rectangle in proportion. `present` is where the
// other half lies now, when it has a place: among places that fit about
// equally well (repeated content) the one clearly nearest it is taken.
// Throws std::bad_alloc when memory runs out.
TResult Search(const raster::DibRecord& model, TRect half, const raster::DibRecord& other,
               std::optional<TRect> present = std::nullopt);

// The match, only when it is convincing.
std::optional<TMatch> FindArea(const raster::DibRecord& model, TRect half,
                               const raster::DibRecord& other);

// A line for the status label, e.g. "matched with 0.93 similarity".
std::string StatusText(const TResult& result);

}  // namespace match
