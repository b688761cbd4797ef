// "Match object" in the area editor without a window: which half is the
// model, what the other half becomes, the undo step and the status line.
#include <gtest/gtest.h>

#include <algorithm>

#include "editor/areaeditor.h"
#include "support/picture_host.h"
#include "support/texture.h"

namespace {

using testing_support::DrawField;
using testing_support::TBlobField;

using testing_support::TPictureHost;

// Picture 2 shows picture 1's field moved by (20, 10): an area of picture 1
// at (l, t) is found at (l + 20, t + 10) with the same size.
constexpr int kShiftX = 20;
constexpr int kShiftY = 10;

class AreaMatch : public ::testing::Test {
protected:
    void SetUp() override {
        const TBlobField field(7, 160, 120);
        host.picture[0] = DrawField(field, 160, 120);
        host.picture[1] = DrawField(field, 200, 150, 1, 1, kShiftX, kShiftY);
    }
    void Start(const TAreaPair& a) {
        *host.list.Add() = a;
        host.current = static_cast<int>(host.list.Count()) - 1;
    }
    TAreaPair Area() { return *host.list.GotoIndex(host.current); }
    // A press that changes no area: the Hand tool only scrolls.
    void PressIn(int pane) {
        editor.SetTool(TAreaTool::Hand);
        editor.Press(pane, Qt::LeftButton, 10, 10);
        editor.Release(pane, Qt::LeftButton, 10, 10);
    }

    TPictureHost host;
    TAreaEditor editor{host};
};

}  // namespace

TEST_F(AreaMatch, FoundHalfReplacesTheOtherAsOneStepThatUndoesExactly) {
    // Corners stored the other way round, as a drag leftwards leaves them.
    const TAreaPair before{79, 69, 40, 30, 150, 140, 5, 5};
    Start({1, 1, 20, 20, 0, 0, 0, 0});
    Start(before);
    const QString text = editor.MatchCurrent();
    EXPECT_TRUE(text.startsWith(QStringLiteral("matched with "))) << text.toStdString();
    const TAreaPair matched{79, 69, 40, 30, 40 + kShiftX, 30 + kShiftY, 79 + kShiftX, 69 + kShiftY};
    EXPECT_EQ(Area(), matched);
    EXPECT_EQ(*host.list.GotoIndex(0), (TAreaPair{1, 1, 20, 20, 0, 0, 0, 0}));
    ASSERT_EQ(editor.History().count(), 1);
    EXPECT_EQ(host.changes, 1);

    editor.Undo();
    EXPECT_EQ(Area(), before);
    EXPECT_EQ(host.current, 1);
    editor.Redo();
    EXPECT_EQ(Area(), matched);

    // Matching again finds the same place: nothing to undo.
    editor.MatchCurrent();
    EXPECT_EQ(editor.History().count(), 1);
    EXPECT_EQ(editor.History().index(), 1);
}

TEST_F(AreaMatch, TheModelIsTheHalfInThePaneLastPressed) {
    Start({0, 0, 30, 30, 40 + kShiftX, 30 + kShiftY, 79 + kShiftX, 69 + kShiftY});
    PressIn(1);
    ASSERT_EQ(editor.KeyPane(), 1);
    editor.MatchCurrent();
    EXPECT_EQ(Area(), (TAreaPair{40, 30, 79, 69, 60, 40, 99, 79}));

    // Back to the left pane: its half is the model again.
    Start({40, 30, 79, 69, 0, 0, 30, 30});
    PressIn(0);
    editor.MatchCurrent();
    EXPECT_EQ(Area(), (TAreaPair{40, 30, 79, 69, 60, 40, 99, 79}));
    EXPECT_EQ(editor.History().count(), 2);
}

TEST_F(AreaMatch, NothingChangesWithoutAConvincingMatchAndTheTextSaysWhy) {
    const struct {
        const char* name;
        TAreaPair area;
        bool blankPicture;
        const char* text;
    } cases[] = {
        {"tiny", {40, 30, 44, 34, 5, 5, 50, 50}, false, "the area is too small to match"},
        {"outside", {300, 300, 340, 340, 5, 5, 50, 50}, false, "the area lies outside its picture"},
        {"blank", {40, 30, 79, 69, 5, 5, 50, 50}, true, "the area is blank: nothing to match"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.blankPicture) {
            host.picture[0] = raster::newdib(160, 120, 24);
            std::fill(host.picture[0].Bits().begin(), host.picture[0].Bits().end(), 255);
        }
        Start(c.area);
        EXPECT_TRUE(editor.MatchCurrent().startsWith(QString::fromLatin1(c.text)));
        EXPECT_EQ(Area(), c.area);
    }
    EXPECT_EQ(editor.History().count(), 0);
    EXPECT_EQ(host.changes, 0);

    host.current = -1;
    EXPECT_TRUE(editor.MatchCurrent().isEmpty());
}
