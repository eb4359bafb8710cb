// The XOR key stream and the block decompressor.
#include <gtest/gtest.h>

#include <random>

#include "formathandlers/archive/compress.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "misc/errors.h"
#include "tests/lzss_encoder.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BitWriter;

XorTable TableOf(std::uint32_t value) {
  Bytes bytes;
  for (std::size_t i = 0; i < kXorTableValues; ++i) testing::PutU32(bytes, value);
  return XorTable::FromBytes(bytes, "t");
}

TEST(XorStreamTest, GeneratorDrawsFromSeedsZeroAndOne) {
  // From seed 0 the draws are 0x8000000B, 0x02CDFD62, 0x27892DB5, 0x0C284F74,
  // 0xA2EB54CF, 0xE80CDAB6; with runs of 0 a chunk of n bytes ends after
  // 2n + 2 of them.
  const std::uint32_t states[] = {0x02CDFD62, 0x0C284F74, 0xE80CDAB6};
  for (std::size_t n = 0; n < 3; ++n) {
    Bytes buffer(n, 0);
    std::uint32_t state = 0;
    XorChunk(buffer, state, TableOf(0));
    EXPECT_EQ(state, states[n]) << n;
  }
  // From seed 1: key 0xDD (0xDD58 in the upper 16 bits), run 0x86 = 134,
  // 134 mod 63 = 8, then run 0x76 = 118, 118 mod 63 = 55, key 0x82. Run i
  // covers i + 1 bytes, so the key bytes show both run indices.
  Bytes runs;
  for (std::uint32_t i = 0; i < kXorTableValues; ++i) testing::PutU32(runs, i);
  Bytes buffer(9 + 56, 0);
  std::uint32_t state = 1;
  XorChunk(buffer, state, XorTable::FromBytes(runs, "t"));
  Bytes expected(9, 0xDD);
  expected.resize(9 + 56, 0x82);
  EXPECT_EQ(buffer, expected);
  EXPECT_EQ(state, 0x5AA054FFu);  // six draws
}

TEST(XorStreamTest, DrawOrderIsKeyRunThenRunKey) {
  // Runs of 0: every byte gets a fresh key: 0x80, then 0x0C, then 0xE8.
  Bytes buffer(3, 0);
  std::uint32_t state = 0;
  XorChunk(buffer, state, TableOf(0));
  EXPECT_EQ(buffer, (Bytes{0x80, 0x0C, 0xE8}));
  // Eight draws: key, run, then run and key after each of the three runs.
  EXPECT_EQ(state, 0x02D0CFA8u);

  // The order decides which table entries are used: run 0 = table[2],
  // run 1 = table[39]. With table[2] = 1 the first key covers two bytes.
  Bytes values(kXorTableValues * 4, 0);
  values[2 * 4] = 1;
  buffer.assign(4, 0);
  state = 0;
  XorChunk(buffer, state, XorTable::FromBytes(values, "t"));
  EXPECT_EQ(buffer, (Bytes{0x80, 0x80, 0x0C, 0xE8}));
}

TEST(XorStreamTest, LongRunsEmptyChunksAndInverse) {
  Bytes buffer(40000, 0);
  std::uint32_t state = 0;
  XorChunk(buffer, state, TableOf(0xFFFFFFFF));
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x80), 40000);

  Bytes empty;
  state = 0;
  XorChunk(empty, state, TableOf(3));
  EXPECT_EQ(state, 0x02CDFD62u);  // two draws for a chunk of length 0

  Bytes data = testing::TextLikeData(5000, 3);
  const Bytes original = data;
  Bytes table;
  for (std::uint32_t i = 0; i < kXorTableValues; ++i) testing::PutU32(table, (i * 5) % 23);
  const XorTable t = XorTable::FromBytes(table, "t");
  std::uint32_t s1 = 77, s2 = 77;
  XorChunk(data, s1, t);
  EXPECT_NE(data, original);
  XorChunk(data, s2, t);
  EXPECT_EQ(data, original);
  EXPECT_THROW(XorTable::FromBytes(Bytes(251, 0), "XorTable.tbl"), FormatError);
}

