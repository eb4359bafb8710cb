// Applying a result log: every source it names gets its edited outputs back.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

void InsertFromLog(ProcessContext& ctx, const std::string& path);

}  // namespace tessary
