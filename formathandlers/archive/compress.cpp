#include "formathandlers/archive/compress.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
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
// (or 4096 bytes back) sees every candidate.
class Chains {
 public:
  explicit Chains(std::size_t positions) : previous_(positions, kNone) {}
  std::uint32_t First(std::uint32_t key) const { return head_[key]; }
  std::uint32_t Next(std::uint32_t position) const { return previous_[position]; }
  void Add(std::uint32_t key, std::size_t position) {
    previous_[position] = head_[key];
    head_[key] = static_cast<std::uint32_t>(position);
  }

 private:
  std::vector<std::uint32_t> head_ = std::vector<std::uint32_t>(1u << 16, kNone);
  std::vector<std::uint32_t> previous_;
};

// The longest valid match at `at` (an index of the chunk's bytes in
// `stream`), and the window position it reads from. Every match of three
// bytes or more is on the three-byte chain; one of two bytes only, where the
// limits allow no more, on the two-byte chain.
class MatchSearch {
 public:
  explicit MatchSearch(std::span<const std::uint8_t> stream)
      : stream_(stream), threes_(stream.size()), twos_(stream.size()) {}

  // Adds `at` to the chains; positions are added in order.
  void Add(std::size_t at) {
    if (at + 1 < stream_.size()) twos_.Add(Key2(at), at);
    if (at + 2 < stream_.size()) threes_.Add(Key3(at), at);
  }

  // The longest match of at most `most` bytes at `at`: its length (0 for
  // none) and window position.
  std::pair<std::size_t, std::size_t> Longest(std::size_t at, std::size_t most) const {
    std::size_t best = 0, from = 0;
    if (most >= 3 && at + 2 < stream_.size()) {
      for (std::uint32_t x = threes_.First(Key3(at)); x != kNone && at - x <= kWindowSize;
           x = threes_.Next(x)) {
        const std::size_t cap = Cap(at, x, most);
        // Only a candidate that also matches the byte after the best so far
        // can be longer: most fail this one test.
        if (cap <= best || stream_[x + best] != stream_[at + best]) continue;
        std::size_t length = 0;
        while (length < cap && stream_[x + length] == stream_[at + length]) ++length;
        if (length > best && length >= kMinMatch) {
          best = length;
          from = x % kWindowSize;
          if (best == most) break;
        }
      }
    }
    if (best >= kMinMatch || most < kMinMatch) return {best, from};
    for (std::uint32_t x = twos_.First(Key2(at)); x != kNone && at - x <= kWindowSize;
         x = twos_.Next(x))
      if (Cap(at, x, most) >= kMinMatch) return {kMinMatch, x % kWindowSize};
    return {0, 0};
  }

 private:
  // How many bytes a match from `x` may take: no more than its distance (the
  // copy reads the window as it was before the match) and no further than
  // window position 4095.
  static std::size_t Cap(std::size_t at, std::size_t x, std::size_t most) {
    return std::min({most, at - x, kWindowSize - x % kWindowSize});
  }
  std::uint32_t Key2(std::size_t at) const { return stream_[at] << 8 | stream_[at + 1]; }
  std::uint32_t Key3(std::size_t at) const {
    const std::uint32_t bytes = stream_[at] << 16 | stream_[at + 1] << 8 | stream_[at + 2];
    return (bytes * 2654435761u) >> 16;
  }

  std::span<const std::uint8_t> stream_;
  Chains threes_;
  Chains twos_;
};

// The longest valid match at each position of one chunk, and the window
// position it reads from. `stream` is the dictionary's 4096 bytes followed
// by the chunk.
struct Matches {
  std::vector<std::uint8_t> length;  // 0: none of 2 bytes or more
  std::vector<std::uint16_t> from;   // its window position
};

Matches FindMatches(std::span<const std::uint8_t> stream) {
  const std::size_t n = stream.size() - kWindowSize;
  Matches found{std::vector<std::uint8_t>(n), std::vector<std::uint16_t>(n)};
  MatchSearch search(stream);
  for (std::size_t at = 0; at < kWindowSize; ++at) search.Add(at);
  for (std::size_t i = 0; i < n; ++i) {
    // No token runs past window position 4095 or past the chunk's end.
    const std::size_t most = std::min({kMaxMatch, kWindowSize - i % kWindowSize, n - i});
    const auto [length, from] = search.Longest(kWindowSize + i, most);
    found.length[i] = static_cast<std::uint8_t>(length);
    found.from[i] = static_cast<std::uint16_t>(from);
    search.Add(kWindowSize + i);
  }
  return found;
}

// The length of the token chosen at each position (1: a literal): fewest
// bits to the chunk's end, or the longest match wherever there is one.
std::vector<std::uint8_t> ChooseTokens(const Matches& matches, Parse parse) {
  const std::size_t n = matches.length.size();
  std::vector<std::uint8_t> step(n, 1);
  if (parse == Parse::Greedy) {
    for (std::size_t i = 0; i < n; ++i) step[i] = std::max<std::uint8_t>(1, matches.length[i]);
    return step;
  }
  std::vector<std::uint32_t> bits(n + 1, 0);
  for (std::size_t i = n; i-- > 0;) {
    bits[i] = kLiteralBits + bits[i + 1];
    for (std::size_t length = kMinMatch; length <= matches.length[i]; ++length) {
      const std::uint32_t cost = kMatchBits + bits[i + length];
      if (cost < bits[i]) {
        bits[i] = cost;
        step[i] = static_cast<std::uint8_t>(length);
      }
    }
  }
  return step;
}

void CompressChunk(std::span<const std::uint8_t> chunk, std::span<const std::uint8_t> dictionary,
                   Parse parse, ByteBuffer& out) {
  std::vector<std::uint8_t> stream(kWindowSize + chunk.size());
  std::memcpy(stream.data(), dictionary.data(), kWindowSize);
  if (!chunk.empty()) std::memcpy(stream.data() + kWindowSize, chunk.data(), chunk.size());
  const Matches matches = FindMatches(stream);
  const std::vector<std::uint8_t> step = ChooseTokens(matches, parse);
  BitWriter bits(out);
  for (std::size_t i = 0; i < chunk.size(); i += step[i]) {
    if (step[i] == 1) {
      bits.Put(chunk[i], 9);  // flag 0, then the byte
      continue;
    }
    const std::uint32_t from = matches.from[i];
    bits.Put(0x100u | from >> 4, 9);
    bits.Put((from & 0xFu) << 4 | (step[i] - kMinMatch), 8);
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
  std::vector<std::exception_ptr> errors(chunks);
  const auto work = [&] {
    for (std::size_t c; (c = next++) < chunks;) {
      const std::size_t start = c * kDecompressChunk;
      const std::size_t length = std::min<std::size_t>(kDecompressChunk, input.size() - start);
      try {
        CompressChunk(input.subspan(start, length), dictionary, parse, coded[c]);
      } catch (...) {  // raised on the calling thread, below
        errors[c] = std::current_exception();
      }
    }
  };
  const std::size_t helpers =
      std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), chunks) -
      (chunks > 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);

  CompressedChunks out;
  for (const ByteBuffer& chunk : coded) {
    out.chunkSizes.push_back(static_cast<std::uint32_t>(chunk.size()));
    out.bytes.insert(out.bytes.end(), chunk.begin(), chunk.end());
  }
  return out;
}

}  // namespace tessary
