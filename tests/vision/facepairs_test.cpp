// Find pairs' geometry without a detector: where the halves go for a face
// box and its eyes, which eye is which, and which pairs are already there.
#include <gtest/gtest.h>

#include <cmath>

#include "vision/facepairs.h"

namespace {

using vision::TFaceFound;
using vision::TFeature;
using vision::TRect;

TFaceFound Person(TRect face) {
    TFaceFound f;
    f.kind = TFaceFound::Kind::Person;
    f.face = face;
    return f;
}

double CentreX(const TRect& r) {
    return (r.left + r.right) / 2.0;
}
double CentreY(const TRect& r) {
    return (r.top + r.bottom) / 2.0;
}

const TRect& Half(const vision::TFeatureHalves& h, TFeature f) {
    return *h[static_cast<int>(f)];
}

}  // namespace

TEST(FacePairs, FeaturesFollowTheEyesLineAndFillWhatTheDetectorMissed) {
    // Only the face box: eyes, nose and mouth from its proportions, top to
    // bottom in that order; the face half centred on the eyes, from the
    // hairline (the detector's box starts in the hair) down past the box to
    // the chin.
    TFaceFound found = Person({100, 100, 299, 299});
    vision::TFeatureHalves h = vision::PlaceFeatures(found);
    for (const auto& half : h) ASSERT_TRUE(half);
    const TRect& face = Half(h, TFeature::Face);
    EXPECT_NEAR(CentreX(face), 200, 1);
    EXPECT_GT(face.top, 100);
    EXPECT_GT(face.bottom, 299);
    EXPECT_GT(face.bottom - face.top, face.right - face.left);
    EXPECT_LT(CentreX(Half(h, TFeature::LeftEye)), 200);
    EXPECT_GT(CentreX(Half(h, TFeature::RightEye)), 200);
    EXPECT_LT(CentreY(Half(h, TFeature::LeftEye)), CentreY(Half(h, TFeature::Nose)));
    EXPECT_LT(CentreY(Half(h, TFeature::Nose)), CentreY(Half(h, TFeature::Mouth)));
    EXPECT_NEAR(CentreX(Half(h, TFeature::Nose)), 200, 1);

    // Found eyes on a tilted line (the right eye 20 px lower): the nose and
    // mouth move off the box's middle along the line's perpendicular, to the
    // left, and the eye halves are centred on the eyes, reaching up to the brows.
    found.leftEye = TRect{140, 160, 179, 199};   // centre (159.5, 179.5)
    found.rightEye = TRect{220, 180, 259, 219};  // centre (239.5, 199.5)
    h = vision::PlaceFeatures(found);
    EXPECT_NEAR(CentreX(Half(h, TFeature::LeftEye)), 159.5, 1);
    EXPECT_NEAR(CentreY(Half(h, TFeature::LeftEye)), 179.5, 1);
    EXPECT_LT(Half(h, TFeature::LeftEye).top, 179.5 - 0.25 * std::hypot(80, 20));
    const double d = std::hypot(80, 20);
    EXPECT_NEAR(CentreX(Half(h, TFeature::Mouth)), 199.5 - 20 / d * 1.05 * d, 1.5);
    EXPECT_NEAR(CentreY(Half(h, TFeature::Mouth)), 189.5 + 80 / d * 1.05 * d, 1.5);

    // One eye found: the other mirrored at the same height.
    found.rightEye.reset();
    h = vision::PlaceFeatures(found);
    EXPECT_NEAR(CentreY(Half(h, TFeature::RightEye)), CentreY(Half(h, TFeature::LeftEye)), 1);

    // A cat: face and eyes, no nose or mouth; nothing at all without a face.
    found.kind = TFaceFound::Kind::Cat;
    h = vision::PlaceFeatures(found);
    EXPECT_TRUE(h[static_cast<int>(TFeature::RightEye)]);
    EXPECT_FALSE(h[static_cast<int>(TFeature::Nose)]);
    EXPECT_FALSE(h[static_cast<int>(TFeature::Mouth)]);
    found.kind = TFaceFound::Kind::None;
    for (const auto& half : vision::PlaceFeatures(found)) EXPECT_FALSE(half);
}

