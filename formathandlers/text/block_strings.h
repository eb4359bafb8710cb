// Strings of ARD containers and RDT room files: extraction and insertion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/process_context.h"

namespace tessary {

// An RDT room file of the PC release, or an ARD container of the PS-X release
// (room data in its directory entry 8).
enum class RoomKind { Rdt, Ard };

// Writes NAME.txt with one "(" + text + ")" line per string, decoded through
// the shared code table; RDT files get the budget line and a "#Target: " line,
// ARD files too when ctx.ArdInsertable.
void ExtractBlockStrings(ProcessContext& ctx, const std::string& path, RoomKind kind);

// Plans the text file named by the "#Target" line at `index` back into the
// room open as SourceStream: all of an RDT file, entry 8 of an ARD container
// (within that entry). Returns the index of the first log line not taken.
std::size_t InsertBlockStrings(ProcessContext& ctx, std::size_t index, RoomKind kind);

}  // namespace tessary
