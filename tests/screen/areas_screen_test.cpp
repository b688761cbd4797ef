// The area editor's undo history and keys in the real window on a real X
// server: every result is saved through "Save as..." and compared byte for
// byte with the project the areas must make, and the panes must show it.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "core/projectfile.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

namespace {

constexpr TAreaPair kClicked{40, 30, 90, 80, 80, 60, 180, 160};

// Many overlapping coloured ellipses: every area of it looks different.
QImage Speckled(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(qRgb(128, 128, 128));
    QPainter p(&img);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> x(0, width), y(0, height), r(3, 14), c(0, 255);
    for (int i = 0; i < 900; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(c(rng), c(rng), c(rng)));
        p.drawEllipse(QPoint(x(rng), y(rng)), r(rng), r(rng));
    }
    return img;
}

class AreasScreen : public screen_support::WindowOnScreen {
protected:
    void SetUp() override {
        WindowOnScreen::SetUp();
        if (HasFatalFailure()) return;
        Load(w().PicOpenBtn1, 320, 200, QStringLiteral("one.png"));
        Load(w().PicOpenBtn2, 640, 400, QStringLiteral("two.png"));
        QTabBar* bar = w().PageControl2->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        ASSERT_EQ(w().PageControl2->currentIndex(), 1);
    }

    void Load(QAbstractButton* button, int width, int height, const QString& name) {
        QImage img(width, height, QImage::Format_RGB32);
        img.fill(qRgb(90, 140, 200));
        Load(button, img, name);
    }
    void Load(QAbstractButton* button, const QImage& img, const QString& name) {
        ASSERT_TRUE(img.save(dir_ + QLatin1Char('/') + name));
        fx_.prompter->fileAnswers = {dir_ + QLatin1Char('/') + name};
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // The key as the user types it: to whatever has the focus.
    void Type(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : &w(), key, mods);
    }

    // Saves with "Save as..." and compares the file with the project of
    // these areas.
    ::testing::AssertionResult SavedAs(const QString& name, const std::vector<TAreaPair>& areas) {
        const QString path = dir_ + QLatin1Char('/') + name;
        fx_.prompter->fileAnswers = {path};
        QTest::mouseClick(w().SaveAsBtn, Qt::LeftButton);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return ::testing::AssertionFailure() << name.toStdString() << " was not written";
        const QByteArray saved = file.readAll();
        core::TProjectData project;
        project.pic1Name = "one.png";
        project.pic2Name = "two.png";
        project.areas = areas;
        std::vector<std::uint8_t> expected;
        core::WriteProject(project, expected);
        if (saved != QByteArray(reinterpret_cast<const char*>(expected.data()),
                                static_cast<qsizetype>(expected.size())))
            return ::testing::AssertionFailure()
                   << name.toStdString() << ": " << saved.size() << " bytes differ from the "
                   << expected.size() << " expected";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult PanesShowTheAreas(const QString& name) {
        for (TZoomPane* pane : {w().ScrollBox3, w().ScrollBox4}) {
            auto shows = screen_support::ScreenShows(
                *pane, [pane] { return screen_support::ComposedPane(*pane); }, name);
            if (!shows) return shows;
        }
        return ::testing::AssertionSuccess();
    }
};

}  // namespace

