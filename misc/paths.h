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
// A file or folder name that Windows does not take for a device: CON, PRN,
// AUX, NUL, COM1..COM9 and LPT1..LPT9 (in any letter case, with or without an
// extension) get "_" after that part ("CON.txt" becomes "CON_.txt"); control
// characters become "_" (see PrintableText). The same on every platform, so
// that logs written on one replay on the other.
std::string SafeFileName(std::string_view name);

// The text with every control character (below 0x20, and 0x7F) made "_", so
// that a name from a game file or a command line cannot break a log line or
// send escape sequences to a terminal.
std::string PrintableText(std::string text);

// The text with the ASCII capitals A-Z made small and every other byte kept,
// for names that are compared or written without regard to letter case.
std::string AsciiLowerCase(std::string text);

// The directory part of a path ("" when it has none).
std::string ParentOf(std::string_view path);
// The file name cut before its first "."; empty when it has no dot (output
// names of such sources start with "_").
std::string BaseBeforeFirstDot(std::string_view path);
// The absolute form of a path (relative paths are taken from the current
// directory), so that messages say where a file was looked for.
std::string AbsolutePath(const std::string& path);
// The file name of `path` with its extension (from its last ".") replaced by
// `extension`, or with `extension` appended when it has none; a safe name (see
// SafeFileName).
std::string NameWithExtension(std::string_view path, std::string_view extension);
// A path read from a file that any platform may have written (a log, a
// project list), as this platform opens it: an absolute one as it stands
// (including "C:\..." elsewhere than on Windows, which then cannot be opened
// and is named as written); a relative one, with "\" or "/" between its
// parts, taken from `folder`.
std::string ResolveFrom(const std::string& folder, const std::string& path);
// True for a path that ResolveFrom takes from its folder.
bool IsRelativePath(const std::string& path);
// `path` written from `folder`, with "/" between its parts on every
// platform, when both lie on the same drive ("../game/ROOM01.RDT"); a path
// elsewhere, or one that is not absolute, as it is.
std::string RelativeFrom(const std::string& folder, const std::string& path);
bool PathExists(const std::string& path);
// True for an existing path that is not a directory.
bool FileExists(const std::string& path);

}  // namespace tessary
