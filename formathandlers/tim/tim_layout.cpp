#include "formathandlers/tim/tim_layout.h"

#include "misc/byte_reader.h"

namespace tessary {

namespace {

// A block header read from `bytes`, the bytes at the block's offset `at`.
TimBlock ReadBlock(std::span<const std::uint8_t> bytes, std::uint64_t at) {
  const std::uint8_t* p = bytes.data();
  return {at,
          LoadU32(p + tim::kBlockLength),
          LoadU16(p + tim::kBlockDx),
          LoadU16(p + tim::kBlockDy),
          LoadU16(p + tim::kBlockWidth),
          LoadU16(p + tim::kBlockHeight)};
}

struct Layout {
  TimProbe outcome = TimProbe::Rejected;
  TimHeader header;
};

// The candidate test in the format's own order; every read is bounds-checked.
Layout ReadLayout(TimSource& source, std::uint64_t offset) {
  Layout layout;
  TimHeader& h = layout.header;
  const std::uint64_t size = source.Size();
  if (!FitsIn(size, offset, tim::kHeaderSize + 4)) return layout;
  const auto head = source.Peek(offset);
  if (LoadU32(head.data()) != tim::kId) return layout;
  h.flags = LoadU32(head.data() + 4);
  if ((h.flags & tim::kReservedFlags) != 0) return layout;
  h.mode = h.flags & tim::kModeMask;
  const std::uint32_t clutLength = LoadU32(head.data() + tim::kHeaderSize);
  std::uint64_t p = offset + tim::kHeaderSize;
  h.totalLength = tim::kHeaderSize;
  if ((h.flags & tim::kHasClutFlag) != 0) {
    // A CLUT block must hold its header and at least one byte more; shorter
    // lengths would place the image block inside or before the candidate.
    if (clutLength <= tim::kBlockHeaderSize) return layout;
    if (FitsIn(size, p, tim::kBlockHeaderSize)) h.clut = ReadBlock(source.Peek(p), p);
    h.totalLength += clutLength;
    p += clutLength;
  }
  if (!FitsIn(size, p, tim::kBlockHeaderSize)) {
    layout.outcome = TimProbe::EndOfScan;
    return layout;
  }
  h.image = ReadBlock(source.Peek(p), p);
  h.totalLength += h.image.length;
  const auto rowBytes = TimRowBytes(h.mode, h.image.width);
  if (!rowBytes) return layout;
  h.rowBytes = *rowBytes;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(*rowBytes) * h.image.height;
  if (pixelBytes != h.image.length - static_cast<std::uint32_t>(tim::kBlockHeaderSize))
    return layout;
  if (!FitsIn(size, offset, h.totalLength)) return layout;
  layout.outcome = TimProbe::Accepted;
  return layout;
}

}  // namespace

std::optional<std::uint16_t> TimRowBytes(std::uint32_t mode, std::uint16_t width) {
  switch (mode) {
    case 0:
      return static_cast<std::uint16_t>(static_cast<std::uint16_t>(width * 4u) / 2u);
    case 1:
    case 2:
      return static_cast<std::uint16_t>(width * 2u);
    case 3:
      return static_cast<std::uint16_t>(width * 3u);
    default:
      return std::nullopt;
  }
}

TimProbeResult ProbeTim(TimSource& source, std::uint64_t offset) {
  const Layout layout = ReadLayout(source, offset);
  if (layout.outcome != TimProbe::Accepted) return {layout.outcome, 0};
  return {TimProbe::Accepted, layout.header.totalLength};
}

TimProbeResult ProbeTim(std::span<const std::uint8_t> data, std::uint64_t offset) {
  SpanSource source(data);
  return ProbeTim(source, offset);
}

std::optional<TimHeader> ReadTimHeader(std::span<const std::uint8_t> data, std::uint64_t offset) {
  SpanSource source(data);
  Layout layout = ReadLayout(source, offset);
  if (layout.outcome != TimProbe::Accepted) return std::nullopt;
  return layout.header;
}

}  // namespace tessary
