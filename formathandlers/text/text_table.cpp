#include "formathandlers/text/text_table.h"

#include <charconv>
#include <cstdio>

#include "misc/errors.h"

namespace tessary {

namespace {

constexpr std::uint32_t kShiftLimit = 0x56;
constexpr std::uint32_t kShift = 0x24;

bool IsComment(const std::string& line) {
  return line.find_first_not_of(" \t") == std::string::npos || line[0] == '#' || line[0] == ';';
}

struct Entry {
  std::uint8_t byte;
  std::uint8_t character;
};

// The byte two hexadecimal digits at `at` give, or -1.
int HexByte(const std::string& line, std::size_t at) {
  unsigned value = 0;
  const char* first = line.data() + at;
  const auto [next, error] = std::from_chars(first, first + 2, value, 16);
  return error == std::errc() && next == first + 2 ? static_cast<int>(value) : -1;
}

// The character after "=" (trailing blanks dropped unless it is all blanks):
// one 8-bit character (Latin-1, or its UTF-8 form up to U+00FF), or "\xHH" for
// one that cannot stand in a line of text (see ExportTextTable); -1 for
// anything else.
int EntryCharacter(const std::string& line) {
  std::string value = line.substr(3);
  const std::size_t last = value.find_last_not_of(" \t");
  if (last != std::string::npos) value.resize(last + 1);
  if (value.size() == 1) return static_cast<std::uint8_t>(value[0]);
  const auto lead = static_cast<std::uint8_t>(value.size() == 2 ? value[0] : 0);
  const auto next = static_cast<std::uint8_t>(value.size() == 2 ? value[1] : 0);
  if ((lead == 0xC2 || lead == 0xC3) && (next & 0xC0) == 0x80)  // U+0080..U+00FF in UTF-8
    return (lead & 0x03) << 6 | (next & 0x3F);
  if (value.size() == 4 && value[0] == '\\' && (value[1] == 'x' || value[1] == 'X'))
    return HexByte(value, 2);
  return -1;
}

// Two upper-case hexadecimal digits.
std::string HexDigits(std::uint8_t byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

// A character as text tables write it: itself, or "\xHH" for a control
// character, so that messages and lists never break a line.
std::string ShownCharacter(std::uint8_t c) {
  if (c < 0x20 || c == 0x7F) return "\\x" + HexDigits(c);
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  return {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};  // UTF-8
}

// One entry line, or an error naming it. Codes of two bytes and texts of
// several characters belong to text tables used as they are.
Entry ReadEntry(const std::string& line, std::size_t index, const std::string& name) {
  if (line.size() >= 5 && HexByte(line, 0) >= 0 && HexByte(line, 2) >= 0 && line[4] == '=')
    ThrowFormatError(LineLabel(name, index),
                     "a two-byte code does not fit a 256-byte code table; give the text table "
                     "itself to -t");
  if (line.size() < 3 || HexByte(line, 0) < 0 || line[2] != '=')
    ThrowFormatError(LineLabel(name, index),
                     "expected two hexadecimal digits, \"=\" and one character");
  const int character = EntryCharacter(line);
  if (character < 0)
    ThrowFormatError(LineLabel(name, index),
                     "an entry of a 256-byte code table holds one 8-bit character after \"=\"; "
                     "for longer texts give the text table itself to -t");
  return {static_cast<std::uint8_t>(HexByte(line, 0)), static_cast<std::uint8_t>(character)};
}

}  // namespace

TextTableEntries ParseTextTable(const std::vector<std::string>& lines, const std::string& name) {
  TextTableEntries entries;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsComment(lines[i])) continue;
    const Entry entry = ReadEntry(lines[i], i, name);
    if (entries[entry.byte])
      ThrowFormatError(LineLabel(name, i), "the byte " + HexDigits(entry.byte) + " is named twice");
    entries[entry.byte] = entry.character;
  }
  return entries;
}

ByteBuffer DecodingTable(const TextTableEntries& entries) {
  ByteBuffer table(kCodeTableSize);
  for (std::size_t b = 0; b < kCodeTableSize; ++b)
    table[b] = entries[b].value_or(static_cast<std::uint8_t>(b));
  return table;
}

ByteBuffer EncodingTable(const std::vector<std::string>& lines, const std::string& name) {
  ParseTextTable(lines, name);  // the same checks first
  ByteBuffer table(kCodeTableSize);
  std::array<bool, kCodeTableSize> given{};
  for (std::size_t c = 0; c < kCodeTableSize; ++c) table[c] = static_cast<std::uint8_t>(c);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsComment(lines[i])) continue;
    const Entry entry = ReadEntry(lines[i], i, name);
    if (given[entry.character])
      ThrowFormatError(LineLabel(name, i), "the character '" + ShownCharacter(entry.character) +
                                               "' is given for two bytes");
    given[entry.character] = true;
    table[entry.character] = entry.byte;
  }
  return table;
}

std::vector<std::string> ExportTextTable(CodeTableEntries table, bool all) {
  std::vector<std::string> lines;
  for (std::size_t b = 0; b < kCodeTableSize; ++b) {
    if (table[b] == b && !all) continue;
    // Control characters (a line break above all) are written as "\xHH", so
    // that the file stays one entry a line and reads back as it was.
    lines.push_back(HexDigits(static_cast<std::uint8_t>(b)) + "=" + ShownCharacter(table[b]));
  }
  return lines;
}

InvertedTable InvertTable(CodeTableEntries decoding, bool shifted) {
  std::array<std::vector<std::uint8_t>, kCodeTableSize> codes;
  for (std::uint32_t g = 0; g < kCodeTableSize; ++g) {
    const std::uint32_t entry = shifted && g <= kShiftLimit ? g + kShift : g;
    codes[decoding[entry]].push_back(static_cast<std::uint8_t>(g));
  }
  InvertedTable inverted{ByteBuffer(kCodeTableSize), {}, {}};
  for (std::uint32_t c = 0; c < kCodeTableSize; ++c) {
    const auto& reaching = codes[c];
    inverted.encoding[c] = reaching.empty() ? static_cast<std::uint8_t>(c) : reaching.front();
    if (reaching.empty()) inverted.missing.push_back(static_cast<std::uint8_t>(c));
    if (reaching.size() < 2) continue;
    std::string line = "'" + ShownCharacter(static_cast<std::uint8_t>(c)) + "':";
    for (const std::uint8_t g : reaching) line += " 0x" + HexDigits(g);
    inverted.shared.push_back(line);
  }
  return inverted;
}

}  // namespace tessary
