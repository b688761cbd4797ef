// The window's RenderPic: it reads the morph fields and walks the area list in
// order, giving what the renderer gives for the same input.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "controls/spinedit.h"
#include "controls/tintacolorcombobox.h"
#include "core/renderer.h"
#include "support/test_support.h"

namespace {

using raster::DibRecord;

constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

// Pixel (x, y) holds `scale` * x in one channel: red for channel 0, blue for 2.
DibRecord ColumnCoded(int w, int h, int channel, int scale) {
    DibRecord d = raster::newdib(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster::setpixel(d, x, y, static_cast<std::uint32_t>(x * scale) << (8 * channel));
    return d;
}

core::TMorphInput Input(const DibRecord& a, const DibRecord& b, std::int64_t n, std::int64_t N,
                        std::span<const TAreaPair> areas, std::uint32_t bg) {
    core::TMorphInput in;
    in.pic1 = &a;
    in.pic2 = &b;
    in.n = n;
    in.N = N;
    in.areas = areas;
    in.background = bg;
    return in;
}

// Size and every stored byte, padding included.
::testing::AssertionResult SamePicture(const DibRecord& actual, const DibRecord& expected) {
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height() ||
        actual.BitCount() != expected.BitCount())
        return ::testing::AssertionFailure()
               << "size " << actual.Width() << "x" << actual.Height() << ", expected "
               << expected.Width() << "x" << expected.Height();
    if (!std::ranges::equal(actual.Bits(), expected.Bits()))
        return ::testing::AssertionFailure() << "the pixels differ";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(RenderPic, ReadsTheFieldsAndWalksTheListInOrder) {
    testing_support::FormFixture f = testing_support::MakeForm();
    TMainForm& w = *f.form;
    w.SetPictures(ColumnCoded(40, 30, 0, 6), ColumnCoded(60, 20, 2, 4));
    const std::vector<TAreaPair> pairs{{3, 4, 20, 9, 30, 1, 50, 16}, {10, 10, 5, 25, 1, 2, 3, 4}};
    w.SetAreas(pairs);
    w.SetCurrentArea(0);
    w.BkColor->SetColorValue(Rgb(12, 34, 56));
    w.TimeEd->SetText(QStringLiteral("3"));
    w.PPSEd->SetText(QStringLiteral("4"));
    w.PicEd->SetText(QStringLiteral("5"));
    w.RenderPic();
    EXPECT_TRUE(SamePicture(w.Result(), core::RenderMorph(Input(w.Picture1(), w.Picture2(), 5, 12,
                                                                pairs, Rgb(12, 34, 56)))));
    // The walk leaves the list's cursor on the last pair.
    const TDynaArray<TAreaPair>& list = w.Areas();
    ASSERT_EQ(list.Current(), list.Data() + (pairs.size() - 1));
    EXPECT_EQ(*list.Current(), pairs.back());
    EXPECT_EQ(w.CurrentArea(), 0);

    // Values typed but not committed: length 0 gives no sequence at all, a
    // picture number beyond it is taken as the last picture.
    w.TimeEd->SetText(QStringLiteral("0"));
    w.PicEd->SetText(QStringLiteral("900"));
    w.RenderPic();
    EXPECT_TRUE(SamePicture(w.Result(), core::RenderMorph(Input(w.Picture1(), w.Picture2(), 1, 1,
                                                                pairs, Rgb(12, 34, 56)))));
}
