// The TIM scan over a byte span, without any file or window work.
//
// The scan steps by the content of the word it stands on: a zero word moves 4
// bytes, any other word as many bytes as it has non-zero bytes (1..4), so some
// positions are never tested. An ID word 0x10 is probed as a TIM; an accepted
// image moves the scan past its end, a rejected candidate 4 bytes on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tessary {

struct FoundTim {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

class TimScanner final {
 public:
  explicit TimScanner(std::span<const std::uint8_t> data);

  // Scans on until the next accepted image, the end of the scan, or the scan
  // position reaching `stopAt`, whichever comes first.
  std::optional<FoundTim> Next(std::uint64_t stopAt);
  std::uint64_t Position() const { return position_; }
  bool Finished() const { return finished_; }
  // The Progress position of the current scan position: o * 100 / (S - 9).
  int ProgressPercent() const;

 private:
  std::span<const std::uint8_t> data_;
  std::uint64_t limit_;  // positions below S - 12 are scanned
  std::uint64_t position_ = 0;
  bool finished_;
};

}  // namespace tessary
