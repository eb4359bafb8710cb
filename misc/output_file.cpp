#include "misc/output_file.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "misc/errors.h"
#include "misc/paths.h"
#include "misc/processes.h"
#include "misc/renames.h"

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessary {

namespace {

#ifdef _WIN32

// Fails when an existing file at `path` cannot be held exclusively: the tool
// (or anyone) has it open, or it is not a plain file.
void CheckFinalNameFree(const std::string& path) {
  const std::filesystem::path native = NativePath(path);
  HANDLE h = CreateFileW(native.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    ThrowCannotCreate(path);
  }
  const bool plain = GetFileType(h) == FILE_TYPE_DISK;
  CloseHandle(h);
  if (!plain) ThrowCannotCreate(path);
}

#else

void CheckFinalNameFree(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return;  // no file, or a dangling link the rename replaces
    ThrowCannotCreate(path);
  }
  struct stat info {};
  const bool free =
      ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  if (!free) ThrowCannotCreate(path);
}

#endif

FileStream CreateTemporary(const std::string& finalPath, std::string& temporaryPath) {
  constexpr int kAttempts = 8;  // a stale file of a killed run may hold a name
  for (int attempt = 0;; ++attempt) {
    temporaryPath = TemporaryPathFor(finalPath, attempt);
    try {
      return FileStream::CreateNew(temporaryPath, finalPath);
    } catch (const FileError&) {
      if (attempt + 1 == kAttempts || !PathExists(temporaryPath)) throw;
    }
  }
}

std::atomic<bool> unnamedOutputs{true};

// The output's stream: a file without a name where the system can make one
// (it needs no temporary name and no rename, and a killed process leaves
// nothing behind), else a file under a temporary name.
FileStream CreateOutput(const std::string& finalPath, std::string& temporaryPath) {
  const std::string name = FileNameOf(finalPath);
  const std::string directory = finalPath.substr(0, finalPath.size() - name.size());
  if (unnamedOutputs)
    if (auto unnamed = FileStream::CreateUnnamed(directory.empty() ? "." : directory, finalPath))
      return std::move(*unnamed);
  return CreateTemporary(finalPath, temporaryPath);
}

// Gives an unnamed file a temporary name, so that it can replace the final
// name by a rename. False when it cannot.
bool LinkUnderTemporaryName(FileStream& stream, const std::string& finalPath,
                            std::string& temporaryPath) {
  constexpr int kAttempts = 8;  // a stale file of a killed run may hold a name
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    temporaryPath = TemporaryPathFor(finalPath, attempt);
    const auto linked = stream.LinkAs(temporaryPath);
    if (linked == FileStream::Linked::Done) return true;
    if (linked == FileStream::Linked::Failed) break;
  }
  temporaryPath.clear();
  return false;
}

}  // namespace

// KeepExisting never replaces a file, so the lock rule has nothing to check.
OutputFile::OutputFile(std::string finalPath, Mode mode)
    : finalPath_(std::move(finalPath)),
      stream_(((mode == Mode::Replace ? CheckFinalNameFree(finalPath_) : void()),
               CreateOutput(finalPath_, temporaryPath_))),
      mode_(mode) {}

OutputFile::~OutputFile() {
  if (committed_) return;
  stream_.Close();  // an unnamed file vanishes here
  if (!temporaryPath_.empty()) RemoveQuietly(temporaryPath_);
}

bool OutputFile::Commit() {
  if (temporaryPath_.empty() && !CommitUnnamed()) return false;
  if (committed_) return true;
  stream_.Close();
  const Renamed renamed = mode_ == Mode::KeepExisting ? RenameIfAbsent(temporaryPath_, finalPath_)
                                                      : RenameOver(temporaryPath_, finalPath_);
  if (renamed == Renamed::Exists) return false;
  committed_ = true;  // renamed, or removed here: no temporary file is left behind
  if (renamed == Renamed::Done) return true;
  RemoveQuietly(temporaryPath_);
  ThrowCannotCreate(finalPath_);
}

// An unnamed file is linked to the final name at once when nothing has that
// name. Otherwise a file in KeepExisting mode stays unnamed (false); one that
// replaces gets a temporary name for the rename.
bool OutputFile::CommitUnnamed() {
  switch (stream_.LinkAs(finalPath_)) {
    case FileStream::Linked::Done:
      stream_.Close();
      committed_ = true;
      return true;
    case FileStream::Linked::Exists:
      if (mode_ == Mode::KeepExisting) return false;
      break;
    case FileStream::Linked::Failed:
      break;
  }
  if (!LinkUnderTemporaryName(stream_, finalPath_, temporaryPath_)) {
    stream_.Close();
    committed_ = true;  // nothing is left behind
    ThrowCannotCreate(finalPath_);
  }
  return true;
}

void OutputFile::Retarget(std::string finalPath) {
  CheckFinalNameFree(finalPath);
  finalPath_ = std::move(finalPath);
  mode_ = Mode::Replace;
}

void AllowUnnamedOutputs(bool allow) {
  unnamedOutputs = allow;
}

void CheckReplaceable(const std::string& path) {
  CheckFinalNameFree(path);
}

void RemoveStaleTemporaries(const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::recursive_directory_iterator it(NativePath(directory),
                                      fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it.depth() > 0) it.disable_recursion_pending();  // the directory and its folders
    const auto owner = TemporaryOwner(PathText(it->path().filename()));
    // A staged folder: the batch holds the directory's lock, so no other
    // batch fills one there, and its owner is gone.
    if (owner && it->is_directory(error) && !ProcessRuns(*owner)) {
      it.disable_recursion_pending();
      std::error_code ignored;
      fs::remove_all(it->path(), ignored);
      continue;
    }
    if (!it->is_regular_file(error)) continue;
    // A temporary file is held alone while it is written: one that can be
    // held now belongs to no running process, whatever its process id says
    // (an id from another machine or container may look dead here).
    if (owner && !ProcessRuns(*owner) && NobodyHolds(PathText(it->path()))) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}

void SaveBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  OutputFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace tessary
