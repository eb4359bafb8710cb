#include "main/file_queue.h"

#include <algorithm>

#include "main/format_registry.h"
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
  return lines.Lines();
}

void SaveProjectList(const std::string& path, const std::vector<std::string>& entries) {
  TextLines(entries).SaveToFile(path);
}

}  // namespace tessary
