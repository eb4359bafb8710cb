// The main window: tool bar, queue of files, result lines and the status group.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/process_context.h"
#include "batch/status_outputs.h"
#include "main/window/window_dialogs.h"

class QLabel;
class QMenu;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace tessary {

class ProcessGroup;
class TimThumbnails;
class TimViewer;

// One remembered addition of the queue's menu: its label, settings key, the
// context switch it sets and whether this build has it.
struct WindowOption {
  const char* label;
  const char* key;
  bool ProcessContext::*member;
  bool (*available)() = [] { return true; };
};
extern const std::vector<WindowOption> kWindowOptions;

class TMainForm final : public QWidget, public StatusOutputs {
 public:
  explicit TMainForm(WindowDialogs& dialogs, QWidget* parent = nullptr);
  ~TMainForm() override;

  ProcessContext& Context() { return *context_; }

  // Controls, named as the users' documentation names them.
  QWidget* ToolBar1 = nullptr;
  QToolButton *BAddLog = nullptr, *BSaveList = nullptr, *BRemLog = nullptr, *BProcess = nullptr,
              *BExit = nullptr;
  QListWidget* LogList = nullptr;
  QTextEdit* Results = nullptr;
  ProcessGroup* GroupBox1 = nullptr;
  QLabel *CurrentMessage = nullptr, *Extracted = nullptr;
  QPushButton *SaveLog = nullptr, *Stop = nullptr;
  QProgressBar *Progress = nullptr, *Total = nullptr;
  // What Process will do ("Search 3 files for TIM images"), in the tool bar,
  // and the empty queue's hint.
  QLabel *JobLabel = nullptr, *QueueHint = nullptr;
  // Opens a folder in the desktop's file manager (replaced by tests).
  std::function<void(const std::string&)> OpenFolder;

  // Event handlers.
  void BAddLogClick();
  void BRemLogClick();
  void BSaveListClick();
  void BProcessClick();
  void SaveLogClick();
  void StopClick();
  void BExitClick();
  // The queue's context menu: "Check insertion (nothing is written)" for
  // queues of logs, "Verify round trip" for extraction queues.
  QMenu* QueueMenu();
  void CheckInsertionClick();
  void VerifyRoundTripClick();
  void ShowAbout();
  // The image viewer and the thumbnail grid of a search's found images: a
  // double-click on a queued TIM or on a result line that names one opens
  // the viewer, one on "N TIM's found." the grid; the results' context menu
  // offers both.
  TimViewer* OpenTimViewer(const std::string& path);
  TimThumbnails* BrowseFoundImages();
  // True when the line named something to open (and it was opened).
  bool OpenResultLine(const std::string& line);
  QMenu* ResultsMenu(const QPoint& at);
  // Files dropped onto the window, added as the add dialog would add them with
  // the file type of the first one's extension; folders are refused.
  void DropFiles(const std::vector<std::string>& paths);
  // Ctrl+Z: the queue as it was before its last removal or replacement.
  void UndoQueueChange();
  // The last batch's output directory in the file manager.
  void OpenOutputFolder();

  // StatusOutputs.
  void StatusTextChanged(const std::string& text) override;
  void ResultAppended(const std::string& line) override;
  void ErrorAppended(const std::string& line) override;
  void ResultsCleared() override;
  void ExtractedChanged(int tag, const std::string& caption) override;
  void BarChanged(Bar bar, int maximum, int position) override;
  void StopEnabledChanged(bool enabled) override;
  void SaveLogEnabledChanged(bool enabled) override;
  void FocusResults() override;
  void PumpEvents() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Double-clicks on the result lines.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void FormDestroy();
  void BuildToolBar();
  void BuildStatusGroup();
  void BuildShortcuts();
  void BuildImageHooks();
  std::string ResultLineAt(const QPoint& at) const;
  // Runs `work` as a batch runs: queue commands disabled, a close waits.
  void RunLikeABatch(const std::function<void()>& work);
  void RefreshQueue();
  void SetQueueCommandsEnabled(bool enabled);
  // Adds files of one type as the add dialog and a drop do: names the type's
  // filter does not take are refused, a queue of another type is replaced
  // (with a note, and Ctrl+Z to bring it back).
  void AddToQueue(FileType fileType, std::vector<std::string> files);
  // The queue before its last removal or replacement, for Ctrl+Z.
  struct QueueState {
    std::vector<std::string> queue;
    FileType fileType = FileType::None;
    Format formatIndex = Format::NoFiles;
  };
  QueueState CurrentQueue() const;
  // A line in the results pane that is not a result (not saved with them).
  void AppendNote(const QString& text);
  // After a batch that chose its output directory: where the outputs went.
  void NoteOutputFolder();
  void UpdateSaveLog();
  // Runs an event handler; an error that escapes it is shown in the error box.
  void Guarded(const std::function<void()>& handler);

  WindowDialogs& dialogs_;
  std::unique_ptr<ProcessContext> context_;
  FileType lastFileType_ = FileType::Grm;
  std::optional<QueueState> undo_;
  bool saveLogWanted_ = false;
  std::string outputNote_;  // the pane's line that names the output folder  // by the batch; shown
                            // only over results
  bool batchRunning_ = false;
  bool closeRequested_ = false;
};

}  // namespace tessary
