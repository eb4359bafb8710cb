#include "main/batch_driver.h"

#include <filesystem>
#include <system_error>

#include "formathandlers/archive/archive_extract.h"
#include "formathandlers/text/block_strings.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/tim/tim_scanner.h"
#include "formathandlers/tim/tim_to_bmp.h"
#include "main/format_table.h"
#include "main/insert_from_log.h"
#include "main/result_log.h"
#include "misc/errors.h"

namespace tessary {

namespace {

std::string CurrentDirectory() {
  std::error_code error;
  return std::filesystem::current_path(error).string();
}

void MakeCurrentDirectory(const std::string& path) {
  std::error_code error;  // a failure here leaves the directory as it was
  std::filesystem::current_path(std::filesystem::path(path), error);
}

void ResetStatusOutputs(StatusPanel& status) {
  status.SetCurrentMessage("");
  status.SetExtractedTag(0);
  status.SetExtractedCaption("");
  status.SetBarPosition(Bar::Progress, 0);
  status.SetBarPosition(Bar::Total, 0);
}

// Runs the queued files in order; the queue length is read again before every
// file. Returns false when the user stopped the batch with files left.
bool ProcessQueue(ProcessContext& ctx) {
  const std::string key(FormatKeyOfChoice(ctx.FileTypeChoice));
  for (std::size_t i = 0; i < ctx.Queue.size(); ++i) {
    const std::string path = ctx.Queue[i];
    ctx.ResultLog.Add(FormatLine(key));
    ctx.ResultLog.Add(SourceLine(path));
    ctx.ProcessFileCallback(ctx, ctx.FormatIndex, path);
    ctx.Status.StepBar(Bar::Total);
    ctx.Status.FlushEvents();
    if (ctx.StopRequested() && i + 1 < ctx.Queue.size()) {
      ctx.Status.AppendResult(kStoppedByUser);
      ctx.Status.SetSaveLogEnabled(true);
      return false;
    }
  }
  return true;
}

void SaveResultLog(ProcessContext& ctx) {
  if (ctx.ResultLog.Empty() || ctx.FormatIndex == format::kLog) return;
  ctx.ResultLog.SaveToFile(ctx.OutputPath(kResultLogName));
}

void DispatchHandler(ProcessContext& ctx, std::uint8_t formatIndex, const std::string& path) {
  switch (formatIndex) {
    case format::kGrm: ExtractArchive(ctx, path); break;
    case format::kTim: TimToBmp(ctx, path); break;
    case format::kStim: SearchTims(ctx, path); break;
    case format::kRes: ExtractResText(ctx, path); break;
    case format::kArd: ExtractBlockStrings(ctx, path, 1); break;
    case format::kRdt: ExtractBlockStrings(ctx, path, 0); break;
    case format::kLog:
    case format::kProjectList: InsertFromLog(ctx, path); break;
    default: break;
  }
}

void ShowComplete(ProcessContext& ctx) {
  ctx.UserDialogs.ShowInformation(kOperationComplete, kProcessStatusCaption);
}

}  // namespace

BatchOutcome BProcessClick(ProcessContext& ctx) {
  if (ctx.Queue.empty()) return BatchOutcome::EmptyQueue;
  ctx.ClearStopRequest();
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
  ctx.Status.SetBarPosition(Bar::Total, 0);
  ctx.Status.SetBarMaximum(Bar::Total, static_cast<int>(ctx.Queue.size()) - 1);

  if (ctx.FormatIndex == format::kArd || ctx.FormatIndex == format::kRdt) {
    const auto table = ctx.UserDialogs.ChooseCodeTable();
    if (!table) return BatchOutcome::CodeTableCancelled;
    ctx.CodeTable.clear();
    ctx.CodeTable = LoadBytes(*table);
  }

  const bool finished = ProcessQueue(ctx);
  ResetStatusOutputs(ctx.Status);
  SaveResultLog(ctx);
  ShowComplete(ctx);
  return finished ? BatchOutcome::Completed : BatchOutcome::Stopped;
}

BatchOutcome RunBatch(ProcessContext& ctx) {
  try {
    return BProcessClick(ctx);
  } catch (const std::exception& error) {
    ctx.UserDialogs.ShowError(WithFullStop(error.what()));
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

void ProcessFile(ProcessContext& ctx, std::uint8_t formatIndex, const std::string& path) {
  RunFileStep(ctx, [&] { DispatchHandler(ctx, formatIndex, path); });
}

}  // namespace tessary
