#include "formathandlers/tim/tim_bitmap.h"

#include <algorithm>

#include "formathandlers/tim/tim_layout.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

// The bitmap depth of each pixel mode, in the order of TimPixelMode.
constexpr PixelDepth kDepthOfMode[] = {PixelDepth::Indexed4, PixelDepth::Indexed8,
                                       PixelDepth::Direct15, PixelDepth::Direct24};
// The pixels of one unit of the image block's width field, in the same order.
constexpr unsigned kPixelsPerWidthUnit[] = {4, 2, 1, 1};

// The pixel width (which wraps at 65536 in the indexed modes) and the row size
// of the image block's width field `w`.
void SetPixelSize(TimImage& image, std::uint16_t w) {
  const auto mode = static_cast<int>(image.mode);
  image.pixelWidth = static_cast<std::uint16_t>(w * kPixelsPerWidthUnit[mode]);
  image.rowBytes = RowBytesOf(image.pixelWidth, kDepthOfMode[mode]);
}

// The header of the block at `at` (checked to fit before).
TimImage::Block BlockAt(std::span<const std::uint8_t> tim, std::uint64_t at) {
  const std::uint8_t* block = tim.data() + at;
  return {LoadU16(block + tim::kBlockX), LoadU16(block + tim::kBlockY),
          LoadU16(block + tim::kBlockWidth), LoadU16(block + tim::kBlockHeight),
          LoadU32(block + tim::kBlockLength)};
}

// Most 24-bit TIMs made elsewhere count their width in 16-bit units: rows of
// W * 2 bytes holding W * 2 / 3 pixels. Such a TIM is read so when its image
// block's length says so and rows of W * 3 bytes do not fit the file; the
// TIMs the tool writes keep rows of W * 3.
void ReadStandard24Layout(TimImage& image, std::uint16_t width, std::uint32_t blockLength,
                          std::uint64_t fileSize) {
  const std::uint64_t rowBytes = std::uint64_t{width} * 2;
  if (FitsIn(fileSize, image.pixelOffset, image.rowBytes * image.height) || rowBytes % 3 != 0 ||
      blockLength != tim::kBlockHeaderSize + rowBytes * image.height ||
      !FitsIn(fileSize, image.pixelOffset, rowBytes * image.height))
    return;
  image.rowBytes = rowBytes;
  image.pixelWidth = static_cast<std::uint32_t>(rowBytes / 3);
}

// The alpha plane of 16-bit pixel rows: 0 for the word 0x0000, else 255;
// empty when no pixel is transparent.
std::vector<std::uint8_t> TransparentPixels(std::span<const std::uint8_t> rows,
                                            const TimImage& image) {
  std::vector<std::uint8_t> alpha(std::size_t{image.pixelWidth} * image.height, 255);
  bool any = false;
  for (std::uint32_t y = 0; y < image.height; ++y)
    for (std::uint32_t x = 0; x < image.pixelWidth; ++x)
      if (LoadU16(rows.data() + y * image.rowBytes + 2 * x) == 0) {
        alpha[std::size_t{y} * image.pixelWidth + x] = 0;
        any = true;
      }
  if (!any) alpha.clear();
  return alpha;
}

}  // namespace

TimImage ReadTimImage(std::span<const std::uint8_t> tim, const std::string& name, bool withRows) {
  if (tim.size() < tim::kHeaderSize) ThrowFormatError(name, "too short to hold a TIM header");
  // Only the mode and the CLUT flag are read: real TIMs carry other bits
  // above bit 3, which the converter ignores.
  const std::uint32_t flags = LoadU32(tim.data() + 4);
  if (LoadU32(tim.data()) != tim::kId) ThrowFormatError(name, "not a TIM image");
  if ((flags & tim::kModeMask) > 3)
    ThrowFormatError(
        name, "TIM pixel mode " + std::to_string(flags & tim::kModeMask) + " is not supported");
  TimImage image;
  image.mode = static_cast<TimPixelMode>(flags & tim::kModeMask);
  std::uint64_t at = tim::kHeaderSize;
  if ((flags & tim::kHasClutFlag) != 0) {
    if (!FitsIn(tim.size(), at, tim::kBlockHeaderSize))
      ThrowFormatError(name, "the CLUT block is cut short");
    const std::uint32_t length = LoadU32(tim.data() + at);
    if (length < tim::kBlockHeaderSize || !FitsIn(tim.size(), at, length))
      ThrowFormatError(
          name, "the CLUT block's length (" + std::to_string(length) + ") does not fit the file");
    image.clutBlock = BlockAt(tim, at);
    image.clut.resize((length - tim::kBlockHeaderSize) / 2);
    for (std::size_t i = 0; i < image.clut.size(); ++i)
      image.clut[i] = LoadU16(tim.data() + at + tim::kBlockHeaderSize + 2 * i);
    at += length;
  }
  if (!FitsIn(tim.size(), at, tim::kBlockHeaderSize))
    ThrowFormatError(name, "the image block header is cut short");
  image.imageBlock = BlockAt(tim, at);
  const std::uint16_t width = LoadU16(tim.data() + at + tim::kBlockWidth);
  SetPixelSize(image, width);
  image.height = LoadU16(tim.data() + at + tim::kBlockHeight);
  image.pixelOffset = at + tim::kBlockHeaderSize;
  if (image.mode == TimPixelMode::Direct24)
    ReadStandard24Layout(image, width, LoadU32(tim.data() + at), tim.size());
  if (withRows && !FitsIn(tim.size(), image.pixelOffset, image.rowBytes * image.height))
    ThrowFormatError(name, "the pixel rows end past the end of the file");
  return image;
}

