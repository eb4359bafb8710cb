// Conversion of TIM images to Windows bitmaps.
#pragma once

#include <string>

#include "batch/process_context.h"

namespace tessary {

// Writes the TIM as name.bmp (lower case) in the output directory: modes 0
// and 1 as 4- and 8-bit bitmaps with the CLUT as colour table, modes 2 and 3
// as 24-bit bitmaps; logs it with a "#Target BMP: " line.
void TimToBmp(ProcessContext& ctx, const std::string& path);

}  // namespace tessary
