// The area editor on the "Similar areas" page, driven through the real panes
// with mouse and key events: painting, the four tools, the cursors, the
// object buttons, the keys, the undo buttons and the position label.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <cstring>

#include <gtest/gtest.h>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/zoompane.h"
#include "editor/areaeditor.h"
#include "support/test_support.h"

namespace {

raster::DibRecord Picture(int w, int h, std::uint8_t grey) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y) std::memset(dib.Row(y), grey, static_cast<std::size_t>(w) * 3);
    return dib;
}

class AreaEditor : public ::testing::Test {
protected:
    void SetUp() override { Prepare(320, 200, 640, 400); }

    void Prepare(int w1, int h1, int w2, int h2, std::uint8_t grey = 255) {
        form().SetPictures(Picture(w1, h1, grey), Picture(w2, h2, grey));
        form().resize(1400, 900);
        form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
        form().PageControl2->setCurrentIndex(1);
        form().PaintBox3Paint();
        form().PaintBox4Paint();
        QApplication::processEvents();
    }

    TMainForm& form() { return *f_.form; }
    TPaintBox* box(int pane) { return pane == 0 ? form().PaintBox3 : form().PaintBox4; }

    void Press(int pane, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(box(pane), b, Qt::NoModifier, p);
        held_ = b;
    }
    // While a button is held QTest sends the move straight to the box, as the
    // captured mouse delivers it (also outside the box); otherwise it is a
    // plain hover.
    void Move(int pane, QPoint p) {
        if (held_ != Qt::NoButton) {
            QTest::mouseMove(box(pane), p);
            return;
        }
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(box(pane)->mapToGlobal(p)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(box(pane), &e);
    }
    void Release(int pane, QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(box(pane), b, Qt::NoModifier, p);
        held_ = Qt::NoButton;
    }
    void Drag(int pane, QPoint from, QPoint to) {
        Press(pane, from);
        Move(pane, to);
        Release(pane, to);
    }

    void AddArea(const TAreaPair& a) { testing_support::AddArea(form(), a); }
    TAreaPair Area(int i) { return form().Areas().Data()[i]; }
    // Delete and Match follow the current area; Previous and Next are on
    // whenever there are areas.
    bool ButtonsEnabled() {
        const bool on = form().DelObjBtn->isEnabled();
        EXPECT_EQ(form().MatchBtn->isEnabled(), on);
        for (TBitBtnXP* b : {form().PrevBtn, form().NextBtn})
            EXPECT_EQ(b->isEnabled(), form().Areas().Count() > 0) << b->objectName().toStdString();
        return on;
    }
    QImage Shown(int pane) {
        return box(pane)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    testing_support::FormFixture f_ = testing_support::MakeForm();
    Qt::MouseButton held_ = Qt::NoButton;
};

}  // namespace

TEST_F(AreaEditor, CurrentAreaIsASolidContrastingOutlineWithGripsOthersAreDotted) {
    for (std::uint8_t grey : {std::uint8_t{255}, std::uint8_t{0}}) {
        SCOPED_TRACE(grey);
        Prepare(320, 200, 320, 200, grey);
        form().SetAreas({});
        AddArea({10, 20, 39, 49, 10, 20, 39, 49});
        form().SetCurrentArea(0);
        form().PaintBox3Paint();
        form().PaintBox4Paint();
        const QRgb bg = grey ? 0xFFFFFFFFu : 0xFF000000u;
        const QRgb inv = grey ? 0xFF000000u : 0xFFFFFFFFu;

        QImage expected(320, 200, QImage::Format_RGB32);
        expected.fill(bg);
        for (int x = 10; x <= 39; ++x) expected.setPixel(x, 20, inv), expected.setPixel(x, 49, inv);
        for (int y = 20; y <= 49; ++y) expected.setPixel(10, y, inv), expected.setPixel(39, y, inv);
        // Grips black on white, white on black.
        const QPoint centres[] = {{10, 20}, {40, 20}, {10, 50}, {40, 50},
                                  {25, 20}, {25, 50}, {10, 35}, {40, 35}};
        for (QPoint c : centres) {
            for (int y = c.y() - 3; y <= c.y() + 2; ++y) {
                for (int x = c.x() - 3; x <= c.x() + 2; ++x) expected.setPixel(x, y, inv);
            }
        }
        for (int pane : {0, 1}) {
            const QImage shown = Shown(pane);
            if (shown != expected)
                testing_support::SaveFailure(QStringLiteral("areas-current"), shown, expected);
            EXPECT_TRUE(shown == expected) << "pane " << pane;
        }

        // Not current: dotted over 10..28 x 20..38 only, every other pixel.
        form().SetAreas({});
        AddArea({10, 20, 29, 39, 10, 20, 29, 39});
        form().SetCurrentArea(-1);
        form().PaintBox3Paint();
        const QImage dotted = Shown(0);
        int inverted = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 320; ++x) {
                if (dotted.pixel(x, y) == bg) continue;
                ++inverted;
                EXPECT_EQ(dotted.pixel(x, y), inv);
                EXPECT_TRUE((x == 10 || x == 28) ? (y >= 20 && y <= 38)
                                                 : (y == 20 || y == 38) && x > 10 && x < 28)
                    << x << "," << y;
            }
        }
        EXPECT_EQ(inverted, 36);  // 72 perimeter pixels, one in two
        EXPECT_EQ(dotted.pixel(10, 20), inv);
        EXPECT_EQ(dotted.pixel(11, 20), bg);
    }
}

