// The tool-bar glyphs: vector drawings at 16 x 16 (and at 1.5, 2 and 3 times
// that for sharp high-density screens), with greyed forms for disabled buttons.
// Tessary is the program's own: the window's icon and, drawn large, the icon
// of its desktop entry.
#pragma once

#include <QIcon>
#include <QPainter>

namespace tessary {

enum class Glyph { AddFiles, SaveList, RemoveFiles, Process, Exit, Tessary };

QIcon GlyphIcon(Glyph glyph);

// Draws `glyph` in colour into the square (0, 0)-(side, side) of `painter`:
// the vector shapes, for images and SVG drawings of any size.
void PaintGlyph(QPainter& painter, Glyph glyph, qreal side);

}  // namespace tessary
