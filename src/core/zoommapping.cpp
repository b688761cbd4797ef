#include "core/zoommapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zoommapping {

namespace {

// The long double is clamped before the conversion: converting a value the
// target cannot hold is undefined.
std::int64_t Trunc(long double v) {
    constexpr long double kMax =
        static_cast<long double>(std::numeric_limits<std::int64_t>::max() / 2);
    if (std::isnan(v)) return 0;
    return static_cast<std::int64_t>(std::clamp(v, -kMax, kMax));
}

}  // namespace

std::int64_t ToPane(std::int64_t v, int z) {
    return Trunc(static_cast<long double>(z) * static_cast<long double>(v) / 100.0L);
}

std::int64_t ToPicture(std::int64_t p, int z) {
    if (z == 0) return 0;
    return Trunc(static_cast<long double>(p) * 100.0L / static_cast<long double>(z));
}

std::int64_t DragToPicture(std::int64_t p, int z) {
    if (z == 0) return 0;
    return Trunc(static_cast<long double>(p) / static_cast<long double>(z) * 100.0L);
}

std::int64_t ZoomCentre(std::int64_t v, int z) {
    return Trunc(static_cast<long double>(z) * (static_cast<long double>(v) / 100.0L));
}

std::int64_t DivideByZoom(std::int64_t v, int z) {
    if (z == 0) return 0;
    return Trunc(static_cast<long double>(v) / static_cast<long double>(z));
}

int FitZoom(std::int64_t pictureWidth, std::int64_t pictureHeight, std::int64_t areaWidth,
            std::int64_t areaHeight) {
    for (int z = kMaxZoom; z > kMinZoom; z -= kZoomStep) {
        if (ToPane(pictureWidth, z) <= areaWidth && ToPane(pictureHeight, z) <= areaHeight)
            return z;
    }
    return kMinZoom;
}

int NextZoomStep(int z, int direction) {
    // Steps are the multiples of kZoomStep; a typed value between two goes
    // to the neighbouring step in the asked direction.
    std::int64_t next = z;
    if (direction > 0) next = (std::int64_t{z} / kZoomStep + 1) * kZoomStep;
    if (direction < 0) next = (std::int64_t{z} + kZoomStep - 1) / kZoomStep * kZoomStep - kZoomStep;
    if (z < 0 && direction > 0) next = kMinZoom;
    return static_cast<int>(std::clamp<std::int64_t>(next, kMinZoom, kMaxZoom));
}

std::int64_t RescalePane(std::int64_t p, int from, int to) {
    if (from == 0) return 0;
    return Trunc(static_cast<long double>(p) * static_cast<long double>(to) /
                 static_cast<long double>(from));
}

int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

}  // namespace zoommapping
