// The output paths claimed in one batch.
//
// Two inputs of a batch may make outputs of the same name (a/GAME.BIN and
// b/GAME.BIN both give GAME_0.tim). Every handler claims each output path here
// before writing it; a path claimed before in the batch gets " (2)", " (3)", ...
// before its extension, and that distinct path is used for the file and for its
// log line. Paths are compared without regard to ASCII letter case, since the
// game's users are on file systems that ignore it.
#pragma once

#include <string>
#include <unordered_set>

namespace tessary {

class OutputNames final {
 public:
  // Returns `path` when it was not claimed in this batch, else the first free
  // "STEM (n).EXT" form; either way the returned path is now claimed.
  std::string Claim(const std::string& path);
  // Claims `path` when it was not claimed in this batch; false when it was.
  bool ClaimIfFree(const std::string& path);
  void Clear() { claimed_.clear(); }

 private:
  std::unordered_set<std::string> claimed_;
};

}  // namespace tessary
