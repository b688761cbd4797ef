// The zoom steps: the largest step that fits, the next step from a typed
// value, and where a pane point goes when the zoom changes.
#include <gtest/gtest.h>

#include "core/zoommapping.h"

using namespace zoommapping;

TEST(ZoomMapping, FitIsTheLargestStepWhoseTruncatedSizeFitsOnBothSides) {
    const struct {
        std::int64_t w, h, areaW, areaH;
        int zoom;
    } cases[] = {
        {1920, 1080, 570, 700, 20},   // 1920 x 0.3 = 576 > 570
        {1920, 1080, 576, 700, 30},   // exactly the width
        {1600, 1200, 1000, 359, 20},  // the height decides: 1200 x 0.3 = 360
        {320, 200, 1000, 1000, 300},  // small pictures get the largest step
        {333, 10, 166, 10, 50},       // 166.5 truncated fits 166
        {100000, 10, 500, 500, 10},   // nothing fits: the smallest step
        {320, 200, 0, 0, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        EXPECT_EQ(FitZoom(c.w, c.h, c.areaW, c.areaH), c.zoom);
    }
}

TEST(ZoomMapping, StepsGoToTheNeighbouringStepAndStayWithinTheRange) {
    EXPECT_EQ(NextZoomStep(100, 1), 110);
    EXPECT_EQ(NextZoomStep(100, -1), 90);
    EXPECT_EQ(NextZoomStep(15, 1), 20);  // typed between two steps
    EXPECT_EQ(NextZoomStep(15, -1), 10);
    EXPECT_EQ(NextZoomStep(300, 1), 300);
    EXPECT_EQ(NextZoomStep(10, -1), 10);
    EXPECT_EQ(NextZoomStep(7, 1), 10);
    EXPECT_EQ(NextZoomStep(-50, 1), 10);
    EXPECT_EQ(NextZoomStep(5000, -1), 300);
    // A pane point keeps its picture point: at 100 -> 150, 201 -> 301.
    EXPECT_EQ(RescalePane(201, 100, 150), 301);
    EXPECT_EQ(RescalePane(301, 150, 100), 200);
    EXPECT_EQ(RescalePane(5, 0, 100), 0);
}
