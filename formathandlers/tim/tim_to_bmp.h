// Conversion of TIM images to Windows bitmaps.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

void TimToBmp(ProcessContext& ctx, const std::string& path);

}  // namespace tessary
