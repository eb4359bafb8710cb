// Text tables as translators write them, used both ways: game bytes to UTF-8
// text and back, through one table.
//
// A text table has one entry a line: a code of one or two bytes (two or four
// hexadecimal digits, in the order of the game's bytes), "=", and the text the
// code stands for: one or more characters, or "\xHH" for the character U+00HH.
// Blank lines and lines starting with "#" or ";" are comments; a UTF-8
// byte-order mark is skipped; trailing blanks after a value are dropped,
// unless the value is nothing but blanks ("8140= " is a space). Files that are
// not valid UTF-8 are read as Latin-1.
//
// In text, a tag "<FE01>" (an even number of hexadecimal digits between "<"
// and ">") stands for its bytes. Decoding writes a tag for every code without
// an entry, for every entry whose text would break the line or read as a tag,
// and for every entry that encoding would read otherwise (as part of a longer
// entry, or as another code of the same text), so that whatever is decoded
// encodes back to the same bytes and every game string stays one line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "misc/byte_buffer.h"

namespace tessary {

// A character of a text that no entry of the table gives.
struct Unencodable {
  std::size_t column = 0;  // 1-based, in characters
  std::string character;   // as UTF-8
  char32_t codePoint = 0;
};

class TextTable final {
 public:
  // Reads a table file's bytes. A line of another form, a code named twice or
  // a code with no text are refused with a FormatError naming `name` and the
  // line (with " (read as Latin-1)" for a file that is not UTF-8).
  static TextTable Parse(std::span<const std::uint8_t> bytes, const std::string& name);

  bool ReadAsLatin1() const { return latin1_; }
  std::size_t EntryCount() const { return entries_; }

  // Game bytes as one line of UTF-8 text: two-byte codes are matched first.
  std::string Decode(std::span<const std::uint8_t> bytes) const;
  // UTF-8 text as game bytes: tags as their bytes, the rest by the longest
  // entry text that matches there (the first code given for a text); every
  // character no entry gives is added to `missing`.
  ByteBuffer Encode(std::string_view text, std::vector<Unencodable>& missing) const;

  // Every entry as "CODE=TEXT" ("XX" or "XXYY"), in the order of the codes.
  std::vector<std::string> Lines() const;

 private:
  void Add(std::uint16_t code, bool pair, std::string text, const std::string& where);
  // The length of the longest entry text at `at` (0: none) and its code.
  std::size_t LongestMatch(std::string_view text, std::size_t at, const ByteBuffer*& code) const;

  std::array<std::string, 256> single_;                   // empty: no entry
  std::map<std::uint16_t, std::string> pairs_;            // first byte << 8 | second
  std::array<bool, 256> leadsPair_{};                     // a pair starts with the byte
  std::map<std::string, ByteBuffer, std::less<>> codes_;  // text to its first code
  std::size_t longestText_ = 0;
  std::size_t entries_ = 0;
  bool latin1_ = false;
};

// True when the file's bytes hold a text table rather than a raw 256-byte code
// table: it holds no control byte but tab, CR and LF, and its first line that
// is not blank or a comment is an entry, or it is too short for a raw table,
// or it has three line breaks or more.
bool IsTextTable(std::span<const std::uint8_t> bytes);

// "U+00E9".
std::string CodePointText(char32_t codePoint);

// "NAME, line N, column C: 'é' (U+00E9) is not in the table" for a character
// at the 0-based `line` of a text file.
std::string UnencodableText(const std::string& name, std::size_t line, std::size_t column,
                            const Unencodable& character);

}  // namespace tessary