Bitmap LoadTimBitmap(std::span<const std::uint8_t> tim, const std::string& name,
                     bool transparency) {
  const TimImage image = ReadTimImage(tim, name, true);
  Bitmap bitmap(image.pixelWidth, image.height, kDepthOfMode[static_cast<int>(image.mode)]);
  if (bitmap.Indexed()) bitmap.palette = ClutPalette(image.clut, image.clut.size(), transparency);
  if (transparency && image.mode == TimPixelMode::Direct16)
    bitmap.alpha = TransparentPixels(tim.subspan(image.pixelOffset), image);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const auto row = bitmap.Row(y);
    const auto* from = tim.data() + image.pixelOffset + y * image.rowBytes;
    std::copy(from, from + image.rowBytes, row.begin());
    switch (image.mode) {
      case TimPixelMode::Clut4:
        SwapNibbles(row);
        break;
      case TimPixelMode::Clut8:
        break;
      case TimPixelMode::Direct16:
        SwapRedBlue16(row);
        break;
      case TimPixelMode::Direct24:
        SwapRedBlue24(row);
        break;
    }
  }
  return bitmap;
}

std::vector<PaletteEntry> ClutPalette(std::span<const std::uint16_t> clut, std::size_t most,
                                      bool transparency) {
  std::vector<PaletteEntry> palette;
  for (const std::uint16_t v : clut.first(std::min(most, clut.size())))
    palette.push_back({static_cast<std::uint8_t>((v & 0x1F) << 3),
                       static_cast<std::uint8_t>(((v >> 5) & 0x1F) << 3),
                       static_cast<std::uint8_t>(((v >> 10) & 0x1F) << 3),
                       static_cast<std::uint8_t>(transparency && v == 0 ? 0 : 255)});
  return palette;
}

void ExpandClut(ByteBuffer& buffer) {
  const std::size_t words = buffer.size() / 2;
  ByteBuffer triples(words * 3);
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint16_t v = LoadU16(buffer.data() + 2 * i);
    triples[3 * i] = static_cast<std::uint8_t>(((v >> 10) & 0x1F) << 3);
    triples[3 * i + 1] = static_cast<std::uint8_t>(((v >> 5) & 0x1F) << 3);
    triples[3 * i + 2] = static_cast<std::uint8_t>((v & 0x1F) << 3);
  }
  buffer = std::move(triples);
}

std::vector<PaletteEntry> BuildPalette(std::size_t n, std::span<const std::uint8_t> triples) {
  std::vector<PaletteEntry> palette(std::min(n, triples.size() / 3));
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = {triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]};
  return palette;
}

void SwapNibbles(std::span<std::uint8_t> bytes) {
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>((b << 4) | (b >> 4));
}

void SwapRedBlue16(std::span<std::uint8_t> bytes) {
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint16_t v = LoadU16(bytes.data() + i);
    StoreU16(bytes.data() + i,
             static_cast<std::uint16_t>((v & 0x03E0) | ((v >> 10) & 0x1F) | ((v & 0x1F) << 10)));
  }
}

void SwapRedBlue24(std::span<std::uint8_t> bytes) {
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) std::swap(bytes[i], bytes[i + 2]);
}

}  // namespace tessary
