// Status outputs and dialogs of the headless front end.
#pragma once

#include <optional>
#include <string>

#include "batch/process_context.h"
#include "batch/status_outputs.h"

namespace tessary {

// Shows the status text, the Progress bar and the result lines; the window's
// other outputs have nothing to show here.
class CliOutputs final : public SilentStatusOutputs {
 public:
  // showProgress: draw the status line and bar on stderr (a terminal, no -q).
  explicit CliOutputs(bool showProgress);
  void Attach(ProcessContext& ctx) { ctx_ = &ctx; }

  void StatusTextChanged(const std::string& text) override { message_ = text; }
  void ResultAppended(const std::string& line) override;
  void BarChanged(Bar bar, int maximum, int position) override;
  // Draws the status line and turns a Ctrl-C into a Stop request.
  void PumpEvents() override;
  // Removes the status line from the terminal.
  void ClearLine();

 private:
  bool showProgress_;
  bool escapes_ = true;  // the terminal understands "erase to end of line"
  ProcessContext* ctx_ = nullptr;
  std::string message_;
  int progressMax_ = 100, progressPos_ = 0;
  bool lineShown_ = false;
};

class CliDialogs final : public Dialogs {
 public:
  CliDialogs(std::string outputDirectory, std::optional<std::string> codeTable)
      : outputDirectory_(std::move(outputDirectory)), codeTable_(std::move(codeTable)) {}

  std::optional<std::string> ChooseDirectory(const std::string&) override {
    return outputDirectory_;
  }
  std::optional<std::string> ChooseCodeTable() override { return codeTable_; }
  // Kept until the batch's outcome is known: a stopped batch says so instead.
  void ShowInformation(const std::string& text, const std::string&) override {
    pendingInformation_ = text;
  }
  void ShowError(const std::string& text) override;
  // Prints the information text of the batch ("Operation complete!") on stderr.
  void ShowPendingInformation();

 private:
  std::string pendingInformation_;
  std::string outputDirectory_;
  std::optional<std::string> codeTable_;
};

// Installs the handlers of Ctrl-C, SIGTERM and SIGHUP (on Windows, of the
// console's close, log-off and shut-down events): the first requests a stop,
// so that the run ends between steps and removes what it made; a second ends
// the process at once.
void InstallInterruptHandler();
// Tells a waiting console-close handler that the run is over and cleaned up.
void MarkRunFinished();
// Writes the result lines that wait (the CLI writes them at each event pump
// and at the end of a run).
void FlushResults();
bool StderrIsTerminal();

}  // namespace tessary
