// The arithmetic and drawing behind the area editor, free of widgets so that
// it can be tested and measured on its own: the grip hit test, the
// move/resize of one half (dragit), the creation mapping, and the inverted
// outlines drawn pixel by pixel into an off-screen canvas.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>

#include "core/areapair.h"
#include "core/zoommapping.h"

namespace areatools {

// The zoom mappings, shared with the zoom panes.
using zoommapping::ClampToInt;
using zoommapping::DragToPicture;
using zoommapping::ToPane;
using zoommapping::ToPicture;
using zoommapping::ZoomCentre;

// ---- An area half in pane pixels ----------------------------------------------

// One half of an area as a pane shows it at zoom z: the stored corners mapped
// one by one (either order, as stored), which the outlines are drawn through,
// and the zoomed width and height trunc(z x (right - left + 1) / 100), which
// the grips of the current area are placed by.
struct TPaneHalf {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    std::int64_t width = 0, height = 0;
    // The pane pixels its outline and grips can cover: the grips reach 3
    // pixels beyond the outermost columns and rows.
    QRect Covered() const;
    bool Contains(std::int64_t x, std::int64_t y) const;
};
TPaneHalf PaneHalf(const TAreaPair& area, int pane, int zoom);

// ---- Grip hit test ------------------------------------------------------------

// Cursor slots of the main window's cursor table.
inline constexpr int kArrowSlot = 10;
inline constexpr int kHandSlot = 9;
inline constexpr int kZoomSlot = 11;
inline constexpr int kAreaSlot = 13;

struct HitResult {
    int grip = 0;  // 0 (nothing), 1..8 (grips), 9 (inside)
    int slot = kArrowSlot;
    std::int64_t grabX = 0;
    std::int64_t grabY = 0;
};

// The current area's half in pane pixels: l, t its top-left corner, w, h its
// zoomed width and height (the grips sit at l, l + w div 2, l + w).
HitResult HitTestCurrent(std::int64_t x, std::int64_t y, std::int64_t l, std::int64_t t,
                         std::int64_t w, std::int64_t h);

// True when px lies between x1 and x2 and py between y1 and y2, bounds
// included, in either order.
bool PointBetween(std::int64_t px, std::int64_t py, std::int64_t x1, std::int64_t y1,
                  std::int64_t x2, std::int64_t y2);

// ---- Move and resize ----------------------------------------------------------

// Moves the grabbed grip (or the whole half for grip 9) to picture point
// (nx, ny); a grip dragged past the opposite edge turns into its mirror, which
// is returned. The left and top edge are kept from running off the picture:
// no further left than -width, no further right than the last column.
int DragHalf(TAreaHalf half, int grip, std::int64_t nx, std::int64_t ny, int pictureWidth,
             int pictureHeight);

// ---- Creation -----------------------------------------------------------------

struct CreationInput {
    int startX = 0, startY = 0;  // own-pane press point
    int endX = 0, endY = 0;      // own-pane end point
    int zoom = 100;              // the own pane's zoom, used for both halves
    int ownWidth = 0, ownHeight = 0;
    int otherWidth = 0, otherHeight = 0;
};

// Fills the own half from the dragged corners and the other half at the same
// relative place, scaled by the ratio of the picture sizes. Corners are kept
// as dragged.
void MapCreation(const CreationInput& in, TAreaHalf own, TAreaHalf other);

// ---- Outlines -----------------------------------------------------------------
// Canvas pixel (0, 0) is pane point `origin`; everything outside the canvas is
// clipped, so only the visible part of an outline costs anything.

// Inverts the outline of the rectangle primitive from (x1, y1) to (x2, y2):
// corners in either order, right column and bottom row excluded. Dotted
// inverts every other pixel along the perimeter, clockwise from the top-left
// corner, and leaves the gaps unchanged. Each perimeter pixel is touched once.
void InvertOutline(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                   std::int64_t y2, bool dotted);

// Fills the rectangle from (x1, y1) to (x2, y2), right and bottom excluded,
// with black.
void FillBlack(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
               std::int64_t y2);

// The current area: a solid inverted outline over x .. x + w - 1 by
// y .. y + h - 1, then the eight 6 x 6 black grips in grip order.
void markrec(QImage& canvas, QPoint origin, std::int64_t x, std::int64_t y, std::int64_t w,
             std::int64_t h);

// Any other area: a dotted inverted outline over pane pixels L .. R - 1 by
// T .. B - 1.
void DottedRect(QImage& canvas, QPoint origin, std::int64_t l, std::int64_t t, std::int64_t r,
                std::int64_t b);

}  // namespace areatools
