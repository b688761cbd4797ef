// The arithmetic and drawing behind the area editor, free of widgets so that
// it can be tested and measured on its own: the grip hit test, the
// move/resize of one half (dragit), the creation mapping, and the outlines
// drawn pixel by pixel into an off-screen canvas in colours that stand out
// from whatever picture lies below.
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

// A half smaller than this many pane pixels on a side offers only its four
// corner grips, so that most of it is left for moving it.
inline constexpr int kSmallHalf = 24;
// How many grips a half of zoomed size w x h offers: 8, or the 4 corners.
int GripCount(std::int64_t w, std::int64_t h);

// The current area's half in pane pixels: l, t its top-left corner, w, h its
// zoomed width and height (the grips sit at l, l + w div 2, l + w). A grip is
// hit within 3 pixels of its centre, and from outside the half within 6
// (1 and 6 on a small half); where the zones of two grips meet, the nearer
// grip wins, then the first in grip order. Inside the half, away from the
// grips, is 9.
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
//
// Every outline and grip pixel differs from the picture pixel below it by at
// least kMinContrast in one colour channel. Plain inversion does not do that
// on mid-grey (#808080 inverts to #7F7F7F), so there the outline turns black
// or white.
inline constexpr int kMinContrast = 96;

// The largest difference of the two colours in one channel (alpha ignored).
int ColourDistance(QRgb a, QRgb b);
// An outline pixel over `under`: its inverse where that differs by at least
// kMinContrast, otherwise GripColour. Alpha of the result is 0.
QRgb ContrastColour(QRgb under);
// A grip pixel over `under`: black on light colours, white on dark ones.
QRgb GripColour(QRgb under);

// Draws the outline of the rectangle primitive from (x1, y1) to (x2, y2):
// corners in either order, right column and bottom row excluded. Dotted
// draws every other pixel along the perimeter, clockwise from the top-left
// corner, and leaves the gaps unchanged. Each perimeter pixel is touched once.
void DrawOutline(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
                 std::int64_t y2, bool dotted);

// Fills the rectangle from (x1, y1) to (x2, y2), right and bottom excluded,
// with grip colours.
void FillGrip(QImage& canvas, QPoint origin, std::int64_t x1, std::int64_t y1, std::int64_t x2,
              std::int64_t y2);

// The current area: a solid outline over x .. x + w - 1 by y .. y + h - 1,
// then its 6 x 6 grips in grip order (the corner grips only on a half
// smaller than kSmallHalf pixels on a side, see GripCount).
void markrec(QImage& canvas, QPoint origin, std::int64_t x, std::int64_t y, std::int64_t w,
             std::int64_t h);

// Any other area: a dotted outline over pane pixels L .. R - 1 by T .. B - 1.
void DottedRect(QImage& canvas, QPoint origin, std::int64_t l, std::int64_t t, std::int64_t r,
                std::int64_t b);

}  // namespace areatools
