// Text sections described by RES description files: extraction and insertion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "batch/process_context.h"

namespace tessary {

// The first line of a RES text file: this prefix and the table's path. For
// insertion the user puts the encoding table's path there instead.
inline constexpr std::string_view kUseTablePrefix = "#Use Table: ";
// A section's lines in a RES text file: its header, its strings, this line.
inline constexpr std::string_view kResEndSection = "[End Section]";
inline std::string ResSectionHeader(std::size_t k) {
  return "[Section " + std::to_string(k) + "]";
}

// Decodes every section of the description's game file through the private
// table it names into NAME.txt, and logs it with a "#Target: " line.
void ExtractResText(ProcessContext& ctx, const std::string& path);

// Writes the edited text file named by the log line at `index` back into the
// game file of the description `path`, section by section, through the
// encoding table named on the text file's first line. Everything is checked
// before the first write. Returns index + 1.
std::size_t InsertResText(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
