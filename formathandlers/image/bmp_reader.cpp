#include <algorithm>
#include <array>
#include <bit>

#include "formathandlers/image/bmp_codec.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

struct BmpHeader {
  std::uint32_t pixelOffset = 0;
  std::uint32_t headerSize = 0;
  std::uint32_t width = 0, height = 0;
  bool topDown = false;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = bmp::kRgb;
  std::uint32_t colours = 0;             // palette entries named by the header (0: all)
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  std::uint64_t paletteOffset = 0;
  std::uint64_t paletteEntrySize = 4;
};

bool KnownHeaderSize(std::uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

void ReadCoreHeader(const ByteReader& r, BmpHeader& h) {
  const std::uint64_t at = bmp::kFileHeaderSize;
  h.width = r.U16(at + 4);
  h.height = r.U16(at + 6);
  h.bitCount = r.U16(at + 10);
  h.paletteEntrySize = 3;
}

void ReadInfoHeader(const ByteReader& r, BmpHeader& h, const std::string& name) {
  const std::uint64_t at = bmp::kFileHeaderSize;
  const auto width = static_cast<std::int32_t>(r.U32(at + 4));
  const auto height = static_cast<std::int32_t>(r.U32(at + 8));
  if (width < 0) ThrowFormatError(name, "the width is negative");
  if (height == INT32_MIN) ThrowFormatError(name, "the height is out of range");
  h.width = static_cast<std::uint32_t>(width);
  h.topDown = height < 0;
  h.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  h.bitCount = r.U16(at + 14);
  h.compression = r.U32(at + 16);
  h.colours = r.U32(at + 32);
  if (h.compression == bmp::kBitFields || h.compression == bmp::kAlphaBitFields) {
    // Masks follow a 40-byte header, or are part of a larger one.
    for (std::uint64_t i = 0; i < 3; ++i) h.masks[i] = r.U32(at + 40 + 4 * i);
    if (h.headerSize == bmp::kInfoHeaderSize)
      h.paletteOffset += h.compression == bmp::kAlphaBitFields ? 16 : 12;
  }
}

void CheckCombination(const BmpHeader& h, const std::string& name) {
  const bool ok =
      (h.compression == bmp::kRgb && (h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 ||
                                      h.bitCount == 16 || h.bitCount == 24 || h.bitCount == 32)) ||
      (h.compression == bmp::kRle8 && h.bitCount == 8) ||
      (h.compression == bmp::kRle4 && h.bitCount == 4) ||
      ((h.compression == bmp::kBitFields || h.compression == bmp::kAlphaBitFields) &&
       (h.bitCount == 16 || h.bitCount == 32));
  if (!ok)
    ThrowFormatError(name, std::to_string(h.bitCount) + "-bit BMPs with compression " +
                               std::to_string(h.compression) + " are not supported");
}

BmpHeader ReadHeader(std::span<const std::uint8_t> file, const std::string& name) {
  const ByteReader r(file, name);
  if (file.size() < bmp::kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M')
    ThrowFormatError(name, "not a BMP file");
  BmpHeader h;
  h.pixelOffset = r.U32(10);
  h.headerSize = r.U32(bmp::kFileHeaderSize);
  if (!KnownHeaderSize(h.headerSize))
    ThrowFormatError(
        name, "BMP info headers of " + std::to_string(h.headerSize) + " bytes are not supported");
  if (!r.Has(bmp::kFileHeaderSize, h.headerSize))
    ThrowFormatError(name, "the BMP header is cut short");
  h.paletteOffset = bmp::kFileHeaderSize + h.headerSize;
  if (h.headerSize == bmp::kCoreHeaderSize)
    ReadCoreHeader(r, h);
  else
    ReadInfoHeader(r, h, name);
  CheckCombination(h, name);
  if (h.bitCount == 16 && h.compression == bmp::kRgb) h.masks = {0x7C00, 0x03E0, 0x001F};
  if (h.bitCount == 32 && h.compression == bmp::kRgb) h.masks = {0xFF0000, 0xFF00, 0xFF};
  return h;
}

std::vector<PaletteEntry> ReadPalette(const ByteReader& r, const BmpHeader& h,
                                      const std::string& name) {
  const std::uint32_t most = 1u << h.bitCount;
  const std::uint32_t count = h.colours == 0 || h.colours > most ? most : h.colours;
  if (!r.Has(h.paletteOffset, std::uint64_t{count} * h.paletteEntrySize))
    ThrowFormatError(name, "the colour table ends past the end of the file");
  std::vector<PaletteEntry> palette(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t at = h.paletteOffset + std::uint64_t{i} * h.paletteEntrySize;
    palette[i] = {r.U8(at + 2), r.U8(at + 1), r.U8(at)};
  }
  return palette;
}

// One colour channel of a mask: where it starts and how many bits it has.
struct Channel {
  unsigned shift = 0, bits = 0;
  std::uint8_t From(std::uint32_t pixel, std::uint32_t mask) const {
    if (bits == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    const std::uint32_t top = (1u << bits) - 1;
    return static_cast<std::uint8_t>((v * 255 + top / 2) / top);
  }
};

Channel ChannelOf(std::uint32_t mask, const std::string& name) {
  if (mask == 0) return {};
  const auto shift = static_cast<unsigned>(std::countr_zero(mask));
  const std::uint32_t bits = mask >> shift;
  if ((bits & (bits + 1)) != 0)
    ThrowFormatError(name, "a colour mask of the BMP is not contiguous");
  return {shift, static_cast<unsigned>(std::popcount(bits))};
}

void DecodeIndexedRow(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      unsigned bitCount) {
  if (bitCount == 8) {
    std::copy_n(in.begin(), out.size(), out.begin());
    return;
  }
  if (bitCount == 4) {
    for (std::size_t x = 0; x < out.size(); ++x)
      out[x] = static_cast<std::uint8_t>(x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0F);
    return;
  }
  for (std::size_t x = 0; x < out.size(); ++x) {
    const std::size_t bit = x * bitCount;
    const unsigned shift = 8 - bitCount - static_cast<unsigned>(bit % 8);
    out[x] = static_cast<std::uint8_t>((in[bit / 8] >> shift) & ((1u << bitCount) - 1));
  }
}

void DecodeDirectRow(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                     const BmpHeader& h, const std::array<Channel, 3>& channels) {
  const std::size_t width = out.size() / 3;
  if (h.bitCount == 24) {
    std::copy_n(in.begin(), out.size(), out.begin());
    return;
  }
  for (std::size_t x = 0; x < width; ++x) {
    const std::uint32_t pixel =
        h.bitCount == 16 ? LoadU16(in.data() + 2 * x) : LoadU32(in.data() + 4 * x);
    out[3 * x] = channels[2].From(pixel, h.masks[2]);
    out[3 * x + 1] = channels[1].From(pixel, h.masks[1]);
    out[3 * x + 2] = channels[0].From(pixel, h.masks[0]);
  }
}

void DecodeUncompressed(std::span<const std::uint8_t> file, const BmpHeader& h, Bitmap& bitmap,
                        const std::string& name) {
  const std::uint64_t used = (std::uint64_t{h.width} * h.bitCount + 7) / 8;
  const std::uint64_t stride = (std::uint64_t{h.width} * h.bitCount + 31) / 32 * 4;
  if (h.height > 0 && !FitsIn(file.size(), h.pixelOffset, stride * (h.height - 1) + used))
    ThrowFormatError(name, "the pixel rows end past the end of the file");
  std::array<Channel, 3> channels{};
  for (std::size_t i = 0; i < 3; ++i) channels[i] = ChannelOf(h.masks[i], name);
  for (std::uint32_t r = 0; r < h.height; ++r) {
    const auto in = file.subspan(h.pixelOffset + r * stride, used);
    const auto out = bitmap.Row(h.topDown ? r : h.height - 1 - r);
    if (h.bitCount <= 8)
      DecodeIndexedRow(in, out, h.bitCount);
    else
      DecodeDirectRow(in, out, h, channels);
  }
}

// RLE4 and RLE8: runs and absolute stretches of indices, rows bottom-up unless
// the height is negative. Pixels past a row's end are dropped; pixels the
// stream never reaches keep index 0.
void DecodeRle(std::span<const std::uint8_t> file, const BmpHeader& h, Bitmap& bitmap,
               const std::string& name) {
  if (h.pixelOffset > file.size())
    ThrowFormatError(name, "the pixel data starts past the end of the file");
  const bool four = h.compression == bmp::kRle4;
  std::uint64_t at = h.pixelOffset, x = 0, row = 0;
  const auto put = [&](std::uint8_t index) {
    if (x < h.width && row < h.height)
      bitmap.Row(static_cast<std::uint32_t>(h.topDown ? row : h.height - 1 - row))[x] = index;
    ++x;
  };
  while (row < h.height) {
    if (!FitsIn(file.size(), at, 2)) ThrowFormatError(name, "the compressed pixel data ends early");
    const std::uint8_t count = file[at], value = file[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i)
        put(four ? static_cast<std::uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
    } else if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (!FitsIn(file.size(), at, 2))
        ThrowFormatError(name, "the compressed pixel data ends early");
      x += file[at];
      row += file[at + 1];
      at += 2;
    } else {
      const std::uint64_t bytes = four ? (value + 1) / 2 : value;
      if (!FitsIn(file.size(), at, bytes))
        ThrowFormatError(name, "the compressed pixel data ends early");
      for (unsigned i = 0; i < value; ++i)
        put(four ? static_cast<std::uint8_t>(i % 2 == 0 ? file[at + i / 2] >> 4
                                                        : file[at + i / 2] & 0x0F)
                 : file[at + i]);
      at += (bytes + 1) / 2 * 2;  // absolute stretches end on a word boundary
    }
  }
}

}  // namespace

BmpSize ReadBmpSize(std::span<const std::uint8_t> file, const std::string& name) {
  const BmpHeader h = ReadHeader(file, name);
  return {h.width, h.height};
}

Bitmap DecodeBmp(std::span<const std::uint8_t> file, const std::string& name,
                 std::uint64_t maxPixels) {
  const BmpHeader h = ReadHeader(file, name);
  // An empty side counts as 1, so that rows of no pixels cannot be many.
  if (std::max<std::uint64_t>(h.width, 1) * std::max<std::uint64_t>(h.height, 1) > maxPixels)
    ThrowFormatError(name, "a bitmap of " + std::to_string(h.width) + " x " +
                               std::to_string(h.height) + " pixels is too large");
  const bool indexed = h.bitCount <= 8;
  Bitmap bitmap(h.width, h.height, indexed ? PixelDepth::Indexed8 : PixelDepth::Direct24);
  if (indexed) bitmap.palette = ReadPalette(ByteReader(file, name), h, name);
  if (h.compression == bmp::kRle4 || h.compression == bmp::kRle8)
    DecodeRle(file, h, bitmap, name);
  else
    DecodeUncompressed(file, h, bitmap, name);
  return bitmap;
}

}  // namespace tessary
