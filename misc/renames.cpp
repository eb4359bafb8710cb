#include "misc/renames.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "misc/paths.h"
#include "misc/processes.h"

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace tessary {

namespace {
constexpr std::string_view kTemporaryMark = "tessary-";
}

#ifdef _WIN32

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

Renamed RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? Renamed::Done : Renamed::Failed;
}

// One call where the system has it (Linux), else a link and an unlink (which
// folders cannot take: they fail).
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

std::string TemporaryPathFor(const std::string& finalPath, int attempt) {
  static std::atomic<unsigned> counter{0};
  const std::string name = FileNameOf(finalPath);
  const std::string directory = finalPath.substr(0, finalPath.size() - name.size());
  return directory + "." + name + "." + std::string(kTemporaryMark) +
         std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(attempt) + ".tmp";
}

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

void RemoveQuietly(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(NativePath(path), error);
}

}  // namespace tessary
