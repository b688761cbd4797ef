#include "app/artwork.h"

#include <QBitmap>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace artwork {

namespace {

QPixmap Blank(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void Arrow(QPainter& p, QPointF from, QPointF to) {
    p.drawLine(from, to);
    const QPointF d = to - from;
    const QPointF n(-d.y() * 0.35, d.x() * 0.35);
    QPolygonF head;
    head << to << to - d * 0.4 + n << to - d * 0.4 - n;
    p.drawPolygon(head);
}

}  // namespace

QPixmap GlyphPixmap(Glyph glyph, int size) {
    QPixmap pm = Blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    const QColor ink(40, 40, 60);
    p.setPen(QPen(ink, 1.2));
    switch (glyph) {
        case Glyph::Open:
        case Glyph::OpenProject:
            p.setBrush(QColor(240, 200, 90));
            p.drawRect(QRectF(1.5, 4.5, 13, 9));
            p.setBrush(QColor(250, 220, 120));
            p.drawPolygon(QPolygonF({{1.5, 13.5}, {4, 7.5}, {15, 7.5}, {12.5, 13.5}}));
            break;
        case Glyph::New:
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF({{3, 1.5}, {10, 1.5}, {13, 4.5}, {13, 14.5}, {3, 14.5}}));
            p.drawLine(QPointF(10, 1.5), QPointF(10, 4.5));
            p.drawLine(QPointF(10, 4.5), QPointF(13, 4.5));
            break;
        case Glyph::Save:
        case Glyph::SaveAs:
        case Glyph::SavePicture:
        case Glyph::SaveVideo:
            p.setBrush(QColor(70, 110, 190));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 1.5, 8, 5));
            p.setBrush(QColor(200, 200, 210));
            p.drawRect(QRectF(4, 9, 8, 5.5));
            if (glyph == Glyph::SaveAs) {
                p.setPen(QPen(QColor(200, 40, 40), 1.6));
                p.drawLine(QPointF(9, 15), QPointF(15, 9));
            } else if (glyph == Glyph::SaveVideo) {
                p.setBrush(QColor(220, 60, 60));
                p.drawPolygon(QPolygonF({{6, 9.5}, {6, 14}, {10.5, 11.75}}));
            } else if (glyph == Glyph::SavePicture) {
                p.setBrush(QColor(60, 170, 80));
                p.drawEllipse(QPointF(8, 11.7), 2, 2);
            }
            break;
        case Glyph::Delete:
            p.setPen(QPen(QColor(200, 40, 40), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
            break;
        case Glyph::Previous:
            p.setBrush(QColor(60, 140, 60));
            Arrow(p, QPointF(14, 8), QPointF(2, 8));
            break;
        case Glyph::Next:
            p.setBrush(QColor(60, 140, 60));
            Arrow(p, QPointF(2, 8), QPointF(14, 8));
            break;
        case Glyph::Play:
            p.setBrush(QColor(40, 160, 60));
            p.drawPolygon(QPolygonF({{3, 2}, {3, 14}, {14, 8}}));
            break;
        case Glyph::Stop:
            p.setBrush(QColor(200, 50, 50));
            p.drawRect(QRectF(3, 3, 10, 10));
            break;
        case Glyph::Pointer:
            p.setBrush(Qt::white);
            p.drawPolygon(QPolygonF(
                {{4, 1}, {4, 13}, {7, 10}, {9.5, 15}, {11, 14}, {8.8, 9.5}, {12.5, 9.5}}));
            break;
        case Glyph::Zoom:
            p.setBrush(QColor(200, 230, 255));
            p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
            p.setPen(QPen(ink, 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
            break;
        case Glyph::Hand:
            p.setBrush(QColor(250, 215, 180));
            p.drawRoundedRect(QRectF(3, 6, 10, 9), 3, 3);
            for (int i = 0; i < 4; ++i)
                p.drawRoundedRect(QRectF(3.2 + i * 2.5, 2 + (i % 3 == 0), 2.2, 6), 1, 1);
            break;
        case Glyph::Area:
            p.setPen(QPen(ink, 1.2, Qt::DashLine));
            p.drawRect(QRectF(2.5, 3.5, 11, 9));
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            for (QPointF c :
                 {QPointF(2.5, 3.5), QPointF(13.5, 3.5), QPointF(2.5, 12.5), QPointF(13.5, 12.5)})
                p.drawRect(QRectF(c.x() - 1.5, c.y() - 1.5, 3, 3));
            break;
        case Glyph::Undo:
        case Glyph::Redo: {
            // A curved arrow pointing back (undo) or on (redo).
            if (glyph == Glyph::Redo) {
                p.translate(16, 0);
                p.scale(-1, 1);
            }
            const QColor arrow(50, 100, 180);
            p.setPen(QPen(arrow, 2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath path(QPointF(4.5, 6.5));
            path.cubicTo(QPointF(9, 3), QPointF(15, 6), QPointF(12.5, 13));
            p.drawPath(path);
            p.setPen(Qt::NoPen);
            p.setBrush(arrow);
            p.drawPolygon(QPolygonF({{1.5, 6.5}, {6.5, 2.5}, {7, 10}}));
            break;
        }
        case Glyph::Match:
            // The area drawn in one picture and, found, in the other.
            p.setBrush(QColor(250, 230, 150));
            p.drawRect(QRectF(1.5, 1.5, 6, 5));
            p.setPen(QPen(ink, 1.2, Qt::DashLine));
            p.setBrush(QColor(190, 225, 190));
            p.drawRect(QRectF(7.5, 8.5, 7, 6));
            p.setPen(QPen(QColor(60, 140, 60), 1.2));
            p.setBrush(QColor(60, 140, 60));
            Arrow(p, QPointF(4.5, 8), QPointF(7, 12));
            break;
    }
    return pm;
}

QPixmap TabIcon(int page) {
    switch (page) {
        case 0:
            return GlyphPixmap(Glyph::Open);
        case 1:
            return GlyphPixmap(Glyph::Area);
        default:
            return GlyphPixmap(Glyph::Play);
    }
}

// Two faces, one turning into the other: the picture of the program.
QPixmap DecorativePicture(int page) {
    QPixmap pm(209, 300);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0, page == 0 ? QColor(192, 220, 192) : QColor(200, 210, 235));
    sky.setColorAt(1, QColor(250, 250, 240));
    p.fillRect(pm.rect(), sky);
    for (int i = 0; i < 3; ++i) {
        const double t = i / 2.0;
        const QPointF c(40 + i * 65, 150 - i * 20);
        const double rx = 26 + 6 * t, ry = 34 - 4 * t;
        p.setPen(QPen(QColor(90, 60, 40), 1.5));
        p.setBrush(QColor::fromRgbF(0.98, 0.85 - 0.15 * t, 0.7 - 0.2 * t));
        p.drawEllipse(c, rx, ry);
        p.setBrush(QColor(50, 70, 120));
        p.drawEllipse(c + QPointF(-rx * 0.4, -ry * 0.25), 3.5, 3.5);
        p.drawEllipse(c + QPointF(rx * 0.4, -ry * 0.25), 3.5, 3.5);
        p.setBrush(Qt::NoBrush);
        QPainterPath mouth;
        mouth.moveTo(c + QPointF(-rx * 0.45, ry * 0.35));
        mouth.quadTo(c + QPointF(0, ry * (0.35 + 0.3 * (1 - t))),
                     c + QPointF(rx * 0.45, ry * 0.35));
        p.drawPath(mouth);
    }
    return pm;
}

QPixmap ProductPicture() {
    return DecorativePicture(2);
}

namespace {

QPixmap CaptionButton(const QString& text, QColor face, bool pressed) {
    QPixmap pm(101, 30);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(pm.rect(), pressed ? face.darker(130) : face);
    p.setPen(pressed ? QColor(60, 60, 60) : Qt::white);
    p.drawLine(0, 0, 100, 0);
    p.drawLine(0, 0, 0, 29);
    p.setPen(pressed ? Qt::white : QColor(60, 60, 60));
    p.drawLine(100, 0, 100, 29);
    p.drawLine(0, 29, 100, 29);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(pm.rect().translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, text);
    return pm;
}

QCursor MonoCursor(const std::function<void(QPainter&)>& draw, int hotX, int hotY) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        draw(p);
    }
    return QCursor(QPixmap::fromImage(img), hotX, hotY);
}

}  // namespace

QPixmap InfoButton(bool pressed) {
    return CaptionButton(QStringLiteral("Info"), QColor(70, 110, 170), pressed);
}
QPixmap ExitButton(bool pressed) {
    return CaptionButton(QStringLiteral("Exit"), QColor(170, 60, 60), pressed);
}

QCursor DragCursor() {
    return MonoCursor(
        [](QPainter& p) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRect(8, 12, 16, 12), 4, 4);
            for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRect(8 + i * 4, 9, 4, 6), 2, 2);
            p.drawRoundedRect(QRect(5, 14, 5, 5), 2, 2);
        },
        15, 16);
}

QCursor LupeCursor() {
    return MonoCursor(
        [](QPainter& p) {
            p.setPen(QPen(Qt::black, 2));
            p.setBrush(Qt::white);
            p.drawEllipse(QRect(1, 1, 16, 16));
            p.setPen(QPen(Qt::black, 4));
            p.drawLine(15, 15, 27, 27);
        },
        9, 9);
}

QCursor Cursor32763() {
    return MonoCursor(
        [](QPainter& p) {
            p.setPen(Qt::black);
            p.drawLine(16, 8, 16, 24);
            p.drawLine(8, 16, 24, 16);
        },
        16, 16);
}

QCursor GeoselCursor() {
    return MonoCursor(
        [](QPainter& p) {
            p.setPen(Qt::white);
            p.drawLine(15, 0, 15, 31);
            p.drawLine(17, 0, 17, 31);
            p.drawLine(0, 15, 31, 15);
            p.drawLine(0, 17, 31, 17);
            p.setPen(Qt::black);
            p.drawLine(16, 0, 16, 31);
            p.drawLine(0, 16, 31, 16);
            p.setPen(QPen(Qt::black, 1, Qt::DotLine));
            p.drawRect(QRect(20, 20, 10, 8));
        },
        16, 16);
}

}  // namespace artwork
