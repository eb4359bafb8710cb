#include "formathandlers/text/res_text.h"

namespace tessary {

// RES text extraction and insertion are not built yet.
void ExtractResText(ProcessContext&, const std::string&) {}

std::size_t InsertResText(ProcessContext&, const std::string&, std::size_t index) {
  return index;
}

}  // namespace tessary