// The key stream written out plainly, one byte at a time.
std::uint32_t ReferenceXor(Bytes& buffer, std::uint32_t state,
                           const std::vector<std::uint32_t>& runs) {
  const auto draw = [&state] {
    state = state * 0x5D588B65u + 0x8000000Bu;
    return static_cast<std::uint32_t>(state >> 24);
  };
  std::uint8_t key = static_cast<std::uint8_t>(draw());
  std::uint32_t run = runs[draw() % 63];
  std::uint32_t pos = 0;
  while (pos < buffer.size()) {
    for (std::uint32_t count = 0; count <= run && pos < buffer.size(); ++count) {
      buffer[pos++] ^= key;
      if (count == 0xFFFFFFFFu) break;
    }
    run = runs[draw() % 63];
    key = static_cast<std::uint8_t>(draw());
  }
  return state;
}

TEST(XorStreamTest, FastKeyStreamAgreesWithThePlainRule) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint32_t> runs(63);
    const std::uint32_t limit = round % 3 == 0 ? 3 : round % 3 == 1 ? 40 : 2000;
    for (auto& run : runs) run = random() % limit;
    Bytes tableBytes;
    for (auto run : runs) testing::PutU32(tableBytes, run);
    const XorTable table = XorTable::FromBytes(tableBytes, "t");
    Bytes expected(random() % 5000), actual;
    for (auto& b : expected) b = static_cast<std::uint8_t>(random());
    actual = expected;
    const std::uint32_t seed = static_cast<std::uint32_t>(random());
    const std::uint32_t expectedState = ReferenceXor(expected, seed, runs);
    std::uint32_t state = seed;
    XorChunk(actual, state, table);
    ASSERT_EQ(actual, expected) << "round " << round;
    ASSERT_EQ(state, expectedState) << "round " << round;
  }
}

TEST(XorStreamTest, RandomSeedTakesLowBytesOfFourDraws) {
  RandomGenerator random;
  random.Seed(12345);
  // Draws 15301 (0x3BC5), 24996 (0x61A4), 10921 (0x2AA9), 23577 (0x5C19).
  EXPECT_EQ(RandomSeed(random), 0x19A9A4C5u);
}

Bytes Decode(const Bytes& source, std::uint32_t size, std::vector<std::uint32_t> sizes,
             const Bytes& dictionary = Bytes(4096, 0)) {
  ByteBuffer out;
  DecompressWithDictionary(source, out, size, sizes, dictionary);
  return out;
}

TEST(DecompressTest, LiteralsMatchesAndBlockCopies) {
  EXPECT_EQ(Decode({0x20, 0x90, 0x80}, 2, {3}), (Bytes{0x41, 0x42}));
  EXPECT_EQ(Decode({0x20, 0x90, 0xA0, 0x00, 0x00}, 4, {5}), (Bytes{0x41, 0x42, 0x41, 0x42}));
  // A block copy from the window as it was: not 41 42 41 42 41 42 41.
  EXPECT_EQ(Decode({0x20, 0x90, 0xA0, 0x00, 0x60}, 7, {5}),
            (Bytes{0x41, 0x42, 0x41, 0x42, 0, 0, 0}));
  // The surplus of a last match is dropped.
  EXPECT_EQ(Decode({0x20, 0x90, 0xA0, 0x00, 0x60}, 3, {5}), (Bytes{0x41, 0x42, 0x41}));
  EXPECT_TRUE(Decode({}, 0, {}).empty());
}

TEST(DecompressTest, SecondChunkStartsAfreshAtItsOwnByte) {
  Bytes dictionary(4096, 0);
  dictionary[0] = 'D';
  BitWriter first;
  for (int i = 0; i < 32768; ++i) first.Put('X', 9);  // fills the whole window with X
  Bytes source = first.Take();
  source.push_back(0xFF);  // stored bytes of chunk 0 that its tokens do not use
  const auto firstSize = static_cast<std::uint32_t>(source.size());
  BitWriter second;
  second.Put(0x100, 9);
  second.Put(0x00, 8);  // offset 0, length 2: the dictionary again, not chunk 0's window
  const Bytes tail = second.Take();
  source.insert(source.end(), tail.begin(), tail.end());
  const Bytes out = Decode(source, 32769, {firstSize, 3}, dictionary);
  ASSERT_EQ(out.size(), 32769u);
  EXPECT_EQ(out[32767], 'X');
  EXPECT_EQ(out[32768], 'D');
}

