#include "misc/paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace tessary {

std::filesystem::path NativePath(const std::string& path) {
  const auto* first = reinterpret_cast<const char8_t*>(path.data());
  return std::filesystem::path(std::u8string(first, first + path.size()));
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

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

namespace {

bool IsDeviceName(std::string_view stem) {
  const std::string name = AsciiLowerCase(std::string(stem));
  if (name == "con" || name == "prn" || name == "aux" || name == "nul") return true;
  return name.size() == 4 && (name.rfind("com", 0) == 0 || name.rfind("lpt", 0) == 0) &&
         name[3] >= '1' && name[3] <= '9';
}

}  // namespace

std::string AsciiLowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string PrintableText(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '_';
  }
  return text;
}

std::string SafeFileName(std::string_view printed) {
  const std::string printable = PrintableText(std::string(printed));
  const std::string_view name = printable;
  const auto dot = name.find('.');
  const std::string_view stem = name.substr(0, dot);
  if (!IsDeviceName(stem)) return std::string(name);
  std::string safe(stem);
  safe += '_';
  if (dot != std::string_view::npos) safe += name.substr(dot);
  return safe;
}

std::string ParentOf(std::string_view path) {
  return std::string(path.substr(0, path.size() - FileNameOf(path).size()));
}

std::string BaseBeforeFirstDot(std::string_view path) {
  const std::string name = FileNameOf(path);
  const auto dot = name.find('.');
  return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

std::string NameWithExtension(std::string_view path, std::string_view extension) {
  std::string name = FileNameOf(path);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return SafeFileName(name + std::string(extension));
}

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(NativePath(path), error);
  return error ? path : PathText(absolute.lexically_normal());
}

namespace {

// "C:\..." or "\\server\...": absolute on Windows, whatever reads it.
bool IsWindowsAbsolute(const std::string& path) {
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  return drive || path.rfind("\\\\", 0) == 0;
}

}  // namespace

bool IsRelativePath(const std::string& path) {
  // "\foo" and "C:foo" on Windows have a root part: they are not taken from
  // the folder, as they never were.
  return !path.empty() && !IsWindowsAbsolute(path) && NativePath(path).root_path().empty();
}

std::string ResolveFrom(const std::string& folder, const std::string& path) {
  if (folder.empty() || !IsRelativePath(path)) return path;
  std::string portable = path;
#ifndef _WIN32
  std::replace(portable.begin(), portable.end(), '\\', '/');
#endif
  // operator/ keeps an absolute path and joins a relative one.
  return PathText(NativePath(folder) / NativePath(portable));
}

std::string RelativeFrom(const std::string& folder, const std::string& path) {
  // A "\" in a name elsewhere than on Windows would be read back as a
  // separator: such a path stays as it is.
  if (kPathSeparator != '\\' && path.find('\\') != std::string::npos) return path;
  const std::filesystem::path from = NativePath(folder).lexically_normal();
  const std::filesystem::path to = NativePath(path).lexically_normal();
  if (!to.is_absolute() || !from.is_absolute() || to.root_name() != from.root_name()) return path;
  // Only paths that share a folder below the root with `folder` (on Windows
  // network paths, the share) move with it: "/mnt/disc/..." from "/home/..."
  // stays absolute.
  const std::filesystem::path toParts = to.relative_path(), fromParts = from.relative_path();
  if (toParts.empty() || fromParts.empty() || *toParts.begin() != *fromParts.begin()) return path;
  const std::filesystem::path relative = to.lexically_relative(from);
  if (relative.empty()) return path;
  const std::u8string text = relative.generic_u8string();
  return std::string(text.begin(), text.end());
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(NativePath(path), error);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(NativePath(path), error);
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace tessary
