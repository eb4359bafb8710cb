#include "formathandlers/archive/compress.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "formathandlers/archive/decompress.h"

namespace tessary {

namespace {

constexpr std::size_t kMinMatch = 2;
constexpr std::size_t kMaxMatch = 17;
constexpr std::uint32_t kLiteralBits = 9;
constexpr std::uint32_t kMatchBits = 17;
constexpr std::uint32_t kNone = ~std::uint32_t{0};

// Bits appended most significant first, as the decoder reads them; the last
// byte is completed with zero bits by Flush().
class BitWriter {
 public:
  explicit BitWriter(ByteBuffer& out) : out_(out) {}
  void Put(std::uint32_t value, int bits) {  // at most 24 bits at a time
    pending_ = pending_ << bits | (value & ((1u << bits) - 1));
    count_ += bits;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<std::uint8_t>(pending_ >> count_));
    }
  }
  void Flush() {
    if (count_ > 0) out_.push_back(static_cast<std::uint8_t>(pending_ << (8 - count_)));
    count_ = 0;
  }

 private:
  ByteBuffer& out_;
  std::uint64_t pending_ = 0;
  int count_ = 0;
};

// Earlier positions of a stream, newest first, linked by a key of their
// first bytes: all of them, so that a search that walks a chain to its end
// (or 4096 bytes back) sees every candidate. One set serves chunk after chunk:
// heads hold positions counted across chunks, and those of earlier chunks
// read as none, so nothing is cleared between chunks.
class Chains {
 public:
  void Start(std::size_t positions) {
    base_ += previous_.size();
    previous_.resize(positions);
  }
  std::uint32_t First(std::uint32_t key) const {
    const std::uint64_t head = head_[key];
    return head == kNoHead || head < base_ ? kNone : static_cast<std::uint32_t>(head - base_);
  }
  std::uint32_t Next(std::uint32_t position) const { return previous_[position]; }
  void Add(std::uint32_t key, std::size_t position) {
    previous_[position] = First(key);
    head_[key] = base_ + position;
  }

 private:
  static constexpr std::uint64_t kNoHead = ~std::uint64_t{0};
  std::vector<std::uint64_t> head_ = std::vector<std::uint64_t>(1u << 16, kNoHead);
  std::vector<std::uint32_t> previous_;
  std::uint64_t base_ = 0;
};

// The longest valid match at a position (an index of the chunk's bytes in
// the stream "dictionary, then the chunk"), and the window position it reads
// from. Every match of eight bytes or more is on the eight-byte chain, every
// one of three or more on the three-byte chain, and one of two bytes only
// (where the limits allow no more) on the two-byte chain: the chains are
// walked from the longest key down, each only as far as it can still give a
// longer match.
class MatchSearch {
 public:
  void Start(std::span<const std::uint8_t> stream) {
    stream_ = stream;
    eights_.Start(stream.size());
    threes_.Start(stream.size());
    twos_.Start(stream.size());
  }

  // Adds `at` to the chains; positions are added in order.
  void Add(std::size_t at) { Add(at, KeysAt(at)); }

  // The longest match of at most `most` bytes at `at`: its length (0 for
  // none) and window position. Then adds `at`, with the keys looked up once.
  std::pair<std::size_t, std::size_t> LongestThenAdd(std::size_t at, std::size_t most) {
    const Keys keys = KeysAt(at);
    const auto longest = Longest(at, most, keys);
    Add(at, keys);
    return longest;
  }

 private:
  // The position's keys, where the stream holds the bytes for them.
  struct Keys {
    std::optional<std::uint32_t> two, three, eight;
  };
  Keys KeysAt(std::size_t at) const {
    Keys keys;
    if (at + 1 < stream_.size()) keys.two = Key(at, 2);
    if (at + 2 < stream_.size()) keys.three = Key(at, 3);
    if (at + 7 < stream_.size()) keys.eight = Key(at, 8);
    return keys;
  }
  void Add(std::size_t at, const Keys& keys) {
    if (keys.two) twos_.Add(*keys.two, at);
    if (keys.three) threes_.Add(*keys.three, at);
    if (keys.eight) eights_.Add(*keys.eight, at);
  }

  std::pair<std::size_t, std::size_t> Longest(std::size_t at, std::size_t most,
                                              const Keys& keys) const {
    Found found;
    if (most >= 8 && keys.eight) Walk(eights_, *keys.eight, at, most, found);
    if (found.length >= 8) return {found.length, found.from};
    if (most >= 3 && keys.three) Walk(threes_, *keys.three, at, most, found);
    if (found.length >= kMinMatch || most < kMinMatch || !keys.two)
      return {found.length, found.from};
    for (std::uint32_t x = twos_.First(*keys.two); x != kNone && at - x <= kWindowSize;
         x = twos_.Next(x))
      if (Cap(at, x, most) >= kMinMatch) return {kMinMatch, x % kWindowSize};
    return {0, 0};
  }

  struct Found {
    std::size_t length = 0;
    std::size_t from = 0;
  };

  void Walk(const Chains& chains, std::uint32_t key, std::size_t at, std::size_t most,
            Found& found) const {
    for (std::uint32_t x = chains.First(key); x != kNone && at - x <= kWindowSize;
         x = chains.Next(x)) {
      const std::size_t cap = Cap(at, x, most);
      // Only a candidate that also matches the byte after the best so far
      // can be longer: most fail this one test.
      if (cap <= found.length || stream_[x + found.length] != stream_[at + found.length]) continue;
      std::size_t length = 0;
      while (length < cap && stream_[x + length] == stream_[at + length]) ++length;
      if (length > found.length && length >= kMinMatch) {
        found = {length, x % kWindowSize};
        if (length == most) return;
      }
    }
  }

