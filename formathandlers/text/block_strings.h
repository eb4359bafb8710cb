// Strings of ARD containers and RDT room files: extraction and insertion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// flag 1: an ARD container (room data in entry 8); flag 0: an RDT room file.
// Writes NAME.txt with one "(" + text + ")" line per string, decoded through
// the shared code table; RDT files get the budget line and a "#Target: " line.
void ExtractBlockStrings(ProcessContext& ctx, const std::string& path, std::uint8_t flag);

// Writes the text file named by the "#Target" line at `index` back into the
// room file open as SourceStream. Everything is checked before the first
// write. Returns the index of the first log line not taken.
std::size_t InsertBlockStrings(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
