#include "batch/process_context.h"

#include "misc/paths.h"

namespace tessary {

ProcessContext::ProcessContext(StatusOutputs& outputs, Dialogs& dialogs)
    : Status(outputs), UserDialogs(dialogs) {
  Random.SeedFromClock();
}

std::string ProcessContext::OutputPath(std::string_view name) const {
  return JoinPath(OutputDirectory, name);
}

void ProcessContext::RequestStop() {
  stopRequested_ = true;
  Status.SetStopEnabled(false);
}

}  // namespace tessary
