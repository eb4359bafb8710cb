// Path text helpers. Paths are 8-bit text as the dialogs and logs hold them.
#pragma once

#include <string>
#include <string_view>

namespace tessary {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// directory + one separator + name, whatever form the directory has.
std::string JoinPath(std::string_view directory, std::string_view name);
// The part after the last separator ("\" or "/" on Windows, "/" elsewhere).
std::string FileNameOf(std::string_view path);
// The file name cut before its first "."; empty when it has no dot (output
// names of such sources start with "_").
std::string BaseBeforeFirstDot(std::string_view path);
bool PathExists(const std::string& path);
// True for an existing path that is not a directory.
bool FileExists(const std::string& path);

}  // namespace tessary
