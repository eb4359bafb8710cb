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
#include <span>
#include <string>
#include <string_view>

#include "misc/byte_buffer.h"

namespace tessary {

inline constexpr std::size_t kCodeTableSize = 256;
// The 256 entries of a loaded table.
using CodeTableEntries = std::span<const std::uint8_t, kCodeTableSize>;

// Empties `table` and loads the file whole into it. "Cannot open file %s" when
// it cannot be read; a file of fewer than 256 bytes is refused with an error
// naming it, and leaves `table` empty.
void LoadCodeTable(ByteBuffer& table, const std::string& path);

// The entries of a loaded table; an error when no table (or a short one) is
// loaded.
CodeTableEntries TableEntries(const ByteBuffer& table);

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
