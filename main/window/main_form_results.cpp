// The results pane: double-clicks and its context menu (the image viewer,
// the grid of found images, the output folder), errors marked in red, and
// notes that are not results.
#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>

#include "main/window/main_form.h"
#include "main/window/tim_result_lines.h"
#include "main/window/tim_thumbnails.h"
#include "main/window/tim_viewer.h"
#include "misc/paths.h"

namespace tessary {

void TMainForm::BuildImageHooks() {
  connect(LogList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    const std::string& path = context_->Queue.at(static_cast<std::size_t>(LogList->row(item)));
    if (IsQueuedTim(*context_, path)) OpenTimViewer(path);
  });
  Results->viewport()->installEventFilter(this);
  Results->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Results, &QTextEdit::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = ResultsMenu(at);
    menu->exec(Results->viewport()->mapToGlobal(at));
    menu->deleteLater();
  });
}

// Double-clicks on result lines; Enter on a focused push button presses it
// (Space already does).
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Results->viewport() && event->type() == QEvent::MouseButtonDblClick)
    return OpenResultLine(ResultLineAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
  auto* button = qobject_cast<QPushButton*>(watched);
  if (button != nullptr && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
      button->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// The result line under a point of the viewport; empty below the last line.
std::string TMainForm::ResultLineAt(const QPoint& at) const {
  const QTextBlock block = Results->cursorForPosition(at).block();
  const QRectF bounds = Results->document()->documentLayout()->blockBoundingRect(block).translated(
      0, -Results->verticalScrollBar()->value());
  return bounds.top() <= at.y() && at.y() < bounds.bottom() ? block.text().toStdString() : "";
}

TimViewer* TMainForm::OpenTimViewer(const std::string& path) {
  auto* viewer = new TimViewer(path, this);
  viewer->show();
  viewer->raise();
  return viewer;
}

TimThumbnails* TMainForm::BrowseFoundImages() {
  auto* grid = new TimThumbnails(FoundImages(*context_), this);
  grid->show();
  grid->raise();
  return grid;
}

bool TMainForm::OpenResultLine(const std::string& line) {
  if (!outputNote_.empty() && line == outputNote_) {
    OpenOutputFolder();
    return true;
  }
  if (IsFoundCountLine(line) && !FoundImages(*context_).empty()) {
    BrowseFoundImages();
    return true;
  }
  const auto tim = TimOfResultLine(*context_, line);
  if (tim) OpenTimViewer(*tim);
  return tim.has_value();
}

// The text edit's own commands, then the image viewer of the line under the
// pointer and the grid of the last search's images.
QMenu* TMainForm::ResultsMenu(const QPoint& at) {
  QMenu* menu = Results->createStandardContextMenu(at);
  menu->addSeparator();
  const auto tim = TimOfResultLine(*context_, ResultLineAt(at));
  QAction* view = menu->addAction("View image");
  view->setEnabled(tim.has_value());
  connect(view, &QAction::triggered, this, [this, tim] { OpenTimViewer(*tim); });
  QAction* browse = menu->addAction("Browse found images");
  browse->setEnabled(!FoundImages(*context_).empty());
  connect(browse, &QAction::triggered, this, [this] { BrowseFoundImages(); });
  QAction* folder = menu->addAction("Open output folder");
  folder->setEnabled(!outputNote_.empty());
  connect(folder, &QAction::triggered, this, [this] { OpenOutputFolder(); });
  return menu;
}

void TMainForm::ErrorAppended(const std::string& line) {
  Results->append("<span style=\"color:#C00000\">" + QString::fromStdString(line).toHtmlEscaped() +
                  "</span>");
  UpdateSaveLog();
}

void TMainForm::AppendNote(const QString& text) {
  Results->append("<i style=\"color:#707070\">" + text.toHtmlEscaped() + "</i>");
}

// The line that says where a batch wrote (the folder's name: the full path is
// a click away); a double-click on it, or the context menu, opens the folder.
void TMainForm::NoteOutputFolder() {
  const std::string& directory = context_->OutputDirectory;
  if (directory.empty() || !QDir(QString::fromStdString(directory)).exists()) return;
  outputNote_ = "Written to " + FileNameOf(directory) + ": double-click to open the folder.";
  AppendNote(QString::fromStdString(outputNote_));
}

void TMainForm::OpenOutputFolder() {
  if (!context_->OutputDirectory.empty()) OpenFolder(context_->OutputDirectory);
}

}  // namespace tessary
