// The TIM scan, without any window or log work.
//
// The scan steps by the content of the word it stands on: a zero word moves 4
// bytes, any other word as many bytes as it has non-zero bytes (1..4), so some
// positions are never tested. An ID word 0x10 is probed as a TIM; an accepted
// image moves the scan past its end, a rejected candidate 4 bytes on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "formathandlers/tim/tim_layout.h"
#include "misc/file_stream.h"
#include "misc/read_ahead.h"

namespace tessary {

struct FoundTim {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint8_t oddities = 0;  // TimOddity bits of a lenient find
};

class TimScanner final {
 public:
  // A lenient scanner probes candidates leniently (see ProbeTim).
  explicit TimScanner(TimSource& source, bool lenient = false);

  // Scans on until the next accepted image, the end of the scan, or the scan
  // position reaching `stopAt`, whichever comes first.
  std::optional<FoundTim> Next(std::uint64_t stopAt);
  std::uint64_t Position() const { return position_; }
  bool Finished() const { return finished_; }
  // The Progress position of the current scan position: o * 100 / (S - 9).
  int ProgressPercent() const;

 private:
  // True when the candidate at `at` of `bytes` has flags bits the probe
  // rejects (never for a lenient scan).
  bool RuledOutByFlags(std::span<const std::uint8_t> bytes, std::size_t at) const;

  TimSource& source_;
  std::uint64_t size_;
  std::uint64_t limit_;  // positions below S - 12 are scanned
  std::uint64_t position_ = 0;
  bool finished_;
  bool lenient_;
};

// A file read through a window of constant size, so that a scan of any size
// needs the same memory. The window follows the scan forward, the next one
// read on a second thread while this one is scanned; a probe outside the
// window reads its few bytes on their own.
class FileSource final : public TimSource {
 public:
  explicit FileSource(FileStream& file, std::size_t windowSize = std::size_t{4} << 20);
  std::uint64_t Size() const override { return size_; }
  std::span<const std::uint8_t> BytesFrom(std::uint64_t offset) override;
  std::span<const std::uint8_t> Peek(std::uint64_t offset) override;

 private:
  // The window's bytes from `offset` when it holds at least min(16, rest).
  std::span<const std::uint8_t> InWindow(std::uint64_t offset) const;
  // Waits for the read ahead, which then holds `aheadFilled_` bytes.
  void FinishReadAhead();
  // Starts reading the window that follows this one, overlapping it by a
  // probe header, which is where the scan asks next unless it jumps.
  void StartReadAhead();

  FileStream& file_;
  std::uint64_t size_;
  std::size_t windowSize_;
  std::vector<std::uint8_t> window_;
  std::uint64_t base_ = 0;
  std::size_t filled_ = 0;
  std::vector<std::uint8_t> ahead_;
  std::uint64_t aheadBase_ = 0;
  std::size_t aheadFilled_ = 0;
  std::uint8_t probe_[16] = {};
  ReadAhead reader_;  // last: it stops before the buffers it fills go
};

}  // namespace tessary
