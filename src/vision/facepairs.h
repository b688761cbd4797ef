// "Find pairs": the area pairs a person would draw for two faces, placed from
// what the face detector found in each picture (the vision module) by plain
// geometry. No OpenCV here: the detector's findings come in as boxes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/areapair.h"
#include "match/match.h"

namespace vision {

using match::TRect;  // right and bottom inclusive, normalised

// What the detector found in one picture, in its pixels. Left and right are
// the picture's: leftEye is the eye nearer the picture's left edge.
struct TFaceFound {
    enum class Kind { None, Person, Cat } kind = Kind::None;
    TRect face;  // the detector's face box
    std::optional<TRect> leftEye;
    std::optional<TRect> rightEye;
    std::optional<TRect> mouth;  // a smile found in the lower face
    // Where the skin ends on either side at the height of the cheeks and
    // ears, measured in the picture itself (a turned face is not centred on
    // its eyes).
    struct TSides {
        std::int32_t left;
        std::int32_t right;
    };
    std::optional<TSides> sides;
    // The chin's lower edge, where the lit chin meets the shadow below it,
    // measured in the picture; trusted only near where the face's
    // proportions put the chin.
    std::optional<std::int32_t> chin;
};

// The features a pair is made for, in the order the pairs are added.
enum class TFeature { Face, LeftEye, RightEye, Nose, Mouth };
inline constexpr int kFeatureCount = 5;

// The halves of one picture's features; a cat has no nose or mouth half.
using TFeatureHalves = std::array<std::optional<TRect>, kFeatureCount>;

// The halves a person would draw: the whole face (forehead to chin, ear to
// ear) grown from the detector's box, each eye with its brow, the nose and
// the mouth. Eyes and mouth the detector missed are placed from the face
// box; the nose always is, below the eyes' line. Empty for Kind::None.
TFeatureHalves PlaceFeatures(const TFaceFound& found);

// Intersection over union of two rectangles (0 when either is empty).
double IoU(const TRect& a, const TRect& b);

// A pair is already there for a feature when an existing pair's halves
// overlap the feature's halves by at least this much in both pictures.
inline constexpr double kSameFeatureIoU = 0.5;

struct TNewPair {
    TFeature feature;
    TAreaPair area;
};

// The pairs to add, in feature order: each feature placed in both pictures
// whose pair is not already among `existing`.
std::vector<TNewPair> NewPairs(const TFeatureHalves& one, const TFeatureHalves& two,
                               std::span<const TAreaPair> existing);

// The status line after Find pairs: "no face found in picture 2", "added 5
// pairs: face, left eye, right eye, nose, mouth", ...
std::string FindPairsText(const TFaceFound& one, const TFaceFound& two,
                          const std::vector<TNewPair>& added);

// The detector's eye boxes as the picture's left and right eye: the pair of
// boxes in the upper face that can be two eyes (side by side, like sizes),
// preferring `candidates` (confident finds) over `weak` ones (found with less
// evidence); without such a pair, the largest candidate on each side of the
// face's middle.
void SortEyes(const TRect& face, std::span<const TRect> candidates, TFaceFound& found,
              std::span<const TRect> weak = {});

}  // namespace vision
