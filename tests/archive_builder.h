// Builds GRM archives for tests, benchmarks and the samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formathandlers/archive/xor_stream.h"
#include "tests/lzss_encoder.h"
#include "tests/tim_builder.h"

namespace tessary::testing {

struct ArchiveEntry {
  std::string name;
  std::vector<std::uint8_t> content;
  bool compress = false;
};

// A synthetic "XorTable.tbl": 63 run values cycling through 0..15.
inline std::vector<std::uint8_t> SyntheticXorTable() {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t i = 0; i < kXorTableValues; ++i) PutU32(bytes, (i * 7) % 16);
  return bytes;
}

// A synthetic "decodetable.tbl": 4096 bytes of text the encoder can match.
inline std::vector<std::uint8_t> SyntheticDictionary() {
  return TextLikeData(4096, 99);
}

// Blocks start on multiples of `blockAlignment` (the game's archives on disc
// use whole sectors of 2048 bytes).
inline std::vector<std::uint8_t> BuildArchive(const std::vector<ArchiveEntry>& entries,
                                              const std::vector<std::uint8_t>& xorTable,
                                              const std::vector<std::uint8_t>& dictionary,
                                              std::uint32_t seed = 1,
                                              std::size_t blockAlignment = 8) {
  const XorTable table = XorTable::FromBytes(xorTable, "XorTable.tbl");
  std::vector<std::uint8_t> out(4096, 0x47);
  PutU32(out, static_cast<std::uint32_t>(entries.size()));
  std::vector<std::size_t> recordAt;
  for (const auto& entry : entries) {
    recordAt.push_back(out.size());
    PutU32(out, 0);
    PutU32(out, 0);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    out.push_back(0);
  }
  for (std::size_t e = 0; e < entries.size(); ++e) {
    while (out.size() % blockAlignment != 0) out.push_back(0);
    const std::size_t start = out.size();
    std::vector<std::uint8_t> payload;
    std::vector<std::uint32_t> sizes;
    const auto& content = entries[e].content;
    if (entries[e].compress) {
      Compressed packed = LzssEncoder(dictionary).Encode(content);
      payload = std::move(packed.bytes);
      sizes = std::move(packed.chunkSizes);
    } else {
      payload = content;
      for (std::size_t at = 0; at <= content.size(); at += 32768)
        sizes.push_back(
            static_cast<std::uint32_t>(std::min<std::size_t>(32768, content.size() - at)));
    }
    const auto n = static_cast<std::uint32_t>(sizes.size());
    PutU16(out, static_cast<std::uint16_t>(16 + 8 * n));
    PutU16(out, static_cast<std::uint16_t>(n));
    PutU32(out, static_cast<std::uint32_t>(content.size()));
    for (int i = 0; i < 8; ++i) out.push_back(0);
    std::vector<std::uint32_t> seeds;
    for (std::uint32_t c = 0; c < n; ++c) seeds.push_back(seed = seed * 2654435761u + 12345u);
    for (auto s : seeds) PutU32(out, s);
    for (auto s : sizes) PutU32(out, s);
    std::size_t at = 0;
    for (std::uint32_t c = 0; c < n; ++c) {
      std::vector<std::uint8_t> chunk(payload.begin() + static_cast<std::ptrdiff_t>(at),
                                      payload.begin() + static_cast<std::ptrdiff_t>(at + sizes[c]));
      std::uint32_t state = seeds[c];
      XorChunk(chunk, state, table);
      out.insert(out.end(), chunk.begin(), chunk.end());
      at += sizes[c];
    }
    const auto storedSize = static_cast<std::uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i) {
      out[recordAt[e] + i] = static_cast<std::uint8_t>((start / 8) >> (8 * i));
      out[recordAt[e] + 4 + i] = static_cast<std::uint8_t>(storedSize >> (8 * i));
    }
  }
  return out;
}

}  // namespace tessary::testing
