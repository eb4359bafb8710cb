// The PlayStation TIM layout, read through bounds checks.
//
// A TIM is an 8-byte header (ID 0x10, flags), an optional CLUT block and an
// image block; each block starts with a 12-byte header whose first word is the
// block's whole length. The scanner, and the converters between TIM and bitmap,
// all size rows with TimRowBytes so that images this tool writes round-trip.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tessary {

namespace tim {
inline constexpr std::uint32_t kId = 0x10;
inline constexpr std::uint64_t kHeaderSize = 8;        // ID + flags
inline constexpr std::uint64_t kBlockHeaderSize = 12;  // length, DX, DY, W, H
inline constexpr std::uint32_t kModeMask = 0x7;
inline constexpr std::uint32_t kHasClutFlag = 0x8;
inline constexpr std::uint32_t kReservedFlags = ~std::uint32_t{0xF};
// Offsets inside a block header.
inline constexpr std::uint64_t kBlockLength = 0;
inline constexpr std::uint64_t kBlockX = 4;  // position in video memory, 16-bit units
inline constexpr std::uint64_t kBlockY = 6;
inline constexpr std::uint64_t kBlockWidth = 8;
inline constexpr std::uint64_t kBlockHeight = 10;
}  // namespace tim

// Bytes per pixel row for a pixel mode and width field, in the 16-bit
// arithmetic the format uses: mode 0 ((W*4) mod 65536) / 2, modes 1 and 2 W*2,
// mode 3 W*3. nullopt for the unsupported modes 4..7.
std::optional<std::uint16_t> TimRowBytes(std::uint32_t mode, std::uint16_t width);

// What a lenient probe overlooked in an image it accepted (bits of a mask).
enum TimOddity : std::uint8_t {
  kStrayFlagBits = 1,     // flags bits above bit 3 set
  kOddBlockLength = 2,    // the image block's length disagrees with its rows
  kStandard24Layout = 4,  // a 24-bit image whose width counts 16-bit units
};

struct TimHeader {
  std::uint32_t mode = 0;
  std::uint16_t rowBytes = 0;
  // 8 + CLUT block length + image block length; for an image of odd block
  // length, its rows decide.
  std::uint64_t totalLength = 0;
  std::uint8_t oddities = 0;  // TimOddity bits; 0 unless probed leniently
};

enum class TimProbe {
  Accepted,   // a TIM that lies wholly inside the data
  Rejected,   // not a TIM: the scan goes on at the ID's offset + 4
  EndOfScan,  // the image block header lies past the end: the scan stops
};

struct TimProbeResult {
  TimProbe outcome = TimProbe::Rejected;
  std::uint64_t totalLength = 0;  // set when accepted
  std::uint8_t oddities = 0;      // TimOddity bits of an image accepted leniently
};

// Random access to the bytes a scan looks at: a span in memory, or a file read
// in windows of constant size.
class TimSource {
 public:
  virtual ~TimSource() = default;
  virtual std::uint64_t Size() const = 0;
  // The bytes from `offset` on that are at hand, for the scan, which goes
  // forward: at least min(16, Size() - offset) of them (none past the end).
  // Valid until the next call of BytesFrom.
  virtual std::span<const std::uint8_t> BytesFrom(std::uint64_t offset) = 0;
  // At least min(16, Size() - offset) bytes at `offset`, for a probe, which
  // may look anywhere. Valid until the next call of Peek; spans of BytesFrom
  // stay valid.
  virtual std::span<const std::uint8_t> Peek(std::uint64_t offset) = 0;
};

class SpanSource final : public TimSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint64_t Size() const override { return data_.size(); }
  std::span<const std::uint8_t> BytesFrom(std::uint64_t offset) override {
    return offset < data_.size() ? data_.subspan(static_cast<std::size_t>(offset))
                                 : std::span<const std::uint8_t>{};
  }
  std::span<const std::uint8_t> Peek(std::uint64_t offset) override { return BytesFrom(offset); }

 private:
  std::span<const std::uint8_t> data_;
};

// The scanner's candidate test at `offset`, where the ID word 0x10 was found.
// A CLUT block shorter than 13 bytes and an image that runs past the end of
// the data are rejected. A lenient probe also accepts, and marks, what images
// made by other tools carry: stray flags bits (when the rest checks out), an
// image block length that disagrees with rows that fit inside the data, and
// the standard 24-bit layout (see TimOddity).
TimProbeResult ProbeTim(TimSource& source, std::uint64_t offset, bool lenient = false);
TimProbeResult ProbeTim(std::span<const std::uint8_t> data, std::uint64_t offset,
                        bool lenient = false);

// The words of a result line that name a lenient find's oddities, e.g.
// "stray flags bits, standard 24-bit layout".
std::string DescribeOddities(std::uint8_t oddities);

// Reads the header of a whole TIM at `offset` with every test of the scanner.
// nullopt when the bytes are not a complete, supported TIM.
std::optional<TimHeader> ReadTimHeader(std::span<const std::uint8_t> data,
                                       std::uint64_t offset = 0);

}  // namespace tessary
