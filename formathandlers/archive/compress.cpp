#include "formathandlers/archive/compress.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <mutex>
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
// Reads of eight bytes at up to 16 past a position near the stream's end.
constexpr std::size_t kStreamPadding = 24;

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
// read as none, so nothing is cleared between chunks (only when the count
// would pass 32 bits, after some 100,000 chunks).
class Chains {
 public:
  explicit Chains(unsigned keyBits) : head_(std::size_t{1} << keyBits, 0) {}
  void Start(std::size_t positions) {
    base_ += static_cast<std::uint32_t>(previous_.size());
    if (base_ > kMaxBase) {
      std::fill(head_.begin(), head_.end(), 0);
      base_ = kFirstBase;
    }
    previous_.resize(positions);
  }
  std::uint32_t First(std::uint32_t key) const {
    const std::uint32_t head = head_[key];
    return head < base_ ? kNone : head - base_;
  }
  std::uint32_t Next(std::uint32_t position) const {
    const std::uint16_t next = previous_[position];
    return next == kNoPrevious ? kNone : next;
  }
  void Add(std::uint32_t key, std::size_t position) {
    const std::uint32_t first = First(key);
    previous_[position] = first == kNone ? kNoPrevious : static_cast<std::uint16_t>(first);
    head_[key] = base_ + static_cast<std::uint32_t>(position);
  }

 private:
  // Heads of 0 are none; a chunk's stream is never longer than 64 KiB.
  static constexpr std::uint32_t kFirstBase = 1;
  static constexpr std::uint32_t kMaxBase = ~std::uint32_t{0} - (std::uint32_t{1} << 17);
  std::vector<std::uint32_t> head_;
  // Positions of a chunk's stream fit in 16 bits: half the memory to walk.
  static constexpr std::uint16_t kNoPrevious = 0xFFFF;
  static_assert(kWindowSize + kDecompressChunk < kNoPrevious);
  std::vector<std::uint16_t> previous_;
  std::uint32_t base_ = kFirstBase;
};

// Key lengths of the hashed chains, longest first. A match of two bytes only
// (where the limits allow no more) is found on a chain of its own.
constexpr std::array<std::size_t, 2> kKeyLengths = {6, 3};

// A match: its length (0 for none) and the stream index it reads from.
struct Match {
  std::size_t length = 0;
  std::size_t source = 0;
};

// The longest valid match at a position (an index of the chunk's bytes in
// the stream "dictionary, then the chunk"), and where it reads from. Every
// match at least as long as a chain's key is on that chain: the chains are
// walked from the longest key down, and the walk ends at the first chain
// that gives a match as long as its key, since no candidate left can be
// longer.

class MatchSearch {
 public:
  // `stream` must be followed by kStreamPadding readable bytes: bytes are
  // read eight at a time.
  void Start(std::span<const std::uint8_t> stream) {
    stream_ = stream;
    for (Chains& chains : hashed_) chains.Start(stream.size());
    twos_.Start(stream.size());
  }

  // Adds `at` to the chains; positions are added in order.
  void Add(std::size_t at) { Add(KeysAt(at)); }

  // The longest match of at most `most` bytes at `at`, the stream index
  // `likely` (kNone: none) tried first; then adds `at`, with the keys worked
  // out once.
  Match LongestThenAdd(std::size_t at, std::size_t most, std::size_t likely) {
    const Keys keys = KeysAt(at);
    Match found;
    if (likely != kNone) found = {CommonLength(likely, at, Cap(at, likely, most)), likely};
    // Nothing can beat a match as long as a token may be.
    if (found.length < most) found = Longest(keys, most, found);
    Add(keys);
    return found.length >= kMinMatch ? found : Match{};
  }

