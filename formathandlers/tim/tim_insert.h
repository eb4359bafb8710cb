// Writing found (and edited) TIM images back over the bytes they came from.
#pragma once

#include <cstddef>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// Returns the index of the first log line not taken.
std::size_t InsertTims(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
