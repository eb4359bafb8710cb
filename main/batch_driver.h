// The batch driver: runs every queued file through the handler of its format.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "batch/process_context.h"

namespace tessary {

inline constexpr const char* kOperationComplete = "Operation complete!";
inline constexpr const char* kProcessStatusCaption = "Process status:";
inline constexpr const char* kStoppedByUser = "Stopped by user.";
inline constexpr const char* kAppliedLogKept =
    "result.log not replaced: it is one of the applied logs.";

enum class BatchOutcome {
  EmptyQueue,          // nothing queued: nothing happened
  Completed,           // every queued file was processed
  Stopped,             // the user stopped the batch before its end
  DirectoryCancelled,  // no output directory chosen: no file processed
  CodeTableCancelled,  // no code table chosen: the batch ended silently
  Failed,              // an error ended the batch (RunBatch only)
};

// Runs one batch over ctx.Queue, each file through ctx.ProcessFileCallback
// (ProcessFile unless a caller installed another). Errors of the handlers pass
// out of it: the remaining files are skipped, "result.log" is not written and
// the status outputs keep their last values.
BatchOutcome BProcessClick(ProcessContext& ctx);

// BProcessClick with the application's top-level error handling: an error is
// shown in the error box (with a full stop added when its text has none) and
// reported as BatchOutcome::Failed.
// Where RunBatch reports an error: in the error dialog, and with
// DialogAndResults also among the results (the window, whose results can be
// saved; tessary-cli prints errors apart from its result lines).
enum class ErrorEcho { DialogOnly, DialogAndResults };
BatchOutcome RunBatch(ProcessContext& ctx, ErrorEcho echo = ErrorEcho::DialogOnly);

// Processes one file with the handler of the format index.
void ProcessFile(ProcessContext& ctx, Format formatIndex, const std::string& path);

// The bookkeeping around one file: Results gets the focus, Save-results is
// disabled and Stop enabled while `work` runs; afterwards Stop is disabled and
// Save-results enabled when there are result lines.
void RunFileStep(ProcessContext& ctx, const std::function<void()>& work);

}  // namespace tessary
