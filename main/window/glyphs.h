// The tool-bar glyphs: vector drawings at 16 x 16 (and at 1.5, 2 and 3 times
// that for sharp high-density screens), with greyed forms for disabled buttons.
#pragma once

#include <QIcon>

namespace tessary {

enum class Glyph { AddFiles, SaveList, RemoveFiles, Process, Exit };

QIcon GlyphIcon(Glyph glyph);

}  // namespace tessary
