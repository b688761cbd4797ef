// The live renderer: it gives exactly the renderer's picture for the newest
// state, and a state that arrives while it works replaces the ones before it.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>

#include "core/liverenderer.h"
#include "core/renderer.h"

namespace {

raster::DibRecord Noise(int w, int h, unsigned seed) {
    raster::DibRecord d = raster::newdib(w, h, 24);
    std::mt19937 rng(seed);
    for (std::uint8_t& b : d.Bits()) b = static_cast<std::uint8_t>(rng());
    return d;
}

core::TLiveScene Scene(const core::TSharedPicture& a, const core::TSharedPicture& b, int shift,
                       int percent) {
    core::TLiveScene s;
    s.pic1 = a;
    s.pic2 = b;
    s.areas = {{10 + shift, 10, 40 + shift, 50, 60, 20, 90, 70},
               {100, 80, 140, 110, 90, 60, 150, 120}};
    s.n = core::LivePictureNumber(percent);
    s.background = 0x336699;
    return s;
}

bool SamePicture(const raster::DibRecord& a, const raster::DibRecord& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Bits().begin(), a.Bits().end(), b.Bits().begin(), b.Bits().end());
}

raster::DibRecord Direct(const core::TLiveScene& s) {
    core::TMorphInput in;
    in.pic1 = s.pic1.get();
    in.pic2 = s.pic2.get();
    in.areas = s.areas;
    in.n = s.n;
    in.N = s.N;
    in.background = s.background;
    return core::RenderMorph(in);
}

}  // namespace

TEST(LiveRenderer, PictureNumberIsThePercentageAtLeastOne) {
    EXPECT_EQ(core::LivePictureNumber(0), 1);
    EXPECT_EQ(core::LivePictureNumber(1), 1);
    EXPECT_EQ(core::LivePictureNumber(50), 50);
    EXPECT_EQ(core::LivePictureNumber(100), 100);
}

TEST(LiveRenderer, ShowsExactlyTheRenderersPictureOfTheNewestState) {
    const raster::DibRecord one = Noise(200, 150, 1), two = Noise(240, 130, 2);
    const core::TSharedPicture a = core::SharePicture(one), b = core::SharePicture(two);
    ASSERT_TRUE(SamePicture(*a, one));
    std::atomic<int> ready = 0;
    core::TLiveRenderer live([&] { ++ready; });
    raster::DibRecord shown;
    for (int percent : {50, 0, 100, 37}) {
        SCOPED_TRACE(percent);
        const core::TLiveScene scene = Scene(a, b, percent, percent);
        live.Request(scene);
        live.WaitIdle();
        EXPECT_GT(live.Take(shown), 0u);
        EXPECT_TRUE(SamePicture(shown, Direct(scene)));
        EXPECT_EQ(live.Take(shown), 0u) << "nothing new";
    }
    EXPECT_EQ(ready.load(), 4);
    // A result too large to hold has no pixels, and nothing is tried.
    core::TLiveScene huge = Scene(a, b, 0, 50);
    auto wide = std::make_shared<raster::DibRecord>();
    ASSERT_TRUE(wide->Allocate(60000, 1, 1));
    auto tall = std::make_shared<raster::DibRecord>();
    ASSERT_TRUE(tall->Allocate(1, 60000, 1));
    huge.pic1 = wide;
    huge.pic2 = tall;
    live.Request(huge);
    live.WaitIdle();
    EXPECT_GT(live.Take(shown), 0u);
    EXPECT_FALSE(shown.HasPixels());
}

TEST(LiveRenderer, StatesArrivingDuringARenderAreSkippedForTheNewest) {
    const core::TSharedPicture a = core::SharePicture(Noise(300, 200, 3));
    const core::TSharedPicture b = core::SharePicture(Noise(300, 200, 4));
    // The first picture's notice waits until ten more states have come.
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    int notices = 0;
    core::TLiveRenderer live([&] {
        std::unique_lock lock(m);
        if (notices++ == 0) cv.wait(lock, [&] { return release; });
    });
    live.Request(Scene(a, b, 0, 50));
    for (int shift = 1; shift <= 10; ++shift) live.Request(Scene(a, b, shift, 50));
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    live.WaitIdle();
    const core::TLiveRenderer::TCounts counts = live.Counts();
    EXPECT_EQ(counts.requested, 11u);
    EXPECT_LE(counts.rendered, 2u);  // the first and the newest, or only the newest
    EXPECT_EQ(counts.rendered + counts.skipped, 11u);
    raster::DibRecord shown;
    EXPECT_EQ(live.Take(shown), 11u);
    EXPECT_TRUE(SamePicture(shown, Direct(Scene(a, b, 10, 50))));
    // Ending with a request outstanding neither waits for it nor crashes.
    live.Request(Scene(a, b, 3, 50));
}
