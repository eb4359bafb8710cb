// Code tables and the four ways game text passes through them.
//
// A code table is a ".tbl" file whose byte i is the mapping of the value i; the
// same layout serves for decoding (game byte to character) and encoding
// (character to game byte). Only the first 256 bytes are consulted, and a file
// shorter than that is refused when it is loaded, so no lookup can read past
// the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formathandlers/text/text_table_codec.h"
#include "misc/byte_buffer.h"

namespace tessary {

inline constexpr std::size_t kCodeTableSize = 256;
// The 256 entries of a loaded table.
using CodeTableEntries = std::span<const std::uint8_t, kCodeTableSize>;

// Empties `table` and loads the file whole into it: a raw code table, or a
// text table (told apart by content, see IsTextTable), which is checked here.
// "Cannot open file %s" when it cannot be read; a text table with a bad line
// and a raw table of fewer than 256 bytes are refused with an error naming
// the file (and the line), and leave `table` empty.
void LoadCodeTable(ByteBuffer& table, const std::string& path);

// The entries of a loaded raw table; an error when no table (or a short one,
// or a text table) is loaded.
CodeTableEntries TableEntries(const ByteBuffer& table);

// The text table a loaded table holds, if it holds one.
std::optional<TextTable> TextTableIn(const ByteBuffer& table);

// Game text through whichever table is loaded: a text table both ways (game
// bytes directly, two-byte codes, tags), or a raw code table as the four
// mappings below say.
class GameTextCodec final {
 public:
  explicit GameTextCodec(const ByteBuffer& table);
  bool IsTextTable() const { return text_.has_value(); }
  const TextTable& Text() const { return *text_; }
  CodeTableEntries Raw() const { return *raw_; }
  // `shifted`: the RES lookup of a raw table (ignored by a text table).
  std::string Decode(std::span<const std::uint8_t> bytes, bool shifted) const;

 private:
  std::optional<TextTable> text_;
  std::optional<CodeTableEntries> raw_;
};

// Every byte b becomes table[b].
void DecodePlain(std::span<std::uint8_t> bytes, CodeTableEntries table);
// Every byte b of 0x56 or less is first raised by 0x24; then b becomes table[b].
void DecodeShifted(std::span<std::uint8_t> bytes, CodeTableEntries table);
// Every byte (character) c becomes table[c], 0x00 included.
void EncodePlain(std::span<std::uint8_t> bytes, CodeTableEntries table);
// One line of room text: characters between "{[" and "]}" go through the
// table, others are copied, a space outside an escape becomes 0x00. Markers
// produce no byte and do not nest; an escape open at the end of the line ends
// there.
ByteBuffer EncodeEscaped(std::string_view line, CodeTableEntries table);

}  // namespace tessary
