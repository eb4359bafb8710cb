#include "main/window/tim_result_lines.h"

#include <algorithm>
#include <exception>

#include "batch/result_log.h"
#include "main/format_registry.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

// The words after a file name in the handlers' result lines; a lenient find
// or a dry run adds more after them.
constexpr std::string_view kExtracted = " extracted.";
constexpr std::string_view kConverted = " converted.";

bool HasExtension(std::string_view name, std::string_view extension) {
  return name.size() > extension.size() &&
         AsciiLowerCase(std::string(name.substr(name.size() - extension.size()))) == extension;
}

// The file name before `words`; empty when the line does not have them.
std::string NameBefore(std::string_view line, std::string_view words) {
  const std::size_t at = line.find(words);
  return at == std::string_view::npos ? std::string() : std::string(line.substr(0, at));
}

// The output of the batch (a found image, an archive entry) called `name`.
std::optional<std::string> OutputNamed(const ProcessContext& ctx, const std::string& name) {
  for (const std::string& line : ctx.ResultLog.Lines()) {
    const std::string path = IsTimTargetLine(line)
                                 ? TimTargetPath(line)
                                 : ValueAfter(line, logline::kArchiveTarget).value_or("");
    if (!path.empty() && FileNameOf(path) == name) return ctx.FromOutputDirectory(path);
  }
  return std::nullopt;
}

std::optional<std::string> QueuedNamed(const ProcessContext& ctx, const std::string& name) {
  const auto at = std::find_if(ctx.Queue.begin(), ctx.Queue.end(),
                               [&](const std::string& path) { return FileNameOf(path) == name; });
  return at == ctx.Queue.end() ? std::nullopt : std::optional<std::string>(*at);
}

// The source of the section of a queued log whose bitmap is called `name`:
// the TIM that bitmap was written back into.
std::optional<std::string> SourceOfBitmap(const ProcessContext& ctx, const std::string& name) {
  for (const std::string& log : ctx.Queue) {
    TextLines lines;
    try {
      lines.LoadFromFile(log);
    } catch (const std::exception&) {
      continue;  // moved or deleted since the batch
    }
    std::string source;
    for (const std::string& line : lines.Lines()) {
      const LogLine read = ReadLogLine(line);
      if (read.directive == Directive::Source) source = ResolveFrom(ParentOf(log), read.value);
      if (read.directive == Directive::Target && !source.empty() &&
          FileNameOf(BitmapTargetPath(line)) == name)
        return source;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TimOfResultLine(const ProcessContext& ctx, std::string_view line) {
  if (const std::string name = NameBefore(line, kExtracted); HasExtension(name, ".tim"))
    return OutputNamed(ctx, name).value_or(ctx.OutputPath(name));
  const std::string name = NameBefore(line, kConverted);
  if (name.empty()) return std::nullopt;
  // TIMs keep their names (any extension or none) in the queue they came from.
  if (ctx.FormatIndex == Format::Tim) return QueuedNamed(ctx, name);
  if (IsLogQueue(ctx.FormatIndex) && (HasExtension(name, ".bmp") || HasExtension(name, ".png")))
    return SourceOfBitmap(ctx, name);
  return std::nullopt;
}

std::vector<std::string> FoundImages(const ProcessContext& ctx) {
  std::vector<std::string> images;
  for (const std::string& line : ctx.ResultLog.Lines())
    if (IsTimTargetLine(line)) images.push_back(ctx.FromOutputDirectory(TimTargetPath(line)));
  return images;
}

bool IsQueuedTim(const ProcessContext& ctx, std::string_view path) {
  return ctx.FormatIndex == Format::Tim || HasExtension(FileNameOf(path), ".tim");
}

bool IsFoundCountLine(std::string_view line) {
  constexpr std::string_view kFound = " TIM's found.";
  const std::size_t digits = line.find_first_not_of("0123456789");
  return digits > 0 && digits != std::string_view::npos && line.substr(digits) == kFound;
}

}  // namespace tessary
