// The window as it starts: caption, pages, controls, the three white slots.
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include "controls/spinedit.h"
#include "support/test_support.h"

TEST(Startup, WindowShowsAnUnnamedDocumentOnTheFirstPage) {
    auto f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Vellora 1.0 - [noname.mor]"));
    // 638 x 512, or as large as its pages need, and whole on the screen.
    EXPECT_EQ(w.size(), QSize(638, 512).expandedTo(w.minimumSizeHint()));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        if (available.width() >= w.width() && available.height() >= w.height())
            EXPECT_TRUE(available.contains(w.geometry())) << w.x() << "," << w.y();
    }
    ASSERT_EQ(w.PageControl2->count(), 3);
    EXPECT_EQ(w.PageControl2->tabText(0), QStringLiteral("Open pictures"));
    EXPECT_EQ(w.PageControl2->tabText(1), QStringLiteral("Similar areas"));
    EXPECT_EQ(w.PageControl2->tabText(2), QStringLiteral("Morphing"));
    EXPECT_EQ(w.PageControl2->currentIndex(), 0);
    for (const raster::DibRecord* slot : {&w.Picture1(), &w.Picture2(), &w.Result()}) {
        ASSERT_TRUE(slot->HasPixels());
        EXPECT_EQ(slot->Width(), 320);
        EXPECT_EQ(slot->Height(), 200);
        EXPECT_EQ(slot->BitCount(), 24);
        EXPECT_EQ(raster::getpixel(*slot, 319, 199), 0xFFFFFFu);
    }
    EXPECT_TRUE(w.Picture1FileName().isEmpty());
    EXPECT_EQ(w.CurrentArea(), -1);
    EXPECT_TRUE(w.SpeedRect->isChecked());
}
