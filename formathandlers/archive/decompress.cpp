#include "formathandlers/archive/decompress.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "misc/errors.h"

namespace tessary {

namespace {

constexpr std::size_t kWindowBytes = kWindowSize + kWindowSlack;
constexpr std::size_t kMaxMatch = 17;
constexpr std::size_t kOutputSlack = 32;  // matches are copied as whole 17+ byte blocks

// An MSB-first bit reader over the whole source. Peeks 64 bits at a time where
// eight bytes remain, and reads zero past the end (bits that a well-formed
// stream never uses; Need() refuses tokens that would use them).
class BitReader final {
 public:
  explicit BitReader(std::span<const std::uint8_t> source)
      : data_(source.data()),
        bits_(static_cast<std::uint64_t>(source.size()) * 8),
        size_(source.size()) {}

  void Seek(std::uint64_t byteIndex) { position_ = byteIndex * 8; }
  bool Has(unsigned n) const { return position_ <= bits_ && n <= bits_ - position_; }

  // The next n (<= 17) bits without consuming them.
  std::uint32_t Peek(unsigned n) const {
    const std::uint64_t byte = position_ >> 3;
    std::uint64_t word = 0;
    if (byte + 8 <= size_) {
      std::memcpy(&word, data_ + byte, 8);
      word = ToBigEndian(word);
    } else {
      for (std::uint64_t i = 0; i < 8 && byte + i < size_; ++i)
        word |= static_cast<std::uint64_t>(data_[byte + i]) << (56 - 8 * i);
    }
    return static_cast<std::uint32_t>((word << (position_ & 7)) >> (64 - n));
  }
  void Skip(unsigned n) { position_ += n; }

 private:
  static std::uint64_t ToBigEndian(std::uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) return v;
#if defined(_MSC_VER)
    return _byteswap_uint64(v);
#else
    return __builtin_bswap64(v);
#endif
  }

  const std::uint8_t* data_;
  std::uint64_t bits_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

// Byte masks selecting the first n bytes of two little-endian words, n = 0..17.
struct MatchMasks {
  std::uint64_t low[kMaxMatch + 1];
  std::uint64_t high[kMaxMatch + 1];
};

constexpr MatchMasks MakeMatchMasks() {
  MatchMasks masks{};
  for (std::size_t n = 0; n <= kMaxMatch; ++n) {
    for (std::size_t b = 0; b < 16 && b < n; ++b)
      (b < 8 ? masks.low[n] : masks.high[n]) |= std::uint64_t{0xFF} << (8 * (b % 8));
  }
  return masks;
}

constexpr MatchMasks kMatchMasks = MakeMatchMasks();

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline void Store64(std::uint8_t* p, std::uint64_t v) {
  std::memcpy(p, &v, 8);
}

// Copies `length` (2..17) bytes of the window at `from` to the window at `to`
// and to `out`, taking the source bytes as they were before the copy. Whole
// words are moved: the window keeps its bytes past the match through masks,
// and the output may take up to 17 bytes (it has slack; later tokens or the
// final resize drop what lies past the match).
inline void CopyMatch(std::uint8_t* window, std::size_t from, std::size_t to, std::size_t length,
                      std::uint8_t* out) {
  if constexpr (std::endian::native != std::endian::little) {
    std::uint8_t bytes[kMaxMatch];
    std::memcpy(bytes, window + from, kMaxMatch);
    std::memcpy(out, bytes, kMaxMatch);
    std::memcpy(window + to, bytes, length);
    return;
  }
  const std::uint64_t a = Load64(window + from);
  const std::uint64_t b = Load64(window + from + 8);
  const std::uint8_t c = window[from + 16];
  Store64(out, a);
  Store64(out + 8, b);
  out[16] = c;
  const std::uint64_t lowMask = kMatchMasks.low[length];
  const std::uint64_t highMask = kMatchMasks.high[length];
  Store64(window + to, (a & lowMask) | (Load64(window + to) & ~lowMask));
  Store64(window + to + 8, (b & highMask) | (Load64(window + to + 8) & ~highMask));
  if (length == kMaxMatch) window[to + 16] = c;
}

[[noreturn]] void ThrowTruncated(std::size_t chunk) {
  throw FormatError("compressed data of chunk " + std::to_string(chunk) + " ends early");
}

void DecodeChunk(BitReader& bits, std::uint8_t* window, std::uint8_t* out, std::uint32_t length,
                 std::size_t chunk) {
  std::size_t winPos = 0;
  std::int64_t remaining = length;
  while (remaining > 0) {
    if (winPos >= kWindowSize) winPos = 0;
    // One peek serves both token kinds: the flag, then 8 or 16 more bits.
    std::uint32_t v;
    if (bits.Has(17)) [[likely]] {
      v = bits.Peek(17);
    } else {
      if (!bits.Has(9)) ThrowTruncated(chunk);
      v = bits.Peek(9) << 8;
      if ((v & 0x10000) != 0) ThrowTruncated(chunk);  // a match cut short
    }
    if ((v & 0x10000) == 0) {
      bits.Skip(9);
      *out++ = window[winPos++] = static_cast<std::uint8_t>(v >> 8);
      --remaining;
      continue;
    }
    bits.Skip(17);
    const std::size_t from = (v >> 4) & 0xFFF;
    const std::size_t count = (v & 0x0F) + 2;
    CopyMatch(window, from, winPos, count, out);
    out += count;
    winPos += count;
    remaining -= static_cast<std::int64_t>(count);
  }
}

// What every chunk needs: where its bits start, where its bytes go, the
// window it starts from. Chunks restart from the dictionary, so they decode
// independently.
struct ChunkPlan {
  ChunkPlan(std::span<const std::uint8_t> input, std::uint32_t unpacked,
            std::span<const std::uint32_t> sizes, std::span<const std::uint8_t> dictionary)
      : source(input),
        unpackedSize(unpacked),
        chunks((static_cast<std::size_t>(unpacked) + kDecompressChunk - 1) / kDecompressChunk),
        inputStart(chunks) {
    std::memcpy(preset.data(), dictionary.data(), std::min(dictionary.size(), kWindowBytes));
    for (std::size_t c = 1; c < chunks; ++c) inputStart[c] = inputStart[c - 1] + sizes[c - 1];
  }
  std::uint64_t Start(std::size_t c) const {
    return static_cast<std::uint64_t>(c) * kDecompressChunk;
  }
  std::uint32_t Length(std::size_t c) const {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kDecompressChunk, unpackedSize - Start(c)));
  }
  // Decodes chunk c to `out`, which has kOutputSlack bytes after the chunk.
  void Decode(std::size_t c, std::uint8_t* out) const {
    std::array<std::uint8_t, kWindowBytes + kMaxMatch> window{};
    std::memcpy(window.data(), preset.data(), kWindowBytes);
    BitReader bits(source);
    bits.Seek(inputStart[c]);
    DecodeChunk(bits, window.data(), out, Length(c), c);
  }

  std::span<const std::uint8_t> source;
  std::uint32_t unpackedSize;
  std::size_t chunks;
  std::vector<std::uint64_t> inputStart;
  std::array<std::uint8_t, kWindowBytes> preset{};
};

// Entries of a few chunks are decoded on the calling thread alone; larger
// ones on it and up to three workers.
constexpr std::size_t kParallelFrom = 4;

std::size_t WorkersFor(std::size_t chunks) {
  if (chunks < kParallelFrom) return 0;
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::min<std::size_t>({cores - 1, 3, chunks - 1});
}

// Every thread takes the next chunk, decodes it to a buffer of its own (a
// match may write past a chunk's end, into its neighbour) and copies it in.
// The calling thread pumps events after its chunks. The error reported is
// the first failing chunk's, as the sequential decoder would report it.
void DecodeInParallel(const ChunkPlan& plan, ByteBuffer& destination, std::size_t workers,
                      const std::function<void()>& pump) {
  std::atomic<std::size_t> next{0};
  std::vector<std::exception_ptr> errors(plan.chunks);
  const auto work = [&](bool pumping) {
    std::vector<std::uint8_t> scratch(kDecompressChunk + kOutputSlack);
    for (std::size_t c; (c = next++) < plan.chunks;) {
      try {
        plan.Decode(c, scratch.data());
        std::memcpy(destination.data() + plan.Start(c), scratch.data(), plan.Length(c));
      } catch (...) {
        errors[c] = std::current_exception();
      }
      if (pumping && pump) pump();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work, false);
  work(true);
  // The workers may have taken every chunk: events run once more before the
  // wait for their last ones, so a long entry always lets the window breathe.
  if (pump) pump();
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& error : errors) {
    if (error) std::rethrow_exception(error);
  }
}

}  // namespace

void CheckUnpackable(std::uint32_t unpackedSize, std::span<const std::uint32_t> chunkSizes) {
  const std::size_t chunks =
      (static_cast<std::size_t>(unpackedSize) + kDecompressChunk - 1) / kDecompressChunk;
  if (chunkSizes.size() < chunks) {
    throw FormatError(std::to_string(chunks) + " chunks to decode but only " +
                      std::to_string(chunkSizes.size()) + " chunk sizes");
  }
  for (std::size_t c = 0; c < chunks; ++c) {
    const std::uint64_t done = static_cast<std::uint64_t>(c) * kDecompressChunk;
    const std::uint64_t length = std::min<std::uint64_t>(kDecompressChunk, unpackedSize - done);
    if (std::uint64_t{chunkSizes[c]} * kMaxBytesPerInputByte < length)
      throw FormatError("chunk " + std::to_string(c) + " of " + std::to_string(chunkSizes[c]) +
                        " bytes cannot unpack to " + std::to_string(length) + " bytes");
  }
}

ByteBuffer LoadDictionary(const std::string& path) {
  ByteBuffer dictionary = LoadBytes(path);
  if (dictionary.size() < kWindowSize)
    ThrowFormatError(path, "a decode table needs " + std::to_string(kWindowSize) +
                               " bytes, this file holds " + std::to_string(dictionary.size()));
  return dictionary;
}

void DecompressWithDictionary(std::span<const std::uint8_t> source, ByteBuffer& destination,
                              std::uint32_t unpackedSize, std::span<const std::uint32_t> chunkSizes,
                              std::span<const std::uint8_t> dictionary,
                              const std::function<void()>& pump) {
  CheckUnpackable(unpackedSize, chunkSizes);
  if (dictionary.size() < kWindowSize)
    throw FormatError("the decode table holds " + std::to_string(dictionary.size()) + " bytes; " +
                      std::to_string(kWindowSize) + " are needed");
  const ChunkPlan plan(source, unpackedSize, chunkSizes, dictionary);
  destination.resize(static_cast<std::size_t>(unpackedSize) + kOutputSlack);
  const std::size_t workers = WorkersFor(plan.chunks);
  if (workers == 0) {
    for (std::size_t c = 0; c < plan.chunks; ++c)
      plan.Decode(c, destination.data() + plan.Start(c));
  } else {
    DecodeInParallel(plan, destination, workers, pump);
  }
  destination.resize(unpackedSize);
}

}  // namespace tessary
