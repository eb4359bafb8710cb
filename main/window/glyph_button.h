// A tool-bar button with a drawn glyph: it takes the keyboard focus, shows a
// focus frame, and Enter clicks it as Space does.
#pragma once

#include <QToolButton>

#include "main/window/glyphs.h"

namespace tessary {

class GlyphButton final : public QToolButton {
 public:
  GlyphButton(Glyph glyph, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessary
