// Text tables: the "41=A" form in which translators write and share code
// tables, and the encoding tables that undo a decoding table.
//
// A text table has one entry a line: two hexadecimal digits, "=", exactly one
// character of the 8-bit character set of the raw tables (Latin-1, or its
// UTF-8 form), or "\xHH" for a control character. Blank lines and lines
// starting with "#" or ";" are comments. (Text tables with two-byte codes and
// longer texts are used as they are: see text_table_codec.h.)
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formathandlers/text/code_table.h"

namespace tessary {

// The entries a text table names: entry b holds the character for byte b.
using TextTableEntries = std::array<std::optional<std::uint8_t>, kCodeTableSize>;

// Reads a text table. A byte named twice, an entry of more than one character
// (or of a multi-byte character) and a line of another form are refused with a
// FormatError naming `name` and the line (1-based).
TextTableEntries ParseTextTable(const std::vector<std::string>& lines, const std::string& name);

// The raw decoding table: entry b = the character named for b, else b.
ByteBuffer DecodingTable(const TextTableEntries& entries);
// The raw encoding table: entry c = the byte whose character is c, else c. A
// character given for two bytes is refused, naming the line of the second.
ByteBuffer EncodingTable(const std::vector<std::string>& lines, const std::string& name);

// "XX=c" for every entry of a raw table that is not the identity (every entry
// with `all`); "XX=\xHH" where c is a control character, UTF-8 from 0x80 on.
std::vector<std::string> ExportTextTable(CodeTableEntries table, bool all = false);

struct InvertedTable {
  ByteBuffer encoding;                // 256 bytes
  std::vector<std::string> shared;    // characters reached by several codes
  std::vector<std::uint8_t> missing;  // characters no code reaches (they map to themselves)
};

// The encoding table that undoes a decoding table: for room strings the code g
// decodes to table[g]; `shifted` (RES text) decodes g <= 0x56 to table[g +
// 0x24]. A character reached by several codes takes the lowest; `shared` lists
// them as "c: 0xAA 0xBB".
InvertedTable InvertTable(CodeTableEntries decoding, bool shifted);

}  // namespace tessary
