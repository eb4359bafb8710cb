// A test-only encoder for the archive's LZSS format (the product has none).
//
// It simulates the decoder's window exactly (preset dictionary per chunk,
// positions 4096..4111, the wrap at the start of a token) and only emits
// matches it has verified against that window, so whatever it finds, the
// decoder reproduces the input.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tessary::testing {

class BitWriter {
 public:
  void Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> used_);
      used_ = (used_ + 1) % 8;
    }
  }
  std::vector<std::uint8_t> Take() {
    used_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  int used_ = 0;
};

struct Compressed {
  std::vector<std::uint8_t> bytes;        // all chunks back to back
  std::vector<std::uint32_t> chunkSizes;  // one per 32768 bytes of input
};

class LzssEncoder {
 public:
  explicit LzssEncoder(std::span<const std::uint8_t> dictionary, int searchDepth = 16)
      : depth_(searchDepth) {
    std::memcpy(preset_.data(), dictionary.data(),
                std::min<std::size_t>(dictionary.size(), kWindow));
  }

  Compressed Encode(std::span<const std::uint8_t> input) {
    Compressed out;
    for (std::size_t start = 0; start < input.size(); start += kChunk) {
      const std::size_t length = std::min<std::size_t>(kChunk, input.size() - start);
      std::vector<std::uint8_t> chunk = EncodeChunk(input.subspan(start, length));
      out.chunkSizes.push_back(static_cast<std::uint32_t>(chunk.size()));
      out.bytes.insert(out.bytes.end(), chunk.begin(), chunk.end());
    }
    return out;
  }

 private:
  static constexpr std::size_t kChunk = 32768;
  static constexpr std::size_t kWindow = 4112;
  static constexpr int kHashSize = 1 << 12;

  static int Hash(const std::uint8_t* p) {
    return (p[0] * 31 * 31 + p[1] * 31 + p[2]) & (kHashSize - 1);
  }

  void Index(std::size_t pos) {
    if (pos >= 4096 || pos + 2 >= kWindow) return;
    const int h = Hash(window_.data() + pos);
    chain_[pos] = head_[h];
    head_[h] = static_cast<int>(pos);
  }

  std::vector<std::uint8_t> EncodeChunk(std::span<const std::uint8_t> in) {
    window_ = preset_;
    head_.fill(-1);
    chain_.fill(-1);
    for (std::size_t p = 0; p < 4096; ++p) Index(p);
    BitWriter bits;
    std::size_t winPos = 0, pos = 0;
    while (pos < in.size()) {
      if (winPos >= 4096) winPos = 0;
      const std::size_t maxLen = std::min<std::size_t>(17, in.size() - pos);
      std::size_t bestLen = 0, bestFrom = 0;
      if (maxLen >= 2 && pos + 2 < in.size()) {
        int candidate = head_[Hash(in.data() + pos)];
        for (int d = 0; d < depth_ && candidate >= 0; ++d, candidate = chain_[candidate]) {
          std::size_t len = 0;
          while (len < maxLen && window_[candidate + len] == in[pos + len]) ++len;
          if (len > bestLen) bestLen = len, bestFrom = static_cast<std::size_t>(candidate);
        }
      }
      if (bestLen >= 2) {
        bits.Put(0x100 | static_cast<std::uint32_t>(bestFrom >> 4), 9);
        bits.Put(static_cast<std::uint32_t>(((bestFrom & 0xF) << 4) | (bestLen - 2)), 8);
        std::uint8_t copy[17];
        std::memcpy(copy, window_.data() + bestFrom, bestLen);
        std::memcpy(window_.data() + winPos, copy, bestLen);
      } else {
        bestLen = 1;
        bits.Put(in[pos], 9);
        window_[winPos] = in[pos];
      }
      for (std::size_t k = 0; k < bestLen; ++k) Index(winPos + k);
      for (std::size_t k = 1; k <= 2 && winPos >= k; ++k) Index(winPos - k);
      winPos += bestLen;
      pos += bestLen;
    }
    return bits.Take();
  }

  std::array<std::uint8_t, kWindow + 17> window_{};
  std::array<std::uint8_t, kWindow + 17> preset_{};
  std::array<int, kHashSize> head_{};
  std::array<int, kWindow> chain_{};
  int depth_;
};

// Deterministic text-like data: words of a small vocabulary with punctuation.
inline std::vector<std::uint8_t> TextLikeData(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {
      "the",    "gate",  "of", "Grimhold", "opens", "when", "moon",   "rises", "and", "a",
      "knight", "waits", "in", "dark",     "hall",  "with", "silver", "key",   "to",  "tower"};
  std::vector<std::uint8_t> out;
  out.reserve(size + 16);
  std::uint32_t state = seed;
  while (out.size() < size) {
    state = state * 1103515245u + 12345u;
    const char* word = kWords[(state >> 16) % 20];
    out.insert(out.end(), word, word + std::strlen(word));
    out.push_back(((state >> 8) & 15) == 0 ? '.' : ' ');
  }
  out.resize(size);
  return out;
}

}  // namespace tessary::testing