TEST(DecompressTest, MatchRunningPastPosition4095) {
  BitWriter bits;
  Bytes expected;
  for (int i = 0; i < 4095; ++i) {
    const auto b = static_cast<std::uint8_t>(i % 251 + 1);
    bits.Put(b, 9);
    expected.push_back(b);
  }
  const auto match = [&](std::uint32_t from, std::uint32_t length) {
    bits.Put(0x100 | (from >> 4), 9);
    bits.Put(((from & 0xF) << 4) | (length - 2), 8);
  };
  match(100, 17);  // written to window positions 4095..4111
  for (int i = 100; i < 117; ++i) expected.push_back(expected[i]);
  match(4090, 17);  // the next token starts at 0 and reads positions 4096..4106
  for (int i = 4090; i < 4107; ++i)
    expected.push_back(i < 4095 ? expected[i] : expected[100 + i - 4095]);
  match(17, 5);  // positions past the 17 just written keep their earlier contents
  for (int i = 17; i < 22; ++i) expected.push_back(expected[i]);
  const Bytes source = bits.Take();
  EXPECT_EQ(Decode(source, static_cast<std::uint32_t>(expected.size()),
                   {static_cast<std::uint32_t>(source.size())}),
            expected);
}

TEST(DecompressTest, MalformedStreamsAreRefused) {
  EXPECT_THROW(Decode({0x20}, 2, {1}), FormatError);                  // tokens past the end
  EXPECT_THROW(Decode({0x20, 0x90, 0xA0}, 4, {3}), FormatError);      // a match cut short
  EXPECT_THROW(Decode({0x20, 0x90, 0x80}, 32769, {3}), FormatError);  // one size for two chunks
  // Peeking at the byte after the last one is fine when its bits are not used.
  EXPECT_EQ(Decode({0x20, 0x90, 0x80}, 2, {3}).size(), 2u);
}

TEST(DecompressTest, EncoderOutputDecodesBackAcrossChunks) {
  const Bytes dictionary = testing::TextLikeData(4096, 5);
  const Bytes input = testing::TextLikeData(100000, 6);
  const testing::Compressed packed = testing::LzssEncoder(dictionary).Encode(input);
  EXPECT_LT(packed.bytes.size(), input.size() / 2);
  EXPECT_EQ(Decode(packed.bytes, 100000, packed.chunkSizes, dictionary), input);
}

// Entries of many chunks are decoded on several threads: the bytes, and the
// error of the first failing chunk, are those of decoding one after another.
TEST(DecompressTest, ParallelDecodingGivesTheSequentialResult) {
  const Bytes dictionary = testing::TextLikeData(4096, 7);
  const Bytes input = testing::TextLikeData(10 * 32768 + 123, 8);
  const testing::Compressed packed = testing::LzssEncoder(dictionary).Encode(input);
  ASSERT_EQ(packed.chunkSizes.size(), 11u);
  ByteBuffer out;
  int pumps = 0;
  DecompressWithDictionary(packed.bytes, out, static_cast<std::uint32_t>(input.size()),
                           packed.chunkSizes, dictionary, [&pumps] { ++pumps; });
  EXPECT_EQ(out, input);
  EXPECT_GE(pumps, 1);  // however the chunks fell to the threads

  // Chunks 3 to 10 start past the end of the data: each fails; the error is
  // chunk 3's, whichever thread failed first.
  std::vector<std::uint32_t> sizes = packed.chunkSizes;
  sizes[2] += static_cast<std::uint32_t>(packed.bytes.size());
  for (int round = 0; round < 20; ++round) {
    EXPECT_EQ(testing::ErrorText([&] {
                DecompressWithDictionary(
                    packed.bytes, out, static_cast<std::uint32_t>(input.size()), sizes, dictionary);
              }),
              "compressed data of chunk 3 ends early");
  }
}

