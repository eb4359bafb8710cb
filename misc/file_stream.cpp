#include "misc/file_stream.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "misc/errors.h"
#include "misc/paths.h"

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace tessary {

namespace {
constexpr std::size_t kCopyBlock = 1 << 20;
}

FileStream FileStream::OpenRead(const std::string& path) {
  return FileStream(path, path, Access::Read);
}

FileStream FileStream::OpenReadWrite(const std::string& path) {
  return FileStream(path, path, Access::ReadWrite);
}

FileStream FileStream::OpenReadExclusive(const std::string& path) {
  return FileStream(path, path, Access::ReadExclusive);
}

FileStream FileStream::CreateNew(const std::string& path, const std::string& shownPath) {
  return FileStream(path, shownPath, Access::CreateNew);
}

#if defined(__linux__) && defined(O_TMPFILE)

std::optional<FileStream> FileStream::CreateUnnamed(const std::string& directory,
                                                    const std::string& shownPath) {
  // Linking an unnamed file goes through its /proc entry.
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  if (!linkable) return std::nullopt;
  const int fd = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return std::nullopt;  // not on this file system: the caller names a file
  FileStream stream;
  stream.path_ = directory;
  stream.shownPath_ = shownPath;
  stream.fd_ = fd;
  return stream;
}

FileStream::Linked FileStream::LinkAs(const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
    return Linked::Done;
  return errno == EEXIST ? Linked::Exists : Linked::Failed;
}

#else

std::optional<FileStream> FileStream::CreateUnnamed(const std::string&, const std::string&) {
  return std::nullopt;
}

FileStream::Linked FileStream::LinkAs(const std::string&) {
  return Linked::Failed;
}

#endif

// A stream made empty (no handle) and then given the other's handle.
FileStream::FileStream(FileStream&& other) noexcept {
  *this = std::move(other);
}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    shownPath_ = std::move(other.shownPath_);
    position_ = other.position_;
#ifdef _WIN32
    handle_ = std::exchange(other.handle_, nullptr);
#else
    fd_ = std::exchange(other.fd_, -1);
#endif
  }
  return *this;
}

FileStream::~FileStream() {
  Close();
}

void FileStream::CopyFrom(FileStream& source, std::uint64_t count) {
  if (count == 0) {
    source.Seek(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> block(
      static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyBlock)));
  while (count > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, block.size()));
    const std::size_t got = source.ReadSome({block.data(), n});
    Write({block.data(), got});
    if (got < n) ThrowStreamReadError(source.shownPath_);
    count -= n;
  }
}

void FileStream::ReadExact(std::span<std::uint8_t> out) {
  if (ReadSome(out) != out.size()) ThrowStreamReadError(shownPath_);
}

#ifdef _WIN32

namespace {

// Each read and write names its file offset, so no seek call is needed and the
// handle's own position never matters.
OVERLAPPED AtOffset(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

}  // namespace

FileStream FileStream::CreateNewPrivate(const std::string& path, const std::string& shownPath) {
  return CreateNew(path, shownPath);  // held alone at no extra cost
}

FileStream::FileStream(std::string path, std::string shownPath, Access access)
    : path_(std::move(path)), shownPath_(std::move(shownPath)) {
  const std::filesystem::path native = NativePath(path_);
  DWORD desired = GENERIC_READ;
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_EXISTING;
  if (access != Access::Read) share = 0;
  if (access == Access::ReadWrite || access == Access::CreateNew) desired |= GENERIC_WRITE;
  if (access == Access::CreateNew) disposition = CREATE_NEW;
  HANDLE h = CreateFileW(native.c_str(), desired, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  const auto fail = [&] {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (access == Access::CreateNew) ThrowCannotCreate(shownPath_);
    ThrowCannotOpen(shownPath_);
  };
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) fail();
  handle_ = h;
}

std::uint64_t FileStream::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &size)) ThrowStreamReadError(shownPath_);
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t FileStream::ReadSome(std::span<std::uint8_t> out) {
  std::size_t total = 0;
  while (total < out.size()) {
    OVERLAPPED at = AtOffset(position_ + total);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - total, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), out.data() + total, want, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      ThrowStreamReadError(shownPath_);
    }
    if (got == 0) break;
    total += got;
  }
  position_ += total;
  return total;
}

