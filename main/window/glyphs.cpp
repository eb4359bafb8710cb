#include "main/window/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessary {

namespace {

constexpr int kSize = 16;

struct Palette {
  QColor red, blue, paper, ink, metal;
};

const Palette kColour{{200, 30, 30}, {30, 80, 200}, {255, 255, 240}, {40, 40, 40}, {120, 120, 140}};
const Palette kGrey{
    {150, 150, 150}, {150, 150, 150}, {225, 225, 225}, {150, 150, 150}, {170, 170, 170}};

void DrawArrow(QPainter& p, const QColor& colour, bool pointsRight, int y) {
  QPolygon arrow;
  if (pointsRight) {
    arrow << QPoint(2, y - 2) << QPoint(9, y - 2) << QPoint(9, y - 5) << QPoint(14, y)
          << QPoint(9, y + 5) << QPoint(9, y + 2) << QPoint(2, y + 2);
  } else {
    arrow << QPoint(13, y - 2) << QPoint(7, y - 2) << QPoint(7, y - 5) << QPoint(2, y)
          << QPoint(7, y + 5) << QPoint(7, y + 2) << QPoint(13, y + 2);
  }
  p.setBrush(colour);
  p.setPen(colour.darker(140));
  p.drawPolygon(arrow);
}

// A stack of sheets with a red bar.
void DrawAddFiles(QPainter& p, const Palette& c) {
  p.setPen(c.ink);
  p.setBrush(c.paper);
  for (int k = 2; k >= 0; --k) p.drawRect(2 + 2 * k, 1 + 2 * k, 8, 10);
  p.fillRect(3, 13, 11, 2, c.red);
}

// A diskette.
void DrawSaveList(QPainter& p, const Palette& c) {
  p.setPen(c.ink);
  p.setBrush(c.blue);
  p.drawRect(1, 1, 13, 13);
  p.fillRect(4, 2, 7, 5, c.paper);
  p.fillRect(4, 10, 7, 4, c.metal);
}

// A blue arrow pointing left at a red bar.
void DrawRemoveFiles(QPainter& p, const Palette& c) {
  p.fillRect(1, 2, 2, 12, c.red);
  DrawArrow(p, c.blue, false, 8);
}

// A red circular arrow.
void DrawProcess(QPainter& p, const Palette& c) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(c.red, 2.2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
  QPainterPath head;
  head.moveTo(9, 0.5);
  head.lineTo(14, 3.5);
  head.lineTo(9, 6.5);
  head.closeSubpath();
  p.fillPath(head, c.red);
}

// A red arrow pointing right.
void DrawExit(QPainter& p, const Palette& c) {
  p.fillRect(13, 2, 2, 12, c.ink);
  DrawArrow(p, c.red, true, 8);
}

QPixmap Draw(Glyph glyph, const Palette& colours) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  switch (glyph) {
    case Glyph::AddFiles:
      DrawAddFiles(p, colours);
      break;
    case Glyph::SaveList:
      DrawSaveList(p, colours);
      break;
    case Glyph::RemoveFiles:
      DrawRemoveFiles(p, colours);
      break;
    case Glyph::Process:
      DrawProcess(p, colours);
      break;
    case Glyph::Exit:
      DrawExit(p, colours);
      break;
  }
  return pixmap;
}

}  // namespace

QIcon GlyphIcon(Glyph glyph) {
  QIcon icon;
  icon.addPixmap(Draw(glyph, kColour), QIcon::Normal);
  icon.addPixmap(Draw(glyph, kGrey), QIcon::Disabled);
  return icon;
}

}  // namespace tessary
