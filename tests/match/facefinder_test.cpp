// What the face finder measures in the picture itself once the eyes, nose and
// mouth are placed: where the skin ends, where the lips meet and where the
// chin ends.
#include "match/facefinder.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using vision::TFeature;
using vision::TRect;

struct TColour {
    std::uint8_t r, g, b;
};

// A picture of one colour with columns [from, to) of another.
raster::DibRecord Band(int width, int height, TColour ground, TColour band, int from, int to) {
    raster::DibRecord dib = raster::newdib(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TColour c = x >= from && x < to ? band : ground;
            std::uint8_t* p = dib.Row(y) + 3 * x;
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    return dib;
}

void Row(raster::DibRecord& dib, int y, TColour c) {
    for (int x = 0; x < dib.Width(); ++x) {
        std::uint8_t* p = dib.Row(y) + 3 * x;
        p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
}

// Eyes 60 apart around x = 150 at y = 80, the nose below them, the mouth at
// y = 143.
vision::TFeatureHalves Placed() {
    vision::TFeatureHalves h;
    h[static_cast<int>(TFeature::LeftEye)] = TRect{101, 62, 139, 98};
    h[static_cast<int>(TFeature::RightEye)] = TRect{161, 62, 199, 98};
    h[static_cast<int>(TFeature::Nose)] = TRect{132, 100, 167, 129};
    h[static_cast<int>(TFeature::Mouth)] = TRect{125, 131, 174, 155};
    return h;
}

constexpr TColour kSkin{205, 150, 125};
constexpr TColour kLeaves{30, 90, 40};

}  // namespace

TEST(FaceFinder, SkinIsFollowedToTheFacesSidesInItsOwnColours) {
    // A face from x = 60 to 229 on foliage: both edges within a sample step.
    raster::DibRecord face = Band(320, 220, kLeaves, kSkin, 60, 230);
    auto sides = match::SkinSides(face, Placed());
    ASSERT_TRUE(sides);
    EXPECT_NEAR(sides->left, 60, 4);
    EXPECT_NEAR(sides->right, 229, 4);

    // Turned: the far cheek runs on to x = 20; the near side is unchanged.
    face = Band(320, 220, kLeaves, kSkin, 20, 230);
    sides = match::SkinSides(face, Placed());
    ASSERT_TRUE(sides);
    EXPECT_NEAR(sides->left, 20, 4);
    EXPECT_NEAR(sides->right, 229, 4);

    // A grey picture has no skin colour to follow, and without a nose there
    // is no skin to take it from.
    EXPECT_FALSE(
        match::SkinSides(Band(320, 220, {60, 60, 60}, {180, 180, 180}, 60, 230), Placed()));
    vision::TFeatureHalves noNose = Placed();
    noNose[static_cast<int>(TFeature::Nose)].reset();
    EXPECT_FALSE(match::SkinSides(face, noNose));
}

TEST(FaceFinder, TheLipsLineIsTheDarkestRowNearThePlacedMouth) {
    raster::DibRecord face = Band(320, 220, kLeaves, kSkin, 40, 260);
    Row(face, 150, {120, 60, 60});
    Row(face, 151, {90, 40, 40});
    auto lips = match::LipLine(face, Placed());
    ASSERT_TRUE(lips);
    EXPECT_NEAR((lips->top + lips->bottom) / 2.0, 151, 1.5);
    EXPECT_NEAR((lips->left + lips->right) / 2.0, 149.5, 1);

    // A darker line farther than a third of the eyes' distance (the chin's
    // shadow) is not the lips.
    Row(face, 185, {20, 10, 10});
    lips = match::LipLine(face, Placed());
    ASSERT_TRUE(lips);
    EXPECT_NEAR((lips->top + lips->bottom) / 2.0, 151, 1.5);
}

TEST(FaceFinder, TheChinEndsWhereThePictureDarkensBelowTheMouth) {
    // Lit skin down to row 185, the neck in shadow below it.
    raster::DibRecord face = Band(320, 220, kLeaves, kSkin, 40, 260);
    for (int y = 185; y < 220; ++y) Row(face, y, {110, 70, 60});
    // The lips' dark line just under the mouth's centre is not the chin.
    Row(face, 150, {90, 40, 40});
    auto chin = match::ChinLine(face, Placed());
    ASSERT_TRUE(chin);
    EXPECT_NEAR(*chin, 184.5, 1.5);

    // Skin of one tone has no such edge; without the
    // mouth there is nothing to look below.
    EXPECT_FALSE(match::ChinLine(Band(320, 220, kLeaves, kSkin, 40, 260), Placed()));
    vision::TFeatureHalves noMouth = Placed();
    noMouth[static_cast<int>(TFeature::Mouth)].reset();
    EXPECT_FALSE(match::ChinLine(face, noMouth));
}
