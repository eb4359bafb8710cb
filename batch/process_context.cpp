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
  if (path.empty() || OutputDirectory.empty()) return path;
  // operator/ keeps an absolute path and joins a relative one.
  return PathText(NativePath(OutputDirectory) / NativePath(path));
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
