// Fuzz target: the parser of edited RDT text files (string lines and budget).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formathandlers/text/room_text_file.h"
#include "misc/errors.h"
#include "misc/text_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto lines = tessary::SplitLines({reinterpret_cast<const char*>(data), size});
  try {
    const auto file = tessary::ParseRoomTextFile(lines, "F.txt");
    if (file.strings.size() + 1 != lines.size()) std::abort();
    for (std::size_t i = 0; i < file.strings.size(); ++i) {
      if (file.strings[i].size() + 2 > lines[i].size()) std::abort();
    }
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
