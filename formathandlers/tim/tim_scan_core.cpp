#include "formathandlers/tim/tim_scan_core.h"

#include <algorithm>
#include <array>
#include <bit>

#include "misc/byte_reader.h"
#include "misc/errors.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESSARY_SCAN_SSE2 1
#endif

namespace tessary {

namespace {

constexpr std::uint64_t kMinScannedSize = 13;  // a file of 12 bytes or fewer is not scanned
// What a window holds beyond its last scanned position: one probe header.
constexpr std::size_t kProbeBytes = 16;

// The step for a word that is neither 0x10 nor free of zero bytes: the number
// of its non-zero bytes, or 4 for the zero word.
std::uint64_t StepOver(std::uint32_t v) {
  // Bit 7 of each byte of `zero` is set exactly where that byte of v is zero;
  // the multiply adds those bits up in the top byte.
  const std::uint32_t zero = ~(((v & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | v | 0x7F7F7F7Fu);
  const std::uint32_t zeros = ((zero >> 7) * 0x01010101u) >> 24;
  return zeros == 4 ? 4 : 4 - zeros;
}

bool HasNoZeroByte(std::uint32_t v) {
  return ((v - 0x01010101u) & ~v & 0x80808080u) == 0;
}

bool HasNoZeroByte64(std::uint64_t v) {
  return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) == 0;
}

std::uint64_t Load64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) | static_cast<std::uint64_t>(LoadU32(p + 4)) << 32;
}

// Eight bytes at `p` that move the scan by 8 without a test: two zero words,
// or two words without a zero byte (each steps 4).
bool PlainPair(const std::uint8_t* p) {
  const std::uint64_t v = Load64(p);
  return v == 0 || HasNoZeroByte64(v);
}

// The step for the four zero-byte flags of a word (bit b set: byte b is zero):
// 4 for the zero word, else the number of non-zero bytes.
constexpr std::array<std::uint8_t, 16> MakeSteps() {
  std::array<std::uint8_t, 16> steps{};
  for (unsigned m = 0; m < 16; ++m) {
    const unsigned zeros = (m & 1) + (m >> 1 & 1) + (m >> 2 & 1) + (m >> 3 & 1);
    steps[m] = static_cast<std::uint8_t>(zeros == 4 ? 4 : 4 - zeros);
  }
  return steps;
}
constexpr std::array<std::uint8_t, 16> kSteps = MakeSteps();
constexpr unsigned kIdFlags = 0xE;  // 0x10 0x00 0x00 0x00: bytes 1..3 zero

// Walks the positions from `at` while they are below `stretch`, the words in
// `bytes`; stops at a candidate (an ID word), setting `candidate`. Returns the
// position reached.
std::size_t WalkScalar(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t stretch,
                       bool& candidate) {
  while (at < stretch) {
    // Both words of the pair are positions of this stretch, so the scan ends
    // exactly where the plain rule ends it.
    if (at + 4 < stretch && at + 8 <= bytes.size() && PlainPair(bytes.data() + at)) {
      at += 8;
      continue;
    }
    const std::uint32_t v = LoadU32(bytes.data() + at);
    if (HasNoZeroByte(v)) {
      at += 4;
    } else if (v != tim::kId) {
      at += static_cast<std::size_t>(StepOver(v));
    } else {
      candidate = true;
      break;
    }
  }
  return at;
}

#ifdef TESSARY_SCAN_SSE2
// Bit i set where byte i of the 64 bytes at `p` is zero.
std::uint64_t ZeroMask64(const std::uint8_t* p) {
  const __m128i zero = _mm_setzero_si128();
  std::uint64_t mask = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, zero)));
    mask |= static_cast<std::uint64_t>(bits) << (16 * k);
  }
  return mask;
}
#endif

