#include "main/insert_from_log.h"

namespace tessary {

// Log replay is not built yet.
void InsertFromLog(ProcessContext&, const std::string&) {}

}  // namespace tessary
