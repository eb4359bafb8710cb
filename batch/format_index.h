// The two numbers that select what a batch does. The file-type choice is the
// 1-based entry of the open dialog's filter list (and the -f key of
// tessary-cli); the format index selects the handler of a queue and, while a
// log is read, of a log section. The registry in main/ is the one place that
// ties them to keys, handlers and filters; they live here because
// ProcessContext holds both.
#pragma once

#include <cstdint>

namespace tessary {

enum class FileType : int {
  None = 0,  // no choice made
  Grm = 1,
  Tim = 2,
  Stim = 3,
  Res = 4,
  ProjectList = 5,
  Log = 6,
  Ard = 7,
  Rdt = 8,
};

enum class Format : std::uint8_t {
  NoFiles = 0,  // nothing queued yet
  Log = 1,
  Grm = 2,
  Res = 3,
  Ard = 4,
  Rdt = 5,
  Tim = 6,
  Stim = 7,
  ProjectList = 8,
  None = 9,  // no format in force while a log is read
};

}  // namespace tessary
