// The GRM archive layout: a 4096-byte preamble, the entry count, the entry
// records (data offset in units of 8, stored size, zero-ended name), and one
// data block per entry (header, seeds, chunk sizes, scrambled chunk bytes).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessary {

namespace grm {
inline constexpr std::uint64_t kCountOffset = 4096;
inline constexpr std::uint64_t kTableOffset = 4100;
inline constexpr std::uint64_t kDataOffsetAt = 0;     // in a record: u32
inline constexpr std::uint64_t kStoredSizeAt = 4;     // in a record: u32
inline constexpr std::uint64_t kRecordFixedSize = 8;  // the zero-ended name follows
inline constexpr std::size_t kMaxNameBytes = 100;     // name and its zero byte
inline constexpr std::uint64_t kHeaderLengthAt = 0;   // in a data block: u16
inline constexpr std::uint64_t kChunkCountAt = 2;     // in a data block: u16
inline constexpr std::uint64_t kUnpackedSizeAt = 4;   // in a data block: u32
inline constexpr std::uint64_t kMarkerAt = 8;         // in a data block: 8 bytes
inline constexpr std::uint64_t kMarkerSize = 8;
inline constexpr std::uint64_t kDataHeaderSize = kMarkerAt + kMarkerSize;  // seeds, sizes follow
inline constexpr std::uint64_t kOffsetUnit = 8;
inline constexpr std::uint32_t kChunkSize = 32768;
inline constexpr std::uint64_t kBlockAlignment = 2048;
}  // namespace grm

struct EntryRecord {
  std::uint64_t recordOffset = 0;  // where the record starts
  std::uint32_t dataOffset = 0;    // in units of 8 bytes
  std::uint32_t storedSize = 0;
  std::string name;
  std::uint64_t NextRecord() const {
    return recordOffset + grm::kRecordFixedSize + name.size() + 1;
  }
};

struct DataBlock {
  std::uint16_t chunkCount = 0;
  std::uint32_t unpackedSize = 0;
  std::vector<std::uint32_t> seeds;
  std::vector<std::uint32_t> chunkSizes;
  std::uint64_t chunkBytesOffset = 0;  // of the first chunk's bytes in the archive
  std::uint64_t chunkBytesLength = 0;  // sum of the chunk sizes
};

// Reads the records of an archive (or of its copied table area). Every record
// must lie inside `bytes` and every name must end within 100 bytes; otherwise a
// FormatError names `archiveName` and the entry.
std::vector<EntryRecord> ReadEntryRecords(std::span<const std::uint8_t> bytes,
                                          const std::string& archiveName);

// Reads the data block of `record`; it and its chunk bytes must lie inside
// `bytes`.
DataBlock ReadDataBlock(std::span<const std::uint8_t> bytes, const EntryRecord& record,
                        const std::string& archiveName, std::size_t entry);

std::string EntryLabel(const std::string& archiveName, std::size_t entry, const std::string& name);

}  // namespace tessary
