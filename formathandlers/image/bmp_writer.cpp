#include <algorithm>

#include "formathandlers/image/bmp_codec.h"
#include "misc/byte_reader.h"

namespace tessary {

namespace {

std::size_t PaddedRowBytes(const Bitmap& bitmap) {
  return (bitmap.RowBytes() + 3) / 4 * 4;
}

std::uint16_t BitCountOf(PixelDepth depth) {
  switch (depth) {
    case PixelDepth::Indexed4:
      return 4;
    case PixelDepth::Indexed8:
      return 8;
    default:
      return 24;
  }
}

void PutU32At(ByteBuffer& out, std::size_t at, std::uint32_t v) {
  StoreU32(out.data() + at, v);
}
void PutU16At(ByteBuffer& out, std::size_t at, std::uint16_t v) {
  StoreU16(out.data() + at, v);
}

}  // namespace

ByteBuffer EncodeBmp(const Bitmap& source) {
  if (source.Depth() == PixelDepth::Direct15)
    return EncodeBmp(ConvertToDirect(source, PixelDepth::Direct24));
  const std::size_t tableEntries = source.Depth() == PixelDepth::Indexed4   ? 16
                                   : source.Depth() == PixelDepth::Indexed8 ? 256
                                                                            : 0;
  const std::size_t stride = PaddedRowBytes(source);
  const std::size_t pixelOffset = bmp::kFileHeaderSize + bmp::kInfoHeaderSize + 4 * tableEntries;
  const std::size_t imageSize = stride * source.Height();
  ByteBuffer out(pixelOffset + imageSize, 0);

  out[0] = 'B';
  out[1] = 'M';
  PutU32At(out, 2, static_cast<std::uint32_t>(out.size()));
  PutU32At(out, 10, static_cast<std::uint32_t>(pixelOffset));
  const std::size_t info = bmp::kFileHeaderSize;
  PutU32At(out, info, bmp::kInfoHeaderSize);
  PutU32At(out, info + 4, source.Width());
  PutU32At(out, info + 8, source.Height());
  PutU16At(out, info + 12, 1);
  PutU16At(out, info + 14, BitCountOf(source.Depth()));
  PutU32At(out, info + 16, bmp::kRgb);
  PutU32At(out, info + 20, static_cast<std::uint32_t>(imageSize));
  PutU32At(out, info + 32, static_cast<std::uint32_t>(tableEntries));

  // The palette's first entries, then black.
  const std::size_t table = info + bmp::kInfoHeaderSize;
  const std::size_t given = std::min(tableEntries, source.palette.size());
  for (std::size_t i = 0; i < given; ++i) {
    out[table + 4 * i] = source.palette[i].blue;
    out[table + 4 * i + 1] = source.palette[i].green;
    out[table + 4 * i + 2] = source.palette[i].red;
  }
  // Rows bottom-up: the last row first.
  for (std::uint32_t y = 0; y < source.Height(); ++y) {
    const auto row = source.Row(y);
    std::copy(row.begin(), row.end(),
              out.begin() +
                  static_cast<std::ptrdiff_t>(pixelOffset + (source.Height() - 1 - y) * stride));
  }
  return out;
}

}  // namespace tessary
