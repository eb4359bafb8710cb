#include "formathandlers/text/text_table_codec.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "misc/errors.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Utf8Char {
  char32_t codePoint = 0;
  std::size_t length = 0;  // 0: not a valid UTF-8 sequence here
};

// The UTF-8 character at `at` (shortest forms only, no surrogates).
Utf8Char ReadUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return {};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return {};
    code = code << 6 | (next & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = ReadUtf8(text, at).length;
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string Utf8Of(char32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) out += Utf8Of(static_cast<unsigned char>(c));
  return out;
}

bool IsComment(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#' ||
         line[0] == ';';
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The number of hexadecimal digits before "=" in an entry line (2 or 4), or 0.
std::size_t CodeDigits(std::string_view line) {
  std::size_t digits = 0;
  while (digits < line.size() && digits < 5 && IsHex(line[digits])) ++digits;
  const bool entry = (digits == 2 || digits == 4) && digits < line.size() && line[digits] == '=';
  return entry ? digits : 0;
}

unsigned HexValue(std::string_view digits) {
  unsigned value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  return value;
}

// The text after "=": trailing blanks dropped unless it is all blanks; "\xHH"
// alone is the character U+00HH.
std::string EntryText(std::string_view value) {
  const std::size_t last = value.find_last_not_of(" \t");
  if (last != std::string_view::npos) value = value.substr(0, last + 1);
  if (value.size() == 4 && value[0] == '\\' && (value[1] == 'x' || value[1] == 'X') &&
      IsHex(value[2]) && IsHex(value[3]))
    return Utf8Of(HexValue(value.substr(2)));
  return std::string(value);
}

std::string Hex(std::uint8_t byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

// Text that a line of decoded text cannot hold as it is: a control character
// would break or hide the line, "<" could read as a tag.
bool NeedsTag(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '<') return true;
  }
  return false;
}

// The length of the tag at `at` ("<" hex-pairs ">"), or 0.
std::size_t TagLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && IsHex(text[end])) ++end;
  const std::size_t digits = end - at - 1;
  if (digits == 0 || digits % 2 != 0 || end >= text.size() || text[end] != '>') return 0;
  return digits + 2;
}

}  // namespace

