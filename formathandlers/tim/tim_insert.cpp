#include "formathandlers/tim/tim_insert.h"

#include "batch/result_log.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// The furthest end a log's eight hexadecimal digits can address.
constexpr std::uint64_t kLogLimit = std::uint64_t{1} << 32;

// Writes one TIM file over its logged extent. The TIM file is checked to hold
// the logged length before anything is written, so a short file leaves the
// source untouched.
void WriteTimBack(FileStream& source, const TimTarget& target, bool dryRun) {
  FileStream tim = FileStream::OpenRead(target.path);
  if (target.length > tim.Size()) ThrowStreamReadError(target.path);
  // A length of 0 copies the whole TIM file.
  const std::uint64_t length = target.length == 0 ? tim.Size() : target.length;
  if (target.offset + length > kLogLimit)
    throw FormatError(FileNameOf(target.path) + " at offset " + std::to_string(target.offset) +
                      " with " + std::to_string(length) + " bytes ends past 4 GiB");
  if (dryRun) return;
  source.Seek(target.offset);
  tim.Seek(0);
  source.CopyFrom(tim, target.length);  // a length of 0 copies the whole TIM file
}

}  // namespace

std::size_t InsertTims(ProcessContext& ctx, const std::string& path, std::size_t index) {
  ctx.Status.SetBarPosition(Bar::Progress, 0);
  if (index == ctx.LogLines.Count()) return index;
  ctx.Status.SetCurrentMessage("Processing " + FileNameOf(path) + " ...");
  ctx.Status.PumpEvents();
  while (index < ctx.LogLines.Count() && IsTimTargetLine(ctx.LogLines.Get(index))) {
    const std::string& line = ctx.TakeLogLine(index);
    ++index;
    const auto target = ParseTimTarget(line);
    const std::string name = FileNameOf(target ? target->path : TimTargetPath(line));
    if (target && PathExists(target->path)) {
      WriteTimBack(ctx.SourceStream.value(), *target, ctx.DryRun);
      ctx.Status.AppendResult(name + " inserted.");
    } else {
      ctx.Status.AppendRefusal(name + " skiped.");
    }
    ctx.Status.PumpEvents();
  }
  return index;
}

}  // namespace tessary
