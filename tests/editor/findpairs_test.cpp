// "Find pairs" in the area editor without a window: the pairs for two
// portraits come as one undo step, pressing it again adds nothing, and a
// picture without a face changes nothing and says so. The portrait is
// Debian's sample photograph (scripts/fetch-sample-photos.sh, into the build
// tree); without it the portrait cases are skipped.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <algorithm>

#include "editor/areaeditor.h"
#include "raster/opendib.h"
#include "support/picture_host.h"

namespace {

using testing_support::TPictureHost;

raster::DibRecord Plain(int width, int height) {
    raster::DibRecord dib = raster::newdib(width, height, 24);
    std::fill(dib.Bits().begin(), dib.Bits().end(), std::uint8_t{200});
    return dib;
}

const QString kPortrait = QStringLiteral(VELLORA_PHOTOS "/astronaut.png");

}  // namespace

TEST(FindPairs, TwoPortraitsGetTheirPairsInOneStep) {
    if (!QFile::exists(kPortrait)) GTEST_SKIP() << "no " << kPortrait.toStdString();
    TPictureHost host;
    TAreaEditor editor(host);
    host.picture[0] = raster::OpenDib(kPortrait.toStdString());
    // The same face mirrored and larger.
    QImage two(kPortrait);
    two = two.mirrored(true, false).scaled(660, 660).convertToFormat(QImage::Format_RGB888);
    const QString twoFile = QStringLiteral(VELLORA_TEST_OUT "/findpairs_two.png");
    ASSERT_TRUE(two.save(twoFile));
    host.picture[1] = raster::OpenDib(twoFile.toStdString());
    // A pair drawn by hand before, current.
    *host.list.Add() = {10, 10, 40, 40, 10, 10, 40, 40};
    host.current = 0;

    editor.Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(host.status, QStringLiteral("added 5 pairs: face, left eye, right eye, nose, mouth"));
    ASSERT_EQ(host.list.Count(), 6u);
    EXPECT_EQ(host.current, 0);
    // Picture 1's left eye (nearer its left edge) pairs with picture 2's.
    const TAreaPair eyes[2] = {*host.list.GotoIndex(2), *host.list.GotoIndex(3)};
    EXPECT_LT(eyes[0].Left1, eyes[1].Left1);
    EXPECT_LT(eyes[0].Left2, eyes[1].Left2);

    editor.FindPairs();
    EXPECT_EQ(host.status, QStringLiteral("the pairs for the faces found are already there"));
    EXPECT_EQ(host.list.Count(), 6u);

    editor.Undo();
    ASSERT_EQ(host.list.Count(), 1u);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{10, 10, 40, 40, 10, 10, 40, 40}));
    editor.Redo();
    EXPECT_EQ(host.list.Count(), 6u);
}

TEST(FindPairs, PicturesWithoutAFaceChangeNothing) {
    TPictureHost host;
    TAreaEditor editor(host);
    // Blank, and smaller than a face can be.
    host.picture[0] = Plain(400, 300);
    host.picture[1] = Plain(40, 30);
    editor.FindPairs();
    EXPECT_EQ(host.status, QStringLiteral("no face found in pictures 1 and 2"));
    EXPECT_EQ(host.list.Count(), 0u);
    EXPECT_FALSE(editor.History().canUndo());
    if (!QFile::exists(kPortrait)) return;
    host.picture[0] = raster::OpenDib(kPortrait.toStdString());
    editor.FindPairs();
    EXPECT_EQ(host.status, QStringLiteral("no face found in picture 2"));
    EXPECT_EQ(host.list.Count(), 0u);
}
