// The two numbers that select what a batch does. The file-type choice is the
// 1-based entry of the open dialog's filter list (and the -f key of
// tessary-cli); the format index selects the handler of a queue and, while a
// log is read, of a log section. The registry in main/ is the one place that
// ties them to keys, handlers and filters; they live here because
// ProcessContext holds both.
#pragma once

#include <cstdint>

namespace tessary {

// In the open dialog's order, from 1; None (0) is no choice.
enum class FileType : int { None, Grm, Tim, Stim, Res, ProjectList, Log, Ard, Rdt };

// NoFiles (0): nothing queued yet; None (9): no format in force while a log is
// read.
enum class Format : std::uint8_t { NoFiles, Log, Grm, Res, Ard, Rdt, Tim, Stim, ProjectList, None };

}  // namespace tessary
