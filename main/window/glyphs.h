// The tool-bar glyphs, drawn at 16 x 16 with a greyed form for disabled buttons.
#pragma once

#include <QIcon>

namespace tessary {

enum class Glyph { AddFiles, SaveList, RemoveFiles, Process, Exit };

QIcon GlyphIcon(Glyph glyph);

}  // namespace tessary
