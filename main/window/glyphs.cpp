#include "main/window/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessary {

namespace {

constexpr int kSize = 16;

struct Colours {
  QColor red, blue, green, paper, ink, metal;
};

const Colours kColour{{205, 35, 35},   {35, 90, 205}, {30, 150, 60},
                      {255, 255, 245}, {45, 45, 45},  {125, 125, 145}};
// Disabled: the same shapes in greys that still tell the parts apart.
const Colours kGrey{{140, 140, 140}, {125, 125, 125}, {150, 150, 150},
                    {236, 236, 236}, {110, 110, 110}, {175, 175, 175}};

// A sheet of paper with a folded corner, its top left at (x, y).
void DrawSheet(QPainter& p, const Colours& c, qreal x, qreal y) {
  QPainterPath sheet;
  sheet.moveTo(x, y);
  sheet.lineTo(x + 6, y);
  sheet.lineTo(x + 9, y + 3);
  sheet.lineTo(x + 9, y + 12);
  sheet.lineTo(x, y + 12);
  sheet.closeSubpath();
  p.setPen(QPen(c.ink, 1));
  p.setBrush(c.paper);
  p.drawPath(sheet);
}

// A round badge with a plus or a minus, bottom right.
void DrawBadge(QPainter& p, const QColor& colour, const Colours& c, bool plus) {
  p.setPen(QPen(colour.darker(130), 1));
  p.setBrush(colour);
  p.drawEllipse(QRectF(8.5, 8.5, 7, 7));
  p.setPen(QPen(c.paper, 1.6));
  p.drawLine(QPointF(10, 12), QPointF(14, 12));
  if (plus) p.drawLine(QPointF(12, 10), QPointF(12, 14));
}

// A stack of sheets with a red bar, and a plus: add files.
void DrawAddFiles(QPainter& p, const Colours& c) {
  DrawSheet(p, c, 3.5, 0.5);
  DrawSheet(p, c, 1.5, 2.5);
  p.fillRect(QRectF(1, 15, 9, 1), c.red);
  DrawBadge(p, c.green, c, true);
}

// A diskette: body, label and shutter.
void DrawSaveList(QPainter& p, const Colours& c) {
  QPainterPath body;
  body.moveTo(1.5, 1.5);
  body.lineTo(12.5, 1.5);
  body.lineTo(14.5, 3.5);
  body.lineTo(14.5, 14.5);
  body.lineTo(1.5, 14.5);
  body.closeSubpath();
  p.setPen(QPen(c.ink, 1));
  p.setBrush(c.blue);
  p.drawPath(body);
  p.fillRect(QRectF(4, 2, 8, 5), c.paper);
  p.fillRect(QRectF(4, 10, 8, 4), c.metal);
  p.fillRect(QRectF(9, 10.5, 2, 3), c.ink);
}

// A sheet, a blue arrow pointing left at a red bar, and a minus: remove.
void DrawRemoveFiles(QPainter& p, const Colours& c) {
  DrawSheet(p, c, 5.5, 0.5);
  p.fillRect(QRectF(0.5, 2, 2, 10), c.red);
  QPolygonF arrow;
  arrow << QPointF(3.5, 7) << QPointF(7.5, 3) << QPointF(7.5, 5.5) << QPointF(11, 5.5)
        << QPointF(11, 8.5) << QPointF(7.5, 8.5) << QPointF(7.5, 11);
  p.setPen(QPen(c.blue.darker(140), 1));
  p.setBrush(c.blue);
  p.drawPolygon(arrow);
  DrawBadge(p, c.red, c, false);
}

// A red circular arrow around a green run triangle: process.
void DrawProcess(QPainter& p, const Colours& c) {
  p.setPen(QPen(c.red, 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(1.5, 1.5, 13, 13), 70 * 16, 290 * 16);
  QPainterPath head;
  head.moveTo(8, 0);
  head.lineTo(12.5, 2.5);
  head.lineTo(8, 5);
  head.closeSubpath();
  p.fillPath(head, c.red);
  QPolygonF run;
  run << QPointF(6, 5) << QPointF(11, 8) << QPointF(6, 11);
  p.setPen(Qt::NoPen);
  p.setBrush(c.green);
  p.drawPolygon(run);
}

// A door with a red arrow pointing right, out of it: exit.
void DrawExit(QPainter& p, const Colours& c) {
  p.setPen(QPen(c.ink, 1));
  p.setBrush(c.paper);
  p.drawRect(QRectF(1.5, 1.5, 7, 13));
  p.fillRect(QRectF(6, 7.5, 1.5, 1.5), c.ink);
  QPolygonF arrow;
  arrow << QPointF(5, 6.5) << QPointF(10, 6.5) << QPointF(10, 3.5) << QPointF(15, 8)
        << QPointF(10, 12.5) << QPointF(10, 9.5) << QPointF(5, 9.5);
  p.setPen(QPen(c.red.darker(140), 1));
  p.setBrush(c.red);
  p.drawPolygon(arrow);
}

// Four tiles of a mosaic (tesserae) on a sheet: red, blue, green and metal,
// each outlined in ink. The program's own glyph.
void DrawTessary(QPainter& p, const Colours& c) {
  p.setPen(QPen(c.ink, 1));
  p.setBrush(c.paper);
  p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
  const QColor tiles[] = {c.red, c.blue, c.green, c.metal};
  for (int t = 0; t < 4; ++t) {
    p.setPen(QPen(tiles[t].darker(150), 0.8));
    p.setBrush(tiles[t]);
    p.drawRect(QRectF(2.5 + (t % 2) * 6, 2.5 + (t / 2) * 6, 5, 5));
  }
}

// The drawing of every glyph, in the order of the Glyph enumeration.
using Drawing = void (*)(QPainter&, const Colours&);
constexpr Drawing kDrawings[] = {DrawAddFiles, DrawSaveList, DrawRemoveFiles,
                                 DrawProcess,  DrawExit,     DrawTessary};

// The glyph drawn at `scale` times 16 pixels: vector shapes, so every device
// pixel ratio gets a sharp picture of its own.
QPixmap Draw(Glyph glyph, const Colours& colours, qreal scale) {
  const int side = qRound(kSize * scale);
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  kDrawings[static_cast<int>(glyph)](p, colours);
  return pixmap;
}

}  // namespace

void PaintGlyph(QPainter& painter, Glyph glyph, qreal side) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(side / kSize, side / kSize);
  kDrawings[static_cast<int>(glyph)](painter, kColour);
  painter.restore();
}

QIcon GlyphIcon(Glyph glyph) {
  QIcon icon;
  for (const qreal scale : {1.0, 1.5, 2.0, 3.0}) {
    icon.addPixmap(Draw(glyph, kColour, scale), QIcon::Normal);
    icon.addPixmap(Draw(glyph, kGrey, scale), QIcon::Disabled);
  }
  return icon;
}

}  // namespace tessary