TEST_F(AreaEditor, PaneSizeFollowsTheZoomAndEachPaneShowsItsOwnHalf) {
    form().Zoom3Ed->SetValue(50);
    EXPECT_EQ(form().PaintBox3->size(), QSize(160, 100));
    form().Zoom3Ed->SetValue(300);
    EXPECT_EQ(form().PaintBox3->size(), QSize(960, 600));
    form().Zoom3Ed->SetValue(100);
    AddArea({0, 0, 9, 9, 100, 100, 109, 109});
    QApplication::processEvents();
    EXPECT_EQ(Shown(0).pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(Shown(0).pixel(100, 100), 0xFFFFFFFFu);
    EXPECT_EQ(Shown(1).pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Shown(1).pixel(100, 100), 0xFF000000u);
}

TEST_F(AreaEditor, AreaToolCreatesByClickAndByDragInEitherDirection) {
    EXPECT_FALSE(form().DelObjBtn->isEnabled());
    Press(0, {40, 30});
    EXPECT_EQ(form().Editor().Grip(), 1);
    Release(0, {40, 30});
    ASSERT_EQ(form().Areas().Count(), 1u);
    EXPECT_EQ(Area(0), (TAreaPair{40, 30, 90, 80, 80, 60, 180, 160}));
    EXPECT_EQ(form().CurrentArea(), 0);
    EXPECT_EQ(form().Editor().Grip(), 0);
    EXPECT_TRUE(ButtonsEnabled());

    Drag(0, {100, 100}, {60, 70});
    EXPECT_EQ(form().CurrentArea(), 1);
    const TAreaPair leftwards = Area(1);
    EXPECT_EQ(leftwards.Left1, 100);
    EXPECT_EQ(leftwards.Right1, 60);
    EXPECT_EQ(leftwards.Top1, 100);
    EXPECT_EQ(leftwards.Bottom1, 70);

    // Zoom 200 in the own pane maps both halves; the other pane's zoom
    // plays no part.
    form().Zoom3Ed->SetValue(200);
    form().Zoom4Ed->SetValue(50);
    Drag(0, {20, 20}, {120, 80});
    EXPECT_EQ(Area(2), (TAreaPair{10, 10, 60, 40, 20, 20, 120, 80}));

    // Created in the right pane: the left half is the "other" one. A release
    // in the same column moves the end one column on.
    Press(1, {200, 100});
    Move(1, {200, 300});
    EXPECT_EQ(Area(3).Bottom2, 600);
    Release(1, {200, 300});
    EXPECT_EQ(Area(3), (TAreaPair{200, 100, 200, 300, 400, 200, 402, 600}));
    // Moves after the release change nothing.
    Move(1, {10, 10});
    EXPECT_EQ(Area(3), (TAreaPair{200, 100, 200, 300, 400, 200, 402, 600}));
}

TEST_F(AreaEditor, PointerSelectsTheSmallestAreaUnderTheMouseWithoutStartingADrag) {
    AddArea({10, 10, 100, 100, 0, 0, 0, 0});
    AddArea({50, 50, 150, 150, 0, 0, 0, 0});
    AddArea({200, 10, 250, 60, 0, 0, 0, 0});
    form().SpeedPointer->click();
    Press(0, {60, 60});
    EXPECT_EQ(form().CurrentArea(), 0);
    EXPECT_EQ(form().Editor().Dragging(), 0);
    Move(0, {90, 90});
    Release(0, {90, 90});
    EXPECT_EQ(Area(0).Left1, 10);
    EXPECT_TRUE(ButtonsEnabled());

    Press(0, {120, 120});
    Release(0, {120, 120});
    EXPECT_EQ(form().CurrentArea(), 1);
    Press(0, {300, 190});
    Release(0, {300, 190});
    EXPECT_EQ(form().CurrentArea(), -1);
    EXPECT_FALSE(form().DelObjBtn->isEnabled());
}

TEST_F(AreaEditor, GripsResizeMirrorAndMovesStopAtThePictureEdges) {
    AddArea({100, 100, 149, 149, 0, 0, 9, 9});
    form().SetCurrentArea(0);
    form().SpeedPointer->click();

    // 7 pixels off the top-left grip: outside everything, the selection goes.
    Press(0, {93, 93});
    Release(0, {93, 93});
    EXPECT_EQ(form().CurrentArea(), -1);
    form().SetCurrentArea(0);
    Press(0, {94, 94});
    EXPECT_EQ(form().Editor().Grip(), 1);
    EXPECT_EQ(form().Editor().Dragging(), 1);
    Release(0, {94, 94});
    EXPECT_EQ(Area(0), (TAreaPair{100, 100, 149, 149, 0, 0, 9, 9}));

    // Right-middle grip dragged past the left edge becomes the left-middle.
    Press(0, {150, 125});
    EXPECT_EQ(form().Editor().Grip(), 8);
    Move(0, {80, 125});
    EXPECT_EQ(form().Editor().Grip(), 7);
    EXPECT_EQ(Area(0).Left1, 80);
    EXPECT_EQ(Area(0).Right1, 99);
    Move(0, {70, 125});
    Release(0, {70, 125});
    EXPECT_EQ(Area(0), (TAreaPair{70, 100, 99, 149, 0, 0, 9, 9}));
    EXPECT_EQ(form().Editor().Dragging(), 0);

    // Moving: the captured mouse goes far outside the pane.
    Press(0, {80, 120});
    EXPECT_EQ(form().Editor().Grip(), 9);
    Move(0, {-900, -900});
    EXPECT_EQ(Area(0), (TAreaPair{-30, -50, -1, -1, 0, 0, 9, 9}));
    Release(0, {5000, 5000});
    EXPECT_EQ(Area(0), (TAreaPair{319, 199, 348, 248, 0, 0, 9, 9}));
}

TEST_F(AreaEditor, ZoomToolStepsWithinLimitsAndCentresTheClickedPoint) {
    Prepare(1920, 1080, 640, 400);
    form().SpeedZoom->click();
    TZoomPane* pane = form().ScrollBox3;
    const int halfW = pane->width() / 2;
    const int halfH = pane->height() / 2;

    Press(0, {800, 700});  // picture point (800, 700)
    Release(0, {800, 700});
    EXPECT_EQ(form().Zoom3Ed->Value(), 110);
    EXPECT_EQ(form().PaintBox3->width(), 2112);
    EXPECT_EQ(pane->HorzPosition(), 880 - halfW);
    EXPECT_EQ(pane->VertPosition(), 770 - halfH);

    form().Zoom3Ed->SetValue(300);
    pane->SetHorzPosition(0);
    pane->SetVertPosition(0);
    Press(0, {600, 450});  // picture point (200, 150)
    EXPECT_EQ(form().Zoom3Ed->Value(), 300);
    EXPECT_EQ(pane->HorzPosition(), std::max(0, 600 - halfW));
    EXPECT_EQ(pane->VertPosition(), std::max(0, 450 - halfH));
    Release(0, {600, 450});

    form().Zoom3Ed->SetValue(10);
    Press(0, {100, 50}, Qt::RightButton);
    EXPECT_EQ(form().Zoom3Ed->Value(), 10);
    Release(0, {100, 50}, Qt::RightButton);

    // A middle click near the lower right corner only centres: both bars end.
    form().Zoom3Ed->SetValue(100);
    Press(0, {1915, 1075}, Qt::MiddleButton);
    EXPECT_EQ(form().Zoom3Ed->Value(), 100);
    EXPECT_EQ(pane->HorzPosition(), pane->horizontalScrollBar()->maximum());
    EXPECT_EQ(pane->VertPosition(), pane->verticalScrollBar()->maximum());
    EXPECT_GT(pane->HorzPosition(), 0);
    Release(0, {1915, 1075}, Qt::MiddleButton);
    EXPECT_EQ(form().Areas().Count(), 0u);
}

TEST_F(AreaEditor, HandToolScrollsWithTheMouseAndStopsAtZero) {
    Prepare(1920, 1080, 640, 400);
    form().SpeedHand->click();
    TZoomPane* pane = form().ScrollBox3;
    Drag(0, {300, 300}, {350, 320});
    EXPECT_EQ(pane->HorzPosition(), 0);
    EXPECT_EQ(pane->VertPosition(), 0);
    Press(0, {300, 300});
    Move(0, {250, 260});
    EXPECT_EQ(pane->HorzPosition(), 50);
    EXPECT_EQ(pane->VertPosition(), 40);
    Release(0, {250, 260});
    Move(0, {100, 100});  // no longer dragging
    EXPECT_EQ(pane->HorzPosition(), 50);
    EXPECT_EQ(form().Areas().Count(), 0u);
}

TEST_F(AreaEditor, CursorsShowTheToolAndWithThePointerTheGripUnderTheMouse) {
    auto same = [](const QCursor& a, const QCursor& b) {
        return a.shape() == b.shape() &&
               (a.shape() != Qt::BitmapCursor || a.pixmap().toImage() == b.pixmap().toImage());
    };
    auto expectBoth = [&](int slot) {
        EXPECT_TRUE(same(form().PaintBox3->cursor(), form().Cursor(slot))) << slot;
        EXPECT_TRUE(same(form().PaintBox4->cursor(), form().Cursor(slot))) << slot;
    };
    Move(0, {5, 5});
    expectBoth(13);
    form().SpeedZoom->click();
    Move(1, {5, 5});
    expectBoth(11);
    form().SpeedHand->click();
    Move(0, {5, 5});
    expectBoth(9);
    form().SpeedPointer->click();
    Move(0, {5, 5});
    expectBoth(10);

    AddArea({100, 100, 149, 129, 0, 0, 0, 0});
    form().SetCurrentArea(0);
    const struct {
        QPoint p;
        int slot;
    } spots[] = {
        {{100, 100}, 1}, {{150, 100}, 2}, {{100, 130}, 3}, {{150, 130}, 4}, {{125, 100}, 5},
        {{125, 130}, 6}, {{100, 115}, 7}, {{150, 115}, 8}, {{120, 110}, 9}, {{10, 10}, 10},
    };
    for (const auto& s : spots) {
        Move(0, s.p);
        expectBoth(s.slot);
        EXPECT_EQ(form().Editor().Grip(), s.slot % 10);
    }
    // The right pane tests its own half (a single point at 0, 0): its
    // nearest corner.
    Move(1, {2, 2});
    EXPECT_EQ(form().Editor().Grip(), 4);
}

TEST_F(AreaEditor, ObjectButtonsWrapDeleteKeepsOrderAndEscClicksTheFirstEnabled) {
    form().DelObjBtn->click();
    form().PrevBtn->click();
    EXPECT_EQ(form().CurrentArea(), -1);
    const TAreaPair a{1, 1, 5, 5, 1, 1, 5, 5}, b{2, 2, 6, 6, 2, 2, 6, 6}, c{3, 3, 7, 7, 3, 3, 7, 7};
    for (const TAreaPair& p : {a, b, c}) AddArea(p);
    form().SetCurrentArea(0);
    form().EnableObjButtons();
    form().PrevBtn->click();
    EXPECT_EQ(form().CurrentArea(), 2);
    form().NextBtn->click();
    EXPECT_EQ(form().CurrentArea(), 0);
    form().NextBtn->click();
    EXPECT_EQ(form().CurrentArea(), 1);

    // Esc typed into a zoom field stays the field's; with the focus on the
    // pane it deletes the current area.
    form().activateWindow();
    form().Zoom3Ed->setFocus();
    QApplication::processEvents();
    QTest::keyClick(form().Zoom3Ed, Qt::Key_Escape);
    EXPECT_EQ(form().Areas().Count(), 3u);
    form().ScrollBox3->setFocus();
    QTest::keyClick(form().ScrollBox3, Qt::Key_Escape);
    ASSERT_EQ(form().Areas().Count(), 2u);
    EXPECT_EQ(Area(0), a);
    EXPECT_EQ(Area(1), c);
    EXPECT_EQ(form().CurrentArea(), -1);
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_EQ(form().Zoom3Ed->Value(), 100);
    // With a modifier, or on another page, Esc does nothing.
    form().SetCurrentArea(0);
    form().EnableObjButtons();
    QTest::keyClick(form().ScrollBox3, Qt::Key_Escape, Qt::ShiftModifier);
    form().PageControl2->setCurrentIndex(0);
    QTest::keyClick(form().PageControl2, Qt::Key_Escape);
    EXPECT_EQ(form().Areas().Count(), 2u);
}

TEST_F(AreaEditor, EscDuringADragOrACreationEndsIt) {
    Press(0, {40, 30});
    QTest::keyClick(&form(), Qt::Key_Escape);
    EXPECT_EQ(form().Areas().Count(), 0u);
    Move(0, {60, 60});
    Release(0, {60, 60});
    EXPECT_EQ(form().Areas().Count(), 0u);

    AddArea({10, 10, 50, 50, 0, 0, 0, 0});
    AddArea({100, 100, 150, 150, 0, 0, 0, 0});
    form().SetCurrentArea(1);
    form().EnableObjButtons();
    form().SpeedPointer->click();
    Press(0, {120, 120});
    EXPECT_EQ(form().Editor().Dragging(), 1);
    QTest::keyClick(&form(), Qt::Key_Escape);
    Move(0, {20, 20});
    Release(0, {20, 20});
    ASSERT_EQ(form().Areas().Count(), 1u);
    EXPECT_EQ(Area(0), (TAreaPair{10, 10, 50, 50, 0, 0, 0, 0}));
}

TEST_F(AreaEditor, UndoAndRedoAreTheFifthAndSixthToolbarButtonsAndFollowTheHistory) {
    const QList<QToolButton*> strip =
        form().Panel34->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_GE(strip.size(), 6);
    EXPECT_EQ(strip[3], form().SaveAsBtn);
    EXPECT_EQ(strip[4], form().UndoBtn);
    EXPECT_EQ(strip[5], form().RedoBtn);
    EXPECT_EQ(form().UndoBtn->text(), QStringLiteral("Undo"));
    EXPECT_EQ(form().RedoBtn->text(), QStringLiteral("Redo"));
    EXPECT_EQ(form().UndoBtn->toolTip(),
              QStringLiteral("Undo the last change of the areas (Ctrl+Z)"));
    EXPECT_EQ(form().RedoBtn->toolTip(), QStringLiteral("Redo the change (Ctrl+Y, Ctrl+Shift+Z)"));
    for (QToolButton* b : {form().UndoBtn, form().RedoBtn}) {
        EXPECT_TRUE(b->autoRaise());
        EXPECT_EQ(b->toolButtonStyle(), form().SaveAsBtn->toolButtonStyle());
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_FALSE(b->isEnabled());
    }

    Press(0, {40, 30});
    Release(0, {40, 30});
    EXPECT_TRUE(form().UndoBtn->isEnabled());
    EXPECT_FALSE(form().RedoBtn->isEnabled());
    QTest::mouseClick(form().UndoBtn, Qt::LeftButton);
    EXPECT_EQ(form().Areas().Count(), 0u);
    EXPECT_EQ(form().CurrentArea(), -1);
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_FALSE(form().UndoBtn->isEnabled());
    EXPECT_TRUE(form().RedoBtn->isEnabled());
    QTest::mouseClick(form().RedoBtn, Qt::LeftButton);
    ASSERT_EQ(form().Areas().Count(), 1u);
    EXPECT_EQ(form().CurrentArea(), 0);
    EXPECT_TRUE(ButtonsEnabled());

    // The keys, from anywhere in the window but a text field.
    form().activateWindow();
    form().ScrollBox4->setFocus();
    QTest::keyClick(form().ScrollBox4, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form().Areas().Count(), 0u);
    QTest::keyClick(form().ScrollBox4, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form().Areas().Count(), 1u);
    QTest::keyClick(form().ScrollBox4, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(form().ScrollBox4, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form().Areas().Count(), 1u);

    // New clears the history.
    f_.prompter->messageAnswers = {true};
    QTest::mouseClick(form().NewBtn, Qt::LeftButton);
    EXPECT_FALSE(form().UndoBtn->isEnabled());
    EXPECT_FALSE(form().RedoBtn->isEnabled());
}

TEST_F(AreaEditor, ArrowsMoveTheHalfOfTheLastPressedPaneAndDoNotScrollIt) {
    Prepare(1920, 1080, 640, 400);
    AddArea({100, 100, 149, 149, 10, 10, 59, 59});
    form().SpeedPointer->click();
    Press(1, {30, 30});  // selects, and the keys now act on the right pane
    Release(1, {30, 30});
    ASSERT_EQ(form().CurrentArea(), 0);
    form().activateWindow();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    const int h = form().ScrollBox4->HorzPosition();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int dx, dy;
    } keys[] = {{Qt::Key_Right, Qt::NoModifier, 1, 0},
                {Qt::Key_Down, Qt::NoModifier, 0, 1},
                {Qt::Key_Left, Qt::ShiftModifier, -10, 0},
                {Qt::Key_Up, Qt::ShiftModifier, 0, -10}};
    int x = 10, y = 10;
    for (const auto& k : keys) {
        QTest::keyClick(focus, k.key, k.mods);
        x += k.dx;
        y += k.dy;
        EXPECT_EQ(Area(0), (TAreaPair{100, 100, 149, 149, x, y, x + 49, y + 49})) << k.key;
    }
    EXPECT_EQ(form().ScrollBox4->HorzPosition(), h);
    EXPECT_EQ(form().Editor().History().count(), 1);

    // Typed into a zoom field the arrows stay the field's.
    form().Zoom3Ed->setFocus();
    QTest::keyClick(form().Zoom3Ed, Qt::Key_Up);
    EXPECT_EQ(form().Zoom3Ed->Value(), 110);
    EXPECT_EQ(Area(0).Top2, y);

    // Delete deletes like "&Delete object"; one undo brings it back.
    form().SpeedHand->setFocus();
    QTest::keyClick(form().SpeedHand, Qt::Key_Delete);
    EXPECT_EQ(form().Areas().Count(), 0u);
    form().UndoBtn->click();
    EXPECT_EQ(Area(0), (TAreaPair{100, 100, 149, 149, x, y, x + 49, y + 49}));
    EXPECT_EQ(form().CurrentArea(), 0);
}

TEST_F(AreaEditor, ToolKeysChooseTheToolOutsideTextFieldsAndTheTooltipsSaySo) {
    const struct {
        QToolButton* button;
        Qt::Key key;
        const char* shown;
    } tools[] = {{form().SpeedPointer, Qt::Key_P, "(P)"},
                 {form().SpeedZoom, Qt::Key_Z, "(Z)"},
                 {form().SpeedHand, Qt::Key_H, "(H)"},
                 {form().SpeedRect, Qt::Key_A, "(A)"}};
    form().activateWindow();
    form().ScrollBox3->setFocus();
    for (const auto& t : tools) {
        EXPECT_TRUE(t.button->toolTip().endsWith(QLatin1String(t.shown))) << t.shown;
        QTest::keyClick(form().ScrollBox3, t.key);
        EXPECT_TRUE(t.button->isChecked()) << t.shown;
    }
    EXPECT_EQ(form().Editor().Tool(), TAreaTool::Area);
    form().Zoom4Ed->setFocus();
    QTest::keyClick(form().Zoom4Ed, Qt::Key_P);
    EXPECT_TRUE(form().SpeedRect->isChecked());
    // On another page the letters are nobody's.
    form().PageControl2->setCurrentIndex(0);
    QTest::keyClick(form().PageControl2, Qt::Key_P);
    EXPECT_TRUE(form().SpeedRect->isChecked());
}

TEST_F(AreaEditor, PositionLabelShowsThePicturePointAndTheCurrentAreasHalves) {
    EXPECT_EQ(form().PosLabel->parentWidget()->objectName(), QStringLiteral("Panel39"));
    form().Zoom4Ed->SetValue(200);
    Move(1, {240, 90});
    EXPECT_EQ(form().PosLabel->text(), QStringLiteral("x 120, y 45"));
    Press(0, {40, 30});
    Release(0, {40, 30});
    Move(0, {41, 31});
    EXPECT_EQ(form().PosLabel->text(),
              QStringLiteral("x 41, y 31     1: 40,30-90,80   2: 80,60-180,160"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form().PaintBox3, &leave);
    EXPECT_EQ(form().PosLabel->text(), QStringLiteral("1: 40,30-90,80   2: 80,60-180,160"));
    Move(1, {10, 4});
    form().DelObjBtn->click();
    EXPECT_EQ(form().PosLabel->text(), QStringLiteral("x 5, y 2"));
}
