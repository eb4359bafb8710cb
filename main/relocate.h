// Moving an old project: the absolute paths of a result log whose files moved
// are rewritten into a new log beside it (never in place).
#pragma once

#include <cstddef>
#include <string>

namespace tessary {

struct Relocated {
  std::string logPath;    // the new log
  std::size_t paths = 0;  // how many paths were moved
};

// Writes LOG's lines to "STEM-relocated.EXT" beside it, each path that is
// `from` or lies below it ("\" or "/" after it) starting with `to` instead.
// When no path moves, nothing is written (paths is 0). An existing file of
// that name is left alone: FileError, nothing written.
Relocated RelocateLog(const std::string& logPath, const std::string& from, const std::string& to);

}  // namespace tessary
