#include "main/insert_from_log.h"

#include "formathandlers/archive/archive_repack.h"
#include "formathandlers/text/block_strings.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/tim/bmp_to_tim.h"
#include "formathandlers/tim/tim_insert.h"
#include "main/format_table.h"
#include "main/result_log.h"
#include "misc/paths.h"

namespace tessary {

namespace {

using InsertionHandler = std::size_t (*)(ProcessContext&, const std::string&, std::size_t);

InsertionHandler HandlerOf(std::uint8_t logFormat) {
  switch (logFormat) {
    case format::kGrm: return RepackArchive;
    case format::kTim: return BmpToTim;
    case format::kStim: return InsertTims;
    case format::kRes: return InsertResText;
    case format::kRdt: return InsertBlockStrings;
    default: return nullptr;
  }
}

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

// A "#Source:" line at `index`: opens the source and runs the insertion
// handler of the format in force. Returns the next line to examine.
std::size_t ApplySource(ProcessContext& ctx, const std::string& sourcePath, std::size_t index) {
  ctx.SourceStream.reset();
  ctx.SourceStream = FileStream::OpenReadWrite(sourcePath);
  ctx.SourcePath = sourcePath;
  ctx.Status.SetCurrentMessage("Processing " + FileNameOf(sourcePath) + "...");
  if (ctx.LogFormat == format::kRes) ctx.SourceStream.reset();
  const InsertionHandler handler = HandlerOf(ctx.LogFormat);
  if (handler == nullptr) return index + 1;
  const std::string target = ctx.LogFormat == format::kRes
                                 ? sourcePath
                                 : ctx.OutputPath(FileNameOf(sourcePath));
  const std::size_t next = handler(ctx, target, index + 1);
  return std::max(next, index + 1);  // the walk always moves forward
}

int LogPercent(std::size_t index, std::size_t count) {
  if (count <= 1) return 0;  // a log of one line has no percentage to show
  return static_cast<int>(index * 100 / (count - 1));
}

}  // namespace

void InsertFromLog(ProcessContext& ctx, const std::string& path) {
  ctx.LogLines.Clear();
  ctx.LogLines.LoadFromFile(path);
  ctx.LogPath = path;
  const std::string status = "Processing " + FileNameOf(path) + "...";
  ctx.Status.SetCurrentMessage(status);
  ctx.Status.SetBarMaximum(Bar::Total, 100);
  ctx.Status.SetBarPosition(Bar::Total, 0);
  ctx.LogFormat = format::kNone;

  SourceStreamGuard guard(ctx);
  std::size_t i = 0;
  while (i < ctx.LogLines.Count()) {
    ctx.Status.SetCurrentMessage(status);
    ctx.Status.SetBarPosition(Bar::Total, LogPercent(i, ctx.LogLines.Count()));
    const LogLine line = ReadLogLine(ctx.LogLines.Get(i));
    std::size_t next = i + 1;
    switch (line.directive) {
      case Directive::Format:
        ctx.LogFormat = FormatIndexOfKey(FirstWord(line.value));
        break;
      case Directive::CodeTable:
        ctx.CodeTable.clear();
        ctx.CodeTable = LoadBytes(line.value);
        break;
      case Directive::Source: next = ApplySource(ctx, line.value, i); break;
      case Directive::Target:
      case Directive::Comment: break;
    }
    ctx.SourceStream.reset();
    ctx.Status.StepBar(Bar::Progress);
    ctx.Status.PumpEvents();
    i = next;
  }
}

}  // namespace tessary