// The same walk driven by the zero-byte mask of 64 bytes at a time: a block
// with no zero byte, or nothing but zeros, moves the scan 64 bytes (sixteen
// steps of 4); other blocks are walked with the step table. The scalar walk
// finishes where fewer than 64 bytes remain.
std::size_t Walk(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t stretch,
                 bool& candidate) {
#ifdef TESSARY_SCAN_SSE2
  const std::uint8_t* data = bytes.data();
  while (at < stretch && at + 64 <= bytes.size()) {
    const std::uint64_t zero = ZeroMask64(data + at);
    if ((zero == 0 || zero == ~std::uint64_t{0}) && at + 60 < stretch) {
      at += 64;
      continue;
    }
    std::size_t p = 0;
    while (p <= 60 && at + p < stretch) {
      const std::uint64_t rest = zero >> p;
      if ((rest & 0xF) == 0) {
        // Words before the next zero byte step 4 each: go to the word that
        // holds it at once, or past the block, but not past the stretch.
        const std::size_t words = rest == 0 ? (60 - p) / 4 + 1 : std::countr_zero(rest) / 4;
        const std::size_t left = (stretch - (at + p) + 3) / 4;
        p += 4 * std::min(words, left);
        continue;
      }
      const unsigned flags = static_cast<unsigned>(rest) & 0xF;
      if (flags == kIdFlags && data[at + p] == tim::kId) {
        candidate = true;
        return at + p;
      }
      p += kSteps[flags];
    }
    at += p;
  }
#endif
  return WalkScalar(bytes, at, stretch, candidate);
}

#ifdef TESSARY_SCAN_SSE2
// True when the 64 bytes at `p` hold no zero pair at an even distance from
// `p`. The three zero bytes after the 0x10 of an ID word hold such a pair.
bool NoEvenZeroPair(const std::uint8_t* p) {
  const __m128i zero = _mm_setzero_si128();
  __m128i any = zero;
  for (int k = 0; k < 4; ++k) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    any = _mm_or_si128(any, _mm_cmpeq_epi16(block, zero));
  }
  return _mm_movemask_epi8(any) == 0;
}

