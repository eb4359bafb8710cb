#include "formathandlers/archive/xor_stream.h"

#include <cstring>
#include <vector>

#include "misc/byte_buffer.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

constexpr std::size_t kKeyBlock = 16;

// Fills key[0 .. length) with the chunk's key bytes. Each run is written as
// whole 16-byte blocks that may spill past the run; the next run overwrites the
// spill, so no per-byte branch is needed. `key` has kKeyBlock bytes of slack.
void BuildKeyStream(std::uint8_t* key, std::uint64_t length, std::uint32_t& state,
                    const XorTable& table) {
  std::uint8_t k = NextKeyByte(state);
  std::uint64_t run = table.Run(NextRunIndex(state));
  std::uint64_t pos = 0;
  while (pos < length) {
    const std::uint64_t count = run + 1;  // 64-bit: a run of 0xFFFFFFFF covers 2^32 bytes
    const std::uint64_t end = count < length - pos ? pos + count : length;
    std::uint8_t block[kKeyBlock];
    std::memset(block, k, kKeyBlock);
    for (std::uint64_t at = pos; at < end; at += kKeyBlock) std::memcpy(key + at, block, kKeyBlock);
    pos = end;
    run = table.Run(NextRunIndex(state));
    k = NextKeyByte(state);
  }
}

}  // namespace

XorTable XorTable::FromBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
  if (bytes.size() < kXorTableValues * 4) {
    throw FormatError(name + " holds " + std::to_string(bytes.size()) +
                      " bytes; a XOR table needs at least 252");
  }
  XorTable table;
  for (std::size_t i = 0; i < kXorTableValues; ++i) table.runs_[i] = LoadU32(bytes.data() + 4 * i);
  return table;
}

XorTable XorTable::Load(const std::string& path) { return FromBytes(LoadBytes(path), path); }

void XorChunk(std::span<std::uint8_t> buffer, std::uint32_t& state, const XorTable& table) {
  thread_local std::vector<std::uint8_t> key;
  if (key.size() < buffer.size() + kKeyBlock) key.resize(buffer.size() + kKeyBlock);
  BuildKeyStream(key.data(), buffer.size(), state, table);
  std::uint8_t* data = buffer.data();
  const std::uint8_t* k = key.data();
  std::size_t i = 0;
  for (; i + 8 <= buffer.size(); i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, data + i, 8);
    std::memcpy(&b, k + i, 8);
    a ^= b;
    std::memcpy(data + i, &a, 8);
  }
  for (; i < buffer.size(); ++i) data[i] ^= k[i];
}

std::uint32_t RandomSeed(RandomGenerator& random) {
  std::uint32_t seed = 0;
  for (int k = 0; k < 4; ++k) seed |= static_cast<std::uint32_t>(random.Next() & 0xFF) << (8 * k);
  return seed;
}

}  // namespace tessary
