// The window's keyboard shortcuts and the files dropped onto it.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>

#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/window/main_form.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// The local files of a drag, as native UTF-8 paths; empty when anything else
// is dragged.
std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    paths.push_back(QDir::toNativeSeparators(url.toLocalFile()).toUtf8().toStdString());
  }
  return paths;
}

}  // namespace

// Each shortcut acts as its button does, and only while that button is enabled.
void TMainForm::BuildShortcuts() {
  const auto bind = [this](const QKeySequence& keys, QAbstractButton* button) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [button] {
      if (button->isEnabled()) button->click();
    });
  };
  bind(QKeySequence(Qt::Key_Delete), BRemLog);
  bind(QKeySequence(Qt::CTRL | Qt::Key_O), BAddLog);
  bind(QKeySequence(Qt::CTRL | Qt::Key_S), BSaveList);
  bind(QKeySequence(Qt::Key_F5), BProcess);
  bind(QKeySequence(Qt::CTRL | Qt::Key_Return), BProcess);
  bind(QKeySequence(Qt::CTRL | Qt::Key_Enter), BProcess);
  bind(QKeySequence(Qt::Key_Escape), Stop);
  bind(QKeySequence(Qt::CTRL | Qt::Key_Q), BExit);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!batchRunning_ && !LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalFiles(event->mimeData());
  if (paths.empty() || batchRunning_) return;
  event->acceptProposedAction();
  Guarded([&] { DropFiles(paths); });
}

void TMainForm::DropFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files, folders;
  for (const std::string& path : paths)
    (QFileInfo(QString::fromUtf8(path.c_str())).isDir() ? folders : files).push_back(path);
  if (!folders.empty())
    dialogs_.ShowError(
        "Folders cannot be queued: " + FileNameOf(folders.front()) +
        (folders.size() > 1 ? " and " + std::to_string(folders.size() - 1) + " more." : "."));
  if (files.empty()) return;
  AddFilesToQueue(*context_, ChoiceOfFileName(files.front()), files);
  RefreshQueue();
  SetQueueCommandsEnabled(true);
}

}  // namespace tessary
