// Process identities, for names of temporary files and folders that say which
// process made them, so that what a killed process left can be told apart
// from what a running one is still writing.
#pragma once

#include <optional>
#include <string_view>

namespace tessary {

int CurrentProcessId();

// True unless the process `id` certainly no longer runs (one that exists but
// cannot be inspected counts as running).
bool ProcessRuns(int id);

// Lets the process hold as many files open as the system allows it (the
// soft limit raised to the hard one): a batch of logs holds every source it
// patches from the plan to the last write. Once per process; nothing on
// Windows, whose handle limit is far above any batch.
void RaiseOpenFileLimit();

// The process id at the start of `text` ("PID-..."): its decimal digits up to
// the first '-'; nullopt when `text` does not start so.
std::optional<int> LeadingProcessId(std::string_view text);

}  // namespace tessary
