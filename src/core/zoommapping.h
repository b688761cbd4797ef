// The zoom mapping between picture pixels and pane pixels, in the exact
// order of operations each use needs. Everything is computed in extended
// precision and truncated toward zero; results saturate instead of
// overflowing, so a typed zoom or a stored coordinate of any size is safe.
#pragma once

#include <cstdint>

namespace zoommapping {

// trunc(z x v / 100): picture to pane.
std::int64_t ToPane(std::int64_t v, int z);
// trunc(p x 100 / z): pane to picture. A zoom of 0 maps everything to 0.
std::int64_t ToPicture(std::int64_t p, int z);
// trunc(p / z x 100): where a dragged point lands in the picture.
std::int64_t DragToPicture(std::int64_t p, int z);
// trunc(z x (v / 100)): the Zoom tool's centring of a picture point.
std::int64_t ZoomCentre(std::int64_t v, int z);
// trunc(v / z), for mappings that do their own integer part first.
std::int64_t DivideByZoom(std::int64_t v, int z);

// The zoom steps the zoom fields offer: 10 to 300 percent in steps of 10.
inline constexpr int kMinZoom = 10;
inline constexpr int kMaxZoom = 300;
inline constexpr int kZoomStep = 10;

// The largest zoom step at which a picture of pictureWidth x pictureHeight
// fits an area of areaWidth x areaHeight: its zoomed size, trunc(size x z /
// 100), is no larger than the area on either side. kMinZoom when none fits.
int FitZoom(std::int64_t pictureWidth, std::int64_t pictureHeight, std::int64_t areaWidth,
            std::int64_t areaHeight);
// The next zoom step above (direction > 0) or below (direction < 0) zoom z,
// which may be a typed value between steps, kept within the steps.
int NextZoomStep(int z, int direction);
// Where pane point p at zoom `from` lies at zoom `to`: trunc(p x to / from),
// so that the picture point under a fixed spot stays under it.
std::int64_t RescalePane(std::int64_t p, int from, int to);

// Saturating conversion to int.
int ClampToInt(std::int64_t v);

}  // namespace zoommapping
