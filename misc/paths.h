// Path text helpers. Paths are 8-bit text as the dialogs and logs hold them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessary {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The file-system path of a UTF-8 path text.
std::filesystem::path NativePath(const std::string& path);
// The UTF-8 text of a file-system path.
std::string PathText(const std::filesystem::path& path);

// directory + one separator + name, whatever form the directory has.
std::string JoinPath(std::string_view directory, std::string_view name);
// The part after the last separator ("\" or "/" on Windows, "/" elsewhere).
std::string FileNameOf(std::string_view path);
// The directory part of a path ("" when it has none).
std::string ParentOf(std::string_view path);
// The file name cut before its first "."; empty when it has no dot (output
// names of such sources start with "_").
std::string BaseBeforeFirstDot(std::string_view path);
// The absolute form of a path (relative paths are taken from the current
// directory), so that messages say where a file was looked for.
std::string AbsolutePath(const std::string& path);
// The file name of `path` with its extension (from its last ".") replaced by
// `extension`, or with `extension` appended when it has none.
std::string NameWithExtension(std::string_view path, std::string_view extension);
bool PathExists(const std::string& path);
// True for an existing path that is not a directory.
bool FileExists(const std::string& path);

}  // namespace tessary
