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

// Forgets the section's source however the log ends; the plan holds it.
class SourceStreamGuard final {
 public:
  explicit SourceStreamGuard(ProcessContext& ctx) : ctx_(ctx) {}
  ~SourceStreamGuard() { ctx_.SourceStream = nullptr; }
  SourceStreamGuard(const SourceStreamGuard&) = delete;
  SourceStreamGuard& operator=(const SourceStreamGuard&) = delete;

 private:
  ProcessContext& ctx_;
};

// A "#Source:" line at `index`: opens the source and runs the insertion
// handler of the format in force, and says so in `applied`. Returns the next
// line to examine.
std::size_t ApplySource(ProcessContext& ctx, const std::string& sourcePath, std::size_t index,
                        bool& applied) {
  const FormatRow* row = RowOfIndex(ctx.LogFormat);
  ctx.SourceStream = nullptr;
  ctx.SourcePath = sourcePath;
  // The source must be there; it is held (for writing, in a dry run too, so
  // that it fails where the real run would) only when a handler uses it, from
  // then until the last write of the batch. The description of a handler that
  // opens what it writes itself (RES) is only read.
  ctx.SourceAccessWanted =
      row != nullptr && row->onlyReadsSource ? SourceAccess::ReadOrNothing : SourceAccess::Write;
  if (ctx.Plan.HeldStream(sourcePath) == nullptr) FileStream::OpenRead(sourcePath);
  ctx.Status.SetCurrentMessage("Processing " + FileNameOf(sourcePath) + "...");
  if (row == nullptr || row->insert == nullptr) return index + 1;
  const std::string target = row->insertsThroughSourcePath
                                 ? sourcePath
                                 : ctx.OutputPath(SafeFileName(FileNameOf(sourcePath)));
  const std::size_t next = row->insert(ctx, target, index + 1);
  applied = applied || next > index + 1;  // a section whose handler took no line applies nothing
  return std::max(next, index + 1);       // the walk always moves forward
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
      LoadCodeTable(ctx.CodeTable, ctx.FromLogFolder(line.value));
      break;
    case Directive::Source:
      return ApplySource(ctx, ctx.FromLogFolder(line.value), i, applied);
    case Directive::Target:
    case Directive::Comment:
      break;
  }
  return i + 1;
}

// The line after `from` that starts a new section or sets what the next one
// uses: where planning goes on after a problem in a section.
std::size_t NextDirective(const TextLines& lines, std::size_t from) {
  while (from < lines.Count()) {
    const Directive directive = ReadLogLine(lines.Get(from)).directive;
    if (directive != Directive::Target && directive != Directive::Comment) break;
    ++from;
  }
  return from;
}

}  // namespace

void InsertFromLog(ProcessContext& ctx, const std::string& path) {
  ctx.LogLines.Clear();
  ctx.LogPath = path;
  try {
    ctx.LogLines.LoadFromFile(path);
  } catch (...) {
    ctx.Plan.AddProblem(std::current_exception(), "");
    return;
  }
  const std::string logName = FileNameOf(path);
  const std::string status = "Processing " + logName + "...";
  ctx.Status.SetCurrentMessage(status);
  ctx.Status.SetBarMaximum(Bar::Total, 100);
  ctx.Status.SetBarPosition(Bar::Total, 0);
  ctx.LogFormat = Format::None;

  SourceStreamGuard guard(ctx);
  bool applied = false;
  std::size_t i = 0;
  while (i < ctx.LogLines.Count() && !ctx.StopRequested()) {
    ctx.Status.SetCurrentMessage(status);
    ctx.Status.SetBarPosition(Bar::Total, LogPercent(i, ctx.LogLines.Count()));
    std::size_t next = i + 1;
    try {
      next = ExamineLine(ctx, i, applied);
    } catch (...) {
      // Every problem is collected, each naming the log and the line last
      // taken; planning goes on with the next section.
      ctx.Plan.AddProblem(std::current_exception(), ctx.LogLineLabel());
      next = NextDirective(ctx.LogLines, std::max(i, ctx.LogLineInUse()) + 1);
    }
    ctx.SourceStream = nullptr;
    ctx.Status.StepBar(Bar::Progress);
    ctx.Status.PumpEvents();
    i = next;
  }
  if (ctx.StopRequested()) ctx.NoteWorkCutShort();
  // A log with no section of a format that inserts (a lower-case key, a file
  // that is no log) must not pass for one that was applied.
  if (!applied && !ctx.StopRequested())
    ctx.Plan.AddRefusal(logName + ": nothing in it was applied.");
}

void WritePlannedInsertions(ProcessContext& ctx) {
  if (ctx.Plan.HasProblems()) ctx.Plan.ThrowProblems();
  ctx.Plan.Carry(ctx.Status, ctx.DryRun);
}

}  // namespace tessary