bool IsUtf16(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

bool IsTextTable(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return false;
  if (IsUtf16(bytes)) return true;  // refused by Parse, with what to do
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    text.remove_prefix(kByteOrderMark.size());
  // A first entry line makes a text table, whatever bytes follow (a stray
  // control byte is then refused at its line instead of the whole file being
  // taken for raw bytes).
  for (const std::string& line : SplitLines(text)) {
    if (IsComment(line)) continue;
    if (CodeDigits(line) != 0) return true;
    break;
  }
  std::size_t lineBreaks = 0;
  for (const std::uint8_t b : bytes) {
    if ((b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F) return false;
    lineBreaks += b == '\n' || b == '\r';
  }
  // Plain text in lines that does not start like a table is still read as
  // one, so that it is refused at its bad line instead of being taken for raw
  // bytes; a raw table with every code printable maps at most a code or two
  // to a line break.
  return bytes.size() < 256 || lineBreaks >= 3;
}

TextTable TextTable::Parse(std::span<const std::uint8_t> bytes, const std::string& name) {
  if (IsUtf16(bytes)) ThrowFormatError(name, "the table is saved as UTF-16; save it as UTF-8");
  std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (raw.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    raw.remove_prefix(kByteOrderMark.size());
  TextTable table;
  table.latin1_ = !IsUtf8(raw);
  const std::string text = table.latin1_ ? Latin1ToUtf8(raw) : std::string(raw);
  const std::string shown = table.latin1_ ? " (read as Latin-1)" : "";
  const std::vector<std::string> lines = SplitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (IsComment(line)) continue;
    const std::string where = LineLabel(name, i) + shown;
    const auto control = std::find_if(line.begin(), line.end(), [](char c) {
      const auto b = static_cast<unsigned char>(c);
      return (b < 0x20 && b != '\t') || b == 0x7F;
    });
    if (control != line.end())
      ThrowFormatError(where, "a control byte " + Hex(static_cast<std::uint8_t>(*control)) +
                                  " stands in the line (write it as \\xHH)");
    const std::size_t digits = CodeDigits(line);
    if (digits == 0)
      ThrowFormatError(where,
                       "expected a code of two or four hexadecimal digits, \"=\" and its text");
    table.Add(static_cast<std::uint16_t>(HexValue(line.substr(0, digits))), digits == 4,
              EntryText(line.substr(digits + 1)), where);
  }
  if (table.entries_ == 0) ThrowFormatError(name + shown, "the text table has no entry");
  return table;
}

void TextTable::Add(std::uint16_t code, bool pair, std::string text, const std::string& where) {
  const std::string shownCode = pair ? Hex(code >> 8) + Hex(code & 0xFF) : Hex(code & 0xFF);
  if (text.empty()) ThrowFormatError(where, "the code " + shownCode + " has no text after \"=\"");
  std::string& slot = pair ? pairs_[code] : single_[code];
  if (!slot.empty()) ThrowFormatError(where, "the code " + shownCode + " is named twice");
  slot = text;
  if (pair) leadsPair_[code >> 8] = true;
  ByteBuffer bytes;
  if (pair) bytes.push_back(static_cast<std::uint8_t>(code >> 8));
  bytes.push_back(static_cast<std::uint8_t>(code & 0xFF));
  // The first code of a text is the one encoding gives it; "<" that opens no
  // tag is typed text too, but a control character cannot be.
  if (text == "<" || !NeedsTag(text)) codes_.emplace(text, std::move(bytes));
  longestText_ = std::max(longestText_, text.size());
  ++entries_;
}

std::size_t TextTable::LongestMatch(std::string_view text, std::size_t at,
                                    const ByteBuffer*& code) const {
  for (std::size_t length = std::min(longestText_, text.size() - at); length > 0; --length) {
    const auto found = codes_.find(text.substr(at, length));
    if (found == codes_.end()) continue;
    code = &found->second;
    return length;
  }
  return 0;
}

namespace {

// A piece of decoded text and the bytes it came from.
struct Piece {
  std::string text;
  ByteBuffer bytes;
  bool tag = false;
};

void AppendToTag(std::vector<Piece>& pieces, std::span<const std::uint8_t> bytes) {
  if (pieces.empty() || !pieces.back().tag) pieces.push_back({{}, {}, true});
  pieces.back().bytes.insert(pieces.back().bytes.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::string TextTable::Decode(std::span<const std::uint8_t> bytes) const {
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::string* text = nullptr;
    std::size_t step = 1;
    if (i + 1 < bytes.size() && leadsPair_[bytes[i]]) {
      const auto at = pairs_.find(static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]));
      if (at != pairs_.end()) text = &at->second, step = 2;
    }
    if (text == nullptr && !single_[bytes[i]].empty()) text = &single_[bytes[i]];
    if (text == nullptr || NeedsTag(*text))
      AppendToTag(pieces, bytes.subspan(i, step));
    else
      pieces.push_back({*text, ByteBuffer(bytes.begin() + i, bytes.begin() + i + step), false});
    i += step;
  }
  // Encoding reads the longest text first: a piece it would read otherwise
  // (its text and the next as one longer entry, or its text as another code)
  // is written as a tag, so that the text always encodes back to the bytes.
  std::string joined;
  for (const Piece& piece : pieces) joined += piece.text;
  std::vector<Piece> safe;
  std::size_t at = 0;
  for (Piece& piece : pieces) {
    const ByteBuffer* code = nullptr;
    const bool exact =
        !piece.tag && LongestMatch(joined, at, code) == piece.text.size() && *code == piece.bytes;
    at += piece.text.size();
    if (exact)
      safe.push_back(std::move(piece));
    else
      AppendToTag(safe, piece.bytes);
  }
  std::string out;
  for (const Piece& piece : safe) {
    if (!piece.tag) {
      out += piece.text;
      continue;
    }
    out += '<';
    for (const std::uint8_t b : piece.bytes) out += Hex(b);
    out += '>';
  }
  return out;
}

ByteBuffer TextTable::Encode(std::string_view text, std::vector<Unencodable>& missing) const {
  ByteBuffer out;
  out.reserve(text.size());
  std::size_t column = 1;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t tag = text[i] == '<' ? TagLength(text, i) : 0) {
      for (std::size_t k = i + 1; k + 1 < i + tag - 1; k += 2)
        out.push_back(static_cast<std::uint8_t>(HexValue(text.substr(k, 2))));
      column += tag;
      i += tag;
      continue;
    }
    const ByteBuffer* code = nullptr;
    if (const std::size_t length = LongestMatch(text, i, code)) {
      out.insert(out.end(), code->begin(), code->end());
      const std::string_view piece = text.substr(i, length);
      for (std::size_t k = 0; k < length; k += std::max<std::size_t>(1, ReadUtf8(piece, k).length))
        ++column;
      i += length;
      continue;
    }
    const Utf8Char c = ReadUtf8(text, i);
    const std::size_t length = std::max<std::size_t>(c.length, 1);
    missing.push_back({column, std::string(text.substr(i, length)),
                       c.length == 0 ? char32_t{0xFFFD} : c.codePoint});
    ++column;
    i += length;
  }
  return out;
}

std::vector<std::string> TextTable::Lines() const {
  std::vector<std::string> lines;
  // A control character is written "\xHH", so that the line stays one line.
  const auto shown = [](const std::string& text) {
    const auto c = static_cast<unsigned char>(text[0]);
    return text.size() == 1 && c < 0x20 ? "\\x" + Hex(c) : text;
  };
  for (std::size_t b = 0; b < single_.size(); ++b)
    if (!single_[b].empty())
      lines.push_back(Hex(static_cast<std::uint8_t>(b)) + "=" + shown(single_[b]));
  for (const auto& [code, text] : pairs_)
    lines.push_back(Hex(static_cast<std::uint8_t>(code >> 8)) +
                    Hex(static_cast<std::uint8_t>(code & 0xFF)) + "=" + shown(text));
  return lines;
}

std::string CodePointText(char32_t codePoint) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codePoint));
  return text;
}

std::string UnencodableText(const std::string& name, std::size_t line, std::size_t column,
                            const Unencodable& character) {
  const bool printable = static_cast<unsigned char>(character.character[0]) >= 0x20;
  return LineLabel(name, line) + ", column " + std::to_string(column) + ": " +
         (printable ? "'" + character.character + "' (" + CodePointText(character.codePoint) + ")"
                    : CodePointText(character.codePoint)) +
         " is not in the table";
}

}  // namespace tessary
