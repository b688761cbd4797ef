#include "editor/areatools.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace areatools {

TPaneHalf PaneHalf(const TAreaPair& area, int pane, int zoom) {
    const std::int64_t l = pane == 0 ? area.Left1 : area.Left2;
    const std::int64_t t = pane == 0 ? area.Top1 : area.Top2;
    const std::int64_t r = pane == 0 ? area.Right1 : area.Right2;
    const std::int64_t b = pane == 0 ? area.Bottom1 : area.Bottom2;
    TPaneHalf p;
    p.left = ToPane(l, zoom);
    p.top = ToPane(t, zoom);
    p.right = ToPane(r, zoom);
    p.bottom = ToPane(b, zoom);
    p.width = ToPane(r - l + 1, zoom);
    p.height = ToPane(b - t + 1, zoom);
    return p;
}

QRect TPaneHalf::Covered() const {
    auto clamp = [](std::int64_t v) {
        constexpr std::int64_t kLimit = 1 << 24;
        return static_cast<int>(std::clamp<std::int64_t>(v, -kLimit, kLimit));
    };
    return {QPoint(clamp(std::min(left, right) - 3), clamp(std::min(top, bottom) - 3)),
            QPoint(clamp(std::max(left, right) + 3), clamp(std::max(top, bottom) + 3))};
}

bool TPaneHalf::Contains(std::int64_t x, std::int64_t y) const {
    return left <= x && x <= right && top <= y && y <= bottom;
}

namespace {

bool Is32Bit(const QImage& canvas) {
    switch (canvas.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return true;
        default:
            return false;
    }
}

// Pixel access for one canvas; the colour channels are replaced, alpha kept.
// For 32-bit canvases the rows are reached through one pointer taken once:
// scanLine() checks for sharing on every call, and a pane with many outlines
// touches hundreds of thousands of pixels per paint.
class Surface {
public:
    Surface(QImage& canvas, QPoint origin)
        : canvas_(canvas),
          ox_(origin.x()),
          oy_(origin.y()),
          bits_(Is32Bit(canvas) ? canvas.bits() : nullptr),
          stride_(canvas.bytesPerLine()) {}

    // The canvas in pane coordinates: [left, right) x [top, bottom).
    std::int64_t Left() const { return ox_; }
    std::int64_t Top() const { return oy_; }
    std::int64_t Right() const { return std::int64_t{ox_} + canvas_.width(); }
    std::int64_t Bottom() const { return std::int64_t{oy_} + canvas_.height(); }

    bool HasRow(std::int64_t y) const { return y >= Top() && y < Bottom(); }
    bool HasColumn(std::int64_t x) const { return x >= Left() && x < Right(); }

    // Replaces the pixel by what `colour` makes of it; alpha is kept.
    template <typename Colour>
    void Apply(std::int64_t x, std::int64_t y, Colour colour) {
        const int cx = static_cast<int>(x - ox_);
        const int cy = static_cast<int>(y - oy_);
        if (bits_ != nullptr) {
            QRgb& p = Pixel(cx, cy);
            p = (p & 0xFF000000u) | colour(p);
        } else {
            const QRgb p = canvas_.pixel(cx, cy);
            canvas_.setPixel(cx, cy, (p & 0xFF000000u) | colour(p));
        }
    }

    QRgb Get(std::int64_t x, std::int64_t y) const {
        return canvas_.pixel(static_cast<int>(x - ox_), static_cast<int>(y - oy_));
    }
    void Set(std::int64_t x, std::int64_t y, QRgb colour) {
        canvas_.setPixel(static_cast<int>(x - ox_), static_cast<int>(y - oy_), colour);
    }

private:
    QRgb& Pixel(int cx, int cy) {
        return reinterpret_cast<QRgb*>(bits_ + static_cast<std::ptrdiff_t>(cy) * stride_)[cx];
    }

    QImage& canvas_;
    int ox_, oy_;
    uchar* bits_;
    qsizetype stride_;
};

// Draws the pixels of one straight run of the perimeter in contrast colour. The run goes from
// (x0, y0) by (dx, dy) for `count` pixels; `index0` is the perimeter index of
// its first pixel, which decides the dots.
void OutlineRun(Surface& s, std::int64_t x0, std::int64_t y0, int dx, int dy, std::int64_t count,
                std::int64_t index0, bool dotted) {
    if (count <= 0) return;
    // Clip the run to the canvas: only the steps k with the pixel inside.
    std::int64_t kFrom = 0;
    std::int64_t kTo = count - 1;
    auto clip = [&](std::int64_t p0, int d, std::int64_t lo, std::int64_t hi) {
        // p0 + d*k in [lo, hi)
        if (d == 0) {
            if (p0 < lo || p0 >= hi) kTo = -1;
            return;
        }
        if (d > 0) {
            kFrom = std::max(kFrom, lo - p0);
            kTo = std::min(kTo, hi - 1 - p0);
        } else {
            kFrom = std::max(kFrom, p0 - (hi - 1));
            kTo = std::min(kTo, p0 - lo);
        }
    };
    clip(x0, dx, s.Left(), s.Right());
    clip(y0, dy, s.Top(), s.Bottom());
    if (kFrom > kTo) return;
    std::int64_t k = kFrom;
    if (dotted && ((index0 + k) & 1) != 0) ++k;
    const int step = dotted ? 2 : 1;
    for (; k <= kTo; k += step) s.Apply(x0 + dx * k, y0 + dy * k, ContrastColour);
}

}  // namespace

int ColourDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

QRgb ContrastColour(QRgb under) {
    const QRgb inverse = (under ^ 0x00FFFFFFu) & 0x00FFFFFFu;
    if (ColourDistance(inverse, under) >= kMinContrast) return inverse;
    return GripColour(under);
}

QRgb GripColour(QRgb under) {
    // The larger of the two distances is at least 128 for any colour.
    return ColourDistance(under, 0) >= ColourDistance(under, 0x00FFFFFFu) ? 0x00000000u
                                                                          : 0x00FFFFFFu;
}

bool PointBetween(std::int64_t px, std::int64_t py, std::int64_t x1, std::int64_t y1,
                  std::int64_t x2, std::int64_t y2) {
    return px >= std::min(x1, x2) && px <= std::max(x1, x2) && py >= std::min(y1, y2) &&
           py <= std::max(y1, y2);
}

int GripCount(std::int64_t w, std::int64_t h) {
    return std::abs(w) < kSmallHalf || std::abs(h) < kSmallHalf ? 4 : 8;
}

namespace {

// Grip centres in grip order, 1 to 8.
std::array<std::array<std::int64_t, 2>, 8> GripCentres(std::int64_t x, std::int64_t y,
                                                       std::int64_t w, std::int64_t h) {
    return {{{x, y},
             {x + w, y},
             {x, y + h},
             {x + w, y + h},
             {x + w / 2, y},
             {x + w / 2, y + h},
             {x, y + h / 2},
             {x + w, y + h / 2}}};
}

}  // namespace

HitResult HitTestCurrent(std::int64_t x, std::int64_t y, std::int64_t l, std::int64_t t,
                         std::int64_t w, std::int64_t h) {
    const std::int64_t r = l + w;
    const std::int64_t b = t + h;
    const bool inside = PointBetween(x, y, l, t, r, b);
    const int grips = GripCount(w, h);
    const std::int64_t reach = inside ? (grips == 8 ? 3 : 1) : 6;
    const auto centres = GripCentres(l, t, w, h);
    int best = 0;
    std::int64_t bestDistance = reach + 1;
    for (int g = 0; g < grips; ++g) {
        const std::int64_t d = std::max(std::abs(x - centres[g][0]), std::abs(y - centres[g][1]));
        if (d < bestDistance) {
            best = g + 1;
            bestDistance = d;
        }
    }
    if (best > 0) {
        const std::int64_t cx = centres[best - 1][0];
        const std::int64_t cy = centres[best - 1][1];
        // The middle grips move one edge only: no offset along it.
        const std::int64_t gx = best == 5 || best == 6 ? 0 : x - cx;
        const std::int64_t gy = best == 7 || best == 8 ? 0 : y - cy;
        return {best, best, gx, gy};
    }
    if (inside) return {9, 9, x - l, y - t};
    return {0, kArrowSlot, 0, 0};
}

int DragHalf(TAreaHalf half, int grip, std::int64_t nx, std::int64_t ny, int pictureWidth,
             int pictureHeight) {
    // 64-bit throughout: the stored 32-bit values are what 32-bit arithmetic
    // gives, without its overflow being undefined.
    std::int64_t l = half.left;
    std::int64_t t = half.top;
    std::int64_t w = std::int64_t{half.right} - half.left + 1;
    std::int64_t h = std::int64_t{half.bottom} - half.top + 1;
    switch (grip) {
        case 1:
            w = w + l - nx;
            h = h + t - ny;
            l = nx;
            t = ny;
            break;
        case 2:
            w = nx - l;
            h = h + t - ny;
            t = ny;
            break;
        case 3:
            w = w + l - nx;
            h = ny - t;
            l = nx;
            break;
        case 4:
            w = nx - l;
            h = ny - t;
            break;
        case 5:
            h = h + t - ny;
            t = ny;
            break;
        case 6:
            h = ny - t;
            break;
        case 7:
            w = w + l - nx;
            l = nx;
            break;
        case 8:
            w = nx - l;
            break;
        case 9:
            l = nx;
            t = ny;
            break;
        default:
            return grip;
    }
    // Dragged across the opposite edge: the grip becomes its mirror for the
    // rest of the drag (the vertical test sees the horizontal mirror).
    constexpr int kHorzMirror[10] = {0, 2, 1, 4, 3, 5, 6, 8, 7, 9};
    constexpr int kVertMirror[10] = {0, 3, 4, 1, 2, 6, 5, 7, 8, 9};
    if (w < 0) {
        grip = kHorzMirror[grip];
        w = -w;
        l = l - w;
    }
    if (h < 0) {
        grip = kVertMirror[grip];
        h = -h;
        t = t - h;
    }
    if (l + w < 0) l = -w;
    if (t + h < 0) t = -h;
    l = std::min<std::int64_t>(l, std::int64_t{pictureWidth} - 1);
    t = std::min<std::int64_t>(t, std::int64_t{pictureHeight} - 1);
    half.left = static_cast<std::int32_t>(l);
    half.top = static_cast<std::int32_t>(t);
    half.right = static_cast<std::int32_t>(l + w - 1);
    half.bottom = static_cast<std::int32_t>(t + h - 1);
    return grip;
}

