#include "tests/test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "misc/paths.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace tessary::testing {

TempDir::TempDir() : previousCurrent_(std::filesystem::current_path()) {
  // Tests run as parallel processes: the clock, a random number and a counter
  // keep their directories apart.
  static std::atomic<int> counter{0};
  static const unsigned salt = std::random_device{}();
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("tessary-test-" + std::to_string(stamp) + "-" + std::to_string(salt) + "-" +
           std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::current_path(previousCurrent_, error);
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::Path() const {
  return PathText(path_);
}

std::string TempDir::File(const std::string& name) const {
  return PathText((path_ / NativePath(name)).make_preferred());
}

std::string TempDir::SubDir(const std::string& name) const {
  const std::string dir = File(name);
  std::filesystem::create_directories(NativePath(dir));
  return dir;
}

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("test could not write " + path);
}

void WriteFile(const std::string& path, const ByteBuffer& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) throw std::runtime_error("test could not read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifndef _WIN32
ReadOnlyFile::ReadOnlyFile(const std::string& path) : path_(path) {
  if (geteuid() == 0) {
    immutable_ = SetImmutable(true);
  } else {
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
  }
}

ReadOnlyFile::~ReadOnlyFile() {
  if (immutable_) SetImmutable(false);
}

bool ReadOnlyFile::Effective() const {
  const int fd = ::open(path_.c_str(), O_RDWR);
  if (fd >= 0) ::close(fd);
  return fd < 0;
}

bool ReadOnlyFile::SetImmutable(bool on) const {
  const int fd = ::open(path_.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}
#endif

}  // namespace tessary::testing
