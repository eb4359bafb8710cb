#include "misc/file_identity.h"

#include "misc/paths.h"

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <sys/stat.h>
#endif

namespace tessary {

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const auto status = StatusOf(path);
  return status ? std::optional<FileIdentity>(status->identity) : std::nullopt;
}

std::optional<FileStatus> StatusOf(const std::string& path) {
#ifdef _WIN32
  // No access is asked for: the file may be held by another program.
  HANDLE handle = CreateFileW(NativePath(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return FileStatus{
      {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow},
      (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0};
#else
  struct stat status {};
  if (::stat(NativePath(path).c_str(), &status) != 0) return std::nullopt;
  return FileStatus{
      {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
      static_cast<std::uint64_t>(status.st_size),
      S_ISREG(status.st_mode)};
#endif
}

}  // namespace tessary