  // How many bytes a match from `x` may take: no more than its distance (the
  // copy reads the window as it was before the match) and no further than
  // window position 4095.
  static std::size_t Cap(std::size_t at, std::size_t x, std::size_t most) {
    return std::min({most, at - x, kWindowSize - x % kWindowSize});
  }
  // The first `count` bytes at `at`: as they are for two, hashed to 16 bits
  // for more (a key shared by other bytes only adds candidates).
  std::uint32_t Key(std::size_t at, std::size_t count) const {
    if (count == 2) return stream_[at] << 8 | stream_[at + 1];
    std::uint64_t bytes = 0;
    for (std::size_t k = 0; k < count; ++k) bytes = bytes << 8 | stream_[at + k];
    return static_cast<std::uint32_t>((bytes * 0x9E3779B97F4A7C15ull) >> 48);
  }

  std::span<const std::uint8_t> stream_;
  Chains eights_, threes_, twos_;
};

// The longest valid match at each position of one chunk, and the window
// position it reads from.
struct Matches {
  std::vector<std::uint8_t> length;  // 0: none of 2 bytes or more
  std::vector<std::uint16_t> from;   // its window position
};

// What one thread reuses from chunk to chunk.
struct Workspace {
  std::vector<std::uint8_t> stream;  // the dictionary's 4096 bytes, then the chunk
  MatchSearch search;
  Matches matches;
  std::vector<std::uint32_t> bits;
  std::vector<std::uint8_t> step;
};

void FindMatches(Workspace& work) {
  const std::size_t n = work.stream.size() - kWindowSize;
  work.matches.length.assign(n, 0);
  work.matches.from.assign(n, 0);
  work.search.Start(work.stream);
  for (std::size_t at = 0; at < kWindowSize; ++at) work.search.Add(at);
  for (std::size_t i = 0; i < n; ++i) {
    // No token runs past window position 4095 or past the chunk's end.
    const std::size_t most = std::min({kMaxMatch, kWindowSize - i % kWindowSize, n - i});
    const auto [length, from] = work.search.LongestThenAdd(kWindowSize + i, most);
    work.matches.length[i] = static_cast<std::uint8_t>(length);
    work.matches.from[i] = static_cast<std::uint16_t>(from);
  }
}

// The length of the token chosen at each position (1: a literal): fewest
// bits to the chunk's end, or the longest match wherever there is one.
void ChooseTokens(Workspace& work, Parse parse) {
  const std::vector<std::uint8_t>& longest = work.matches.length;
  const std::size_t n = longest.size();
  work.step.assign(n, 1);
  if (parse == Parse::Greedy) {
    for (std::size_t i = 0; i < n; ++i) work.step[i] = std::max<std::uint8_t>(1, longest[i]);
    return;
  }
  work.bits.assign(n + 1, 0);
  for (std::size_t i = n; i-- > 0;) {
    work.bits[i] = kLiteralBits + work.bits[i + 1];
    for (std::size_t length = kMinMatch; length <= longest[i]; ++length) {
      const std::uint32_t cost = kMatchBits + work.bits[i + length];
      if (cost < work.bits[i]) {
        work.bits[i] = cost;
        work.step[i] = static_cast<std::uint8_t>(length);
      }
    }
  }
}

void CompressChunk(std::span<const std::uint8_t> chunk, std::span<const std::uint8_t> dictionary,
                   Parse parse, Workspace& work, ByteBuffer& out) {
  work.stream.assign(dictionary.begin(), dictionary.begin() + kWindowSize);
  work.stream.insert(work.stream.end(), chunk.begin(), chunk.end());
  FindMatches(work);
  ChooseTokens(work, parse);
  BitWriter bits(out);
  for (std::size_t i = 0; i < chunk.size(); i += work.step[i]) {
    if (work.step[i] == 1) {
      bits.Put(chunk[i], 9);  // flag 0, then the byte
      continue;
    }
    const std::uint32_t from = work.matches.from[i];
    bits.Put(0x100u | from >> 4, 9);
    bits.Put((from & 0xFu) << 4 | (work.step[i] - kMinMatch), 8);
  }
  bits.Flush();
}

}  // namespace

CompressedChunks CompressWithDictionary(std::span<const std::uint8_t> input,
                                        std::span<const std::uint8_t> dictionary, Parse parse) {
  if (dictionary.size() < kWindowSize)
    throw std::invalid_argument("a dictionary of fewer than 4096 bytes");
  const std::size_t chunks = (input.size() + kDecompressChunk - 1) / kDecompressChunk;
  std::vector<ByteBuffer> coded(chunks);
  std::atomic<std::size_t> next{0};
  std::mutex failing;
  std::exception_ptr failure;  // the first, raised on the calling thread below
  const auto work = [&] {
    try {
      Workspace workspace;
      for (std::size_t c; (c = next++) < chunks;) {
        const std::size_t start = c * kDecompressChunk;
        const std::size_t length = std::min<std::size_t>(kDecompressChunk, input.size() - start);
        CompressChunk(input.subspan(start, length), dictionary, parse, workspace, coded[c]);
      }
    } catch (...) {  // memory, the only thing that can fail here
      const std::lock_guard lock(failing);
      if (!failure) failure = std::current_exception();
    }
  };
  const std::size_t helpers =
      std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), chunks) -
      (chunks > 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  if (failure) std::rethrow_exception(failure);

  CompressedChunks out;
  for (const ByteBuffer& chunk : coded) {
    out.chunkSizes.push_back(static_cast<std::uint32_t>(chunk.size()));
    out.bytes.insert(out.bytes.end(), chunk.begin(), chunk.end());
  }
  return out;
}

}  // namespace tessary
