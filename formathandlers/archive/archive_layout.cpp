#include "formathandlers/archive/archive_layout.h"

#include <algorithm>
#include <cstring>

#include "formathandlers/archive/decompress.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

std::string EntryLabel(const std::string& archiveName, std::size_t entry, const std::string& name) {
  std::string label = archiveName + ": entry " + std::to_string(entry);
  if (!name.empty()) label += " (" + name + ")";
  return label;
}

std::vector<EntryRecord> ReadEntryRecords(std::span<const std::uint8_t> bytes,
                                          const std::string& archiveName) {
  if (!FitsIn(bytes.size(), grm::kCountOffset, 4))
    ThrowFormatError(archiveName, "too short to hold the entry count");
  const std::uint32_t count = LoadU32(bytes.data() + grm::kCountOffset);
  // Every record takes at least 9 bytes: refuse counts the file cannot hold
  // before reserving anything for them.
  if (count > (bytes.size() - grm::kTableOffset) / (grm::kRecordFixedSize + 1))
    ThrowFormatError(archiveName,
                     "entry count " + std::to_string(count) + " does not fit in the file");
  std::vector<EntryRecord> records;
  records.reserve(count);
  std::uint64_t at = grm::kTableOffset;
  for (std::uint32_t e = 0; e < count; ++e) {
    if (!FitsIn(bytes.size(), at, grm::kRecordFixedSize + 1))
      ThrowFormatError(EntryLabel(archiveName, e, ""),
                       "record lies past the end of the entry table");
    EntryRecord record;
    record.recordOffset = at;
    record.dataOffset = LoadU32(bytes.data() + at + grm::kDataOffsetAt);
    record.storedSize = LoadU32(bytes.data() + at + grm::kStoredSizeAt);
    const std::uint8_t* name = bytes.data() + at + grm::kRecordFixedSize;
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>(grm::kMaxNameBytes, bytes.size() - at - grm::kRecordFixedSize));
    const void* end = std::memchr(name, 0, room);
    if (end == nullptr)
      ThrowFormatError(
          EntryLabel(archiveName, e, ""),
          "name has no zero byte within " + std::to_string(grm::kMaxNameBytes) + " bytes");
    record.name.assign(reinterpret_cast<const char*>(name),
                       static_cast<const std::uint8_t*>(end) - name);
    at = record.NextRecord();
    records.push_back(std::move(record));
  }
  return records;
}

DataBlock ReadDataBlock(std::span<const std::uint8_t> bytes, const EntryRecord& record,
                        const std::string& archiveName, std::size_t entry) {
  // Named only when something is wrong: most archives hold many small entries.
  const auto where = [&] { return EntryLabel(archiveName, entry, record.name); };
  const std::uint64_t start = static_cast<std::uint64_t>(record.dataOffset) * grm::kOffsetUnit;
  if (!FitsIn(bytes.size(), start, grm::kDataHeaderSize))
    ThrowFormatError(where(), "data block starts past the end of the file");
  DataBlock block;
  block.chunkCount = LoadU16(bytes.data() + start + grm::kChunkCountAt);
  block.unpackedSize = LoadU32(bytes.data() + start + grm::kUnpackedSizeAt);
  const std::uint64_t arrays = start + grm::kDataHeaderSize;
  const std::uint64_t n = block.chunkCount;
  if (!FitsIn(bytes.size(), arrays, 8 * n))
    ThrowFormatError(where(), "chunk arrays end past the end of the file");
  block.seeds.resize(n);
  block.chunkSizes.resize(n);
  for (std::uint64_t c = 0; c < n; ++c) {
    block.seeds[c] = LoadU32(bytes.data() + arrays + 4 * c);
    block.chunkSizes[c] = LoadU32(bytes.data() + arrays + 4 * (n + c));
    block.chunkBytesLength += block.chunkSizes[c];
  }
  block.chunkBytesOffset = arrays + 8 * n;
  if (!FitsIn(bytes.size(), block.chunkBytesOffset, block.chunkBytesLength))
    ThrowFormatError(where(), "data block ends past the end of the file");
  // A compressed entry's size must be one its chunks can produce: refused here,
  // before anything is allocated for it.
  if (block.unpackedSize > record.storedSize)
    WithContext(where, [&] { CheckUnpackable(block.unpackedSize, block.chunkSizes); });
  return block;
}

}  // namespace tessary
