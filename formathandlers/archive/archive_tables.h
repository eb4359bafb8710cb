// Where the game's two tables are looked for: "XorTable.tbl" and
// "decodetable.tbl" in the output directory (the current directory of a
// batch), then in one more directory (beside the archive when extracting,
// beside the log when repacking).
#pragma once

#include <string>

namespace tessary {

// The absolute path of `name` in the current directory, else in `fallback`
// (when not empty). "Cannot open file" naming every place looked at when it
// is in neither.
std::string LocateTable(const std::string& name, const std::string& fallback);

}  // namespace tessary
