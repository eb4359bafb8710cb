#include "misc/directory_lock.h"

#include <filesystem>
#include <system_error>

#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

DirectoryLock::DirectoryLock(const std::string& directory)
    : path_(JoinPath(directory, kLockFileName)) {
  try {
    held_ = FileStream::CreateNew(path_, path_);
  } catch (const FileError&) {
    // A directory that takes no new file (read-only) gets no lock: insertion
    // may still patch sources from there, and no other batch can write into it.
    if (!FileExists(path_)) return;
    try {
      held_ = FileStream::OpenReadWrite(path_);  // left by a batch that no longer runs
    } catch (const FileError&) {
      throw FileError("Another batch is writing into " + directory +
                      "; wait for it to end or choose another output directory");
    }
  }
}

DirectoryLock::~DirectoryLock() {
  held_.reset();
  std::error_code error;
  std::filesystem::remove(NativePath(path_), error);
}

}  // namespace tessary
