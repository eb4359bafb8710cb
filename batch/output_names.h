// The output paths claimed in one batch.
//
// Two inputs of a batch may make outputs of the same name (a/GAME.BIN and
// b/GAME.BIN both give GAME_0.tim). Every handler claims each output path here
// before writing it; a path claimed before in the batch gets " (2)", " (3)", ...
// before its extension, and that distinct path is used for the file and for its
// log line. Paths are compared without regard to ASCII letter case, since the
// game's users are on file systems that ignore it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

class OutputNames final {
 public:
  // Returns `path` when it was not claimed in this batch, else the first free
  // "STEM (n).EXT" form; either way the returned path is now claimed.
  std::string Claim(const std::string& path);
  // Claims `path` when it was not claimed in this batch; false when it was.
  bool ClaimIfFree(std::string_view path);
  void Clear();

 private:
  // A batch may claim a name per archive entry, hundreds of thousands: the
  // names are kept lower-cased one after another in `names_`, found through
  // an open-addressing table of their hashes, so a claim allocates nothing.
  struct Slot {
    std::uint64_t hash = 0;
    std::size_t offset = kEmpty;  // of the name in `names_`
    std::size_t length = 0;
  };
  static constexpr std::size_t kEmpty = ~std::size_t{0};
  void Grow();

  std::vector<Slot> slots_;
  std::string names_;
  std::size_t count_ = 0;
  std::string key_;  // the lower-cased path being claimed
};

}  // namespace tessary
