#include "vision/facepairs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace vision {

namespace {

struct TPoint {
    double x;
    double y;
};

TPoint Centre(const TRect& r) {
    return {(r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0};
}

// A half of size w x h centred on c, in whole pixels.
TRect Around(TPoint c, double w, double h) {
    auto whole = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    return {whole(c.x - w / 2), whole(c.y - h / 2), whole(c.x + w / 2) - 1, whole(c.y + h / 2) - 1};
}

double Width(const TRect& r) {
    return r.right - r.left + 1.0;
}
double Height(const TRect& r) {
    return r.bottom - r.top + 1.0;
}

// Where the detector's face box has its features, as fractions of the box:
// measured on frontal portraits (bench/find_pairs.cpp). A person's box starts
// in the hair and ends above the chin.
struct TLayout {
    double eyeX;     // left eye's centre from the box's left; the right eye mirrored
    double eyeY;     // eyes' centre from the box's top
    double grow[4];  // a cat's face half: left, top, right, bottom beyond the box
};
// A person's face half is set from the eyes instead (below).
constexpr TLayout kPerson{0.30, 0.38, {}};
// A cat's box leaves out the ears.
constexpr TLayout kCat{0.30, 0.42, {0.05, 0.18, 0.05, 0.05}};

// A person's face half is set from the eyes, in eye distances: each side
// from their middle, and up to the hairline and down to the chin. The skin's
// edges measured in the picture move a side when they lie between kSkinMin
// and kSkinMax (plus kSkinGrow for the ear's rim).
constexpr double kFaceSide = 1.15;
constexpr double kFaceTop = 0.7;
constexpr double kFaceBottom = 1.75;
constexpr double kSkinMin = 0.6;
constexpr double kSkinMax = 2.1;
constexpr double kSkinGrow = 0.05;
// The chin measured in the picture moves the face's bottom when it lies
// within this many eye distances of where the proportions put it; further
// off, it is a collar or a beard's edge.
constexpr double kChinReach = 0.25;

}  // namespace

double IoU(const TRect& a0, const TRect& b0) {
    const TRect a = match::Normalized(a0);
    const TRect b = match::Normalized(b0);
    const double iw = std::min<double>(a.right, b.right) - std::max<double>(a.left, b.left) + 1;
    const double ih = std::min<double>(a.bottom, b.bottom) - std::max<double>(a.top, b.top) + 1;
    if (iw <= 0 || ih <= 0) return 0.0;
    const double inter = iw * ih;
    return inter / (Width(a) * Height(a) + Width(b) * Height(b) - inter);
}

void SortEyes(const TRect& face, std::span<const TRect> candidates, TFaceFound& found,
              std::span<const TRect> weak) {
    const double w = Width(face);
    // Eyes lie in the upper part of the face; anything lower is a nostril or
    // a mouth corner.
    auto upper = [&](const TRect& c) {
        const double y = Centre(c).y;
        return y >= face.top && y <= face.top + 0.6 * Height(face);
    };
    // Two boxes that can be a face's two eyes: side by side at about one
    // height, a fifth to two thirds of the face apart, of like sizes. Of all
    // such pairs, the one with the most confident finds, then the most level
    // and alike.
    struct TEye {
        TRect box;
        bool sure;
    };
    std::vector<TEye> all;
    for (const TRect& c : candidates)
        if (upper(c)) all.push_back({c, true});
    for (const TRect& c : weak)
        if (upper(c)) all.push_back({c, false});
    double best = -1e9;
    for (const TEye& a : all)
        for (const TEye& b : all) {
            const TPoint pa = Centre(a.box);
            const TPoint pb = Centre(b.box);
            const double dx = pb.x - pa.x;
            if (dx < 0.2 * w || dx > 0.65 * w) continue;
            const double dy = std::abs(pb.y - pa.y);
            if (dy > 0.35 * dx) continue;
            const double ratio = std::log(Width(a.box) / Width(b.box));
            if (std::abs(ratio) > std::log(1.8)) continue;
            const double score = 10.0 * (a.sure + b.sure) - 5.0 * dy / dx - 2.0 * std::abs(ratio);
            if (score > best) {
                best = score;
                found.leftEye = a.box;
                found.rightEye = b.box;
            }
        }
    if (best >= 10.0 - 5.0) return;  // a pair with at least one confident eye
    // No pair: the largest confident find on each side of the face's middle.
    const TPoint mid = Centre(face);
    std::optional<TRect> side[2];
    for (const TRect& c : candidates) {
        if (!upper(c)) continue;
        std::optional<TRect>& s = side[Centre(c).x < mid.x ? 0 : 1];
        if (!s || Width(c) * Height(c) > Width(*s) * Height(*s)) s = c;
    }
    found.leftEye = side[0];
    found.rightEye = side[1];
}

TFeatureHalves PlaceFeatures(const TFaceFound& found) {
    TFeatureHalves halves;
    if (found.kind == TFaceFound::Kind::None) return halves;
    const bool cat = found.kind == TFaceFound::Kind::Cat;
    const TLayout& layout = cat ? kCat : kPerson;
    const TRect& f = found.face;
    const double w = Width(f);
    const double h = Height(f);

    // The eyes: found, or placed in the box; one found eye sets the other's
    // height (a tilted head).
    const TPoint guess[2] = {{f.left + layout.eyeX * w, f.top + layout.eyeY * h},
                             {f.right + 1 - layout.eyeX * w, f.top + layout.eyeY * h}};
    TPoint eye[2] = {guess[0], guess[1]};
    if (found.leftEye) eye[0] = Centre(*found.leftEye);
    if (found.rightEye) eye[1] = Centre(*found.rightEye);
    if (found.leftEye && !found.rightEye) eye[1].y = eye[0].y;
    if (found.rightEye && !found.leftEye) eye[0].y = eye[1].y;
    // Eyes closer than a fifth of the face or crossed are not a pair of eyes.
    if (eye[1].x - eye[0].x < 0.2 * w) {
        eye[0] = guess[0];
        eye[1] = guess[1];
    }
    const double dx = eye[1].x - eye[0].x;
    const double dy = eye[1].y - eye[0].y;
    const double d = std::hypot(dx, dy);
    // Down the face, at right angles to the eyes' line.
    const TPoint down{-dy / d, dx / d};
    const TPoint mid{(eye[0].x + eye[1].x) / 2, (eye[0].y + eye[1].y) / 2};
    auto below = [&](double by) {
        return TPoint{mid.x + by * d * down.x, mid.y + by * d * down.y};
    };

    TPoint mouth = below(1.05);
    if (found.mouth) {
        // A smile near where the mouth should be moves it there.
        const TPoint smile = Centre(*found.mouth);
        if (std::hypot(smile.x - mouth.x, smile.y - mouth.y) < 0.4 * d) mouth = smile;
    }
    // How long the face is, as an eye distance would be for usual
    // proportions: from the eyes-to-mouth distance, within limits.
    const double along = (mouth.x - mid.x) * down.x + (mouth.y - mid.y) * down.y;
    const double tall = std::clamp(along / 1.05, 0.8 * d, 1.3 * d);
    if (cat) {
        halves[static_cast<int>(TFeature::Face)] =
            TRect{static_cast<std::int32_t>(std::lround(f.left - layout.grow[0] * w)),
                  static_cast<std::int32_t>(std::lround(f.top - layout.grow[1] * h)),
                  static_cast<std::int32_t>(std::lround(f.right + layout.grow[2] * w)),
                  static_cast<std::int32_t>(std::lround(f.bottom + layout.grow[3] * h))};
    } else {
        // A face is about as wide as 2.3 times the eyes' distance, its
        // hairline 0.7 of it above the eyes and its chin 1.75 below; a longer
        // face shows in the eyes-to-mouth distance.
        double left = mid.x - kFaceSide * d;
        double right = mid.x + kFaceSide * d;
        if (found.sides) {
            // The skin is followed only to widen a side: shadows and hair
            // stop it early more often than the ears let it run on. A side
            // that widens is a turned face, whose other side is narrower.
            const double l = mid.x - found.sides->left;
            const double r = found.sides->right - mid.x;
            const bool wideL = l > kFaceSide * d && l <= kSkinMax * d;
            const bool wideR = r > kFaceSide * d && r <= kSkinMax * d;
            if (wideL) left = found.sides->left - kSkinGrow * d;
            if (wideR) right = found.sides->right + kSkinGrow * d;
            if (wideL != wideR) {
                if (wideL && r >= kSkinMin * d && r < kFaceSide * d)
                    right = found.sides->right + kSkinGrow * d;
                if (wideR && l >= kSkinMin * d && l < kFaceSide * d)
                    left = found.sides->left - kSkinGrow * d;
            }
        }
        std::int32_t bottom =
            static_cast<std::int32_t>(std::lround(mid.y + kFaceBottom * tall)) - 1;
        if (found.chin && std::abs(*found.chin - bottom) <= kChinReach * d) bottom = *found.chin;
        halves[static_cast<int>(TFeature::Face)] =
            TRect{static_cast<std::int32_t>(std::lround(left)),
                  static_cast<std::int32_t>(std::lround(mid.y - kFaceTop * tall)),
                  static_cast<std::int32_t>(std::lround(right)) - 1, bottom};
    }
    // Each eye with its brow above it: the half reaches 0.3 eye distances
    // above and below the eye.
    for (int side = 0; side < 2; ++side)
        halves[static_cast<int>(side == 0 ? TFeature::LeftEye : TFeature::RightEye)] =
            Around(eye[side], 0.62 * d, 0.6 * d);
    if (cat) return halves;
    halves[static_cast<int>(TFeature::Nose)] = Around(below(0.58 * tall / d), 0.6 * d, 0.5 * d);
    halves[static_cast<int>(TFeature::Mouth)] = Around(mouth, 0.85 * d, 0.42 * d);
    return halves;
}

std::vector<TNewPair> NewPairs(const TFeatureHalves& one, const TFeatureHalves& two,
                               std::span<const TAreaPair> existing) {
    std::vector<TNewPair> pairs;
    for (int i = 0; i < kFeatureCount; ++i) {
        if (!one[i] || !two[i]) continue;
        const bool there = std::any_of(existing.begin(), existing.end(), [&](const TAreaPair& a) {
            return IoU({a.Left1, a.Top1, a.Right1, a.Bottom1}, *one[i]) >= kSameFeatureIoU &&
                   IoU({a.Left2, a.Top2, a.Right2, a.Bottom2}, *two[i]) >= kSameFeatureIoU;
        });
        if (there) continue;
        pairs.push_back({static_cast<TFeature>(i),
                         TAreaPair{one[i]->left, one[i]->top, one[i]->right, one[i]->bottom,
                                   two[i]->left, two[i]->top, two[i]->right, two[i]->bottom}});
    }
    return pairs;
}

std::string FindPairsText(const TFaceFound& one, const TFaceFound& two,
                          const std::vector<TNewPair>& added) {
    const bool none1 = one.kind == TFaceFound::Kind::None;
    const bool none2 = two.kind == TFaceFound::Kind::None;
    if (none1 && none2) return "no face found in pictures 1 and 2";
    if (none1) return "no face found in picture 1";
    if (none2) return "no face found in picture 2";
    if (added.empty()) return "the pairs for the faces found are already there";
    static const char* const kNames[kFeatureCount] = {"face", "left eye", "right eye", "nose",
                                                      "mouth"};
    std::string text =
        added.size() == 1 ? "added 1 pair: " : "added " + std::to_string(added.size()) + " pairs: ";
    for (std::size_t i = 0; i < added.size(); ++i) {
        if (i > 0) text += ", ";
        text += kNames[static_cast<int>(added[i].feature)];
    }
    return text;
}

}  // namespace vision
