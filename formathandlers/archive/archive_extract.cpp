#include "formathandlers/archive/archive_extract.h"

namespace tessary {

// Archive extraction is not built yet: a GRM batch processes no entries.
void ExtractArchive(ProcessContext&, const std::string&) {}

}  // namespace tessary
