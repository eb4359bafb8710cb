#include "main/file_queue.h"

#include <algorithm>

#include "main/format_registry.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

void AddFilesToQueue(ProcessContext& ctx, FileType choice, const std::vector<std::string>& paths) {
  const Format index = FormatIndexOfChoice(choice);
  // Read the project list first, so that a list that cannot be read leaves the
  // queue as it was.
  std::vector<std::string> entries = paths;
  if (choice == FileType::ProjectList)
    entries = paths.empty() ? paths : LoadProjectList(paths.front());
  if (index != ctx.FormatIndex || choice == FileType::ProjectList) ctx.Queue.clear();
  ctx.FormatIndex = index;
  ctx.FileTypeChoice = choice;
  ctx.Queue.insert(ctx.Queue.end(), entries.begin(), entries.end());
}

void RemoveFromQueue(ProcessContext& ctx, const std::vector<std::size_t>& positions) {
  std::vector<bool> removed(ctx.Queue.size(), false);
  for (std::size_t p : positions) {
    if (p < removed.size()) removed[p] = true;
  }
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < ctx.Queue.size(); ++i) {
    if (!removed[i]) kept.push_back(std::move(ctx.Queue[i]));
  }
  ctx.Queue = std::move(kept);
}

std::vector<std::string> LoadProjectList(const std::string& path) {
  TextLines lines;
  lines.LoadFromFile(path);
  // A relative line is a log beside the list, or below or above it.
  std::vector<std::string> logs;
  for (const std::string& line : lines.Lines()) logs.push_back(ResolveFrom(ParentOf(path), line));
  return logs;
}

void SaveProjectList(const std::string& path, const std::vector<std::string>& entries,
                     bool relative) {
  std::vector<std::string> lines;
  for (const std::string& entry : entries)
    lines.push_back(relative ? RelativeFrom(ParentOf(AbsolutePath(path)), entry) : entry);
  TextLines(std::move(lines)).SaveToFile(path);
}

}  // namespace tessary
