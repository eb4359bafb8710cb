// The text block of room data: RDT room files (room data at offset 0) and ARD
// containers (room data in directory entry 8).
//
// Room data holds at 0x3C the offset T of its text block (0: no text). The
// block starts with a table of 16-bit pointers relative to the block; p[0] is
// also the table's length, so N = p[0] / 2. String j runs from p[j] to p[j+1];
// the final string ends after the end code 0xFE and the one byte that follows
// it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessary {

namespace room {
inline constexpr std::uint64_t kTextOffsetField = 0x3C;
inline constexpr std::uint64_t kArdCountOffset = 4;
inline constexpr std::uint64_t kArdDirectoryOffset = 8;
inline constexpr std::uint64_t kArdDirectoryEntrySize = 8;  // data length, 4 bytes not read
inline constexpr std::uint64_t kArdAlignment = 2048;
inline constexpr std::uint32_t kArdRoomEntry = 8;
inline constexpr std::uint8_t kEndCode = 0xFE;
// Pointers are 16 bits: every string starts within 65536 bytes of the block.
inline constexpr std::uint32_t kMaxPointer = 0xFFFF;
}  // namespace room

struct StringSpan {
  std::uint64_t offset = 0;  // in the file
  std::uint64_t length = 0;
};

struct RoomText {
  std::uint64_t roomStart = 0;   // S: where the room data starts in the file
  std::uint32_t textOffset = 0;  // T, from S; 0 when the room has no text
  std::vector<std::uint16_t> pointers;
  std::vector<StringSpan> strings;  // one per pointer
};

// Directory entry 8 of an ARD container, the room data: each entry starts on
// the next 2048-byte boundary after the one before. `file` needs to hold the
// directory only (ArdDirectoryEnd bytes). A container too short for its count
// or directory, or with fewer than nine entries, is refused naming `name`.
struct ArdRoomEntry {
  std::uint64_t start = 0;
  std::uint64_t length = 0;
};
ArdRoomEntry FindArdRoomEntry(std::span<const std::uint8_t> file, const std::string& name);
// Where the directory of `count` entries ends.
std::uint64_t ArdDirectoryEnd(std::uint32_t count);

// Reads the text block of a room file or ARD container whole, checking it
// against the file: a file too short for its count or for the offset at 0x3C,
// an ARD container with fewer than nine entries, a pointer table or string
// past the end, p[0] below 2 and decreasing pointers are refused with a
// FormatError naming `name`. A final string with no end code ends at the end of
// the file.
RoomText ReadRoomText(std::span<const std::uint8_t> file, bool ardContainer,
                      const std::string& name);

}  // namespace tessary
