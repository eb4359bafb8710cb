#include "main/insert_from_log.h"

#include <algorithm>
#include <stdexcept>

#include "batch/result_log.h"
#include "formathandlers/text/code_table.h"
#include "main/format_registry.h"
#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// Closes the source file however the log ends, so that no lock outlives it.
class SourceStreamGuard final {
 public:
  explicit SourceStreamGuard(ProcessContext& ctx) : ctx_(ctx) {}
  ~SourceStreamGuard() { ctx_.SourceStream.reset(); }
  SourceStreamGuard(const SourceStreamGuard&) = delete;
  SourceStreamGuard& operator=(const SourceStreamGuard&) = delete;

 private:
  ProcessContext& ctx_;
};

// Sources are opened for reading and writing, held alone. One whose handler
// only reads it may be read-only (files copied from a disc usually are): it is
// then opened for reading, still held alone against writers.
FileStream OpenSource(const ProcessContext& ctx, const std::string& path, const FormatRow* row) {
  if (ctx.DryRun) return FileStream::OpenRead(path);  // a dry run never writes
  try {
    return FileStream::OpenReadWrite(path);
  } catch (const FileError&) {
    if (row == nullptr || !row->onlyReadsSource) throw;
    return FileStream::OpenReadExclusive(path);
  }
}

// A "#Source:" line at `index`: opens the source and runs the insertion
// handler of the format in force, and says so in `applied`. Returns the next
// line to examine.
std::size_t ApplySource(ProcessContext& ctx, const std::string& sourcePath, std::size_t index,
                        bool& applied) {
  const FormatRow* row = RowOfIndex(ctx.LogFormat);
  ctx.SourceStream.reset();
  ctx.SourceStream = OpenSource(ctx, sourcePath, row);
  ctx.SourcePath = sourcePath;
  ctx.Status.SetCurrentMessage("Processing " + FileNameOf(sourcePath) + "...");
  if (row == nullptr || row->insert == nullptr) return index + 1;
  if (row->insertsThroughSourcePath) ctx.SourceStream.reset();
  const std::string target = row->insertsThroughSourcePath
                                 ? sourcePath
                                 : ctx.OutputPath(SafeFileName(FileNameOf(sourcePath)));
  const std::size_t next = row->insert(ctx, target, index + 1);
  applied = true;
  return std::max(next, index + 1);  // the walk always moves forward
}

int LogPercent(std::size_t index, std::size_t count) {
  if (count <= 1) return 0;  // a log of one line has no percentage to show
  return static_cast<int>(index * 100 / (count - 1));
}

// Examines line i and returns the next line to examine.
std::size_t ExamineLine(ProcessContext& ctx, std::size_t i, bool& applied) {
  const std::string& text = ctx.TakeLogLine(i);
  const LogLine line = ReadLogLine(text);
  // Values are cut from a directive by position: an indented keyword would
  // give a value that is not the one written.
  const bool valued = line.directive == Directive::Format || line.directive == Directive::Source ||
                      line.directive == Directive::CodeTable;
  if (valued && !text.empty() && IsLogSpace(text.front()))
    throw FormatError("\"" + std::string(FirstWord(text)) +
                      "\" must stand at the start of its line; this line is not understood");
  switch (line.directive) {
    case Directive::Format:
      ctx.LogFormat = FormatIndexOfKey(FirstWord(line.value));
      break;
    case Directive::CodeTable:
      LoadCodeTable(ctx.CodeTable, line.value);
      break;
    case Directive::Source:
      return ApplySource(ctx, line.value, i, applied);
    case Directive::Target:
    case Directive::Comment:
      break;
  }
  return i + 1;
}

// Every error raised while a line is applied names the log and the line last
// taken (the source line, or the target line its handler was at), unless it
// already names a line.
[[noreturn]] void RethrowAtLine(const std::string& logName, std::size_t i) {
  try {
    throw;
  } catch (const LogLineError&) {
    throw;
  } catch (const std::exception& error) {
    throw LogLineError(LineLabel(logName, i) + ": " + error.what());
  }
}

}  // namespace

void InsertFromLog(ProcessContext& ctx, const std::string& path) {
  ctx.LogLines.Clear();
  ctx.LogLines.LoadFromFile(path);
  ctx.LogPath = path;
  const std::string logName = FileNameOf(path);
  const std::string status = "Processing " + logName + "...";
  ctx.Status.SetCurrentMessage(status);
  ctx.Status.SetBarMaximum(Bar::Total, 100);
  ctx.Status.SetBarPosition(Bar::Total, 0);
  ctx.LogFormat = Format::None;

  SourceStreamGuard guard(ctx);
  bool applied = false;
  std::size_t i = 0;
  while (i < ctx.LogLines.Count()) {
    ctx.Status.SetCurrentMessage(status);
    ctx.Status.SetBarPosition(Bar::Total, LogPercent(i, ctx.LogLines.Count()));
    std::size_t next = i + 1;
    try {
      next = ExamineLine(ctx, i, applied);
    } catch (...) {
      RethrowAtLine(logName, ctx.LogLineInUse());
    }
    ctx.SourceStream.reset();
    ctx.Status.StepBar(Bar::Progress);
    ctx.Status.PumpEvents();
    i = next;
  }
  // A log with no section of a format that inserts (a lower-case key, a file
  // that is no log) must not pass for one that was applied.
  if (!applied && !ctx.StopRequested())
    ctx.Status.AppendRefusal(logName + ": nothing in it was applied.");
}

}  // namespace tessary
