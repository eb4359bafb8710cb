// The " Process " group of the window, drawn with its title on the frame line
// and the frame placed so that no control of the group crosses it.
#pragma once

#include <QGroupBox>

namespace tessary {

class ProcessGroup final : public QGroupBox {
 public:
  ProcessGroup(const QString& title, QWidget* parent);
  // The frame line's rectangle, in the group's coordinates.
  QRect FrameRect() const;
  // Where the title is drawn over the frame line.
  QRect TitleRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessary
