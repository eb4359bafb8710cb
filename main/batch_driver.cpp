#include "main/batch_driver.h"

#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include "batch/result_log.h"
#include "formathandlers/text/code_table.h"
#include "main/format_registry.h"
#include "main/insert_from_log.h"
#include "misc/directory_lock.h"
#include "misc/errors.h"
#include "misc/file_identity.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

std::string CurrentDirectory() {
  std::error_code error;
  return PathText(std::filesystem::current_path(error));
}

void MakeCurrentDirectory(const std::string& path) {
  std::error_code error;  // a failure here leaves the directory as it was
  std::filesystem::current_path(NativePath(path), error);
}

void ResetStatusOutputs(StatusPanel& status) {
  status.SetCurrentMessage("");
  status.SetExtractedTag(0);
  status.SetExtractedCaption("");
  status.SetBarPosition(Bar::Progress, 0);
  status.SetBarPosition(Bar::Total, 0);
}

// True when the file at `path` was queued before in this batch, by this path
// or another (a link, "./x"): it is processed once, so that an unedited second
// copy of its outputs cannot overwrite the user's edits when the log is
// replayed.
bool RepeatsAnInput(std::set<FileIdentity>& seen, const std::string& path) {
  const auto identity = IdentityOf(path);
  return identity && !seen.insert(*identity).second;
}

// Runs the queued files in order; the queue length is read again before every
// file. Returns false when the user stopped the batch before its end.
bool ProcessQueue(ProcessContext& ctx) {
  const std::string key(FormatKeyOfChoice(ctx.FileTypeChoice));
  std::set<FileIdentity> seen;
  for (std::size_t i = 0; i < ctx.Queue.size(); ++i) {
    const std::string path = ctx.Queue[i];
    if (RepeatsAnInput(seen, path)) {
      const std::string repeat = FileNameOf(path) + ": already in this batch, processed once.";
      // The lines of logs come when their writes are made: this one in its place.
      if (IsLogQueue(ctx.FormatIndex))
        ctx.Plan.AddResult(repeat);
      else
        ctx.Status.AppendResult(repeat);
    } else {
      ctx.ResultLog.Add(FormatLine(key));
      ctx.ResultLog.Add(SourceLine(path));
      ctx.ProcessFileCallback(ctx, ctx.FormatIndex, path);
    }
    ctx.Status.StepBar(Bar::Total);
    ctx.Status.FlushEvents();
    if (ctx.StopRequested() && (i + 1 < ctx.Queue.size() || ctx.WorkCutShort())) {
      ctx.Status.AppendResult(kStoppedByUser);
      ctx.Status.SetSaveLogEnabled(true);
      return false;
    }
  }
  return true;
}

// True when the batch applied the log it would now replace: a project list
// whose output directory holds one of the listed logs.
bool ReplacesAnAppliedLog(const ProcessContext& ctx, const std::string& logPath) {
  if (ctx.FormatIndex != Format::ProjectList) return false;
  for (const std::string& applied : ctx.Queue) {
    std::error_code error;
    if (std::filesystem::equivalent(NativePath(applied), NativePath(logPath), error)) return true;
  }
  return false;
}

void SaveResultLog(ProcessContext& ctx) {
  if (ctx.ResultLog.Empty() || ctx.FormatIndex == Format::Log || ctx.DryRun) return;
  const std::string logPath = ctx.OutputPath(kResultLogName);
  if (ReplacesAnAppliedLog(ctx, logPath)) {
    ctx.Status.AppendResult(kAppliedLogKept);
    ctx.Status.SetSaveLogEnabled(true);
    return;
  }
  if (!ctx.RelativePaths) return ctx.ResultLog.SaveToFile(logPath);
  std::vector<std::string> lines;
  for (const std::string& line : ctx.ResultLog.Lines())
    lines.push_back(WithChangedPath(
        line, [&](const std::string& path) { return RelativeFrom(ctx.OutputDirectory, path); }));
  TextLines(std::move(lines)).SaveToFile(logPath);
}

// "Operation complete!" for a batch that ran to its end; a stopped one says so.
void ShowComplete(ProcessContext& ctx, bool finished = true) {
  ctx.UserDialogs.ShowInformation(finished ? kOperationComplete : kStoppedByUser,
                                  kProcessStatusCaption);
}

// The plan of a batch of logs holds its sources open; they are closed however
// the batch ends.
class PlanRelease final {
 public:
  explicit PlanRelease(InsertionPlan& plan) : plan_(plan) { plan_.Clear(); }
  ~PlanRelease() { plan_.Clear(); }
  PlanRelease(const PlanRelease&) = delete;
  PlanRelease& operator=(const PlanRelease&) = delete;

 private:
  InsertionPlan& plan_;
};

}  // namespace

BatchOutcome BProcessClick(ProcessContext& ctx) {
  if (ctx.Queue.empty()) return BatchOutcome::EmptyQueue;
  if (!ctx.ProcessFileCallback) ctx.ProcessFileCallback = ProcessFile;
  ctx.ClearStopRequest();
  ctx.ClaimedOutputs.Clear();
  const PlanRelease release(ctx.Plan);
  ctx.Status.SetResultSuffix(ctx.DryRun ? " (dry run)" : "");
  ctx.Status.ClearResults();
  ctx.ResultLog.Clear();

  ctx.OutputDirectory = CurrentDirectory();
  const auto chosen = ctx.UserDialogs.ChooseDirectory(ctx.OutputDirectory);
  if (!chosen) {
    SaveResultLog(ctx);
    ShowComplete(ctx);
    return BatchOutcome::DirectoryCancelled;
  }
  ctx.OutputDirectory = *chosen;
  MakeCurrentDirectory(ctx.OutputDirectory);
  // Two batches writing into one directory would cross their outputs and
  // logs; a dry run writes nothing there.
  std::optional<DirectoryLock> lock;
  if (!ctx.DryRun) {
    lock.emplace(ctx.OutputDirectory);
    RemoveStaleTemporaries(ctx.OutputDirectory);  // what killed batches left there
  }
  ctx.Status.SetBarPosition(Bar::Total, 0);
  ctx.Status.SetBarMaximum(Bar::Total, static_cast<int>(ctx.Queue.size()) - 1);

  const FormatRow* row = RowOfIndex(ctx.FormatIndex);
  if (row != nullptr && row->needsCodeTable) {
    const auto table = ctx.UserDialogs.ChooseCodeTable();
    if (!table) return BatchOutcome::CodeTableCancelled;
    LoadCodeTable(ctx.CodeTable, *table);
  }

  bool finished = ProcessQueue(ctx);
  // Logs are planned whole first; their writes follow only when the whole
  // batch could be planned, and not after a Stop.
  if (finished && IsLogQueue(ctx.FormatIndex)) {
    ctx.Status.FlushEvents();  // a Stop that came during the last log's plan
    if (ctx.StopRequested()) {
      ctx.Status.AppendResult(kStoppedByUser);
      finished = false;
    } else {
      WritePlannedInsertions(ctx);
    }
  }
  ResetStatusOutputs(ctx.Status);
  SaveResultLog(ctx);
  ShowComplete(ctx, finished);
  return finished ? BatchOutcome::Completed : BatchOutcome::Stopped;
}

BatchOutcome RunBatch(ProcessContext& ctx, ErrorEcho echo) {
  try {
    return BProcessClick(ctx);
  } catch (const std::exception& error) {
    const std::string text = WithFullStop(error.what());
    if (echo == ErrorEcho::DialogAndResults) {
      ctx.Status.AppendError(text);
      ctx.Status.SetSaveLogEnabled(true);
    }
    ctx.UserDialogs.ShowError(text);
    return BatchOutcome::Failed;
  }
}

void RunFileStep(ProcessContext& ctx, const std::function<void()>& work) {
  ctx.Status.FocusResults();
  ctx.Status.SetSaveLogEnabled(false);
  ctx.Status.SetStopEnabled(true);
  work();
  ctx.Status.SetStopEnabled(false);
  if (!ctx.Status.Results().empty()) ctx.Status.SetSaveLogEnabled(true);
}

void ProcessFile(ProcessContext& ctx, Format formatIndex, const std::string& path) {
  const FormatRow* row = RowOfIndex(formatIndex);
  RunFileStep(ctx, [&] {
    if (row != nullptr) row->process(ctx, path);
  });
}

}  // namespace tessary
