#include "misc/paths.h"

#include <filesystem>
#include <system_error>

namespace tessary {

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += kPathSeparator;
  path += name;
  return path;
}

std::string FileNameOf(std::string_view path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("\\/");
#else
  const auto cut = path.find_last_of('/');
#endif
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string BaseBeforeFirstDot(std::string_view path) {
  const std::string name = FileNameOf(path);
  const auto dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(path), error);
}

}  // namespace tessary

namespace tessary {

bool FileExists(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(std::filesystem::path(path), error);
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace tessary
