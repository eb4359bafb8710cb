// The lines of a result log: what extraction writes and insertion reads back.
//
// A log is a sequence of sections, one per input file: a format line, a source
// line, then the target lines the extraction handler wrote for that source.
// Target lines are read back by position, so their prefixes and the widths of
// the found-image fields must stay exactly as written here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessary {

// The log every extraction batch writes into its output directory.
inline constexpr std::string_view kResultLogName = "result.log";

namespace logline {
inline constexpr std::string_view kFormat = "#Format: ";
inline constexpr std::string_view kSource = "#Source: ";
inline constexpr std::string_view kArchiveTarget = "#Target : ";
inline constexpr std::string_view kBitmapTarget = "#Target BMP: ";
inline constexpr std::string_view kTimTarget = "#Target TIM: ";
inline constexpr std::string_view kTextTarget = "#Target: ";
inline constexpr std::string_view kCodeTable = "#CodeTable: ";

// The first words that make a line a directive, compared case-sensitively.
inline constexpr std::string_view kFormatKeyword = "#Format:";
inline constexpr std::string_view kSourceKeyword = "#Source:";
inline constexpr std::string_view kTargetKeyword = "#Target";
inline constexpr std::string_view kCodeTableKeyword = "#CodeTable:";
// What a found-image target line contains; tested anywhere in the line.
inline constexpr std::string_view kTimTargetMarker = "#Target TIM:";
// Characters of "%08X:%08X " between the found-image prefix and the path.
inline constexpr std::size_t kTimFieldsWidth = 18;
}  // namespace logline

// An error raised while a log is applied, naming the log and its line:
// "result.log, line 17: Cannot open file ...".
class LogLineError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string FormatLine(std::string_view key);
std::string SourceLine(std::string_view path);
std::string ArchiveTargetLine(std::string_view entryPath);
std::string BitmapTargetLine(std::string_view bitmapPath);
std::string TimTargetLine(std::uint32_t offset, std::uint32_t length, std::string_view timPath);
std::string TextTargetLine(std::string_view textPath);

enum class Directive { Comment, Format, Source, Target, CodeTable };

struct LogLine {
  Directive directive = Directive::Comment;
  // The line without its first (keyword length + 1) characters.
  std::string value;
};

// True for blanks, tabs and the other white-space characters of the C locale.
bool IsLogSpace(char c);
// The first word: leading white space skipped, up to the next white space.
std::string_view FirstWord(std::string_view text);
// Classifies one log line as the log reader does. Lines and values of any
// length are taken whole.
LogLine ReadLogLine(std::string_view line);

// Reading target lines back, as the insertion handlers take them: the path is
// cut by position (the prefix's length of characters removed, whatever they
// are), so an edited prefix still gives its path.
std::string BitmapTargetPath(std::string_view line);
std::string TextTargetPath(std::string_view line);
// The path of a found-image target line, even when its numbers do not parse.
std::string TimTargetPath(std::string_view line);
// Found-image target lines contain "#Target TIM:" anywhere; the text target of
// a room contains "#Target" anywhere.
bool IsTimTargetLine(std::string_view line);
bool IsRoomTextTargetLine(std::string_view line);
// The rest of a line that starts with `prefix` (one of the line forms above,
// "#Target : " for an archive entry); nullopt for any other line.
std::optional<std::string> ValueAfter(std::string_view line, std::string_view prefix);

// `line` with the path it holds replaced by `change(path)`: the path after
// "#Source: ", "#CodeTable: ", "#Target : ", "#Target BMP: ", "#Target: ", or
// after the fields of "#Target TIM: "; every other line as it is.
std::string WithChangedPath(std::string_view line,
                            const std::function<std::string(const std::string&)>& change);

struct TimTarget {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
  std::string path;
};

// Takes a found-image target line apart by position: 13 characters dropped,
// "%X:%X" read, 18 characters dropped, the rest is the path. nullopt when the
// two numbers do not parse as unsigned 32-bit hexadecimal values.
std::optional<TimTarget> ParseTimTarget(std::string_view line);

}  // namespace tessary
