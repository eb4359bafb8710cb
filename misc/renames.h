// The renames and temporary names that outputs are made with.
//
// Outputs are written under a name of the tool's own (a temporary file, a
// staged folder) and renamed to their final name once complete. Temporary
// names are hidden where dot files are, never names the tool would give an
// output, and carry the process id of their writer, so that what a killed
// process left behind can be told from what a running one is writing.
#pragma once

#include <optional>
#include <string>

namespace tessary {

enum class Renamed { Done, Exists, Failed };

// Renames `from` to `to`, replacing the file that `to` names.
Renamed RenameOver(const std::string& from, const std::string& to);

// Renames `from` to `to` unless something has that name (Exists). Files and,
// where the system renames them in one call, folders.
Renamed RenameIfAbsent(const std::string& from, const std::string& to);

// "DIR/.NAME.tessary-PID-N-A.tmp" for "DIR/NAME": N counts the names made by
// this process, A is the caller's attempt (a stale name may be in the way).
std::string TemporaryPathFor(const std::string& finalPath, int attempt);

// The process id in a temporary name ".NAME.tessary-PID-N-A.tmp", if it is one.
std::optional<int> TemporaryOwner(const std::string& name);

// Removes a file (or an empty folder); what cannot be removed stays.
void RemoveQuietly(const std::string& path);

}  // namespace tessary