// Bit i set where position `p` + i holds the ID word, for i in 0..15.
unsigned IdWords16(const std::uint8_t* p) {
  const auto load = [p](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
  const __m128i after = _mm_or_si128(_mm_or_si128(load(1), load(2)), load(3));
  const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(load(0), _mm_set1_epi8(tim::kId)),
                                    _mm_cmpeq_epi8(after, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

// The first position of [at, stretch) whose word is the ID (bytes 10 00 00 00),
// or `stretch` when there is none.
std::size_t NextIdWord(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t stretch) {
  const std::uint8_t* data = bytes.data();
#ifdef TESSARY_SCAN_SSE2
  // When the 64 bytes after `at` hold no even zero pair, none of the 63
  // positions from `at` holds an ID word (its zeros would hold one);
  // otherwise positions are tested sixteen at a time.
  while (at < stretch && at + 128 <= bytes.size()) {
    if (NoEvenZeroPair(data + at + 1)) {
      at += 63;
      continue;
    }
    for (int k = 0; k < 4; ++k, at += 16)
      if (const unsigned bits = IdWords16(data + at); bits != 0)
        return std::min(at + static_cast<std::size_t>(std::countr_zero(bits)), stretch);
  }
#endif
  for (; at < stretch; ++at)
    if (LoadU32(data + at) == tim::kId) return at;
  return stretch;
}

// The first position at or after `target` that the scan reaches from `at`,
// when no word of [at, target) is the ID, so that every step there follows the
// plain rule. Any walk visits one of every four consecutive positions, so when
// walks from four such positions shortly before `target` all arrive at the
// same place, the walk from `at` arrives there too, and the bytes before them
// need not be walked. Zero bytes make walks meet within a few words; bytes
// without zeros (text, noise) keep them apart, and hold no ID word either.
// (Were there an ID word after all, the walks would stop at it and set
// `candidate`, as the plain walk does.)
std::size_t Reach(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t target,
                  bool& candidate) {
  for (const std::size_t lead : {16, 64, 256}) {
    if (target - at < 8 * lead) break;
    const std::size_t from = target - lead;
    const std::size_t reached = Walk(bytes, from, target, candidate);
    std::size_t k = 1;
    while (k < 4 && Walk(bytes, from + k, target, candidate) == reached) ++k;
    if (k == 4) return reached;
    candidate = false;
  }
  return Walk(bytes, at, target, candidate);
}

// The walk from `at` to the first candidate, or to `stretch`: ID words are
// found first, and only whether the walk reaches each of them is worked out.
std::size_t WalkToCandidate(std::span<const std::uint8_t> bytes, std::size_t at,
                            std::size_t stretch, bool& candidate) {
  while (at < stretch && !candidate) {
    const std::size_t id = NextIdWord(bytes, at, stretch);
    at = Reach(bytes, at, id, candidate);
    candidate = candidate || (at == id && id < stretch);
  }
  return at;
}

}  // namespace

bool TimScanner::RuledOutByFlags(std::span<const std::uint8_t> bytes, std::size_t at) const {
  // The probe rejects such a flags word before anything else it reads.
  return !lenient_ && at + tim::kHeaderSize <= bytes.size() &&
         (LoadU32(bytes.data() + at + 4) & tim::kReservedFlags) != 0;
}

TimScanner::TimScanner(TimSource& source, bool lenient)
    : source_(source),
      size_(source.Size()),
      limit_(size_ >= kMinScannedSize ? size_ - 12 : 0),
      finished_(size_ < kMinScannedSize),
      lenient_(lenient) {}

std::optional<FoundTim> TimScanner::Next(std::uint64_t stopAt) {
  const std::uint64_t end = std::min(stopAt, limit_);
  std::uint64_t o = position_;
  while (o < end) {
    // The positions of this stretch whose words lie in the bytes at hand
    // (the source hands at least 12 bytes here, since o < S - 12).
    const auto bytes = source_.BytesFrom(o);
    const std::size_t stretch =
        static_cast<std::size_t>(std::min<std::uint64_t>(end - o, bytes.size() - 3));
    bool candidate = false;
    std::size_t at = WalkToCandidate(bytes, 0, stretch, candidate);
    // Candidates whose flags word rules them out are passed over here, in the
    // bytes at hand, without a probe: files dense with 0x10 words hold many.
    while (candidate && RuledOutByFlags(bytes, at)) {
      candidate = false;
      at = WalkToCandidate(bytes, at + 4, stretch, candidate);
    }
    o += at;
    if (!candidate) continue;
    const TimProbeResult probe = ProbeTim(source_, o, lenient_);
    if (probe.outcome == TimProbe::Accepted) {
      position_ = o + probe.totalLength;
      if (position_ >= limit_) finished_ = true;
      return FoundTim{o, probe.totalLength, probe.oddities};
    }
    if (probe.outcome == TimProbe::EndOfScan) {
      position_ = o;
      finished_ = true;
      return std::nullopt;
    }
    o += 4;
  }
  position_ = o;
  if (o >= limit_) finished_ = true;
  return std::nullopt;
}

int TimScanner::ProgressPercent() const {
  if (size_ < kMinScannedSize) return 0;
  return static_cast<int>(position_ * 100 / (size_ - 9));
}

FileSource::FileSource(FileStream& file, std::size_t windowSize)
    : file_(file),
      size_(file.Size()),
      windowSize_(std::max(windowSize, kProbeBytes * 2)),
      reader_(file) {}

std::span<const std::uint8_t> FileSource::InWindow(std::uint64_t offset) const {
  if (offset < base_ || offset >= base_ + filled_) return {};
  const std::size_t from = static_cast<std::size_t>(offset - base_);
  const std::uint64_t want = std::min<std::uint64_t>(kProbeBytes, size_ - offset);
  if (filled_ - from < want) return {};
  return {window_.data() + from, filled_ - from};
}

void FileSource::FinishReadAhead() {
  if (reader_.Started()) aheadFilled_ = reader_.Wait();
}

void FileSource::StartReadAhead() {
  if (base_ + filled_ >= size_) return;
  aheadBase_ = base_ + filled_ - kProbeBytes;
  aheadFilled_ = 0;
  ahead_.resize(windowSize_);
  reader_.Start(aheadBase_, ahead_);
  file_.WillNeed(aheadBase_ + windowSize_, windowSize_);  // and the system reads on
}

std::span<const std::uint8_t> FileSource::BytesFrom(std::uint64_t offset) {
  if (offset >= size_) return {};
  if (const auto bytes = InWindow(offset); !bytes.empty()) return bytes;
  FinishReadAhead();
  std::swap(window_, ahead_);
  std::swap(base_, aheadBase_);
  std::swap(filled_, aheadFilled_);
  if (InWindow(offset).empty()) {  // a jump past the bytes read ahead
    window_.resize(windowSize_);
    base_ = offset;
    filled_ = ReadPiece(file_, offset, window_);
  }
  const auto bytes = InWindow(offset);
  // Fewer bytes than the file's size promised: it was cut while being read.
  if (bytes.empty()) ThrowStreamReadError(file_.ShownPath());
  StartReadAhead();
  return bytes;
}

std::span<const std::uint8_t> FileSource::Peek(std::uint64_t offset) {
  if (offset >= size_) return {};
  if (const auto bytes = InWindow(offset); !bytes.empty()) return bytes;
  FinishReadAhead();  // the file is the reader's until then
  const std::size_t got = ReadPiece(file_, offset, probe_);
  return {probe_, got};
}

}  // namespace tessary
