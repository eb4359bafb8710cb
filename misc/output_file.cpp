#include "misc/output_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "misc/errors.h"
#include "misc/paths.h"
#include "misc/processes.h"

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

constexpr std::string_view kTemporaryMark = "tessary-";

// How renaming the temporary file to the final name ended.
enum class Renamed { Done, Exists, Failed };

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

Renamed RenameOver(const std::string& from, const std::string& to) {
  const bool moved =
      MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  return moved ? Renamed::Done : Renamed::Failed;
}

Renamed RenameIfAbsent(const std::string& from, const std::string& to) {
  if (MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), 0) != 0) return Renamed::Done;
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Renamed::Exists
                                                                     : Renamed::Failed;
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

Renamed RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? Renamed::Done : Renamed::Failed;
}

// One call where the system has it (Linux), else a link and an unlink.
Renamed RenameIfAbsent(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return Renamed::Done;
  if (errno == EEXIST) return Renamed::Exists;
  if (errno != EINVAL && errno != ENOSYS) return Renamed::Failed;
#endif
  if (::link(from.c_str(), to.c_str()) != 0)
    return errno == EEXIST ? Renamed::Exists : Renamed::Failed;
  ::unlink(from.c_str());
  return Renamed::Done;
}

#endif

void RemoveQuietly(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(NativePath(path), error);
}

// "DIR/.NAME.tessary-PID-N-A.tmp": hidden where dot files are, never a name
// the tool would give an output, and marked as the tool's own.
std::string TemporaryPathFor(const std::string& finalPath, int attempt) {
  static std::atomic<unsigned> counter{0};
  const std::string name = FileNameOf(finalPath);
  const std::string directory = finalPath.substr(0, finalPath.size() - name.size());
  return directory + "." + name + "." + std::string(kTemporaryMark) +
         std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(attempt) + ".tmp";
}

// The process id in a temporary file's name ".NAME.tessary-PID-N-A.tmp", if
// it is one.
std::optional<int> TemporaryOwner(const std::string& name) {
  constexpr std::string_view kSuffix = ".tmp";
  if (name.size() < 2 + kSuffix.size() || name.front() != '.' ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
    return std::nullopt;
  const std::string stem = name.substr(0, name.size() - kSuffix.size());
  const std::size_t dot = stem.rfind('.');
  if (dot == 0 || dot == std::string::npos) return std::nullopt;
  if (stem.compare(dot + 1, kTemporaryMark.size(), kTemporaryMark) != 0) return std::nullopt;
  const std::string counters = stem.substr(dot + 1 + kTemporaryMark.size());  // "PID-N-A"
  if (std::count(counters.begin(), counters.end(), '-') != 2 ||
      counters.find_first_not_of("0123456789-") != std::string::npos)
    return std::nullopt;
  return LeadingProcessId(counters);
}

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
    if (!it->is_regular_file(error)) continue;
    const auto owner = TemporaryOwner(PathText(it->path().filename()));
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
