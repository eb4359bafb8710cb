// The XOR key stream that scrambles every stored chunk of a GRM archive.
//
// Each chunk has its own 32-bit generator, seeded from the archive:
// state = state * 0x5D588B65 + 0x8000000B, and each draw returns the upper 16
// bits. A chunk is scrambled in runs: a key byte covers run + 1 bytes, where run
// comes from the 63-value table of "XorTable.tbl". Draw order: key, run, then
// run, key after every run. Applying XorChunk twice restores the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "batch/random_generator.h"

namespace tessary {

inline constexpr const char* kXorTableName = "XorTable.tbl";
inline constexpr std::size_t kXorTableValues = 63;

class XorTable final {
 public:
  // Reads the first 63 little-endian values; a shorter table is refused with a
  // message that names `name`.
  static XorTable FromBytes(std::span<const std::uint8_t> bytes, const std::string& name);
  // "Cannot open file %s" when the file is missing.
  static XorTable Load(const std::string& path);
  // The length of the run (run + 1 bytes) for the top byte of a run draw:
  // the run index is that byte modulo 63, looked up once here.
  std::uint64_t RunLengthForDraw(std::uint32_t topByte) const { return lengths_[topByte]; }

 private:
  std::array<std::uint32_t, kXorTableValues> runs_{};
  std::array<std::uint64_t, 256> lengths_{};
};

// Scrambles (or unscrambles) `buffer` in place with the key stream of the
// generator `state`, which is advanced.
void XorChunk(std::span<std::uint8_t> buffer, std::uint32_t& state, const XorTable& table);

// The same, reading `source` and writing `target` (of the same size).
void XorChunkInto(std::span<const std::uint8_t> source, std::uint8_t* target, std::uint32_t& state,
                  const XorTable& table);

// Chunks lying back to back in `source` (chunkSizes[c] bytes each, summing to
// its size), each with the key stream of its own seed, into `target`.
void XorChunksInto(std::span<const std::uint8_t> source, std::uint8_t* target,
                   std::span<const std::uint32_t> seeds, std::span<const std::uint32_t> chunkSizes,
                   const XorTable& table);

// A fresh chunk seed: the low bytes of four draws of the process-wide
// generator, least significant first.
std::uint32_t RandomSeed(RandomGenerator& random);

}  // namespace tessary
