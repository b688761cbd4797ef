// The "Morphing" page's timing and mode chosen with the keyboard on a real X
// server (Xvfb): the result pane shows the picture the renderer gives for
// that timing and mode, read back from the screen.
#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "controls/zoompane.h"
#include "core/renderer.h"
#include "screen/screen_support.h"
#include "support/test_support.h"

using screen_support::ComposedPane;
using screen_support::ScreenShows;

namespace {

raster::DibRecord Pattern(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(dib, x, y,
                             static_cast<std::uint32_t>((x * 3 + seed * 90) & 0xFF) |
                                 static_cast<std::uint32_t>((y * 4 + seed * 30) & 0xFF) << 8 |
                                 static_cast<std::uint32_t>(((x ^ y) * 2) & 0xFF) << 16);
    return dib;
}

}  // namespace

TEST(TimingScreen, TimingAndModeChosenWithKeysShowTheirPicture) {
    testing_support::FormFixture fx = testing_support::MakeForm();
    TMainForm& w = *fx.form;
    w.SetPictures(Pattern(120, 90, 0), Pattern(100, 80, 1));
    testing_support::AddArea(w, TAreaPair{20, 20, 60, 50, 40, 30, 90, 70});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTabBar* bar = w.PageControl2->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    ASSERT_EQ(w.PageControl2->currentIndex(), 2);
    w.PicEd->SetValue(5);  // of 25

    auto expected = [&](core::TTiming timing, core::TMorphMode mode) {
        const std::vector<TAreaPair> areas = testing_support::AreasOf(w);
        core::TMorphInput in;
        in.pic1 = &w.Picture1();
        in.pic2 = &w.Picture2();
        in.areas = areas;
        in.n = 5;
        in.N = 25;
        in.background = w.BkColor->ColorValue();
        in.timing = timing;
        in.mode = mode;
        return core::RenderMorph(in);
    };
    // "Ease in" and "Warp only": one step down from the first entries.
    w.TimingBox->setFocus();
    QTest::keyClick(w.TimingBox, Qt::Key_Down);
    EXPECT_EQ(w.TimingBox->currentText(), QStringLiteral("Ease in"));
    w.ModeBox->setFocus();
    QTest::keyClick(w.ModeBox, Qt::Key_Down);
    EXPECT_EQ(w.ModeBox->currentText(), QStringLiteral("Warp only"));
    const raster::DibRecord want = expected(core::TTiming::EaseIn, core::TMorphMode::WarpOnly);
    EXPECT_TRUE(std::ranges::equal(w.Result().Bits(), want.Bits()));
    EXPECT_FALSE(std::ranges::equal(
        w.Result().Bits(), expected(core::TTiming::Linear, core::TMorphMode::Morph).Bits()));
    EXPECT_TRUE(ScreenShows(
        *w.ScrollBox5, [&] { return ComposedPane(*w.ScrollBox5); }, QStringLiteral("eased-warp")));
}
