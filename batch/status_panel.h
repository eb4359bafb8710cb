// The state of the window's status outputs, kept in the core.
//
// Handlers read back what they wrote (the counter tag, bar positions, the number
// of result lines), so the state lives here and every change is forwarded to the
// front end's StatusOutputs. Bars clamp their position to [0, maximum] as the
// window's progress bars do.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "batch/status_outputs.h"

namespace tessary {

struct BarState {
  int maximum = 100;
  int position = 0;
};

class StatusPanel final {
 public:
  explicit StatusPanel(StatusOutputs& outputs) : outputs_(outputs) {}

  void SetCurrentMessage(const std::string& text);
  const std::string& CurrentMessage() const { return message_; }

  void AppendResult(const std::string& line);
  // A result line that reports something refused or skipped ("... wrong size
  // by N bytes.", "... skiped."), counted so that a front end can say that
  // the batch did not do all it was given.
  void AppendRefusal(const std::string& line);
  // Something skipped that gets no result line (a bitmap that is not there).
  void NoteSilentSkip() { ++refusals_, ++outcomes_; }
  // The error that ended a batch, one line each, kept among the results (so
  // that they are saved with them) but not counted as outcomes.
  void AppendError(const std::string& text);
  // Since the results were last cleared: what was refused or skipped, and
  // every outcome (result lines and silent skips).
  int Refusals() const { return refusals_; }
  int Outcomes() const { return outcomes_; }
  // Text added to every result line from now on (" (dry run)"); empty: none.
  void SetResultSuffix(std::string suffix) { resultSuffix_ = std::move(suffix); }
  void ClearResults();
  const std::vector<std::string>& Results() const { return results_; }

  int ExtractedTag() const { return extractedTag_; }
  const std::string& ExtractedCaption() const { return extractedCaption_; }
  void SetExtractedTag(int tag);
  void SetExtractedCaption(const std::string& caption);

  const BarState& BarOf(Bar bar) const { return bar == Bar::Progress ? progress_ : total_; }
  void SetBarMaximum(Bar bar, int maximum);
  void SetBarPosition(Bar bar, int position);
  void StepBar(Bar bar) { SetBarPosition(bar, BarOf(bar).position + 1); }

  bool StopEnabled() const { return stopEnabled_; }
  bool SaveLogEnabled() const { return saveLogEnabled_; }
  void SetStopEnabled(bool enabled);
  void SetSaveLogEnabled(bool enabled);
  void FocusResults() { outputs_.FocusResults(); }

  // Lets window events run, at most every few dozen milliseconds, so that hot
  // loops may call it freely.
  void PumpEvents();
  // Lets window events run now (between files, where a Stop click must arrive).
  void FlushEvents();

 private:
  BarState& MutableBar(Bar bar) { return bar == Bar::Progress ? progress_ : total_; }
  void NotifyBar(Bar bar);

  StatusOutputs& outputs_;
  std::string message_;
  std::vector<std::string> results_;
  std::string resultSuffix_;
  int refusals_ = 0;
  int outcomes_ = 0;
  int extractedTag_ = 0;
  std::string extractedCaption_ = "Extracted: 0";
  BarState progress_;
  BarState total_;
  bool stopEnabled_ = false;
  bool saveLogEnabled_ = false;
  std::chrono::steady_clock::time_point lastPump_{};
};

}  // namespace tessary
