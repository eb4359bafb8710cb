// The queue: adding (dialog or drop) with the type's filter as the judge,
// removing, Ctrl+Z, and what the queue will get shown in plain sight.
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>

#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/window/main_form.h"
#include "main/window/window_settings.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// "A.BIN, B.BIN and 3 more": the first names of a list of paths.
std::string NamesOf(const std::vector<std::string>& paths) {
  constexpr std::size_t kNamed = 3;
  std::string text;
  for (std::size_t i = 0; i < paths.size() && i < kNamed; ++i)
    text += (i == 0 ? "" : ", ") + FileNameOf(paths[i]);
  if (paths.size() > kNamed) text += " and " + std::to_string(paths.size() - kNamed) + " more";
  return text;
}

std::string FilterTextOf(FileType fileType) {
  const FormatRow* row = RowOfChoice(fileType);
  return row != nullptr ? std::string(row->filterText) : std::string();
}

}  // namespace

// The queue's entries (each with its full path as tooltip), and the operation
// the queue will get: in the tool bar, and in the tooltips of the queue and
// of Process. An empty queue says how to fill it.
void TMainForm::RefreshQueue() {
  LogList->clear();
  for (const auto& path : context_->Queue) {
    auto* item = new QListWidgetItem(QString::fromStdString(path), LogList);
    item->setToolTip(QString::fromStdString(path));
  }
  const std::string operation = OperationText(context_->FormatIndex, context_->Queue.size());
  const QString job = QString::fromStdString(operation);
  LogList->setToolTip(job);
  JobLabel->setText(context_->Queue.empty() ? QString("The queue is empty") : job);
  QueueHint->setVisible(context_->Queue.empty());
  BProcess->setToolTip((job.isEmpty() ? QString("Process the queue") : job) + " (F5)");
}

void TMainForm::BAddLogClick() {
  const std::optional<FileChoice> choice = dialogs_.SelectFiles(lastFileType_);
  if (!choice) return;  // a cancel changes nothing
  lastFileType_ = choice->fileType;
  WindowSettings::SetAddFileType(lastFileType_);
  AddToQueue(choice->fileType, choice->files);
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
  AddToQueue(ChoiceOfFileName(files.front()), files);
}

void TMainForm::AddToQueue(FileType fileType, std::vector<std::string> files) {
  std::vector<std::string> refused;
  const auto mismatch = [&](const std::string& path) { return !MatchesFileType(fileType, path); };
  std::copy_if(files.begin(), files.end(), std::back_inserter(refused), mismatch);
  files.erase(std::remove_if(files.begin(), files.end(), mismatch), files.end());
  if (!refused.empty())
    dialogs_.ShowError("Not queued, since they are not " + FilterTextOf(fileType) + ": " +
                       NamesOf(refused) + ".");
  if (files.empty()) return;
  const bool replaces =
      !context_->Queue.empty() &&
      (FormatIndexOfChoice(fileType) != context_->FormatIndex || fileType == FileType::ProjectList);
  const std::size_t replaced = context_->Queue.size();
  QueueState before = CurrentQueue();
  AddFilesToQueue(*context_, fileType, files);
  if (replaces) {
    undo_ = std::move(before);
    AppendNote(QString("The queue's %1 file(s) of another type were replaced (Ctrl+Z brings them "
                       "back).")
                   .arg(replaced));
  }
  RefreshQueue();
  SetQueueCommandsEnabled(!context_->Queue.empty());
}

void TMainForm::BRemLogClick() {
  std::vector<std::size_t> selected;
  for (int row = 0; row < LogList->count(); ++row) {
    if (LogList->item(row)->isSelected()) selected.push_back(static_cast<std::size_t>(row));
  }
  if (selected.empty()) return;
  undo_ = CurrentQueue();
  RemoveFromQueue(*context_, selected);
  RefreshQueue();
  if (LogList->count() > 0) {
    LogList->setCurrentRow(LogList->count() - 1, QItemSelectionModel::NoUpdate);
  } else {
    SetQueueCommandsEnabled(false);
    LogList->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
  }
}

TMainForm::QueueState TMainForm::CurrentQueue() const {
  return {context_->Queue, context_->FileTypeChoice, context_->FormatIndex};
}

void TMainForm::UndoQueueChange() {
  if (!undo_ || batchRunning_) return;
  context_->Queue = std::move(undo_->queue);
  context_->FileTypeChoice = undo_->fileType;
  context_->FormatIndex = undo_->formatIndex;
  undo_.reset();
  RefreshQueue();
  SetQueueCommandsEnabled(!context_->Queue.empty());
}

}  // namespace tessary
