// The zoom pane's mapping between picture and pane pixels at any typed zoom.
#include <gtest/gtest.h>

#include <QScrollBar>

#include <algorithm>
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

TEST(ZoomPane, ZoomAtCentresTheClickedPicturePointAndScrollByStaysInRange) {
    Pane p;
    p.picture = raster::newdib(1920, 1080, 24);
    p.pane.resize(400, 300);
    p.pane.show();
    p.zoom.SetValue(100);
    p.pane.Paint();
    const auto position = [&] { return QPoint(p.pane.HorzPosition(), p.pane.VertPosition()); };
    const QScrollBar& h = *p.pane.horizontalScrollBar();
    const QScrollBar& v = *p.pane.verticalScrollBar();

    // Box point (800, 700) is picture point (800, 700); at 110 % its centre
    // is (880, 770), which goes to the middle of the pane.
    p.pane.ZoomAt({800, 700}, 10);
    EXPECT_EQ(p.zoom.Value(), 110);
    EXPECT_EQ(p.pane.PaintBox()->size(), QSize(2112, 1188));
    EXPECT_EQ(position(), QPoint(880 - 200, 770 - 150));
    // The field's limit holds; the point is centred all the same, as far as
    // the scroll range allows.
    p.zoom.SetValue(300);
    p.pane.ZoomAt({5700, 3200}, 10);
    EXPECT_EQ(p.zoom.Value(), 300);
    EXPECT_EQ(position(),
              QPoint(std::min(5700 - 200, h.maximum()), std::min(3200 - 150, v.maximum())));
    p.pane.ZoomAt({10, 10}, -10);
    EXPECT_EQ(p.zoom.Value(), 290);
    EXPECT_EQ(position(), QPoint(0, 0));

    p.pane.ScrollBy(150, 90);
    EXPECT_EQ(position(), QPoint(150, 90));
    p.pane.ScrollBy(-1000, 20);
    EXPECT_EQ(position(), QPoint(0, 110));
    p.pane.ScrollBy(1 << 30, 1 << 30);
    EXPECT_EQ(position(), QPoint(h.maximum(), v.maximum()));
}
