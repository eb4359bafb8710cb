#include "formathandlers/tim/tim_scanner.h"

namespace tessary {

// The TIM scanner is not built yet.
void SearchTims(ProcessContext&, const std::string&) {}

}  // namespace tessary