void MapCreation(const CreationInput& in, TAreaHalf own, TAreaHalf other) {
    auto toPicture = [&](std::int64_t p) {
        return static_cast<std::int32_t>(ToPicture(p, in.zoom));
    };
    // (other size x p) div own size, in integers truncating toward zero; the
    // 64-bit product gives the 32-bit result wherever that one is defined.
    auto scale = [](std::int64_t otherSize, std::int64_t p, std::int64_t ownSize) -> std::int64_t {
        if (ownSize == 0) return 0;
        return otherSize * p / ownSize * 100;
    };
    auto otherCoord = [&](std::int64_t otherSize, std::int64_t p, std::int64_t ownSize) {
        return static_cast<std::int32_t>(
            zoommapping::DivideByZoom(scale(otherSize, p, ownSize), in.zoom));
    };
    own.left = toPicture(in.startX);
    own.top = toPicture(in.startY);
    own.right = toPicture(in.endX);
    own.bottom = toPicture(in.endY);
    other.left = otherCoord(in.otherWidth, in.startX, in.ownWidth);
    other.top = otherCoord(in.otherHeight, in.startY, in.ownHeight);
    other.right = otherCoord(in.otherWidth, in.endX, in.ownWidth);
    other.bottom = otherCoord(in.otherHeight, in.endY, in.ownHeight);
}

void DrawOutline(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                 std::int64_t y2, bool dotted) {
    if (canvas.isNull()) return;
    // The rectangle primitive orders its corners and leaves out the right
    // column and the bottom row; an empty rectangle draws nothing.
    const std::int64_t a = std::min(x1, x2);
    const std::int64_t b = std::max(x1, x2) - 1;
    const std::int64_t c = std::min(y1, y2);
    const std::int64_t d = std::max(y1, y2) - 1;
    if (b < a || d < c) return;
    Surface s(canvas, origin);
    const std::int64_t top = b - a + 1;               // top row, left to right
    const std::int64_t right = d - c;                 // right column below it, downwards
    const std::int64_t bottom = d > c ? b - a : 0;    // bottom row, right to left
    const std::int64_t left = b > a ? d - c - 1 : 0;  // left column, upwards
    OutlineRun(s, a, c, 1, 0, top, 0, dotted);
    OutlineRun(s, b, c + 1, 0, 1, right, top, dotted);
    OutlineRun(s, b - 1, d, -1, 0, bottom, top + right, dotted);
    OutlineRun(s, a, d - 1, 0, -1, left, top + right + bottom, dotted);
}

void FillGrip(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
              std::int64_t y2) {
    if (canvas.isNull()) return;
    Surface s(canvas, origin);
    const std::int64_t l = std::max(std::min(x1, x2), s.Left());
    const std::int64_t r = std::min(std::max(x1, x2), s.Right());
    const std::int64_t t = std::max(std::min(y1, y2), s.Top());
    const std::int64_t b = std::min(std::max(y1, y2), s.Bottom());
    for (std::int64_t y = t; y < b; ++y) {
        for (std::int64_t x = l; x < r; ++x) s.Apply(x, y, GripColour);
    }
}

void markrec(QImage& canvas, QPoint origin, std::int64_t x, std::int64_t y, std::int64_t w,
             std::int64_t h) {
    if (canvas.isNull()) return;
    // The grips take their colours from the picture, not from the outline
    // that runs through them: they are filled first and put back over it.
    const auto centres = GripCentres(x, y, w, h);
    const int grips = GripCount(w, h);
    for (int g = 0; g < grips; ++g) {
        const auto& c = centres[g];
        FillGrip(canvas, origin, c[0] - 3, c[1] - 3, c[0] + 3, c[1] + 3);
    }
    Surface s(canvas, origin);
    struct Kept {
        std::int64_t x, y;
        QRgb colour;
    };
    std::vector<Kept> kept;
    for (int g = 0; g < grips; ++g) {
        const auto& c = centres[g];
        for (std::int64_t py = std::max(c[1] - 3, s.Top()); py < std::min(c[1] + 3, s.Bottom());
             ++py)
            for (std::int64_t px = std::max(c[0] - 3, s.Left()); px < std::min(c[0] + 3, s.Right());
                 ++px)
                kept.push_back({px, py, s.Get(px, py)});
    }
    DrawOutline(canvas, origin, x, y, x + w, y + h, false);
    for (const Kept& k : kept) s.Set(k.x, k.y, k.colour);
}

void DottedRect(QImage& canvas, QPoint origin, std::int64_t l, std::int64_t t, std::int64_t r,
                std::int64_t b) {
    DrawOutline(canvas, origin, l, t, r, b, true);
}

}  // namespace areatools