TEST_F(AreasScreen, CreateUndoRedoMoveNudgeAndDeleteEachSavedAsExpected) {
    // Create with a click of the Area tool; undo; redo.
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_TRUE(SavedAs(QStringLiteral("create.mor"), {kClicked}));
    Type(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SavedAs(QStringLiteral("undo.mor"), {}));
    EXPECT_EQ(w().CurrentArea(), -1);
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("undone")));
    Type(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(SavedAs(QStringLiteral("redo.mor"), {kClicked}));
    EXPECT_EQ(w().CurrentArea(), 0);

    // Move with the Pointer tool (chosen by its key), then undo the move.
    Type(Qt::Key_P);
    ASSERT_TRUE(w().SpeedPointer->isChecked());
    QTest::mousePress(w().PaintBox3, Qt::LeftButton, {}, QPoint(60, 50));
    QTest::mouseMove(w().PaintBox3, QPoint(65, 58));
    QTest::mouseMove(w().PaintBox3, QPoint(70, 65));
    QTest::mouseRelease(w().PaintBox3, Qt::LeftButton, {}, QPoint(70, 65));
    EXPECT_TRUE(SavedAs(QStringLiteral("move.mor"), {{50, 45, 100, 95, 80, 60, 180, 160}}));
    QTest::mouseClick(w().UndoBtn, Qt::LeftButton);
    EXPECT_TRUE(SavedAs(QStringLiteral("move-undo.mor"), {kClicked}));
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("move-undone")));

    // Three nudges and one Shift+nudge of the left half, undone in one step.
    ASSERT_EQ(QApplication::focusWidget(), w().ScrollBox3);
    const int scrolled = w().ScrollBox3->HorzPosition();
    for (int i = 0; i < 3; ++i) Type(Qt::Key_Right);
    Type(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w().ScrollBox3->HorzPosition(), scrolled);
    EXPECT_TRUE(SavedAs(QStringLiteral("nudge.mor"), {{43, 40, 93, 90, 80, 60, 180, 160}}));
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("nudged")));
    Type(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SavedAs(QStringLiteral("nudge-undo.mor"), {kClicked}));

    // Delete, then undo.
    Type(Qt::Key_Delete);
    EXPECT_TRUE(SavedAs(QStringLiteral("delete.mor"), {}));
    EXPECT_FALSE(w().DelObjBtn->isEnabled());
    Type(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SavedAs(QStringLiteral("delete-undo.mor"), {kClicked}));
    EXPECT_EQ(w().CurrentArea(), 0);
    EXPECT_TRUE(w().DelObjBtn->isEnabled());
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("delete-undone")));
}

TEST_F(AreasScreen, EscTypedIntoAZoomFieldStaysTheFields) {
    QTest::mouseClick(w().PaintBox4, Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_EQ(w().Areas().Count(), 1u);
    w().Zoom3Ed->setFocus();
    Type(Qt::Key_Escape);
    Type(Qt::Key_Delete);
    Type(Qt::Key_Left);
    EXPECT_TRUE(SavedAs(QStringLiteral("kept.mor"), {{50, 50, 75, 75, 100, 100, 150, 150}}));
    // The keys belong to the page again once a pane has been pressed.
    QTest::mouseClick(w().PaintBox4, Qt::LeftButton, {}, QPoint(300, 300));
    Type(Qt::Key_Escape);
    EXPECT_TRUE(SavedAs(QStringLiteral("deleted.mor"), {{50, 50, 75, 75, 100, 100, 150, 150}}));
}

TEST_F(AreasScreen, MatchKeyMovesTheRightOutlineToTheFoundPlace) {
    // Picture 1 is the part of picture 2 from (100, 70).
    const QImage two = Speckled(640, 400);
    Load(w().PicOpenBtn1, two.copy(100, 70, 320, 200), QStringLiteral("one.png"));
    Load(w().PicOpenBtn2, two, QStringLiteral("two.png"));
    QTest::mouseClick(w().PaintBox3, Qt::LeftButton, {}, QPoint(40, 30));
    ASSERT_TRUE(w().MatchBtn->isEnabled());
    ASSERT_TRUE(PanesShowTheAreas(QStringLiteral("drawn")));
    const QImage before = screen_support::Shown(w().ScrollBox4->viewport());

    Type(Qt::Key_M);
    // The right half lands on the copy, to a pixel; the left one stays.
    ASSERT_EQ(w().Areas().Count(), 1u);
    const TAreaPair a = w().Areas().Data()[0];
    EXPECT_EQ((QRect(QPoint(a.Left1, a.Top1), QPoint(a.Right1, a.Bottom1))),
              QRect(QPoint(40, 30), QPoint(90, 80)));
    const QRect right(QPoint(a.Left2, a.Top2), QPoint(a.Right2, a.Bottom2));
    const QRect truth(QPoint(140, 100), QPoint(190, 150));
    for (auto [got, want] : {std::pair{right.left(), truth.left()},
                             {right.top(), truth.top()},
                             {right.right(), truth.right()},
                             {right.bottom(), truth.bottom()}})
        EXPECT_NEAR(got, want, 1) << w().CurrentAreaText().toStdString();
    EXPECT_TRUE(w().StatusLabel->text().startsWith(QStringLiteral("matched with ")))
        << w().StatusLabel->text().toStdString();
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("matched")));
    EXPECT_NE(screen_support::Shown(w().ScrollBox4->viewport()), before);

    QTest::mouseClick(w().UndoBtn, Qt::LeftButton);
    EXPECT_TRUE(SavedAs(QStringLiteral("match-undo.mor"), {kClicked}));
    EXPECT_TRUE(PanesShowTheAreas(QStringLiteral("match-undone")));
}
