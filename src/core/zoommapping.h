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

// Saturating conversion to int.
int ClampToInt(std::int64_t v);

}  // namespace zoommapping