TEST(FacePairs, TheFaceHalfFollowsTheSkinOfATurnedFaceAndTheLengthOfALongOne) {
    // Eyes 80 apart, a smile 84 below them: a face of usual proportions.
    TFaceFound found = Person({100, 100, 299, 299});
    found.leftEye = TRect{140, 160, 179, 199};
    found.rightEye = TRect{220, 160, 259, 199};
    found.mouth = TRect{170, 254, 229, 273};  // centre (199.5, 263.5)
    const TRect plain = Half(vision::PlaceFeatures(found), TFeature::Face);
    EXPECT_NEAR(plain.right - plain.left + 1, 2.3 * 80, 2);
    EXPECT_NEAR(CentreX(plain), 199.5, 1);

    // Shadow or hair stops the skin short of the default sides on both:
    // a frontal face is not narrowed.
    found.sides = TFaceFound::TSides{140, 260};
    EXPECT_EQ(Half(vision::PlaceFeatures(found), TFeature::Face), plain);

    // Turned: skin runs 150 px to the left (the far cheek and ear) and only
    // 70 to the right. The half reaches both, not the eyes' symmetry.
    found.sides = TFaceFound::TSides{50, 270};
    TRect turned = Half(vision::PlaceFeatures(found), TFeature::Face);
    EXPECT_NEAR(turned.left, 50 - 4, 1);
    EXPECT_NEAR(turned.right, 270 + 4, 1);
    // Skin running past two eye distances is a neck, a hand or a wall.
    found.sides = TFaceFound::TSides{-100, 270};
    EXPECT_EQ(Half(vision::PlaceFeatures(found), TFeature::Face), plain);
    found.sides.reset();

    // The same eyes with the mouth a fifth lower (a longer face): the half
    // and the nose reach lower in proportion.
    found.mouth = TRect{170, 271, 229, 290};
    const vision::TFeatureHalves longer = vision::PlaceFeatures(found);
    EXPECT_NEAR(Half(longer, TFeature::Face).bottom - plain.bottom, 0.2 * 1.75 * 80, 3);
    const vision::TFeatureHalves usual = [&] {
        TFaceFound f = found;
        f.mouth = TRect{170, 254, 229, 273};
        return vision::PlaceFeatures(f);
    }();
    EXPECT_GT(CentreY(Half(longer, TFeature::Nose)), CentreY(Half(usual, TFeature::Nose)) + 5);

    // The chin's edge seen in the picture ends the half when it is near where
    // the proportions put the chin; far below it is a collar.
    found.mouth = TRect{170, 254, 229, 273};
    found.chin = plain.bottom - 15;
    EXPECT_EQ(Half(vision::PlaceFeatures(found), TFeature::Face).bottom, plain.bottom - 15);
    EXPECT_EQ(Half(vision::PlaceFeatures(found), TFeature::Face).top, plain.top);
    found.chin = plain.bottom + 40;
    EXPECT_EQ(Half(vision::PlaceFeatures(found), TFeature::Face), plain);
}

