// Text sections described by RES description files: extraction and insertion.
#pragma once

#include <cstddef>
#include <string>

#include "batch/process_context.h"

namespace tessary {

void ExtractResText(ProcessContext& ctx, const std::string& path);
// Returns the index of the first log line not taken.
std::size_t InsertResText(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
