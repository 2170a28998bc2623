// The program's small pictures: tool-button glyphs, the ellipse cursor of
// the Julia-point pick and the window icon, drawn rather than shipped.
#pragma once

#include <QCursor>
#include <QIcon>

namespace app {

enum class Glyph { Parameters, Zoom, ColourControls, ImageSize, Apply, Julia };

QIcon GlyphIcon(Glyph glyph);
// "ELLIPSECURSOR": an ellipse outline with a dot, its hot spot in the middle.
QCursor MakeEllipseCursor();
QIcon ApplicationIcon();

}  // namespace app
