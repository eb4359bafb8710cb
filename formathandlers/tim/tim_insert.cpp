#include "formathandlers/tim/tim_insert.h"

#include <optional>

#include "batch/result_log.h"
#include "misc/byte_buffer.h"
#include "misc/errors.h"
#include "misc/file_identity.h"
#include "misc/file_stream.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// The furthest end a log's eight hexadecimal digits can address.
constexpr std::uint64_t kLogLimit = std::uint64_t{1} << 32;

// The bytes of the source one target line writes: its logged extent, or the
// whole TIM file for a length of 0. The TIM file (`size` bytes) must hold the
// logged length.
ByteRange PlannedExtent(const TimTarget& target, std::uint64_t size) {
  if (target.length > size) ThrowStreamReadError(target.path);
  const std::uint64_t length = target.length == 0 ? size : target.length;
  if (target.offset + length > kLogLimit)
    throw FormatError(FileNameOf(target.path) + " at offset " + std::to_string(target.offset) +
                      " with " + std::to_string(length) + " bytes ends past 4 GiB");
  return {target.offset, length};
}

// A TIM of up to this size is read whole before it is written, which refuses
// a file cut short since the plan before a byte is written, without asking
// the file's size; a larger one is checked by size and copied a block at a time.
constexpr std::uint64_t kReadWhole = std::uint64_t{1} << 20;

// Writes the TIM file over the extent planned for it; the file is opened
// again (or read through the plan, when a section, earlier or later, patches
// it: looked up by the identity found when planning) and must still hold that
// many bytes.
void WriteTimBack(InsertionPlan& plan, const FileIdentity& identity, FileStream& source,
                  const TimTarget& target, ByteRange extent) {
  std::optional<FileStream> opened;
  FileStream* tim = plan.HeldStream(identity);
  if (tim == nullptr) tim = &opened.emplace(FileStream::OpenRead(target.path));
  // A TIM that is the source itself shares its position: read whole first.
  if (extent.length <= kReadWhole || tim == &source) {
    ByteBuffer bytes(static_cast<std::size_t>(extent.length));
    tim->Seek(0);
    tim->ReadExact(bytes);
    source.Seek(extent.offset);
    source.Write(bytes);
    return;
  }
  if (tim->Size() < extent.length) ThrowStreamReadError(target.path);
  tim->Seek(0);
  source.Seek(extent.offset);
  source.CopyFrom(*tim, extent.length);
}

// Plans one target line: a write of its TIM file, or " skiped." when the line
// cannot be read or its file is gone.
void PlanTimLine(ProcessContext& ctx, const std::string& line) {
  const auto target = ParseTimTarget(line);
  const std::string path = ctx.FromLogFolder(target ? target->path : TimTargetPath(line));
  const std::string name = FileNameOf(path);
  // One look at the file: whether it is there, which file it is, its size.
  const auto status = target ? StatusOf(path) : std::nullopt;
  if (!status) {
    ctx.Plan.AddRefusal(name + " skiped.");
    return;
  }
  if (!status->regular) ThrowCannotOpen(path);  // refused now, not when writing
  TimTarget resolved = *target;
  resolved.path = path;
  const FileStream* held = ctx.Plan.HeldStream(status->identity);  // a source of another section
  const ByteRange extent = PlannedExtent(resolved, held ? held->Size() : status->size);
  FileStream& source = ctx.Source();
  const std::string label = ctx.LogLineLabel();
  ctx.Plan.Claim(source, extent, label);
  InsertionPlan& plan = ctx.Plan;
  const FileIdentity identity = status->identity;
  ctx.Plan.AddWrite(
      label,
      [&plan, identity, &source, resolved, extent] {
        WriteTimBack(plan, identity, source, resolved, extent);
      },
      name + " inserted.");
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
    try {
      PlanTimLine(ctx, line);
    } catch (...) {  // each line is checked on its own: every problem is listed
      ctx.Plan.AddProblem(std::current_exception(), ctx.LogLineLabel());
    }
    ctx.Status.PumpEvents();
  }
  return index;
}

}  // namespace tessary
