#include "formathandlers/text/block_strings.h"

namespace tessary {

// ARD/RDT string extraction and insertion are not built yet.
void ExtractBlockStrings(ProcessContext&, const std::string&, std::uint8_t) {}

std::size_t InsertBlockStrings(ProcessContext&, const std::string&, std::size_t index) {
  return index;
}

}  // namespace tessary
