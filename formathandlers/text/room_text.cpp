#include "formathandlers/text/room_text.h"

#include <algorithm>

#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

std::uint64_t AlignUp(std::uint64_t position) {
  return (position + room::kArdAlignment - 1) / room::kArdAlignment * room::kArdAlignment;
}

std::vector<std::uint16_t> ReadPointers(const ByteReader& reader, std::uint64_t block,
                                        const std::string& name) {
  if (!reader.Has(block, 2))
    ThrowFormatError(name, "the text block starts past the end of the file");
  const std::uint16_t tableLength = reader.U16(block);
  if (tableLength < 2)
    ThrowFormatError(name, "the text block's pointer table is empty (p[0] = " +
                               std::to_string(tableLength) + ")");
  if (!reader.Has(block, tableLength))
    ThrowFormatError(name, "the text block's pointer table ends past the end of the file");
  std::vector<std::uint16_t> pointers(tableLength / 2);
  for (std::size_t j = 0; j < pointers.size(); ++j) {
    pointers[j] = reader.U16(block + 2 * j);
    if (j > 0 && pointers[j] < pointers[j - 1])
      ThrowFormatError(name, "pointer " + std::to_string(j) + " of the text block (" +
                                 std::to_string(pointers[j]) + ") is below the one before it (" +
                                 std::to_string(pointers[j - 1]) + ")");
  }
  return pointers;
}

// The final string: up to and including the end code and the byte after it,
// or to the end of the file when there is no end code (or nothing after it).
StringSpan FinalString(std::span<const std::uint8_t> file, std::uint64_t start) {
  const auto* first = file.data() + start;
  const auto* last = file.data() + file.size();
  const auto* code = std::find(first, last, room::kEndCode);
  const std::uint64_t end =
      code == last ? file.size() : std::min<std::uint64_t>(code - file.data() + 2, file.size());
  return {start, end - start};
}

}  // namespace

ArdRoomEntry FindArdRoomEntry(std::span<const std::uint8_t> file, const std::string& name) {
  const ByteReader reader(file, name);
  if (!reader.Has(room::kArdCountOffset, 4))
    ThrowFormatError(name, "too short to hold the entry count");
  const std::uint32_t count = reader.U32(room::kArdCountOffset);
  if (count <= room::kArdRoomEntry)
    ThrowFormatError(name, "an ARD container needs at least " +
                               std::to_string(room::kArdRoomEntry + 1) + " entries, this one has " +
                               std::to_string(count));
  const std::uint64_t directoryEnd = ArdDirectoryEnd(count);
  if (!reader.Has(0, directoryEnd))
    ThrowFormatError(name, "the directory ends past the end of the file");
  std::uint64_t position = directoryEnd;
  ArdRoomEntry entry;
  for (std::uint32_t k = 0; k <= room::kArdRoomEntry; ++k) {
    entry.start = AlignUp(position);
    entry.length = reader.U32(room::kArdDirectoryOffset + room::kArdDirectoryEntrySize * k);
    position = entry.start + entry.length;
  }
  return entry;
}

std::uint64_t ArdDirectoryEnd(std::uint32_t count) {
  return room::kArdDirectoryOffset + room::kArdDirectoryEntrySize * std::uint64_t{count};
}

RoomText ReadRoomText(std::span<const std::uint8_t> file, bool ardContainer,
                      const std::string& name) {
  const ByteReader reader(file, name);
  RoomText text;
  text.roomStart = ardContainer ? FindArdRoomEntry(file, name).start : 0;
  if (!reader.Has(text.roomStart + room::kTextOffsetField, 4))
    ThrowFormatError(name, "the room data is too short to hold the text-block offset at 0x3C");
  text.textOffset = reader.U32(text.roomStart + room::kTextOffsetField);
  if (text.textOffset == 0) return text;

  const std::uint64_t block = text.roomStart + text.textOffset;
  text.pointers = ReadPointers(reader, block, name);
  const std::size_t n = text.pointers.size();
  for (std::size_t j = 0; j + 1 < n; ++j) {
    const StringSpan span{block + text.pointers[j],
                          static_cast<std::uint64_t>(text.pointers[j + 1] - text.pointers[j])};
    if (!reader.Has(span.offset, span.length))
      ThrowFormatError(name, "string " + std::to_string(j) + " ends past the end of the file");
    text.strings.push_back(span);
  }
  const std::uint64_t finalStart = block + text.pointers[n - 1];
  if (finalStart > file.size())
    ThrowFormatError(name, "string " + std::to_string(n - 1) + " starts past the end of the file");
  text.strings.push_back(FinalString(file, finalStart));
  return text;
}

}  // namespace tessary
