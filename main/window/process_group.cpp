#include "main/window/process_group.h"

#include <qdrawutil.h>
#include <QPainter>

namespace tessary {

namespace {
constexpr int kTitleX = 8;
}

ProcessGroup::ProcessGroup(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

// The top line runs through the middle of the title, well above the first
// control of the group (y 10), whatever the style's own group box would do.
QRect ProcessGroup::FrameRect() const {
  const int top = fontMetrics().height() / 2 - 1;
  return rect().adjusted(0, top, -1, -1);
}

QRect ProcessGroup::TitleRect() const {
  const QFontMetrics metrics = fontMetrics();
  return {kTitleX, 0, metrics.horizontalAdvance(title()) + 2, metrics.height()};
}

// An etched frame (a dark line with a light one beside it) drawn here rather
// than by the style, whose group box keeps a title-high margin above the frame.
void ProcessGroup::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  qDrawShadeRect(&painter, FrameRect().adjusted(0, 0, 1, 1), palette(), true, 1, 0);
  const QRect titleRect = TitleRect();
  painter.fillRect(titleRect, palette().window());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(titleRect, Qt::AlignCenter, title());
}

}  // namespace tessary
