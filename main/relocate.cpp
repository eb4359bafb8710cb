#include "main/relocate.h"

#include <algorithm>
#include <vector>

#include "batch/result_log.h"
#include "misc/errors.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// `path` with `from` replaced by `to` when it is `from` or lies below it;
// "\" and "/" match each other.
bool Moved(std::string& path, const std::string& from, const std::string& to) {
  const auto same = [](char a, char b) { return a == b || (IsSeparator(a) && IsSeparator(b)); };
  if (from.empty() || path.size() < from.size() ||
      !std::equal(from.begin(), from.end(), path.begin(), same))
    return false;
  const bool below =
      path.size() > from.size() && (IsSeparator(path[from.size()]) || IsSeparator(from.back()));
  if (path.size() != from.size() && !below) return false;
  path = to + path.substr(from.size());
  return true;
}

std::string RelocatedName(const std::string& logPath) {
  const std::string name = FileNameOf(logPath);
  const auto dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  return ParentOf(logPath) + stem + "-relocated" + ext;
}

}  // namespace

Relocated RelocateLog(const std::string& logPath, const std::string& from, const std::string& to) {
  TextLines log;
  log.LoadFromFile(logPath);
  Relocated result{RelocatedName(logPath), 0};
  std::vector<std::string> lines;
  for (const std::string& line : log.Lines()) {
    lines.push_back(WithChangedPath(line, [&](const std::string& path) {
      std::string moved = path;
      if (Moved(moved, from, to)) ++result.paths;
      return moved;
    }));
  }
  if (result.paths == 0) return result;  // nothing to move: nothing written
  const std::string text = JoinLinesCrLf(lines);
  OutputFile out(result.logPath, OutputFile::Mode::KeepExisting);
  out.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!out.Commit()) throw FileError(result.logPath + " exists already; nothing was written");
  return result;
}

}  // namespace tessary