TEST(FacePairs, EyesAreThePicturesLeftAndRightAndOnlyInTheUpperFace) {
    TFaceFound found = Person({0, 0, 199, 199});
    // Given right to left, with a small box on the left, a nostril below and
    // a larger box on the left that wins.
    const TRect candidates[] = {
        {120, 50, 159, 89}, {40, 60, 59, 79}, {90, 150, 109, 169}, {30, 50, 69, 89}};
    vision::SortEyes(found.face, candidates, found);
    ASSERT_TRUE(found.leftEye && found.rightEye);
    EXPECT_EQ(*found.leftEye, (TRect{30, 50, 69, 89}));
    EXPECT_EQ(*found.rightEye, (TRect{120, 50, 159, 89}));
    const TRect low[] = {{90, 150, 109, 169}};
    vision::SortEyes(found.face, low, found);
    EXPECT_FALSE(found.leftEye || found.rightEye);

    // Two confident boxes on one eye (behind glasses) and a doubtful find of
    // its partner: the pair is the one that can be two eyes, not the two
    // boxes side by side on the same eye.
    const TRect sure[] = {{118, 60, 139, 81}, {112, 56, 141, 85}};
    const TRect weak[] = {{40, 58, 63, 81}, {90, 140, 105, 155}};
    vision::SortEyes(found.face, sure, found, weak);
    ASSERT_TRUE(found.leftEye && found.rightEye);
    EXPECT_EQ(*found.leftEye, weak[0]);
    EXPECT_EQ(found.rightEye->left / 10, 11);
}

TEST(FacePairs, PairsAreMadeOnlyForFeaturesInBothAndNotTwice) {
    EXPECT_DOUBLE_EQ(vision::IoU({0, 0, 9, 9}, {5, 0, 14, 9}), 50.0 / 150.0);
    EXPECT_DOUBLE_EQ(vision::IoU({9, 9, 0, 0}, {0, 0, 9, 9}), 1.0);
    EXPECT_DOUBLE_EQ(vision::IoU({0, 0, 9, 9}, {20, 20, 29, 29}), 0.0);

    const TFaceFound person = Person({100, 100, 299, 299});
    TFaceFound cat;
    cat.kind = TFaceFound::Kind::Cat;
    cat.face = {50, 60, 249, 259};
    const vision::TFeatureHalves one = vision::PlaceFeatures(person);
    const vision::TFeatureHalves two = vision::PlaceFeatures(cat);
    std::vector<vision::TNewPair> pairs = vision::NewPairs(one, two, {});
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[1].feature, TFeature::LeftEye);
    const TRect& eye1 = Half(one, TFeature::LeftEye);
    const TRect& eye2 = Half(two, TFeature::LeftEye);
    EXPECT_EQ(pairs[1].area, (TAreaPair{eye1.left, eye1.top, eye1.right, eye1.bottom, eye2.left,
                                        eye2.top, eye2.right, eye2.bottom}));
    EXPECT_EQ(vision::FindPairsText(person, cat, pairs),
              "added 3 pairs: face, left eye, right eye");

    // A hand-drawn left eye pair (moved a little, drawn right to left) is
    // kept; one that matches in picture 1 only is not the same pair.
    const std::vector<TAreaPair> existing = {
        {eye1.right + 2, eye1.top + 2, eye1.left + 2, eye1.bottom + 2, eye2.left, eye2.top,
         eye2.right, eye2.bottom},
        {eye1.left, eye1.top, eye1.right, eye1.bottom, 0, 0, 10, 10}};
    pairs = vision::NewPairs(one, two, existing);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].feature, TFeature::Face);
    EXPECT_EQ(pairs[1].feature, TFeature::RightEye);

    const vision::TFeatureHalves same = vision::PlaceFeatures(person);
    pairs = vision::NewPairs(one, same, {});
    EXPECT_EQ(pairs.size(), 5u);
    std::vector<TAreaPair> all;
    for (const auto& p : pairs) all.push_back(p.area);
    EXPECT_TRUE(vision::NewPairs(one, same, all).empty());
    EXPECT_EQ(vision::FindPairsText(person, person, {}),
              "the pairs for the faces found are already there");
    EXPECT_EQ(vision::FindPairsText(person, TFaceFound{}, {}), "no face found in picture 2");
    EXPECT_EQ(vision::FindPairsText(TFaceFound{}, TFaceFound{}, {}),
              "no face found in pictures 1 and 2");
}