// The compressor's output decodes back exactly, in both parses, on the edge
// cases of the format: chunk boundaries, incompressible noise, long runs,
// matches into the preset dictionary and across the window's 4096 bytes. The
// optimal parse is never longer than the greedy one.
TEST(CompressTest, EveryInputDecodesBackAndTheOptimalParseIsNeverLonger) {
  const Bytes dictionary = testing::TextLikeData(4096, 21);
  Bytes noise(70000);
  std::mt19937 random(5);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  // Read from window positions ahead of those the output overwrites.
  const Bytes fromDictionary(dictionary.begin() + 1000, dictionary.begin() + 3000);
  const std::vector<std::pair<const char*, Bytes>> inputs = {
      {"empty", {}},
      {"one byte", {0x41}},
      {"one chunk of zeros", Bytes(32768, 0)},
      {"a chunk and a byte", testing::TextLikeData(32769, 22)},
      {"noise", noise},
      {"runs",
       [] {
         Bytes runs;
         for (int i = 0; i < 300; ++i) runs.insert(runs.end(), 1 + i * 7 % 90, i % 3 ? 0 : 0xFF);
         return runs;
       }()},
      {"dictionary pieces", fromDictionary},
      {"text", testing::TextLikeData(100000, 23)},
  };
  for (const auto& [name, input] : inputs) {
    SCOPED_TRACE(name);
    const CompressedChunks optimal = CompressWithDictionary(input, dictionary);
    const CompressedChunks greedy = CompressWithDictionary(input, dictionary, Parse::Greedy);
    const auto size = static_cast<std::uint32_t>(input.size());
    EXPECT_TRUE(Decode(optimal.bytes, size, optimal.chunkSizes, dictionary) == input);
    EXPECT_TRUE(Decode(greedy.bytes, size, greedy.chunkSizes, dictionary) == input);
    EXPECT_EQ(optimal.chunkSizes.size(), (input.size() + 32767) / 32768);
    EXPECT_LE(optimal.bytes.size(), greedy.bytes.size());
  }
  // Matches reach into the preset dictionary: its bytes cost a 17-bit match
  // per 17 bytes, near the format's best.
  EXPECT_LT(CompressWithDictionary(fromDictionary, dictionary).bytes.size(),
            fromDictionary.size() / 7);
}

// The fewest bytes one chunk can take with tokens kept inside the window,
// found by brute force: every window position tried at every position, and
// every length of every match.
std::size_t FewestBytes(const Bytes& chunk, const Bytes& dictionary) {
  Bytes stream(dictionary.begin(), dictionary.begin() + 4096);
  stream.insert(stream.end(), chunk.begin(), chunk.end());
  const std::size_t n = chunk.size();
  std::vector<std::size_t> bits(n + 1, 0);
  for (std::size_t i = n; i-- > 0;) {
    const std::size_t at = 4096 + i;
    const std::size_t most = std::min<std::size_t>({17, 4096 - i % 4096, n - i});
    std::size_t longest = 0;
    for (std::size_t x = at - 4096; x < at; ++x) {
      const std::size_t cap = std::min({most, at - x, 4096 - x % 4096});
      std::size_t length = 0;
      while (length < cap && stream[x + length] == stream[at + length]) ++length;
      longest = std::max(longest, length);
    }
    bits[i] = 9 + bits[i + 1];
    for (std::size_t length = 2; length <= longest; ++length)
      bits[i] = std::min(bits[i], 17 + bits[i + length]);
  }
  return (bits[0] + 7) / 8;
}

// The optimal parse is as short as the brute force allows: every position's
// longest match is found, whatever its chain holds.
TEST(CompressTest, TheOptimalParseTakesTheFewestBytes) {
  const Bytes dictionary = testing::TextLikeData(4096, 31);
  Bytes mixed = testing::TextLikeData(3000, 32);
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) mixed.push_back(static_cast<std::uint8_t>(random() % 5));
  mixed.insert(mixed.end(), 600, 0x20);
  const Bytes text = testing::TextLikeData(6000, 33);
  mixed.insert(mixed.end(), text.begin(), text.end());
  EXPECT_EQ(CompressWithDictionary(mixed, dictionary).bytes.size(), FewestBytes(mixed, dictionary));
}

}  // namespace
}  // namespace tessary
