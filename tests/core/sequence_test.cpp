// Sequences: the frame arithmetic of joins and holds, the sequence file's
// lines, and the comparison of pictures by their pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/sequence.h"
#include "core/sequencefile.h"
#include "support/test_files.h"

namespace {

using core::TFramePlace;
using core::TSegmentFrames;

TEST(SequenceFrames, JoinsAndHoldsPlaceEveryFrame) {
    // Three segments of 4 pictures; the second and third share their first.
    const std::vector<TSegmentFrames> shared{{4, 0, false}, {4, 0, true}, {4, 0, true}};
    EXPECT_EQ(core::SequenceFrameCount(shared), 10);
    std::vector<TFramePlace> places;
    for (int i = 0; i < 10; ++i) places.push_back(core::LocateFrame(shared, i));
    const std::vector<TFramePlace> expected{{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2},
                                            {1, 3}, {1, 4}, {2, 2}, {2, 3}, {2, 4}};
    EXPECT_EQ(places, expected);
    // Past the end stays on the last picture.
    EXPECT_EQ(core::LocateFrame(shared, 99), (TFramePlace{2, 4}));

    // Holds of 1: a shared join leaves out the first held frame only.
    const std::vector<TSegmentFrames> held{{3, 1, false}, {2, 1, true}};
    EXPECT_EQ(core::SequenceFrameCount(held), 5 + 3);
    places.clear();
    for (int i = 0; i < 8; ++i) places.push_back(core::LocateFrame(held, i));
    EXPECT_EQ(places, (std::vector<TFramePlace>{
                          {0, 1}, {0, 1}, {0, 2}, {0, 3}, {0, 3}, {1, 1}, {1, 2}, {1, 2}}));
}

TEST(SequenceFile, LinesNamesSettingsAndComments) {
    const std::filesystem::path file = "/data/seq/faces.morseq";
    const core::TSequenceRead read = core::ParseSequenceText(
        "# header\r\n"
        "  a.mor\r\n"
        "my faces/b c.mor length=2.5 timing=ease-out   # with spaces\n"
        "/abs/d.mor hold=3\n"
        "x#y.mor\n",
        file);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.items.size(), 4u);
    EXPECT_EQ(read.items[0].project, "/data/seq/a.mor");
    EXPECT_EQ(read.items[0].origin, "faces.morseq, line 2");
    EXPECT_EQ(read.items[1].project, "/data/seq/my faces/b c.mor");
    EXPECT_EQ(read.items[1].settings.length, 2.5);
    EXPECT_EQ(read.items[1].settings.timing, core::TTiming::EaseOut);
    EXPECT_FALSE(read.items[1].settings.hold);
    EXPECT_EQ(read.items[2].project, "/abs/d.mor");
    EXPECT_EQ(read.items[2].settings.hold, 3);
    EXPECT_EQ(read.items[3].project, "/data/seq/x#y.mor");

    EXPECT_EQ(core::ParseSequenceText("a.mor\nb.mor hold=x\n", file).error,
              "faces.morseq, line 2: hold must be a whole number from 0 to 100, not 'x'");
    EXPECT_EQ(core::ParseSequenceText("length=3\n", file).error,
              "faces.morseq, line 1: no project is named before length=3");
    EXPECT_EQ(core::ParseSequenceText("  # nothing\n", file).error,
              "faces.morseq names no project");
}

TEST(SequenceFile, NestedFilesPassTheirSettingsOnAndTextRoundTrips) {
    const QString dir = testing_support::OutDir(QStringLiteral("sequence_file"));
    const std::filesystem::path folder = dir.toStdString();
    std::filesystem::create_directories(folder / "sub");
    std::ofstream(folder / "sub" / "inner.morseq") << "b.mor\nc.mor hold=1\n";
    std::ofstream(folder / "outer.morseq") << "a.mor\nsub/inner.morseq hold=4 length=2\n";
    const core::TSequenceRead read = core::ReadSequenceFile(folder / "outer.morseq");
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.items.size(), 3u);
    EXPECT_EQ(read.items[1].project, (folder / "sub" / "b.mor").string());
    EXPECT_EQ(read.items[1].settings.hold, 4);
    EXPECT_EQ(read.items[1].settings.length, 2.0);
    EXPECT_EQ(read.items[2].settings.hold, 1);
    EXPECT_EQ(read.items[2].origin, "inner.morseq, line 2");

    // Written back beside the first file, then read again: the same items.
    const std::string text = core::SequenceFileText(read.items, folder / "copy.morseq");
    EXPECT_NE(text.find("sub/c.mor length=2 hold=1\n"), std::string::npos) << text;
    const core::TSequenceRead again = core::ParseSequenceText(text, folder / "copy.morseq");
    ASSERT_TRUE(again.ok());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.items[i].project, read.items[i].project);
        EXPECT_EQ(again.items[i].settings, read.items[i].settings);
    }

    // A loop through another file.
    std::ofstream(folder / "sub" / "inner.morseq") << "../outer.morseq\n";
    const core::TSequenceRead loop = core::ReadSequenceFile(folder / "outer.morseq");
    EXPECT_EQ(loop.error, "inner.morseq, line 1: the sequence outer.morseq names itself (a loop)");
}

TEST(SequencePictures, SamePixelsWhateverTheDepth) {
    raster::DibRecord pal = raster::newdib(3, 2, 8);
    pal.Palette()[5] = {10, 20, 30};
    raster::DibRecord direct = raster::newdib(3, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            raster::setpixel(pal, x, y, 5);
            raster::setpixel(direct, x, y, raster::PixelColor(pal, x, y));
        }
    EXPECT_TRUE(core::SamePixels(pal, direct));
    raster::setpixel(direct, 2, 1, 0);
    EXPECT_FALSE(core::SamePixels(pal, direct));
    EXPECT_FALSE(core::SamePixels(direct, raster::newdib(3, 3, 24)));
}

}  // namespace
