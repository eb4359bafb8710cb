#include "formathandlers/tim/tim_scan_core.h"

#include <algorithm>
#include <bit>

#include "formathandlers/tim/tim_layout.h"
#include "misc/byte_reader.h"

namespace tessary {

namespace {

constexpr std::uint64_t kMinScannedSize = 13;  // a file of 12 bytes or fewer is not scanned

// The step for a word that is neither 0x10 nor free of zero bytes: the number
// of its non-zero bytes, or 4 for the zero word.
std::uint64_t StepOver(std::uint32_t v) {
  const std::uint32_t high = 0x80808080u;
  // Bit 7 of each byte of `zero` is set exactly where that byte of v is zero.
  const std::uint32_t zero = ~(((v & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | v | 0x7F7F7F7Fu) & high;
  const int zeros = std::popcount(zero);
  return zeros == 4 ? 4 : static_cast<std::uint64_t>(4 - zeros);
}

bool HasNoZeroByte(std::uint32_t v) {
  return ((v - 0x01010101u) & ~v & 0x80808080u) == 0;
}

}  // namespace

TimScanner::TimScanner(std::span<const std::uint8_t> data)
    : data_(data),
      limit_(data.size() >= kMinScannedSize ? data.size() - 12 : 0),
      finished_(data.size() < kMinScannedSize) {}

std::optional<FoundTim> TimScanner::Next(std::uint64_t stopAt) {
  const std::uint8_t* bytes = data_.data();
  const std::uint64_t end = std::min(stopAt, limit_);
  std::uint64_t o = position_;
  while (o < end) {
    const std::uint32_t v = LoadU32(bytes + o);
    // Most words of real data have four non-zero bytes: step 4 without
    // further tests keeps the loop free of unpredictable branches.
    if (HasNoZeroByte(v)) {
      o += 4;
      continue;
    }
    if (v != tim::kId) {
      o += StepOver(v);
      continue;
    }
    const TimProbeResult probe = ProbeTim(data_, o);
    if (probe.outcome == TimProbe::Accepted) {
      position_ = o + probe.totalLength;
      if (position_ >= limit_) finished_ = true;
      return FoundTim{o, probe.totalLength};
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
  if (data_.size() < kMinScannedSize) return 0;
  return static_cast<int>(position_ * 100 / (data_.size() - 9));
}

}  // namespace tessary
