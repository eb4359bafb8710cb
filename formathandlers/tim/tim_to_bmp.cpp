#include "formathandlers/tim/tim_to_bmp.h"

namespace tessary {

// TIM to bitmap conversion is not built yet.
void TimToBmp(ProcessContext&, const std::string&) {}

}  // namespace tessary
