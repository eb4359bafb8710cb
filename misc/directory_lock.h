// One batch at a time in an output directory: a lock file held open alone for
// the batch's whole run and removed at its end. The hold is the file layer's
// own (share mode on Windows, flock elsewhere), which the system drops when a
// process dies: a lock file left by a killed batch does not block the next.
#pragma once

#include <optional>
#include <string>

#include "misc/file_stream.h"

namespace tessary {

inline constexpr const char* kLockFileName = ".tessary.lock";

class DirectoryLock final {
 public:
  // Takes the lock of `directory`; a FileError names the directory when
  // another batch holds it. A directory where no file can be made is not
  // locked.
  explicit DirectoryLock(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  std::string path_;
  std::optional<FileStream> held_;
};

}  // namespace tessary
