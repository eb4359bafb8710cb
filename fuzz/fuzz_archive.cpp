// Fuzz target: the GRM archive reader (entry table, data headers), the key
// stream and the decompressor, as extraction uses them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <span>

#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  std::uint8_t tableBytes[252];
  for (std::size_t i = 0; i < sizeof tableBytes; ++i)
    tableBytes[i] = static_cast<std::uint8_t>(i % 16);
  const tessary::XorTable table = tessary::XorTable::FromBytes(tableBytes, "t");
  const std::uint8_t dictionary[4096] = {};
  try {
    const auto records = tessary::ReadEntryRecords(bytes, "F.DAT");
    for (std::size_t e = 0; e < records.size(); ++e) {
      const auto block = tessary::ReadDataBlock(bytes, records[e], "F.DAT", e);
      if (block.chunkBytesOffset + block.chunkBytesLength > size) std::abort();
      tessary::ByteBuffer stored(
          bytes.begin() + static_cast<std::ptrdiff_t>(block.chunkBytesOffset),
          bytes.begin() +
              static_cast<std::ptrdiff_t>(block.chunkBytesOffset + block.chunkBytesLength));
      std::uint64_t at = 0;
      for (std::size_t c = 0; c < block.chunkSizes.size(); ++c) {
        std::uint32_t state = block.seeds[c];
        tessary::XorChunk({stored.data() + at, block.chunkSizes[c]}, state, table);
        at += block.chunkSizes[c];
      }
      // The reader has checked that the chunks can produce the unpacked size,
      // so the output stays within 8 times the input.
      if (block.unpackedSize > records[e].storedSize) {
        tessary::ByteBuffer out;
        tessary::DecompressWithDictionary(stored, out, block.unpackedSize, block.chunkSizes,
                                          dictionary);
        if (out.size() != block.unpackedSize) std::abort();
      }
    }
  } catch (const std::exception&) {
    // A clear error is the expected outcome for damaged archives.
  }
  return 0;
}
