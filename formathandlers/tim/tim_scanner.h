// Finding TIM images inside any file.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

void SearchTims(ProcessContext& ctx, const std::string& path);

}  // namespace tessary
