#include "batch/process_context.h"

#include <filesystem>
#include <stdexcept>

#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

ProcessContext::ProcessContext(StatusOutputs& outputs, Dialogs& dialogs)
    : Status(outputs), UserDialogs(dialogs) {
  Random.SeedFromClock();
}

std::string ProcessContext::OutputPath(std::string_view name) const {
  return JoinPath(OutputDirectory, name);
}

std::string ProcessContext::FromOutputDirectory(const std::string& path) const {
  return ResolveFrom(OutputDirectory, path);
}

std::string ProcessContext::FromLogFolder(const std::string& path) const {
  // Absolute paths, what extraction writes, cost no look at the disk.
  if (LogPath.empty() || !IsRelativePath(path)) return FromOutputDirectory(path);
  const std::string beside = ResolveFrom(ParentOf(LogPath), path);
  if (PathExists(beside)) return beside;
  // Logs written by hand before relative projects took their relative paths
  // from the output directory: what is found only there is taken there.
  const std::string fromOutput = FromOutputDirectory(path);
  return PathExists(fromOutput) ? fromOutput : beside;
}

FileStream& ProcessContext::Source() {
  if (SourceStream == nullptr && SourcePath.empty()) throw std::logic_error("no source is open");
  if (SourceStream == nullptr) SourceStream = &Plan.HoldSource(SourcePath, SourceAccessWanted);
  return *SourceStream;
}

std::string ProcessContext::LogLineLabel() const {
  return LineLabel(FileNameOf(LogPath), logLineInUse_);
}

void ProcessContext::RequestStop() {
  stopRequested_ = true;
  Status.SetStopEnabled(false);
}

}  // namespace tessary
