#include "main/window/tim_viewer.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// A TIM's pixels and CLUT fit the console's 1 MiB of video memory: a file far
// larger is no TIM and is not read into memory whole.
constexpr std::uint64_t kMaxTimFileSize = std::uint64_t{64} << 20;
constexpr int kCheckerCell = 8;
constexpr int kMaxZoom = 8;
// The picture opens at the largest zoom that keeps it within this size.
constexpr int kFittingSide = 512;
// No zoom makes the shown picture wider or taller than this.
constexpr int kMaxShownSide = 8192;
constexpr int kSwatch = 12, kRowGap = 4, kLabelWidth = 28;
// A CLUT may hold far more rows than a palette needs (its block length is the
// file's to say): the swatches and the chooser offer the first ones.
constexpr std::size_t kRowsOffered = 256;
constexpr int kSwatchAreaWidth = kLabelWidth + 16 * kSwatch + 24;

const char* const kModeNames[] = {"4-bit, CLUT", "8-bit, CLUT", "16-bit", "24-bit"};

QString At(const TimImage::Block& block) {
  return QString("(%1, %2)").arg(block.x).arg(block.y);
}

QString DetailsText(const TimPreview& p) {
  QString text =
      QString("Mode %1 (%2), %3 x %4 pixels\nImage: at %5 in video memory, block of %6 bytes\n")
          .arg(static_cast<int>(p.mode))
          .arg(kModeNames[static_cast<int>(p.mode)])
          .arg(p.width)
          .arg(p.height)
          .arg(At(p.imageBlock))
          .arg(p.imageBlock.length);
  if (!p.clutBlock) return text + "CLUT: none";
  text += "CLUT: at " + At(*p.clutBlock) + ", ";
  if (p.clutRows.empty())
    text += "not used by this mode";
  else
    text += QString("%1 %2 of %3 colours")
                .arg(p.clutRows.size())
                .arg(p.clutRows.size() == 1 ? "row" : "rows")
                .arg(p.clutRows[0].size());
  return text + QString(", block of %1 bytes").arg(p.clutBlock->length);
}

// Where CLUT row `row` starts in video memory: the game selects a palette by
// that position. The block's width is counted in colours.
QString RowLabel(const TimPreview& p, std::size_t row) {
  if (!p.clutBlock || p.clutBlock->width == 0) return QString::number(row);
  const std::size_t first = row * p.clutRows[0].size();
  return QString("%1 at (%2, %3)")
      .arg(row)
      .arg(p.clutBlock->x + first % p.clutBlock->width)
      .arg(p.clutBlock->y + first / p.clutBlock->width);
}

QBrush CheckerBrush(int cell) {
  QImage tile(2 * cell, 2 * cell, QImage::Format_RGB32);
  tile.fill(kCheckerLight);
  QPainter painter(&tile);
  painter.fillRect(cell, 0, cell, cell, QColor::fromRgb(kCheckerDark));
  painter.fillRect(0, cell, cell, cell, QColor::fromRgb(kCheckerDark));
  return QBrush(tile);
}

// Every CLUT row as lines of 16 swatches (a 256-colour row takes 16 lines),
// its number on the left, the row the picture is drawn with framed.
QImage SwatchImage(const TimPreview& p) {
  const int linesPerRow = p.clutRows.empty() ? 0 : static_cast<int>(p.clutRows[0].size()) / 16;
  const int rowHeight = linesPerRow * kSwatch + kRowGap;
  const int rows = static_cast<int>(std::min(p.clutRows.size(), kRowsOffered));
  QImage image(kLabelWidth + 16 * kSwatch + 2, std::max(1, rows * rowHeight), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const QBrush checker = CheckerBrush(kSwatch / 2);
  for (int r = 0; r < rows; ++r) {
    const int top = r * rowHeight + kRowGap / 2;
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, top, kLabelWidth - 4, kSwatch), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(r));
    const auto& colours = p.clutRows[static_cast<std::size_t>(r)];
    for (std::size_t i = 0; i < colours.size(); ++i) {
      const QRect cell(kLabelWidth + 1 + static_cast<int>(i % 16) * kSwatch,
                       top + static_cast<int>(i / 16) * kSwatch, kSwatch, kSwatch);
      const Rgba c = colours[i];
      painter.fillRect(cell, c.alpha == 0 ? checker : QBrush(QColor(c.red, c.green, c.blue)));
    }
    if (static_cast<std::size_t>(r) == p.shownRow) {
      painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
      painter.drawRect(kLabelWidth, top - 1, 16 * kSwatch + 2, linesPerRow * kSwatch + 2);
    }
  }
  return image;
}

// The largest zoom that keeps the picture within `side` (1 at least).
int ZoomWithin(const TimPreview& p, int side) {
  const auto longest = static_cast<int>(std::max({p.width, p.height, 1u}));
  return std::clamp(side / longest, 1, kMaxZoom);
}

}  // namespace

ByteBuffer LoadTimFile(const std::string& path) {
  FileStream file = FileStream::OpenRead(path);
  if (file.Size() > kMaxTimFileSize)
    ThrowFormatError(FileNameOf(path),
                     std::to_string(file.Size()) + " bytes is too large for a TIM image");
  ByteBuffer bytes(static_cast<std::size_t>(file.Size()));
  file.ReadExact(bytes);
  return bytes;
}

