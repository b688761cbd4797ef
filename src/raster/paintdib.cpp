#include "raster/paintdib.h"

#include <QPainter>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace raster {

int NearestQuotient(std::int64_t num, std::int64_t den) {
    return static_cast<int>(std::nearbyint(static_cast<double>(num) / static_cast<double>(den)));
}

namespace {

struct Stretch {
    int X, Y, DestW, DestH;        // destination, device coordinates
    int SrcX, SrcTop, SrcW, SrcH;  // source, SrcTop counted from the top row
};

// Source column of destination column i (may lie outside the picture).
inline std::int64_t SourceColumn(const Stretch& s, int i) {
    return s.SrcX + std::int64_t{s.SrcW} * i / s.DestW;
}
inline std::int64_t SourceRow(const Stretch& s, int j) {
    return s.SrcTop + std::int64_t{s.SrcH} * j / s.DestH;
}

// Fills the part `area` (device coordinates, inside the destination) of the
// stretched picture into target, whose pixel (0, 0) is device point origin.
// Columns and rows that map outside the picture stay black.
template <typename RowConverter>
void StretchRows(QImage& target, QPoint origin, const Stretch& s, const DibRecord& dib, QRect area,
                 RowConverter convert) {
    const int W = dib.Width();
    const int H = dib.Height();
    const int cols = area.width();
    std::vector<int> table(static_cast<std::size_t>(cols));
    for (int k = 0; k < cols; ++k) {
        const std::int64_t c = SourceColumn(s, area.left() + k - s.X);
        table[static_cast<std::size_t>(k)] = (c >= 0 && c < W) ? static_cast<int>(c) : -1;
    }
    std::int64_t prev = -1;
    QRgb* prevLine = nullptr;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        QRgb* line =
            reinterpret_cast<QRgb*>(target.scanLine(y - origin.y())) + (area.left() - origin.x());
        const std::int64_t row = SourceRow(s, y - s.Y);
        if (row < 0 || row >= H) {
            std::fill_n(line, cols, qRgb(0, 0, 0));
            continue;
        }
        if (row == prev && prevLine != nullptr) {
            std::copy_n(prevLine, cols, line);
            continue;
        }
        convert(dib.Row(static_cast<int>(row)), table, line);
        prev = row;
        prevLine = line;
    }
}

void StretchRows24(QImage& target, QPoint origin, const Stretch& s, const DibRecord& dib,
                   QRect area) {
    // At one-to-one scale the columns follow each other: convert the run
    // straight through, without the table lookups.
    const std::int64_t first = SourceColumn(s, area.left() - s.X);
    const std::int64_t last = SourceColumn(s, area.right() - s.X);
    const bool straight = s.SrcW == s.DestW && first >= 0 && last < dib.Width();
    StretchRows(target, origin, s, dib, area,
                [straight](const std::uint8_t* src, const std::vector<int>& table, QRgb* out) {
                    const std::size_t n = table.size();
                    if (straight && n > 0) {
                        // Little-endian B, G, R bytes read as one word are
                        // already 0x..RRGGBB; the last pixel is read byte by
                        // byte so nothing past the row is touched.
                        const std::uint8_t* p = src + 3 * static_cast<std::size_t>(table[0]);
                        std::size_t k = 0;
                        if constexpr (std::endian::native == std::endian::little) {
                            for (; k + 1 < n; ++k, p += 3) {
                                std::uint32_t v;
                                std::memcpy(&v, p, sizeof v);
                                out[k] = v | 0xFF000000u;
                            }
                        } else {
                            for (; k + 1 < n; ++k, p += 3) out[k] = qRgb(p[2], p[1], p[0]);
                        }
                        out[n - 1] = qRgb(p[2], p[1], p[0]);
                        return;
                    }
                    for (std::size_t k = 0; k < n; ++k) {
                        const int c = table[k];
                        if (c < 0) {
                            out[k] = qRgb(0, 0, 0);
                            continue;
                        }
                        const std::uint8_t* p = src + 3 * c;
                        out[k] = qRgb(p[2], p[1], p[0]);
                    }
                });
}

void StretchRows8(QImage& target, QPoint origin, const Stretch& s, const DibRecord& dib,
                  QRect area) {
    std::array<QRgb, 256> lut{};
    for (int i = 0; i < 256; ++i) {
        const RgbEntry& e = dib.Palette()[static_cast<std::size_t>(i)];
        lut[static_cast<std::size_t>(i)] = qRgb(e.red, e.green, e.blue);
    }
    StretchRows(target, origin, s, dib, area,
                [&lut](const std::uint8_t* src, const std::vector<int>& table, QRgb* out) {
                    for (std::size_t k = 0; k < table.size(); ++k) {
                        const int c = table[k];
                        out[k] = c < 0 ? qRgb(0, 0, 0) : lut[src[c]];
                    }
                });
}

