#include "main/window/glyph_button.h"

#include <QKeyEvent>
#include <QPainter>

namespace tessary {

GlyphButton::GlyphButton(Glyph glyph, QWidget* parent) : QToolButton(parent) {
  setIcon(GlyphIcon(glyph));
  setIconSize(QSize(16, 16));
  setAutoRaise(true);
  setFocusPolicy(Qt::StrongFocus);
}

void GlyphButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QToolButton::keyPressEvent(event);
}

void GlyphButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

}  // namespace tessary
