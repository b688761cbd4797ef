#include "core/renderer.h"

namespace core {

raster::DibRecord RenderMorph(const TMorphInput& input) {
    const int W = std::max(input.pic1->Width(), input.pic2->Width());
    const int H = std::max(input.pic1->Height(), input.pic2->Height());
    raster::DibRecord result = raster::newdib(W, H, 24);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) raster::setpixel(result, x, y, input.background);
    return result;
}

}  // namespace core
