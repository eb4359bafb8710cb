#include "tests/test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "misc/paths.h"

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

}  // namespace tessary::testing
