#include "formathandlers/tim/tim_layout.h"

#include <utility>

#include "misc/byte_reader.h"

namespace tessary {

namespace {

struct Layout {
  TimProbe outcome = TimProbe::Rejected;
  TimHeader header;
};

// A lenient look at an image block whose length disagrees with its rows:
// the standard 24-bit layout when the length says rows of W * 2 bytes, else
// the rows themselves when the image is not empty. False: rejected.
bool ExcuseBlockLength(TimHeader& h, std::uint16_t width, std::uint16_t height,
                       std::uint32_t imageLength) {
  const std::uint64_t standardRows = std::uint64_t{width} * 2;
  if (h.mode == 3 && standardRows % 3 == 0 &&
      imageLength == tim::kBlockHeaderSize + standardRows * height) {
    h.oddities |= kStandard24Layout;
    return true;
  }
  if (width == 0 || height == 0 || (h.oddities & kStrayFlagBits) != 0) return false;
  h.oddities |= kOddBlockLength;
  h.totalLength += std::uint64_t{h.rowBytes} * height + tim::kBlockHeaderSize - imageLength;
  return true;
}

// The candidate test in the format's own order; every read is bounds-checked.
Layout ReadLayout(TimSource& source, std::uint64_t offset, bool lenient) {
  Layout layout;
  TimHeader& h = layout.header;
  const std::uint64_t size = source.Size();
  if (!FitsIn(size, offset, tim::kHeaderSize + 4)) return layout;
  const auto head = source.Peek(offset);
  if (LoadU32(head.data()) != tim::kId) return layout;
  const std::uint32_t flags = LoadU32(head.data() + 4);
  if ((flags & tim::kReservedFlags) != 0) {
    if (!lenient) return layout;
    h.oddities |= kStrayFlagBits;
  }
  h.mode = flags & tim::kModeMask;
  const std::uint32_t clutLength = LoadU32(head.data() + tim::kHeaderSize);
  std::uint64_t p = offset + tim::kHeaderSize;
  h.totalLength = tim::kHeaderSize;
  if ((flags & tim::kHasClutFlag) != 0) {
    // A CLUT block must hold its header and at least one byte more; shorter
    // lengths would place the image block inside or before the candidate.
    if (clutLength <= tim::kBlockHeaderSize) return layout;
    h.totalLength += clutLength;
    p += clutLength;
  }
  if (!FitsIn(size, p, tim::kBlockHeaderSize)) {
    layout.outcome = TimProbe::EndOfScan;
    return layout;
  }
  const auto image = source.Peek(p);
  const std::uint32_t imageLength = LoadU32(image.data() + tim::kBlockLength);
  h.totalLength += imageLength;
  const std::uint16_t width = LoadU16(image.data() + tim::kBlockWidth);
  const std::uint16_t height = LoadU16(image.data() + tim::kBlockHeight);
  const auto rowBytes = TimRowBytes(h.mode, width);
  if (!rowBytes) return layout;
  h.rowBytes = *rowBytes;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(*rowBytes) * height;
  if (pixelBytes != imageLength - static_cast<std::uint32_t>(tim::kBlockHeaderSize) &&
      !(lenient && ExcuseBlockLength(h, width, height, imageLength)))
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

TimProbeResult ProbeTim(TimSource& source, std::uint64_t offset, bool lenient) {
  const Layout layout = ReadLayout(source, offset, lenient);
  if (layout.outcome != TimProbe::Accepted) return {layout.outcome, 0, 0};
  return {TimProbe::Accepted, layout.header.totalLength, layout.header.oddities};
}

TimProbeResult ProbeTim(std::span<const std::uint8_t> data, std::uint64_t offset, bool lenient) {
  SpanSource source(data);
  return ProbeTim(source, offset, lenient);
}

std::string DescribeOddities(std::uint8_t oddities) {
  static constexpr std::pair<TimOddity, const char*> kWords[] = {
      {kStrayFlagBits, "stray flags bits"},
      {kOddBlockLength, "image block length disagrees with its rows"},
      {kStandard24Layout, "standard 24-bit layout"},
  };
  std::string text;
  for (const auto& [bit, words] : kWords)
    if ((oddities & bit) != 0) text += (text.empty() ? "" : ", ") + std::string(words);
  return text;
}

std::optional<TimHeader> ReadTimHeader(std::span<const std::uint8_t> data, std::uint64_t offset) {
  SpanSource source(data);
  Layout layout = ReadLayout(source, offset, false);
  if (layout.outcome != TimProbe::Accepted) return std::nullopt;
  return layout.header;
}

}  // namespace tessary
