#include "formathandlers/tim/tim_scanner.h"

#include "batch/result_log.h"
#include "formathandlers/tim/tim_scan_core.h"
#include "misc/file_stream.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// Positions scanned between two updates of Progress and the event pump.
constexpr std::uint64_t kScanSlice = 1 << 20;
// The log's offsets and lengths have eight hexadecimal digits: images at or
// beyond 4 GiB cannot be logged, so they are left out.
constexpr std::uint64_t kLoggable = std::uint64_t{1} << 32;

bool Loggable(const FoundTim& found) {
  return found.offset < kLoggable && found.offset + found.length < kLoggable;
}

// Copies the image's bytes from the source into its own file.
void WriteFoundImage(ProcessContext& ctx, const std::string& base, FileStream& source,
                     const FoundTim& found) {
  const int n = ctx.Status.ExtractedTag();
  ctx.Status.SetExtractedTag(n + 1);
  const std::string outPath =
      ctx.ClaimOutput(ctx.OutputPath(SafeFileName(base + "_" + std::to_string(n) + ".tim")));
  OutputFile out(outPath);
  source.Seek(found.offset);
  out.Stream().CopyFrom(source, found.length);
  out.Commit();
  // A lenient find says what was overlooked, after the usual words.
  const std::string odd = DescribeOddities(found.oddities);
  ctx.Status.AppendResult(FileNameOf(outPath) + " extracted." +
                          (odd.empty() ? "" : " (lenient: " + odd + ")"));
  ctx.ResultLog.Add(TimTargetLine(static_cast<std::uint32_t>(found.offset),
                                  static_cast<std::uint32_t>(found.length), outPath));
  ctx.Status.SetExtractedCaption("Extracted " + std::to_string(n + 1));
}

// The scan of one file, read through a window of constant size. Returns the
// number of images left out beyond 4 GiB.
std::uint64_t ScanFile(ProcessContext& ctx, const std::string& path) {
  FileStream file = FileStream::OpenRead(path);
  FileStream copies = FileStream::OpenRead(path);  // for the found images
  FileSource source(file);
  ctx.Status.SetBarPosition(Bar::Progress, 0);
  ctx.Status.SetBarMaximum(Bar::Progress, 100);
  ctx.Status.SetExtractedTag(0);
  ctx.Status.SetExtractedCaption("Extracted 0");
  ctx.Status.PumpEvents();

  const std::string base = BaseBeforeFirstDot(path);
  std::uint64_t leftOut = 0;
  TimScanner scanner(source, ctx.LenientSearch);
  while (!scanner.Finished()) {
    const auto found = scanner.Next(scanner.Position() + kScanSlice);
    if (found && Loggable(*found)) WriteFoundImage(ctx, base, copies, *found);
    if (found && !Loggable(*found)) ++leftOut;
    ctx.Status.SetBarPosition(Bar::Progress, scanner.ProgressPercent());
    ctx.Status.PumpEvents();
    // A Stop ends this file's scan here; what was found stays written and
    // logged, and the driver reports the stop.
    if (ctx.StopRequested() && !scanner.Finished()) {
      ctx.NoteWorkCutShort();
      break;
    }
  }
  return leftOut;
}

}  // namespace

void SearchTims(ProcessContext& ctx, const std::string& path) {
  ctx.Status.SetCurrentMessage("Searching in " + FileNameOf(path) + " ...");
  ctx.Status.PumpEvents();
  const std::uint64_t leftOut = ScanFile(ctx, path);
  ctx.Status.AppendResult(std::to_string(ctx.Status.ExtractedTag()) + " TIM's found.");
  if (leftOut > 0)
    ctx.Status.AppendResult(std::to_string(leftOut) + " TIM's beyond 4 GiB left out.");
  ctx.Status.PumpEvents();
}

}  // namespace tessary
