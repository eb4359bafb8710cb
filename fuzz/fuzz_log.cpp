// Fuzz target: the result-log reader (line splitting, directives, target lines).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "batch/result_log.h"
#include "main/format_registry.h"
#include "misc/text_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const auto& line : tessary::SplitLines(text)) {
    total += line.size();
    const tessary::LogLine parsed = tessary::ReadLogLine(line);
    if (parsed.value.size() > line.size()) std::abort();
    if (parsed.directive == tessary::Directive::Format)
      (void)tessary::FormatIndexOfKey(tessary::FirstWord(parsed.value));
    if (const auto target = tessary::ParseTimTarget(line)) {
      if (target->path.size() > line.size()) std::abort();
    }
    // The target readers of the insertion handlers cut by position.
    if (tessary::BitmapTargetPath(line).size() + tessary::TextTargetPath(line).size() +
            tessary::TimTargetPath(line).size() >
        3 * line.size())
      std::abort();
    const auto entry = tessary::ValueAfter(line, tessary::logline::kArchiveTarget);
    if (entry && entry->size() >= line.size()) std::abort();
  }
  if (total > size) std::abort();
  return 0;
}
