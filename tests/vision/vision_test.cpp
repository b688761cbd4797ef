// The vision module as the program loads it: it is found in the build, does
// its work through the table, and a module that cannot be loaded names the
// package to install.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "support/texture.h"
#include "vision/vision.h"

TEST(Vision, LoadsTheBuiltModuleAndMatchesThroughIt) {
    const vision::TLoaded& loaded = vision::Load();
    ASSERT_NE(loaded.module, nullptr) << loaded.message;
    EXPECT_EQ(&vision::Load(), &loaded);

    // Picture 2 is picture 1 moved by (17, 9).
    const testing_support::TBlobField field(5, 120, 90);
    const raster::DibRecord one = testing_support::DrawField(field, 120, 90);
    const raster::DibRecord two = testing_support::DrawField(field, 140, 100, 1.0, 1.0, 17, 9);
    const match::TResult r = loaded.module->search(one, {25, 15, 64, 49}, two, std::nullopt);
    ASSERT_EQ(r.status, match::TStatus::Matched) << loaded.module->statusText(r);
    EXPECT_EQ(match::Normalized(r.best.rect), (match::TRect{42, 24, 81, 58}));
}

TEST(Vision, MessageNamesThePackageOfTheMissingLibrary) {
    EXPECT_EQ(vision::MissingMessage("libopencv_objdetect.so.406: cannot open shared object file: "
                                     "No such file or directory"),
              "the picture matcher cannot be loaded (libopencv_objdetect.so.406: cannot open "
              "shared object file: No such file or directory); install the package "
              "libopencv-objdetect406");
    EXPECT_EQ(vision::MissingMessage("/x/vellora-vision.so is of another version"),
              "the picture matcher cannot be loaded (/x/vellora-vision.so is of another "
              "version); install the package libopencv-imgproc406");
}

// The face detector's bad cases: cascades it cannot read name the file, and
// pictures too small or blank find no face.
TEST(Vision, FindFaceRefusesMissingCascadesAndFindsNothingInBlankPictures) {
    const vision::TLoaded& loaded = vision::Load();
    ASSERT_NE(loaded.module, nullptr) << loaded.message;
    raster::DibRecord blank = raster::newdib(300, 200, 24);
    std::fill(blank.Bits().begin(), blank.Bits().end(), std::uint8_t{90});
    std::string error;
    vision::TFaceFound found = loaded.module->findFace(blank, "/no/such/folder", error);
    EXPECT_EQ(found.kind, vision::TFaceFound::Kind::None);
    EXPECT_EQ(error,
              "the face detector cannot read /no/such/folder/haarcascade_frontalface_alt2.xml");

    error.clear();
    found = loaded.module->findFace(blank, vision::kCascadeFolder, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(found.kind, vision::TFaceFound::Kind::None);
    const testing_support::TBlobField field(9, 47, 200);
    found = loaded.module->findFace(testing_support::DrawField(field, 47, 200),
                                    vision::kCascadeFolder, error);
    EXPECT_EQ(found.kind, vision::TFaceFound::Kind::None);
}

// A portrait turned by `degrees` about (cx, cy), the corners filled from the
// nearest edge.
raster::DibRecord Turned(const raster::DibRecord& picture, double degrees, double cx, double cy) {
    const int w = raster::DibWidth(picture), h = raster::DibHeight(picture);
    raster::DibRecord out = raster::newdib(w, h, 24);
    const double c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double fx = cx + c * (x - cx) + s * (y - cy);
            const double fy = cy - s * (x - cx) + c * (y - cy);
            raster::setpixel(out, x, y,
                             raster::PixelColor(picture, std::clamp(int(std::lround(fx)), 0, w - 1),
                                                std::clamp(int(std::lround(fy)), 0, h - 1)));
        }
    return out;
}

// A head tilted either way is found, with its eyes in the picture's order and
// the face half around the face (Debian's sample portrait, turned about the
// middle of its face; skipped where it could not be fetched).
TEST(Vision, FindFaceFindsATiltedHead) {
    const std::string portrait = VELLORA_PHOTOS "/astronaut.png";
    if (!std::filesystem::exists(portrait)) GTEST_SKIP() << "no " << portrait;
    const vision::TLoaded& loaded = vision::Load();
    ASSERT_NE(loaded.module, nullptr) << loaded.message;
    const raster::DibRecord upright = raster::OpenDib(portrait);
    ASSERT_TRUE(upright.HasPixels());
    for (const double degrees : {-25.0, 25.0}) {
        SCOPED_TRACE(degrees);
        std::string error;
        const vision::TFaceFound found = loaded.module->findFace(Turned(upright, degrees, 225, 128),
                                                                 vision::kCascadeFolder, error);
        ASSERT_EQ(found.kind, vision::TFaceFound::Kind::Person) << error;
        ASSERT_TRUE(found.leftEye && found.rightEye);
        EXPECT_LT(found.leftEye->right, found.rightEye->left);
        const auto face = vision::PlaceFeatures(found)[static_cast<int>(vision::TFeature::Face)];
        ASSERT_TRUE(face);
        EXPECT_NEAR((face->left + face->right) / 2.0, 225, 20);
        EXPECT_NEAR((face->top + face->bottom) / 2.0, 128, 25);
    }
}
