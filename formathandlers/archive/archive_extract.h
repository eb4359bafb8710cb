// Extraction of GRM ".dat" archives into one file per entry.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

void ExtractArchive(ProcessContext& ctx, const std::string& path);

}  // namespace tessary
