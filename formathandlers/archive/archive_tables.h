// Where the game's two tables are looked for: "XorTable.tbl" and
// "decodetable.tbl" in the output directory (which a batch also makes its
// current directory), then beside the archive (extracting), or beside the log
// and then beside the source archive (repacking).
#pragma once

#include <string>
#include <vector>

namespace tessary {

// The absolute path of `name` in `outputDirectory` (the current directory when
// empty), else in the first of `fallbacks` (empty ones skipped) that holds it.
// "Cannot open file" naming every place looked at when none does.
std::string LocateTable(const std::string& name, const std::string& outputDirectory,
                        const std::vector<std::string>& fallbacks);

}  // namespace tessary
