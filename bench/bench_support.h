// Pictures and pane sizes shared by the window benchmarks.
#pragma once

#include <QApplication>
#include <QSize>

#include "controls/zoompane.h"
#include "raster/dib.h"

namespace bench_support {

// A 24-bit picture of pseudo-random bytes.
inline raster::DibRecord Picture(int w, int h, std::uint32_t seed) {
    raster::DibRecord d = raster::newdib(w, h, 24);
    for (std::uint8_t& b : d.Bits()) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return d;
}

// Sizes a scroll box so that its viewport is exactly `viewport`.
inline void FitViewport(TZoomPane* pane, QSize viewport) {
    for (int i = 0; i < 3; ++i) {
        const QSize extra = pane->size() - pane->viewport()->size();
        pane->setFixedSize(viewport + extra);
        QApplication::processEvents();
    }
}

}  // namespace bench_support
