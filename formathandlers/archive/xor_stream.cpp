#include "formathandlers/archive/xor_stream.h"

#include <cstring>
#include <vector>

#include "misc/byte_buffer.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

constexpr std::size_t kKeyBlock = 16;
constexpr std::uint32_t kMultiplier = 0x5D588B65u;
constexpr std::uint32_t kIncrement = 0x8000000Bu;
constexpr int kRunsPerGroup = 4;
constexpr int kDrawsPerGroup = 2 * kRunsPerGroup;

// Step i of the generator from a state s is s * kStepMul[i] + kStepAdd[i]:
// the eight draws of a group of four runs are computed side by side from one
// state, so the loop's serial dependency is one multiply-add per four runs.
struct Steps {
  std::uint32_t mul[kDrawsPerGroup + 1];
  std::uint32_t add[kDrawsPerGroup + 1];
};

constexpr Steps MakeSteps() {
  Steps steps{};
  steps.mul[0] = 1;
  steps.add[0] = 0;
  for (int i = 1; i <= kDrawsPerGroup; ++i) {
    steps.mul[i] = steps.mul[i - 1] * kMultiplier;
    steps.add[i] = steps.add[i - 1] * kMultiplier + kIncrement;
  }
  return steps;
}

constexpr Steps kSteps = MakeSteps();

// Writes one run of `count` key bytes at `pos` and returns where the next run
// starts. Runs of up to 16 bytes take one 16-byte block whose spill past the
// run is overwritten by the next run (or lands in the slack); only longer runs
// loop, and only they need the end of the chunk.
inline std::uint64_t FillRun(std::uint8_t* key, std::uint64_t pos, std::uint64_t count,
                             std::uint64_t length, std::uint32_t keyByte) {
  const std::uint64_t word = keyByte * 0x0101010101010101ull;
  std::memcpy(key + pos, &word, 8);
  std::memcpy(key + pos + 8, &word, 8);
  if (count <= kKeyBlock) [[likely]]
    return pos + count;
  const std::uint64_t end = count < length - pos ? pos + count : length;
  for (std::uint64_t at = pos + kKeyBlock; at < end; at += kKeyBlock) {
    std::memcpy(key + at, &word, 8);
    std::memcpy(key + at + 8, &word, 8);
  }
  return end;
}

// Fills key[0 .. length) with the chunk's key bytes and leaves `state` after
// all draws: key and run first, then run and key after every run (also after
// the run that reaches the end). `key` has kKeyBlock bytes of slack.
void BuildKeyStream(std::uint8_t* key, std::uint64_t length, std::uint32_t& state,
                    const XorTable& table) {
  std::uint32_t s = state * kMultiplier + kIncrement;
  const std::uint32_t firstKey = s >> 24;
  s = s * kMultiplier + kIncrement;
  if (length == 0) {
    state = s;
    return;
  }
  std::uint64_t pos = FillRun(key, 0, table.RunLengthForDraw(s >> 24), length, firstKey);
  for (;;) {
    std::uint32_t d[kDrawsPerGroup + 1];
    for (int i = 1; i <= kDrawsPerGroup; ++i) d[i] = s * kSteps.mul[i] + kSteps.add[i];
    for (int j = 0; j < kRunsPerGroup; ++j) {
      const std::uint32_t runDraw = d[2 * j + 1];
      const std::uint32_t keyDraw = d[2 * j + 2];
      if (pos >= length) {
        state = keyDraw;
        return;
      }
      pos = FillRun(key, pos, table.RunLengthForDraw(runDraw >> 24), length, keyDraw >> 24);
    }
    s = d[kDrawsPerGroup];
  }
}

std::uint8_t* KeyBuffer(std::size_t length) {
  thread_local std::vector<std::uint8_t> key;
  if (key.size() < length + kKeyBlock) key.resize(length + kKeyBlock);
  return key.data();
}

void XorWords(const std::uint8_t* source, const std::uint8_t* key, std::uint8_t* target,
              std::size_t length) {
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, source + i, 8);
    std::memcpy(&b, key + i, 8);
    a ^= b;
    std::memcpy(target + i, &a, 8);
  }
  for (; i < length; ++i) target[i] = source[i] ^ key[i];
}

}  // namespace

XorTable XorTable::FromBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
  if (bytes.size() < kXorTableValues * 4) {
    throw FormatError(name + " holds " + std::to_string(bytes.size()) +
                      " bytes; a XOR table needs at least " + std::to_string(kXorTableValues * 4));
  }
  XorTable table;
  for (std::size_t i = 0; i < kXorTableValues; ++i) table.runs_[i] = LoadU32(bytes.data() + 4 * i);
  for (std::size_t b = 0; b < table.lengths_.size(); ++b)
    table.lengths_[b] = static_cast<std::uint64_t>(table.runs_[b % kXorTableValues]) + 1;
  return table;
}

XorTable XorTable::Load(const std::string& path) {
  return FromBytes(LoadBytes(path), path);
}

void XorChunk(std::span<std::uint8_t> buffer, std::uint32_t& state, const XorTable& table) {
  XorChunkInto(buffer, buffer.data(), state, table);
}

void XorChunkInto(std::span<const std::uint8_t> source, std::uint8_t* target, std::uint32_t& state,
                  const XorTable& table) {
  std::uint8_t* key = KeyBuffer(source.size());
  BuildKeyStream(key, source.size(), state, table);
  XorWords(source.data(), key, target, source.size());
}

std::uint32_t RandomSeed(RandomGenerator& random) {
  std::uint32_t seed = 0;
  for (int k = 0; k < 4; ++k) seed |= static_cast<std::uint32_t>(random.Next() & 0xFF) << (8 * k);
  return seed;
}

void XorChunksInto(std::span<const std::uint8_t> source, std::uint8_t* target,
                   std::span<const std::uint32_t> seeds, std::span<const std::uint32_t> chunkSizes,
                   const XorTable& table) {
  std::size_t at = 0;
  for (std::size_t c = 0; c < chunkSizes.size(); ++c) {
    std::uint32_t state = seeds[c];
    XorChunkInto(source.subspan(at, chunkSizes[c]), target + at, state, table);
    at += chunkSizes[c];
  }
}

}  // namespace tessary
