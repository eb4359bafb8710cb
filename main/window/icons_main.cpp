// Writes the icon of the desktop entry into a folder: tessary-48.png,
// tessary-128.png, tessary-256.png and tessary.svg, all drawn from the
// program's glyph.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "main/window/glyphs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessary-icons FOLDER\n");
    return 2;
  }
  // Shapes only, no text: no application object or platform is needed.
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  for (const int side : {48, 128, 256}) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    tessary::PaintGlyph(painter, tessary::Glyph::Tessary, side);
    painter.end();
    const QString path = QString("%1/tessary-%2.png").arg(folder).arg(side);
    if (!image.save(path)) {
      std::fprintf(stderr, "tessary-icons: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  QSvgGenerator svg;
  svg.setFileName(folder + "/tessary.svg");
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRect(0, 0, 256, 256));
  svg.setTitle("Tessary");
  QPainter painter(&svg);
  tessary::PaintGlyph(painter, tessary::Glyph::Tessary, 256);
  return painter.end() ? 0 : 1;
}
