#include "main/window/tim_thumbnails.h"

#include <QListView>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "main/window/tim_viewer.h"
#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

namespace {

constexpr int kIcon = 96;
// A thumbnail with its file name below; the view sizes cells by this alone,
// so it lays out the grid without decoding any image.
constexpr QSize kCell(kIcon + 28, kIcon + 30);
// Decoded thumbnails kept (about 36 KiB each); the rest are decoded again
// when they are scrolled back into view.
constexpr int kKeptThumbnails = 1000;

// The picture centred in kIcon x kIcon (so that the names line up): small
// ones enlarged by a whole factor, large ones reduced; transparent pixels
// over the checkerboard.
QPixmap IconOf(const TimPreview& preview) {
  QImage image = ImageOf(preview);
  if (image.isNull()) return {};
  const int longest = std::max(image.width(), image.height());
  if (longest <= kIcon)
    image = OnCheckerboard(image, kIcon / longest);
  else
    image = OnCheckerboard(
        image.scaled(kIcon, kIcon, Qt::KeepAspectRatio, Qt::SmoothTransformation), 1);
  QPixmap icon(kIcon, kIcon);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.drawImage((kIcon - image.width()) / 2, (kIcon - image.height()) / 2, image);
  return icon;
}

// A crossed box for a file that cannot be shown.
QPixmap BrokenIcon() {
  QPixmap icon(kIcon, kIcon);
  icon.fill(QColor(0xF0, 0xF0, 0xF0));
  QPainter painter(&icon);
  painter.setPen(QPen(QColor(0xC0, 0x30, 0x30), 3));
  painter.drawLine(24, 24, kIcon - 24, kIcon - 24);
  painter.drawLine(kIcon - 24, 24, 24, kIcon - 24);
  return icon;
}

QString Summary(const TimPreview& p) {
  QString text =
      QString("Mode %1, %2 x %3 pixels").arg(static_cast<int>(p.mode)).arg(p.width).arg(p.height);
  if (!p.clutRows.empty()) text += QString(", %1 CLUT rows").arg(p.clutRows.size());
  return text;
}

}  // namespace

TimThumbnailModel::TimThumbnailModel(std::vector<std::string> paths, QObject* parent)
    : QAbstractListModel(parent), paths_(std::move(paths)), cache_(kKeptThumbnails) {}

int TimThumbnailModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(paths_.size());
}

QVariant TimThumbnailModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(FileNameOf(PathAt(index.row())));
    case Qt::DecorationRole:
      return ThumbnailAt(index.row()).icon;
    case Qt::ToolTipRole:
      return ThumbnailAt(index.row()).toolTip;
    case Qt::SizeHintRole:  // every cell the same, whatever its picture
      return kCell;
    default:
      return {};
  }
}

TimThumbnailModel::Thumbnail TimThumbnailModel::ThumbnailAt(int row) const {
  if (const Thumbnail* kept = cache_.object(row)) return *kept;
  ++decodes_;
  const QString path = QString::fromStdString(PathAt(row));
  auto made = std::make_unique<Thumbnail>();
  try {
    const TimPreview preview = PreviewTim(LoadTimFile(PathAt(row)), FileNameOf(PathAt(row)), 0);
    *made = {IconOf(preview), path + "\n" + Summary(preview)};
  } catch (const std::exception& error) {
    *made = {BrokenIcon(), path + "\n" + QString::fromStdString(WithFullStop(error.what()))};
  }
  const Thumbnail thumbnail = *made;
  cache_.insert(row, made.release());
  return thumbnail;
}

TimThumbnails::TimThumbnails(std::vector<std::string> paths, QWidget* parent)
    : QDialog(parent, Qt::Window) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString("Found images (%1)").arg(paths.size()));
  Model = new TimThumbnailModel(std::move(paths), this);
  Grid = new QListView(this);
  Grid->setViewMode(QListView::IconMode);
  Grid->setIconSize(QSize(kIcon, kIcon));
  Grid->setGridSize(kCell);
  Grid->setMovement(QListView::Static);
  Grid->setResizeMode(QListView::Adjust);
  Grid->setWordWrap(false);
  Grid->setTextElideMode(Qt::ElideMiddle);
  // One size for every cell (see kCell) and the layout made in batches: only
  // the thumbnails in view are decoded.
  Grid->setUniformItemSizes(true);
  Grid->setLayoutMode(QListView::Batched);
  Grid->setBatchSize(100);
  Grid->setModel(Model);
  connect(Grid, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { OpenViewer(index.row()); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Grid);
  resize(6 * kCell.width() + 60, 4 * kCell.height() + 30);
}

TimViewer* TimThumbnails::OpenViewer(int row) {
  auto* viewer = new TimViewer(Model->PathAt(row), parentWidget() ? parentWidget() : this);
  viewer->show();
  return viewer;
}

}  // namespace tessary
