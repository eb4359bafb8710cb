// Strings of ARD containers and RDT room files: extraction and insertion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// flag 1: an ARD container; flag 0: an RDT room file.
void ExtractBlockStrings(ProcessContext& ctx, const std::string& path, std::uint8_t flag);
// Returns the index of the first log line not taken.
std::size_t InsertBlockStrings(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
