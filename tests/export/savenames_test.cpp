// What the window's two save commands write for a typed name and a chosen type.
#include <gtest/gtest.h>

#include "export/savenames.h"

using exporting::PictureFormat;
using exporting::SequenceTargetFor;
using exporting::TSequenceTarget;
using exporting::VideoCodec;

namespace {

constexpr int kAvi = 1, kMp4 = 2, kWebM = 3, kGif = 4, kNumbered = 5;

TSequenceTarget Video(const char* name, VideoCodec codec) {
    return {QString::fromUtf8(name), false, codec, PictureFormat::Png};
}
TSequenceTarget Series(const char* name, PictureFormat format) {
    return {QString::fromUtf8(name), true, VideoCodec::MotionJpeg, format};
}

}  // namespace

TEST(SequenceTarget, TheTypedExtensionDecidesAndTheTypeOnlySuppliesAMissingOne) {
    // A typed kind wins over any chosen type, in any letter case.
    for (int type : {kAvi, kMp4, kWebM, kGif, kNumbered}) {
        EXPECT_EQ(SequenceTargetFor("/v/x.webm", type, 25), Video("/v/x.webm", VideoCodec::Vp9));
        EXPECT_EQ(SequenceTargetFor("/v/x.MP4", type, 25), Video("/v/x.MP4", VideoCodec::H264));
        EXPECT_EQ(SequenceTargetFor("/v/x.gif", type, 25), Video("/v/x.gif", VideoCodec::Gif));
        EXPECT_EQ(SequenceTargetFor("/v/x.Avi", type, 25),
                  Video("/v/x.Avi", VideoCodec::MotionJpeg));
        EXPECT_EQ(SequenceTargetFor("/v/x.jpg", type, 25),
                  Series("/v/x_%04d.jpg", PictureFormat::Jpeg));
    }
    // No extension of a known kind: the chosen type's is added.
    EXPECT_EQ(SequenceTargetFor("/v/x", kAvi, 25), Video("/v/x.avi", VideoCodec::MotionJpeg));
    EXPECT_EQ(SequenceTargetFor("/v/x", kMp4, 25), Video("/v/x.mp4", VideoCodec::H264));
    EXPECT_EQ(SequenceTargetFor("/v/my.clip", kWebM, 25),
              Video("/v/my.clip.webm", VideoCodec::Vp9));
    EXPECT_EQ(SequenceTargetFor("/v.d/x", kGif, 25), Video("/v.d/x.gif", VideoCodec::Gif));
    EXPECT_EQ(SequenceTargetFor("/v/x", 0, 25), Video("/v/x.avi", VideoCodec::MotionJpeg));
    // Numbers only for numbered pictures; a pattern typed is kept; more
    // pictures than four digits hold get more digits.
    EXPECT_EQ(SequenceTargetFor("/v/x", kNumbered, 25),
              Series("/v/x_%04d.png", PictureFormat::Png));
    EXPECT_EQ(SequenceTargetFor("/v/f%03d.TIF", kAvi, 25),
              Series("/v/f%03d.TIF", PictureFormat::Tiff));
    EXPECT_EQ(SequenceTargetFor("/v/x.bmp", kNumbered, 123456),
              Series("/v/x_%06d.bmp", PictureFormat::Bmp));
    EXPECT_EQ(SequenceTargetFor("/v/100%", kNumbered, 5).name, "/v/100%.png");
}

TEST(PictureTarget, KnownExtensionsDecideMissingOnesComeFromTheTypeOthersAreRefused) {
    const exporting::TPictureTarget png = exporting::PictureTargetFor("/p/a.PNG", 3 /*BMP*/);
    EXPECT_EQ(png.name, "/p/a.PNG");
    EXPECT_EQ(png.format, PictureFormat::Png);
    EXPECT_EQ(exporting::PictureTargetFor("/p/a", 1).name, "/p/a.bmp");
    EXPECT_EQ(exporting::PictureTargetFor("/p/a", 3).name, "/p/a.png");
    EXPECT_EQ(exporting::PictureTargetFor("/p/a", 4).format, PictureFormat::Jpeg);
    EXPECT_EQ(exporting::PictureTargetFor("/p/.hidden", 5).name, "/p/.hidden.tif");

    const exporting::TPictureTarget webp = exporting::PictureTargetFor("/p/name.webp", 1);
    EXPECT_TRUE(webp.name.isEmpty());
    EXPECT_TRUE(webp.refusal.contains(QStringLiteral(".webp")));
    EXPECT_FALSE(exporting::PictureTargetFor("/p/x.avi", 3).refusal.isEmpty());
}
