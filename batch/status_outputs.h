// The two small interfaces through which the core reaches the window system.
//
// StatusOutputs shows what the batch is doing (status text, result lines, the
// counter, the two bars, the Stop and Save-results buttons) and lets pending
// window events run. Dialogs asks the user for the things a batch needs. The Qt
// window, the headless front end and the tests' recorder implement both.
#pragma once

#include <optional>
#include <string>

namespace tessary {

enum class Bar { Progress, Total };

class StatusOutputs {
 public:
  virtual ~StatusOutputs() = default;
  virtual void StatusTextChanged(const std::string& text) = 0;
  virtual void ResultAppended(const std::string& line) = 0;
  // A line of the error that ended a batch; shown as a result line unless a
  // front end marks errors.
  virtual void ErrorAppended(const std::string& line) { ResultAppended(line); }
  virtual void ResultsCleared() = 0;
  virtual void ExtractedChanged(int tag, const std::string& caption) = 0;
  virtual void BarChanged(Bar bar, int maximum, int position) = 0;
  virtual void StopEnabledChanged(bool enabled) = 0;
  virtual void SaveLogEnabledChanged(bool enabled) = 0;
  virtual void FocusResults() = 0;
  // Delivers pending window events (repaints, clicks) and returns.
  virtual void PumpEvents() = 0;
};

// Status outputs that show nothing, for batches that run inside another task
// (the round-trip check) or only to be measured.
class SilentStatusOutputs : public StatusOutputs {
 public:
  void StatusTextChanged(const std::string&) override {}
  void ResultAppended(const std::string&) override {}
  void ResultsCleared() override {}
  void ExtractedChanged(int, const std::string&) override {}
  void BarChanged(Bar, int, int) override {}
  void StopEnabledChanged(bool) override {}
  void SaveLogEnabledChanged(bool) override {}
  void FocusResults() override {}
  void PumpEvents() override {}
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The output directory, starting at `start`; nullopt when cancelled.
  virtual std::optional<std::string> ChooseDirectory(const std::string& start) = 0;
  // A code-table file; nullopt when cancelled.
  virtual std::optional<std::string> ChooseCodeTable() = 0;
  virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
  virtual void ShowError(const std::string& text) = 0;
};

}  // namespace tessary
