// The zoom pane's mapping between picture and pane pixels at any typed zoom.
#include <gtest/gtest.h>

#include <climits>

#include "controls/spinedit.h"
#include "controls/zoompane.h"

namespace {

struct Pane {
    TSpinEdit zoom;
    raster::DibRecord picture = raster::newdib(320, 200, 24);
    TZoomPane pane{QStringLiteral("ScrollBox"), QStringLiteral("PaintBox")};
    Pane() {
        zoom.SetMinValue(10);
        zoom.SetMaxValue(300);
        pane.SetZoomEdit(&zoom);
        pane.SetPictureSource([this]() -> const raster::DibRecord& { return picture; });
    }
};

}  // namespace

TEST(ZoomPane, MapsAtTheTypedZoomAndSaturatesWhereTheResultIsTooLarge) {
    Pane p;
    const struct {
        const char* typed;
        std::int64_t pane320, picture90;
        QSize size;
    } cases[] = {
        {"100", 320, 90, {320, 200}},
        {"30", 96, 300, {96, 60}},
        {"50", 160, 180, {160, 100}},
        {"300", 960, 30, {960, 600}},
        {"7", 22, 1285, {22, 14}},  // typed below the minimum, not yet clamped
        {"0", 0, 0, {0, 0}},
        {"2147483647", INT64_C(6871947670), 0, {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX}},
        {"-2147483648", INT64_C(-6871947673), 0, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        p.zoom.SetText(QString::fromLatin1(c.typed));
        EXPECT_EQ(p.pane.ToPane(320), c.pane320);
        EXPECT_EQ(p.pane.ToPicture(90), c.picture90);
        EXPECT_EQ(p.pane.ZoomedSize(), c.size);
        p.pane.Paint();
        EXPECT_EQ(p.pane.PaintBox()->size(), c.size);
    }
    // Stored coordinates of any size map without overflow.
    p.zoom.SetText(QStringLiteral("300"));
    EXPECT_EQ(p.pane.ToPane(INT32_MAX), INT64_C(6442450941));
    EXPECT_EQ(p.pane.ToPane(INT32_MIN), INT64_C(-6442450944));
}