QImage ImageOf(const TimPreview& preview) {
  if (preview.pixels.empty()) return {};  // a TIM may have no pixels at all
  QImage image(static_cast<int>(preview.width), static_cast<int>(preview.height),
               QImage::Format_RGBA8888);
  for (std::uint32_t y = 0; y < preview.height; ++y)
    std::memcpy(image.scanLine(static_cast<int>(y)), &preview.pixels[y * preview.width],
                preview.width * sizeof(Rgba));
  return image;
}

QImage OnCheckerboard(const QImage& image, int zoom) {
  if (image.isNull()) return image;
  QImage shown(image.size() * zoom, QImage::Format_RGB32);
  QPainter painter(&shown);
  painter.fillRect(shown.rect(), CheckerBrush(kCheckerCell));
  painter.drawImage(shown.rect(), image);  // no smoothing: every pixel a sharp square
  return shown;
}

TimViewer::TimViewer(const std::string& path, QWidget* parent)
    : QDialog(parent, Qt::Window), path_(path) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromStdString(FileNameOf(path)) + " - TIM viewer");
  BuildControls();
  Load();
}

void TimViewer::BuildControls() {
  Zoom = new QComboBox(this);
  for (int zoom = 1; zoom <= kMaxZoom; ++zoom) Zoom->addItem(QString("%1×").arg(zoom), zoom);
  ClutRow = new QComboBox(this);
  ClutRow->setMinimumContentsLength(14);
  Picture = new QLabel(this);
  Picture->setAlignment(Qt::AlignCenter);
  auto* pictureArea = new QScrollArea(this);
  pictureArea->setWidget(Picture);
  pictureArea->setWidgetResizable(true);
  pictureArea->setMinimumSize(256, 256);
  Swatches = new QLabel(this);
  Swatches->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* swatchArea = new QScrollArea(this);
  swatchArea->setWidget(Swatches);
  swatchArea->setWidgetResizable(true);
  swatchArea->setFixedWidth(kSwatchAreaWidth);
  Details = new QLabel(this);
  Details->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Details->setWordWrap(true);

  auto* choosers = new QHBoxLayout;
  choosers->addWidget(new QLabel("Zoom:", this));
  choosers->addWidget(Zoom);
  choosers->addSpacing(12);
  choosers->addWidget(new QLabel("CLUT row:", this));
  choosers->addWidget(ClutRow);
  choosers->addStretch();
  auto* views = new QHBoxLayout;
  views->addWidget(pictureArea, 1);
  views->addWidget(swatchArea);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choosers);
  layout->addLayout(views, 1);
  layout->addWidget(Details);
  connect(Zoom, &QComboBox::currentIndexChanged, this, [this] { ShowPicture(); });
  connect(ClutRow, &QComboBox::currentIndexChanged, this, [this](int row) { ShowRow(row); });
}

// Reads the file and shows it with CLUT row 0 at the zoom that fits.
void TimViewer::Load() {
  try {
    bytes_ = LoadTimFile(path_);
    preview_ = PreviewTim(bytes_, FileNameOf(path_), 0);
  } catch (const std::exception& error) {
    ShowError(error.what());
    return;
  }
  const QSignalBlocker quiet(ClutRow);
  for (std::size_t row = 0; row < std::min(preview_->clutRows.size(), kRowsOffered); ++row)
    ClutRow->addItem(RowLabel(*preview_, row));
  ClutRow->setEnabled(ClutRow->count() > 1);
  const QSignalBlocker quietZoom(Zoom);
  for (int zoom = ZoomWithin(*preview_, kMaxShownSide) + 1; zoom <= kMaxZoom; ++zoom)
    Zoom->removeItem(Zoom->count() - 1);
  Zoom->setCurrentIndex(ZoomWithin(*preview_, kFittingSide) - 1);
  Details->setText(DetailsText(*preview_));
  ShowPicture();
  FitToPicture();
}

// Room for the picture at its first zoom, within reason.
void TimViewer::FitToPicture() {
  const QSize picture = Picture->pixmap().size() + QSize(kSwatchAreaWidth + 48, 120);
  resize(sizeHint().expandedTo(picture).boundedTo(QSize(1200, 900)));
}

void TimViewer::ShowRow(int row) {
  if (row < 0 || !preview_) return;
  try {
    preview_ = PreviewTim(bytes_, FileNameOf(path_), static_cast<std::size_t>(row));
  } catch (const std::exception& error) {
    ShowError(error.what());
    return;
  }
  ShowPicture();
}

void TimViewer::ShowPicture() {
  if (!preview_) return;
  Picture->setPixmap(
      QPixmap::fromImage(OnCheckerboard(ImageOf(*preview_), Zoom->currentData().toInt())));
  Swatches->setPixmap(QPixmap::fromImage(SwatchImage(*preview_)));
}

void TimViewer::ShowError(const std::string& text) {
  preview_.reset();
  Picture->clear();
  Swatches->clear();
  Details->setText(QString::fromStdString(WithFullStop(text)));
  Zoom->setEnabled(false);
  ClutRow->setEnabled(false);
}

}  // namespace tessary
