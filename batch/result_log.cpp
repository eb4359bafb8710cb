#include "batch/result_log.h"

#include <array>
#include <cstdio>

#include "misc/errors.h"

namespace tessary {

namespace {

// A log line holds one path: one with a line break would split the line and
// shift every later target onto its neighbour, so it is refused.
void CheckLoggable(std::string_view path) {
  if (path.find_first_of("\r\n") != std::string_view::npos)
    ThrowFormatError(std::string(path),
                     "a path with a line break cannot be written to the result log");
}

std::string Join(std::string_view prefix, std::string_view value) {
  CheckLoggable(value);
  std::string line(prefix);
  line += value;
  return line;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one "%X" field at `pos` as scanf does (leading white space, an optional
// "0x"), refusing values that do not fit 32 bits.
std::optional<std::uint32_t> ScanHex(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsLogSpace(text[pos])) ++pos;
  const bool hexPrefix = pos + 2 < text.size() && text[pos] == '0' &&
                         (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
                         HexDigitValue(text[pos + 2]) >= 0;
  if (hexPrefix) pos += 2;
  std::uint64_t value = 0;
  const std::size_t start = pos;
  while (pos < text.size() && HexDigitValue(text[pos]) >= 0) {
    value = value * 16 + static_cast<std::uint64_t>(HexDigitValue(text[pos]));
    if (value > 0xFFFFFFFFull) return std::nullopt;
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::string FormatLine(std::string_view key) {
  return Join(logline::kFormat, key);
}
std::string SourceLine(std::string_view path) {
  return Join(logline::kSource, path);
}
std::string ArchiveTargetLine(std::string_view path) {
  return Join(logline::kArchiveTarget, path);
}
std::string BitmapTargetLine(std::string_view path) {
  return Join(logline::kBitmapTarget, path);
}
std::string TextTargetLine(std::string_view path) {
  return Join(logline::kTextTarget, path);
}

std::string TimTargetLine(std::uint32_t offset, std::uint32_t length, std::string_view timPath) {
  CheckLoggable(timPath);
  std::array<char, 24> fields{};
  std::snprintf(fields.data(), fields.size(), "%08X:%08X ", static_cast<unsigned>(offset),
                static_cast<unsigned>(length));
  std::string line(logline::kTimTarget);
  line += fields.data();
  line += timPath;
  return line;
}

bool IsLogSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view FirstWord(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && IsLogSpace(text[start])) ++start;
  std::size_t end = start;
  while (end < text.size() && !IsLogSpace(text[end])) ++end;
  return text.substr(start, end - start);
}

LogLine ReadLogLine(std::string_view line) {
  const std::string_view word = FirstWord(line);
  LogLine result;
  if (word == logline::kFormatKeyword) {
    result.directive = Directive::Format;
  } else if (word == logline::kSourceKeyword) {
    result.directive = Directive::Source;
  } else if (word == logline::kTargetKeyword) {
    result.directive = Directive::Target;
  } else if (word == logline::kCodeTableKeyword) {
    result.directive = Directive::CodeTable;
  } else {
    return result;
  }
  const std::size_t cut = std::min(line.size(), word.size() + 1);
  result.value = std::string(line.substr(cut));
  return result;
}

namespace {

std::string CutAt(std::string_view line, std::size_t width) {
  return line.size() > width ? std::string(line.substr(width)) : std::string();
}

}  // namespace

std::string BitmapTargetPath(std::string_view line) {
  return CutAt(line, logline::kBitmapTarget.size());
}
std::string TextTargetPath(std::string_view line) {
  return CutAt(line, logline::kTextTarget.size());
}
std::string TimTargetPath(std::string_view line) {
  return CutAt(line, logline::kTimTarget.size() + logline::kTimFieldsWidth);
}

bool IsTimTargetLine(std::string_view line) {
  return line.find(logline::kTimTargetMarker) != std::string_view::npos;
}
bool IsRoomTextTargetLine(std::string_view line) {
  return line.find(logline::kTargetKeyword) != std::string_view::npos;
}

std::optional<std::string> ValueAfter(std::string_view line, std::string_view prefix) {
  if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
  return std::string(line.substr(prefix.size()));
}

std::string WithChangedPath(std::string_view line,
                            const std::function<std::string(const std::string&)>& change) {
  std::size_t head = 0;
  if (line.starts_with(logline::kTimTarget)) {
    head = logline::kTimTarget.size() + logline::kTimFieldsWidth;
  } else {
    for (const std::string_view prefix :
         {logline::kSource, logline::kCodeTable, logline::kArchiveTarget, logline::kBitmapTarget,
          logline::kTextTarget}) {
      if (line.starts_with(prefix)) head = prefix.size();
    }
  }
  if (head == 0 || head >= line.size()) return std::string(line);
  return std::string(line.substr(0, head)) + change(std::string(line.substr(head)));
}

std::optional<TimTarget> ParseTimTarget(std::string_view line) {
  const std::size_t prefix = logline::kTimTarget.size();
  const std::string_view text = line.size() > prefix ? line.substr(prefix) : std::string_view{};
  std::size_t pos = 0;
  const auto offset = ScanHex(text, pos);
  if (!offset || pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  const auto length = ScanHex(text, pos);
  if (!length) return std::nullopt;
  TimTarget target{*offset, *length, {}};
  if (text.size() > logline::kTimFieldsWidth) target.path = text.substr(logline::kTimFieldsWidth);
  return target;
}

}  // namespace tessary
