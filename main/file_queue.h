// The queue of input files: adding by file type, removing, project lists.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch/process_context.h"

namespace tessary {

// Adds the files chosen with a file-type choice. A choice of another format
// index empties the queue first, so the queue only ever holds files of one
// format. A project list replaces the queue by the lines of the
// first file; other files are appended in order, repeats included.
void AddFilesToQueue(ProcessContext& ctx, FileType choice, const std::vector<std::string>& paths);

// Removes the entries at the given positions; the others keep their order.
void RemoveFromQueue(ProcessContext& ctx, const std::vector<std::size_t>& positions);

// A project list: one path per line, every line (empty ones too) an entry; a
// relative path ("/" or "\" between its parts) is taken from the list's folder.
std::vector<std::string> LoadProjectList(const std::string& path);
// With `relative`, each entry on the list's drive is written from the list's
// folder, with "/" between its parts.
void SaveProjectList(const std::string& path, const std::vector<std::string>& entries,
                     bool relative = false);

}  // namespace tessary
