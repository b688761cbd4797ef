// "Timing:", "Hold (pictures):" and "Mode:" on the "Morphing" page: the
// entries, the preview they render, playback over the held pictures and the
// saved video with its held frames.
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/bitbtnxp.h"
#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"
#include "support/avi_decode.h"
#include "support/test_support.h"

using testing_support::MakeForm;

namespace {

raster::DibRecord Pattern(int w, int h, int seed) {
    raster::DibRecord dib = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(dib, x, y,
                             static_cast<std::uint32_t>((x * 11 + seed * 90) & 0xFF) |
                                 static_cast<std::uint32_t>((y * 13 + seed * 40) & 0xFF) << 8 |
                                 static_cast<std::uint32_t>(seed * 120) << 16);
    return dib;
}

// The window on the "Morphing" page with a clock the test moves: 1 second at
// 5 pictures per second, two pictures of different sizes and one pair.
struct TimingPage {
    testing_support::FormFixture f = MakeForm();
    TMainForm& w = *f.form;
    std::uint32_t now = 1000;

    TimingPage() {
        w.SetTickSource([this] { return now; });
        w.SetPictures(Pattern(24, 16, 0), Pattern(20, 18, 1));
        testing_support::AddArea(w, TAreaPair{3, 3, 10, 9, 8, 6, 16, 14});
        w.TimeEd->SetText(QStringLiteral("1"));
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.PageControl2->setCurrentIndex(2);
    }
    raster::DibRecord Rendered(int n, core::TTiming timing, core::TMorphMode mode) const {
        const std::vector<TAreaPair> areas = testing_support::AreasOf(w);
        core::TMorphInput in;
        in.pic1 = &w.Picture1();
        in.pic2 = &w.Picture2();
        in.areas = areas;
        in.n = n;
        in.N = 5;
        in.background = w.BkColor->ColorValue();
        in.timing = timing;
        in.mode = mode;
        return core::RenderMorph(in);
    }
    void Tick(std::uint32_t at) {
        now = at;
        w.Timer1Timer();
    }
};

bool Same(const raster::DibRecord& a, const raster::DibRecord& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::ranges::equal(a.Bits(), b.Bits());
}

QStringList Entries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i) entries << box->itemText(i);
    return entries;
}

}  // namespace

TEST(MorphTimingControls, EntriesDefaultsAndThePreviewTheyRender) {
    TimingPage p;
    TMainForm& w = p.w;
    EXPECT_EQ(Entries(w.TimingBox),
              (QStringList{"Linear", "Ease in", "Ease out", "Ease in and out"}));
    EXPECT_EQ(Entries(w.ModeBox),
              (QStringList{"Morph", "Warp only", "Warp only (picture 2)", "Dissolve only"}));
    EXPECT_EQ(w.TimingBox->currentText(), QStringLiteral("Linear"));
    EXPECT_EQ(w.ModeBox->currentText(), QStringLiteral("Morph"));
    EXPECT_EQ(w.HoldEd->Text(), QStringLiteral("0"));
    EXPECT_EQ(w.HoldEd->MaxValue(), 100);

    w.PicEd->SetValue(2);
    EXPECT_TRUE(Same(w.Result(), p.Rendered(2, core::TTiming::Linear, core::TMorphMode::Morph)));
    // Each choice renders the picture shown again at once.
    int renders = w.Renders();
    w.TimingBox->setCurrentIndex(3);
    EXPECT_EQ(w.Renders(), renders + 1);
    EXPECT_TRUE(Same(w.Result(), p.Rendered(2, core::TTiming::EaseInOut, core::TMorphMode::Morph)));
    renders = w.Renders();
    w.ModeBox->setCurrentIndex(2);
    EXPECT_EQ(w.Renders(), renders + 1);
    EXPECT_TRUE(
        Same(w.Result(), p.Rendered(2, core::TTiming::EaseInOut, core::TMorphMode::WarpOnly2)));
    EXPECT_FALSE(Same(w.Result(), p.Rendered(2, core::TTiming::Linear, core::TMorphMode::Morph)));
}

TEST(MorphTimingControls, PlaybackHoldsTheFirstAndLastPicture) {
    TimingPage p;
    TMainForm& w = p.w;
    w.HoldEd->SetText(QStringLiteral("2"));
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    ASSERT_TRUE(w.Timer1->isActive());
    // 5 pictures per second: frame k at 200 k ms; frames 1 1 1 2 3 4 5 5 5.
    const std::vector<std::pair<std::uint32_t, int>> steps{{1200, 1}, {1400, 1}, {1600, 2},
                                                           {2000, 4}, {2200, 5}, {2600, 5}};
    for (const auto& [at, picture] : steps) {
        p.Tick(at);
        EXPECT_EQ(w.PicEd->Value(), picture) << at;
        EXPECT_TRUE(w.Timer1->isActive()) << at;
    }
    p.Tick(2700);  // the last held frame shown: the next tick ends playback
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(w.PicEd->Value(), 5);

    // From a picture in the middle it goes on from there.
    w.PicEd->SetValue(3);
    QTest::mouseClick(w.PlayBtn, Qt::LeftButton);
    p.Tick(p.now + 200);
    EXPECT_EQ(w.PicEd->Value(), 4);
}

TEST(MorphTimingControls, SavedVideoHasTheHeldFramesAndTheTiming) {
    TimingPage p;
    TMainForm& w = p.w;
    const QString dir = testing_support::OutDir(QStringLiteral("timing_video"));
    w.HoldEd->SetText(QStringLiteral("1"));
    w.TimingBox->setCurrentIndex(1);
    w.SaveDialog2.filterIndex = 5;  // numbered pictures: PNG, exactly the rendered pictures
    p.f.prompter->fileAnswers.push_back(dir + "/held");
    QTest::mouseClick(w.SaveAVIBtn, Qt::LeftButton);
    const std::vector<int> pictures{1, 1, 2, 3, 4, 5, 5};
    for (std::size_t k = 0; k < 7; ++k) {
        const QImage frame(dir +
                           QStringLiteral("/held_%1.png").arg(k + 1, 4, 10, QLatin1Char('0')));
        ASSERT_FALSE(frame.isNull()) << "frame " << k;
        EXPECT_TRUE(frame.convertToFormat(QImage::Format_RGB888) ==
                    avi_decode::ToImage(
                        p.Rendered(pictures[k], core::TTiming::EaseIn, core::TMorphMode::Morph))
                        .convertToFormat(QImage::Format_RGB888))
            << "frame " << k;
    }
    EXPECT_FALSE(QFile::exists(dir + "/held_0008.png"));
}
