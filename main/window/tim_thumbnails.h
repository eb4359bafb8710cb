// The images of a TIM search as a grid of thumbnails. An image is decoded
// only when its thumbnail is first shown, and kept, so that a grid of
// hundreds opens at once; a double-click opens the image in the viewer.
#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QDialog>
#include <QPixmap>
#include <string>
#include <vector>

class QListView;

namespace tessary {

class TimViewer;

class TimThumbnailModel final : public QAbstractListModel {
 public:
  explicit TimThumbnailModel(std::vector<std::string> paths, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  // The file name, its thumbnail (decoded here on first use), a tooltip with
  // the path and the image's mode and size (or why it cannot be shown), and
  // the one cell size of all.
  QVariant data(const QModelIndex& index, int role) const override;

  const std::string& PathAt(int row) const { return paths_[static_cast<std::size_t>(row)]; }
  // How many times an image has been decoded.
  int DecodeCount() const { return decodes_; }

 private:
  struct Thumbnail {
    QPixmap icon;
    QString toolTip;
  };
  Thumbnail ThumbnailAt(int row) const;

  std::vector<std::string> paths_;
  mutable QCache<int, Thumbnail> cache_;
  mutable int decodes_ = 0;
};

class TimThumbnails final : public QDialog {
 public:
  explicit TimThumbnails(std::vector<std::string> paths, QWidget* parent = nullptr);

  QListView* Grid = nullptr;
  TimThumbnailModel* Model = nullptr;

  // Opens the image of `row` in a viewer, as a double-click does; the viewer
  // belongs to the grid's owner, so it stays when the grid is closed.
  TimViewer* OpenViewer(int row);
};

}  // namespace tessary
