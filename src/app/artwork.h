// The program's own pictures, drawn in code: button glyphs, tab icons, the
// decorative page pictures, the picture buttons and the cursors.
#pragma once

#include <QCursor>
#include <QPixmap>

namespace artwork {

enum class Glyph {
    Open,
    Delete,
    Previous,
    Next,
    Play,
    Stop,
    SavePicture,
    SaveVideo,
    New,
    OpenProject,
    Save,
    SaveAs,
    Pointer,
    Zoom,
    Hand,
    Area,
    Undo,
    Redo,
    Match
};

QPixmap GlyphPixmap(Glyph glyph, int size = 16);
QPixmap TabIcon(int page);
QPixmap DecorativePicture(int page);  // Image1 (page 0) and Image3 (page 2)
QPixmap ProductPicture();
// The two picture buttons of the bottom bar, released and pressed.
QPixmap InfoButton(bool pressed);
QPixmap ExitButton(bool pressed);

// The program's 32 x 32 cursors.
QCursor DragCursor();    // a grabbing hand, hot spot (15, 16)
QCursor LupeCursor();    // a magnifier, hot spot (9, 9), the lens centre
QCursor Cursor32763();   // a small cross, hot spot (16, 16)
QCursor GeoselCursor();  // a cross-hair with a dotted rectangle, hot spot (16, 16)

}  // namespace artwork
