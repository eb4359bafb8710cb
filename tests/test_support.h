// Shared helpers of the tests: a recorder of status outputs and dialogs, and
// temporary directories.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/process_context.h"
#include "batch/status_outputs.h"
#include "misc/byte_buffer.h"

namespace tessary::testing {

// Records every status change and answers the dialogs with preset replies.
class Recorder final : public StatusOutputs, public Dialogs {
 public:
  void StatusTextChanged(const std::string& text) override { statusTexts.push_back(text); }
  void ResultAppended(const std::string& line) override {
    results.push_back(line);
    if (onResult) onResult(line);
  }
  void ResultsCleared() override { results.clear(); }
  void ExtractedChanged(int, const std::string& caption) override { captions.push_back(caption); }
  void BarChanged(Bar bar, int maximum, int) override {
    (bar == Bar::Total ? totalMaximum : progressMaximum) = maximum;
  }
  void StopEnabledChanged(bool enabled) override { stopChanges.push_back(enabled); }
  void SaveLogEnabledChanged(bool) override {}
  void FocusResults() override { ++focusCount; }
  void PumpEvents() override {
    ++pumpCount;
    if (onPump) onPump();
  }

  std::optional<std::string> ChooseDirectory(const std::string& start) override {
    directoryStarts.push_back(start);
    return directoryReply;
  }
  std::optional<std::string> ChooseCodeTable() override {
    ++codeTableAsks;
    return codeTableReply;
  }
  void ShowInformation(const std::string& text, const std::string& caption) override {
    informations.push_back(caption + "|" + text);
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  std::vector<std::string> statusTexts, results, captions, informations, errors, directoryStarts;
  std::vector<bool> stopChanges;
  int totalMaximum = 100, progressMaximum = 100, focusCount = 0, pumpCount = 0, codeTableAsks = 0;
  std::function<void()> onPump;
  std::function<void(const std::string&)> onResult;  // unlike pumps, never skipped
  std::optional<std::string> directoryReply;
  std::optional<std::string> codeTableReply;
};

// A fresh directory below the system's temporary directory, removed (with its
// contents) when the object goes. It also restores the process's current
// directory, which batches change.
class TempDir final {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // UTF-8 paths with the platform's separators ("a/b" is "a\\b" on Windows).
  std::string Path() const;
  std::string File(const std::string& name) const;
  std::string SubDir(const std::string& name) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previousCurrent_;
};

// The text of the error `action` raises, or "(no error)".
std::string ErrorText(const std::function<void()>& action);

void WriteFile(const std::string& path, const std::string& bytes);
void WriteFile(const std::string& path, const ByteBuffer& bytes);
std::string ReadFile(const std::string& path);

#ifndef _WIN32
// Makes a file unwritable even for root (immutable), or read-only for others;
// undone when it goes.
class ReadOnlyFile final {
 public:
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  // False when the file system could not make it so (a test then skips).
  bool Effective() const;

 private:
  bool SetImmutable(bool on) const;
  std::string path_;
  bool immutable_ = false;
};
#endif

// A context wired to a recorder.
struct Harness {
  Recorder recorder;
  ProcessContext ctx{recorder, recorder};
};

}  // namespace tessary::testing
