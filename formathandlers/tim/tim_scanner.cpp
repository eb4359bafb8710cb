#include "formathandlers/tim/tim_scanner.h"

#include "batch/result_log.h"
#include "formathandlers/tim/tim_scan_core.h"
#include "misc/byte_buffer.h"
#include "misc/mapped_file.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// Positions scanned between two updates of Progress and the event pump.
constexpr std::uint64_t kScanSlice = 1 << 20;

void WriteFoundImage(ProcessContext& ctx, const std::string& base,
                     std::span<const std::uint8_t> data, const FoundTim& found) {
  const int n = ctx.Status.ExtractedTag();
  ctx.Status.SetExtractedTag(n + 1);
  const std::string outPath =
      ctx.ClaimOutput(ctx.OutputPath(base + "_" + std::to_string(n) + ".tim"));
  const std::string name = FileNameOf(outPath);
  SaveBytes(outPath, data.subspan(found.offset, found.length));
  ctx.Status.AppendResult(name + " extracted.");
  ctx.ResultLog.Add(TimTargetLine(static_cast<std::uint32_t>(found.offset),
                                  static_cast<std::uint32_t>(found.length), outPath));
  ctx.Status.SetExtractedCaption("Extracted " + std::to_string(n + 1));
}

}  // namespace

void SearchTims(ProcessContext& ctx, const std::string& path) {
  ctx.Status.SetCurrentMessage("Searching in " + FileNameOf(path) + " ...");
  ctx.Status.PumpEvents();
  {
    const MappedFile source(path);
    const auto data = source.Bytes();
    ctx.Status.SetBarPosition(Bar::Progress, 0);
    ctx.Status.SetBarMaximum(Bar::Progress, 100);
    ctx.Status.SetExtractedTag(0);
    ctx.Status.SetExtractedCaption("Extracted 0");
    ctx.Status.PumpEvents();

    const std::string base = BaseBeforeFirstDot(path);
    TimScanner scanner(data);
    while (!scanner.Finished()) {
      const auto found = scanner.Next(scanner.Position() + kScanSlice);
      if (found) WriteFoundImage(ctx, base, data, *found);
      ctx.Status.SetBarPosition(Bar::Progress, scanner.ProgressPercent());
      ctx.Status.PumpEvents();
      // A Stop ends this file's scan here; what was found stays written and
      // logged, and the driver reports the stop.
      if (ctx.StopRequested() && !scanner.Finished()) {
        ctx.NoteWorkCutShort();
        break;
      }
    }
  }
  ctx.Status.AppendResult(std::to_string(ctx.Status.ExtractedTag()) + " TIM's found.");
  ctx.Status.PumpEvents();
}

}  // namespace tessary