 private:
  // The position's keys; those longer than the bytes left are not used.
  struct Keys {
    std::size_t at, room;
    std::array<std::uint32_t, kKeyLengths.size()> hashed;
    std::uint32_t two;
  };
  Keys KeysAt(std::size_t at) const {
    Keys keys{at, stream_.size() - at, {}, 0};
    const std::uint64_t bytes = Load(at);
    for (std::size_t k = 0; k < kKeyLengths.size(); ++k) {
      const std::uint64_t first = bytes << (64 - 8 * kKeyLengths[k]);
      keys.hashed[k] =
          static_cast<std::uint32_t>((first * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
    }
    keys.two = static_cast<std::uint32_t>(bytes & 0xFFFF);
    return keys;
  }
  void Add(const Keys& keys) {
    for (std::size_t k = 0; k < kKeyLengths.size(); ++k)
      if (keys.room >= kKeyLengths[k]) hashed_[k].Add(keys.hashed[k], keys.at);
    if (keys.room >= kMinMatch) twos_.Add(keys.two, keys.at);
  }

  // Only a match longer than the one known matters, and every such match is
  // on the chain of the longest key not longer than it: the walk starts
  // there. After a chain's walk, nothing left can beat a match one byte
  // shorter than its key.
  Match Longest(const Keys& keys, std::size_t most, Match found) const {
    std::size_t k = 0;
    while (k + 1 < kKeyLengths.size() && kKeyLengths[k] > found.length + 1 &&
           kKeyLengths[k + 1] <= found.length + 1)
      ++k;
    for (; k < kKeyLengths.size(); ++k) {
      if (most < kKeyLengths[k] || keys.room < kKeyLengths[k]) continue;
      Walk(hashed_[k], keys.hashed[k], keys.at, most, found);
      if (found.length + 1 >= kKeyLengths[k]) return found;
    }
    if (found.length >= kMinMatch || most < kMinMatch || keys.room < kMinMatch) return found;
    for (std::uint32_t x = twos_.First(keys.two); x != kNone && keys.at - x <= kWindowSize;
         x = twos_.Next(x))
      if (Cap(keys.at, x, most) >= kMinMatch) return {kMinMatch, x};
    return {};
  }

  void Walk(const Chains& chains, std::uint32_t key, std::size_t at, std::size_t most,
            Match& found) const {
    for (std::uint32_t x = chains.First(key); x != kNone && at - x <= kWindowSize;
         x = chains.Next(x)) {
      const std::size_t cap = Cap(at, x, most);
      // Only a candidate that also matches the byte after the best so far
      // can be longer: most fail this one test.
      if (cap <= found.length || stream_[x + found.length] != stream_[at + found.length]) continue;
      const std::size_t length = CommonLength(x, at, cap);
      if (length > found.length && length >= kMinMatch) {
        found = {length, x};
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
  // How many bytes at `x` and at `at` agree, up to `cap` (at most 17): eight
  // at a time (the stream's padding covers the reads past its end).
  std::size_t CommonLength(std::size_t x, std::size_t at, std::size_t cap) const {
    for (std::size_t length = 0; length < cap; length += 8) {
      const std::uint64_t differ = Load(x + length) ^ Load(at + length);
      if (differ != 0) return std::min(cap, length + std::countr_zero(differ) / 8);
    }
    return cap;
  }
  std::uint64_t Load(std::size_t at) const {
    std::uint64_t bytes;
    std::memcpy(&bytes, stream_.data() + at, sizeof bytes);
    return LittleEndian(bytes);
  }
  // The stream's bytes in the order they lie, first byte lowest.
  static std::uint64_t LittleEndian(std::uint64_t loaded) {
    if constexpr (std::endian::native == std::endian::little) return loaded;
    std::uint64_t swapped = 0;
    for (int i = 0; i < 8; ++i) swapped = swapped << 8 | ((loaded >> (8 * i)) & 0xFF);
    return swapped;
  }

  static constexpr unsigned kHashBits = 14;
  std::span<const std::uint8_t> stream_;
  std::array<Chains, kKeyLengths.size()> hashed_{Chains(kHashBits), Chains(kHashBits)};
  Chains twos_{16};
};

// The longest valid match at each position of one chunk, and the window
// position it reads from.
struct Matches {
  std::vector<std::uint8_t> length;  // 0: none of 2 bytes or more
  std::vector<std::uint16_t> from;   // its window position
};

// What one thread reuses from chunk to chunk.
struct Workspace {
  // The dictionary's 4096 bytes, then the chunk, then bytes that only reads
  // of eight bytes near the end see.
  std::vector<std::uint8_t> stream;
  MatchSearch search;
  Matches matches;
  std::vector<std::uint32_t> bits;
  std::vector<std::uint8_t> step;
};

void FindMatches(Workspace& work, std::size_t n) {
  work.matches.length.assign(n, 0);
  work.matches.from.assign(n, 0);
  work.search.Start({work.stream.data(), kWindowSize + n});
  for (std::size_t at = 0; at < kWindowSize; ++at) work.search.Add(at);
  Match previous;
  for (std::size_t i = 0; i < n; ++i) {
    // No token runs past window position 4095 or past the chunk's end.
    const std::size_t most = std::min({kMaxMatch, kWindowSize - i % kWindowSize, n - i});
    // The match one position back, one byte on, is likely to go on here: in
    // runs and repeated patterns it often takes all a token may, and no
    // chain needs walking.
    const std::size_t likely = previous.length > 0 ? previous.source + 1 : kNone;
    previous = work.search.LongestThenAdd(kWindowSize + i, most, likely);
    work.matches.length[i] = static_cast<std::uint8_t>(previous.length);
    work.matches.from[i] = static_cast<std::uint16_t>(previous.source % kWindowSize);
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
  // The bits to the end never grow from one position to the next (a match
  // at i, one byte shorter, is a match at i + 1), so of a match's lengths
  // the longest is always the cheapest.
  work.bits.assign(n + 1, 0);
  for (std::size_t i = n; i-- > 0;) {
    work.bits[i] = kLiteralBits + work.bits[i + 1];
    const std::size_t length = longest[i];
    if (length >= kMinMatch && kMatchBits + work.bits[i + length] < work.bits[i]) {
      work.bits[i] = kMatchBits + work.bits[i + length];
      work.step[i] = static_cast<std::uint8_t>(length);
    }
  }
}

void CompressChunk(std::span<const std::uint8_t> chunk, std::span<const std::uint8_t> dictionary,
                   Parse parse, Workspace& work, ByteBuffer& out) {
  work.stream.assign(dictionary.begin(), dictionary.begin() + kWindowSize);
  work.stream.insert(work.stream.end(), chunk.begin(), chunk.end());
  work.stream.resize(work.stream.size() + kStreamPadding, 0);
  FindMatches(work, chunk.size());
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
