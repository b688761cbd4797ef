// Drawing pictures scaled by nearest neighbour.
#pragma once

#include <QImage>
#include <QRect>

#include "raster/dib.h"

class QPainter;

namespace raster {

// Draws the source rectangle (SrcX from the left, SrcY counted in rows from
// the bottom of the picture) of dib into the destination rectangle
// (X, Y, DestW, DestH) of the painter's device. Only the part of the
// destination inside `exposed` (device coordinates) is computed and drawn; an
// empty `exposed` means the whole destination. Pixels a destination row or
// column takes from outside the picture are black.
void PaintDib(QPainter& dc, int X, int Y, int DestW, int DestH, const DibRecord& dib, int SrcX,
              int SrcY, int SrcW, int SrcH, bool halftone = false, QRect exposed = {});

// The same into an image of the caller: writes the destination pixels that
// fall inside target's rectangle placed at targetOrigin (device coordinates).
// This is the worker under PaintDib; panes that compose off-screen use it.
void PaintDibInto(QImage& target, QPoint targetOrigin, int X, int Y, int DestW, int DestH,
                  const DibRecord& dib, int SrcX, int SrcY, int SrcW, int SrcH);

// nearest(q) of the clipping rules: the integer nearest to num / den, halves
// to the even integer.
int NearestQuotient(std::int64_t num, std::int64_t den);

// The whole picture as a QImage (Format_RGB32), for saving and tests.
QImage DibToImage(const DibRecord& dib);

}  // namespace raster