void FileStream::Write(std::span<const std::uint8_t> bytes) {
  std::size_t total = 0;
  while (total < bytes.size()) {
    OVERLAPPED at = AtOffset(position_ + total);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - total, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), bytes.data() + total, want, &put, &at) || put == 0)
      ThrowStreamWriteError(shownPath_);
    total += put;
  }
  position_ += total;
}

void FileStream::Truncate() {
  LARGE_INTEGER pos{};
  pos.QuadPart = static_cast<LONGLONG>(position_);
  HANDLE h = static_cast<HANDLE>(handle_);
  if (!SetFilePointerEx(h, pos, nullptr, FILE_BEGIN) || !SetEndOfFile(h))
    ThrowStreamWriteError(shownPath_);
}

void FileStream::Close() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

std::uint64_t FileStream::NextDataOffset(std::uint64_t offset) const {
  return offset;
}

void FileStream::WillNeed(std::uint64_t, std::uint64_t) const {}

#else

FileStream FileStream::CreateNewPrivate(const std::string& path, const std::string& shownPath) {
  FileStream stream;
  stream.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (stream.fd_ < 0) ThrowCannotCreate(shownPath);
  stream.path_ = path;
  stream.shownPath_ = shownPath;
  return stream;
}

FileStream::FileStream(std::string path, std::string shownPath, Access access)
    : path_(std::move(path)), shownPath_(std::move(shownPath)) {
  const bool readOnly = access == Access::Read || access == Access::ReadExclusive;
  const int flags = readOnly                      ? O_RDONLY
                    : access == Access::CreateNew ? O_RDWR | O_CREAT | O_EXCL
                                                  : O_RDWR;
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; only
  // regular files get past the check below, where it makes no difference.
  fd_ = ::open(path_.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  const auto fail = [&] {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (access == Access::CreateNew) ThrowCannotCreate(shownPath_);
    ThrowCannotOpen(shownPath_);
  };
  if (fd_ < 0) fail();
  // A file made here with O_EXCL is a new regular file under a name of the
  // tool's own (a temporary one, a lock file): it needs no check, but it is
  // held alone like every file opened for writing, so that others can tell
  // it is in use.
  struct stat info {};
  if (access != Access::CreateNew && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) fail();
  const int lock = access == Access::Read ? LOCK_SH : LOCK_EX;
  if (::flock(fd_, lock | LOCK_NB) != 0) fail();
}

std::uint64_t FileStream::Size() const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) ThrowStreamReadError(shownPath_);
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t FileStream::ReadSome(std::span<std::uint8_t> out) {
  std::size_t total = 0;
  while (total < out.size()) {
    const ssize_t got =
        ::pread(fd_, out.data() + total, out.size() - total, static_cast<off_t>(position_ + total));
    if (got < 0) ThrowStreamReadError(shownPath_);
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  position_ += total;
  return total;
}

void FileStream::Write(std::span<const std::uint8_t> bytes) {
  std::size_t total = 0;
  while (total < bytes.size()) {
    const ssize_t put = ::pwrite(fd_, bytes.data() + total, bytes.size() - total,
                                 static_cast<off_t>(position_ + total));
    if (put <= 0) ThrowStreamWriteError(shownPath_);
    total += static_cast<std::size_t>(put);
  }
  position_ += total;
}

void FileStream::Truncate() {
  if (::ftruncate(fd_, static_cast<off_t>(position_)) != 0) ThrowStreamWriteError(shownPath_);
}

void FileStream::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void FileStream::WillNeed(std::uint64_t offset, std::uint64_t length) const {
#ifdef POSIX_FADV_WILLNEED
  ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
#else
  (void)offset;
  (void)length;
#endif
}

std::uint64_t FileStream::NextDataOffset(std::uint64_t offset) const {
#ifdef SEEK_DATA
  const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
  if (data >= 0) return static_cast<std::uint64_t>(data);
  if (errno == ENXIO) return std::max(offset, Size());  // only a hole up to the end
#endif
  return offset;
}

#endif

bool NobodyHolds(const std::string& path) {
  try {
    FileStream::OpenReadWrite(path);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

}  // namespace tessary
