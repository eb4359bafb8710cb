// Rebuilding a GRM archive from its (edited) entry files.
#pragma once

#include <cstddef>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// Returns the index of the first log line not taken.
std::size_t RepackArchive(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
