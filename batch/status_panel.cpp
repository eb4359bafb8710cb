#include "batch/status_panel.h"

#include <algorithm>

namespace tessary {

namespace {
constexpr auto kPumpInterval = std::chrono::milliseconds(30);
}

void StatusPanel::SetCurrentMessage(const std::string& text) {
  message_ = text;
  outputs_.StatusTextChanged(message_);
}

void StatusPanel::AppendResult(const std::string& line) {
  results_.push_back(line + resultSuffix_);
  ++outcomes_;
  outputs_.ResultAppended(results_.back());
}

void StatusPanel::AppendError(const std::string& text) {
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t to = std::min(text.find('\n', from), text.size());
    results_.push_back(text.substr(from, to - from));
    outputs_.ErrorAppended(results_.back());
    from = to + 1;
  }
}

void StatusPanel::AppendRefusal(const std::string& line) {
  ++refusals_;
  AppendResult(line);
}

void StatusPanel::ClearResults() {
  results_.clear();
  refusals_ = outcomes_ = 0;
  outputs_.ResultsCleared();
}

void StatusPanel::SetExtractedTag(int tag) {
  extractedTag_ = tag;
}

void StatusPanel::SetExtractedCaption(const std::string& caption) {
  extractedCaption_ = caption;
  outputs_.ExtractedChanged(extractedTag_, extractedCaption_);
}

void StatusPanel::SetBarMaximum(Bar bar, int maximum) {
  BarState& state = MutableBar(bar);
  state.maximum = std::max(maximum, 0);
  state.position = std::min(state.position, state.maximum);
  NotifyBar(bar);
}

void StatusPanel::SetBarPosition(Bar bar, int position) {
  BarState& state = MutableBar(bar);
  const int clamped = std::clamp(position, 0, state.maximum);
  if (clamped == state.position) return;
  state.position = clamped;
  NotifyBar(bar);
}

void StatusPanel::NotifyBar(Bar bar) {
  const BarState& state = BarOf(bar);
  outputs_.BarChanged(bar, state.maximum, state.position);
}

void StatusPanel::SetStopEnabled(bool enabled) {
  stopEnabled_ = enabled;
  outputs_.StopEnabledChanged(enabled);
}

void StatusPanel::SetSaveLogEnabled(bool enabled) {
  saveLogEnabled_ = enabled;
  outputs_.SaveLogEnabledChanged(enabled);
}

void StatusPanel::PumpEvents() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPump_ < kPumpInterval) return;
  lastPump_ = now;
  outputs_.PumpEvents();
}

void StatusPanel::FlushEvents() {
  lastPump_ = std::chrono::steady_clock::now();
  outputs_.PumpEvents();
}

}  // namespace tessary
