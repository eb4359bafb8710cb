#include "formathandlers/archive/archive_repack.h"

namespace tessary {

// Repacking is not built yet: it takes no log line.
std::size_t RepackArchive(ProcessContext&, const std::string&, std::size_t index) { return index; }

}  // namespace tessary