// Other depths (1, 4 and 32 bits): the same pixel choice, one pixel at a time.
void StretchRowsAny(QImage& target, QPoint origin, const Stretch& s, const DibRecord& dib,
                    QRect area) {
    StretchRows(target, origin, s, dib, area,
                [&dib](const std::uint8_t* src, const std::vector<int>& table, QRgb* out) {
                    const int y = dib.Height() - 1 -
                                  static_cast<int>((src - dib.Bits().data()) / dib.BytesPerRow());
                    for (std::size_t k = 0; k < table.size(); ++k) {
                        const int c = table[k];
                        if (c < 0) {
                            out[k] = qRgb(0, 0, 0);
                            continue;
                        }
                        const std::uint32_t v = PixelColor(dib, c, y);
                        out[k] = qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
                    }
                });
}

// Clips the source rectangle to the picture, shrinking the destination in
// proportion. False when nothing is left to draw.
bool ClipSource(const DibRecord& dib, int& X, int& Y, int& DestW, int& DestH, int& SrcX, int& SrcY,
                int& SrcW, int& SrcH) {
    const int W = dib.Width();
    const int H = dib.Height();
    if (SrcW <= 0 || SrcH <= 0) return false;
    if (std::int64_t{SrcX} + SrcW > W) {
        const int t = W - SrcX;
        DestW = NearestQuotient(std::int64_t{DestW} * t, SrcW);
        SrcW = t;
    }
    if (SrcY < 0) {
        if (SrcH == 0) return false;
        DestH = NearestQuotient((std::int64_t{SrcH} + SrcY) * DestH, SrcH);
        SrcH = SrcH + SrcY;
        SrcY = 0;
    }
    if (std::int64_t{SrcY} + SrcH > H) {
        if (SrcH == 0) return false;
        const int t = H - SrcY;
        const int d = NearestQuotient(std::int64_t{DestH} * t, SrcH);
        Y = Y + DestH - d;
        DestH = d;
        SrcH = t;
    }
    if (SrcX < 0) {
        if (SrcW == 0) return false;
        const int d = NearestQuotient((std::int64_t{SrcX} + SrcW) * DestW, SrcW);
        X = X + DestW - d;
        DestW = d;
        SrcW = SrcX + SrcW;
        SrcX = 0;
    }
    return DestW > 0 && DestH > 0 && SrcW > 0 && SrcH > 0;
}

}  // namespace

void PaintDibInto(QImage& target, QPoint targetOrigin, int X, int Y, int DestW, int DestH,
                  const DibRecord& dib, int SrcX, int SrcY, int SrcW, int SrcH) {
    if (!dib.HasPixels() || target.isNull()) return;
    if (!ClipSource(dib, X, Y, DestW, DestH, SrcX, SrcY, SrcW, SrcH)) return;
    const QRect area = QRect(X, Y, DestW, DestH) & QRect(targetOrigin, target.size());
    if (area.isEmpty()) return;
    if (target.format() != QImage::Format_RGB32 && target.format() != QImage::Format_ARGB32 &&
        target.format() != QImage::Format_ARGB32_Premultiplied) {
        target = target.convertToFormat(QImage::Format_RGB32);
    }
    const Stretch s{X, Y, DestW, DestH, SrcX, dib.Height() - SrcY - SrcH, SrcW, SrcH};
    switch (dib.BitCount()) {
        case 24:
            StretchRows24(target, targetOrigin, s, dib, area);
            break;
        case 8:
            StretchRows8(target, targetOrigin, s, dib, area);
            break;
        default:
            StretchRowsAny(target, targetOrigin, s, dib, area);
            break;
    }
}

void PaintDib(QPainter& dc, int X, int Y, int DestW, int DestH, const DibRecord& dib, int SrcX,
              int SrcY, int SrcW, int SrcH, bool /*halftone*/, QRect exposed) {
    if (!dib.HasPixels()) return;
    if (!ClipSource(dib, X, Y, DestW, DestH, SrcX, SrcY, SrcW, SrcH)) return;
    QRect area(X, Y, DestW, DestH);
    if (!exposed.isEmpty()) area &= exposed;
    if (area.isEmpty()) return;
    // Only the exposed part is ever materialised, whatever the zoom.
    QImage part(area.size(), QImage::Format_RGB32);
    if (part.isNull()) return;
    PaintDibInto(part, area.topLeft(), X, Y, DestW, DestH, dib, SrcX, SrcY, SrcW, SrcH);
    dc.drawImage(area.topLeft(), part);
}

QImage DibToImage(const DibRecord& dib) {
    if (!dib.HasPixels()) return {};
    QImage img(dib.Width(), dib.Height(), QImage::Format_RGB32);
    PaintDibInto(img, {0, 0}, 0, 0, dib.Width(), dib.Height(), dib, 0, 0, dib.Width(),
                 dib.Height());
    return img;
}

}  // namespace raster
