// The viewer of one TIM file: its picture at 1x to 8x over a checkerboard,
// its CLUT rows as swatches with a chooser of the row the picture is drawn
// with, and what its headers say. A window of its own, not modal.
#pragma once

#include <QDialog>
#include <QImage>
#include <optional>
#include <string>

#include "formathandlers/tim/tim_preview.h"
#include "misc/byte_buffer.h"

class QComboBox;
class QLabel;

namespace tessary {

// The two colours of the checkerboard behind transparent pixels.
inline constexpr QRgb kCheckerLight = 0xFFE0E0E0;
inline constexpr QRgb kCheckerDark = 0xFFB0B0B0;

// The bytes of a TIM file to show; a file far larger than any TIM is refused
// with a FormatError naming it.
ByteBuffer LoadTimFile(const std::string& path);
// The preview's pixels as an image (RGBA, 8 bits a channel).
QImage ImageOf(const TimPreview& preview);
// `image` enlarged `zoom` times without smoothing, over the checkerboard.
QImage OnCheckerboard(const QImage& image, int zoom);

class TimViewer final : public QDialog {
 public:
  // Reads `path` now; a file that cannot be shown shows its error text.
  explicit TimViewer(const std::string& path, QWidget* parent = nullptr);

  // Controls, for the tests.
  QComboBox *Zoom = nullptr, *ClutRow = nullptr;
  QLabel *Picture = nullptr, *Swatches = nullptr, *Details = nullptr;

  // What is shown; nullopt when the file could not be read.
  const std::optional<TimPreview>& Preview() const { return preview_; }
  const std::string& Path() const { return path_; }

 private:
  void BuildControls();
  void Load();
  void ShowRow(int row);
  void ShowPicture();
  void FitToPicture();
  void ShowError(const std::string& text);

  std::string path_;
  ByteBuffer bytes_;
  std::optional<TimPreview> preview_;
};

}  // namespace tessary
