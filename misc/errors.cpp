#include "misc/errors.h"

namespace tessary {

void ThrowCannotOpen(const std::string& path) {
  throw FileError("Cannot open file " + path);
}

void ThrowCannotCreate(const std::string& path) {
  throw FileError("Cannot create file " + path);
}

void ThrowStreamReadError(const std::string& path) {
  throw FileError("Stream read error (" + path + ")");
}

void ThrowStreamWriteError(const std::string& path) {
  throw FileError("Stream write error (" + path + ")");
}

void ThrowListIndexError(std::int64_t index) {
  throw FileError("List index out of bounds (" + std::to_string(index) + ")");
}

void ThrowFormatError(const std::string& where, const std::string& what) {
  throw FormatError(where + ": " + what);
}

std::string LineLabel(const std::string& name, std::size_t index) {
  return name + ", line " + std::to_string(index + 1);
}

std::string WithFullStop(const std::string& text) {
  if (!text.empty() && text.back() == '.') return text;
  return text + ".";
}

}  // namespace tessary
