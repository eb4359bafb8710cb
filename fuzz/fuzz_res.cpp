// Fuzz target: the RES description parser, on the lines of any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formathandlers/text/res_description.h"
#include "misc/errors.h"
#include "misc/text_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto lines = tessary::SplitLines({reinterpret_cast<const char*>(data), size});
  try {
    const auto description = tessary::ParseResDescription(lines, "F.res");
    // A section exists only while the description has more than 2 + 6k lines.
    if (lines.size() <= 2 + 6 * (description.sections.size() - 1) && !description.sections.empty())
      std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
