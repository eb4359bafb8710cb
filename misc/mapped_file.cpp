#include "misc/mapped_file.h"

#include <filesystem>

#include "misc/errors.h"
#include "misc/paths.h"

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessary {

#ifdef _WIN32

MappedFile::MappedFile(const std::string& path, Use use) {
  const std::filesystem::path native = NativePath(path);
  HANDLE file = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowCannotOpen(path);
  file_ = file;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    ThrowCannotOpen(path);
  }
  size_ = static_cast<std::size_t>(size.QuadPart);
  if (size_ == 0) return;
  mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping_ != nullptr)
    data_ = static_cast<const std::uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
  if (data_ == nullptr) {
    if (mapping_ != nullptr) CloseHandle(mapping_);
    CloseHandle(file);
    ThrowCannotOpen(path);
  }
}

void MappedFile::Release() const {
  // Unlocking pages that were never locked takes them out of the working set.
  if (data_ != nullptr) VirtualUnlock(const_cast<std::uint8_t*>(data_), size_);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (file_ != nullptr) CloseHandle(file_);
}

#else

MappedFile::MappedFile(const std::string& path, Use use) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO is refused, not awaited
  struct stat info {};
  const bool usable = fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
                      ::flock(fd_, LOCK_SH | LOCK_NB) == 0;
  if (!usable) {
    if (fd_ >= 0) ::close(fd_);
    ThrowCannotOpen(path);
  }
  size_ = static_cast<std::size_t>(info.st_size);
  if (size_ == 0) return;
  int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
  if (ReadWhole()) flags |= MAP_POPULATE;
#endif
  void* view = ::mmap(nullptr, size_, PROT_READ, flags, fd_, 0);
  if (view == MAP_FAILED) {
    ::close(fd_);
    ThrowCannotOpen(path);
  }
  // Random advice also stops the system from mapping the pages around each one
  // touched.
  ::madvise(view, size_, use == Use::Through ? MADV_SEQUENTIAL : MADV_RANDOM);
  data_ = static_cast<const std::uint8_t*>(view);
}

void MappedFile::Release() const {
  // The mapping is private and read-only: dropped pages come back from the file.
  if (data_ != nullptr && !ReadWhole())
    ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  if (fd_ >= 0) ::close(fd_);
}

#endif

}  // namespace tessary
