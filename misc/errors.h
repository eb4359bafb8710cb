// Errors raised by the file layer and by the format readers.
//
// The file layer's messages are fixed texts that the user sees in the error box:
// "Cannot open file %s", "Cannot create file %s", "Stream read error" and
// "List index out of bounds (%d)". Stream errors add the path they happened on:
// "Stream read error (PATH)". Malformed game data raises FormatError with a
// message that names the file (and the entry or line where that helps).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace tessary {

class FileError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class FormatError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void ThrowCannotOpen(const std::string& path);
[[noreturn]] void ThrowCannotCreate(const std::string& path);
[[noreturn]] void ThrowStreamReadError(const std::string& path);
[[noreturn]] void ThrowStreamWriteError(const std::string& path);
[[noreturn]] void ThrowListIndexError(std::int64_t index);

// "WHERE: WHAT" as a FormatError.
[[noreturn]] void ThrowFormatError(const std::string& where, const std::string& what);
// "NAME, line N" for the 0-based line index (N = index + 1).
std::string LineLabel(const std::string& name, std::size_t index);

// Runs `work` and returns what it returns; a FormatError it raises leaves as
// "WHERE: its text". `where` is the name, or a function that makes it, called
// only then (for work done many times over).
template <typename Where, typename Work>
decltype(auto) WithContext(const Where& where, Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const FormatError& error) {
    if constexpr (std::is_invocable_v<const Where&>)
      ThrowFormatError(where(), error.what());
    else
      ThrowFormatError(where, error.what());
  }
}

// The text as the error box shows it: a full stop is added when it has none.
std::string WithFullStop(const std::string& text);

}  // namespace tessary
