// Fuzz target: the RES description parser, on the lines of any text; and the
// line splitter (sixteen bytes at a time) against the rule written out plainly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formathandlers/text/res_description.h"
#include "misc/errors.h"
#include "misc/text_lines.h"

namespace {

// CR LF, a lone CR and a lone LF each end a line; a last line without an ending
// is kept.
std::vector<std::string_view> PlainLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '\r' && text[i] != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (tessary::SplitLineViews(text) != PlainLines(text)) std::abort();
  const auto lines = tessary::SplitLines(text);
  try {
    const auto description = tessary::ParseResDescription(lines, "F.res");
    // A section exists only while the description has more than 2 + 6k lines.
    if (lines.size() <= 2 + 6 * (description.sections.size() - 1) && !description.sections.empty())
      std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
