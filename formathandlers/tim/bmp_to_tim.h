// Writing the pixels of an edited bitmap back into its TIM file.
#pragma once

#include <cstddef>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// Returns the index of the first log line not taken.
std::size_t BmpToTim(ProcessContext& ctx, const std::string& path, std::size_t index);

}  // namespace tessary
