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
  auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(about, &QShortcut::activated, this, [this] { ShowAbout(); });
  auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
  undo->setContext(Qt::WindowShortcut);
  connect(undo, &QShortcut::activated, this, [this] { Guarded([this] { UndoQueueChange(); }); });
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

}  // namespace tessary
