#include <algorithm>

#include "formathandlers/image/bmp_codec.h"
#include "misc/byte_reader.h"

namespace tessary {

// A 15-bit bitmap is written as 24 bits, each row converted straight into
// the file's buffer (no second image in memory).
ByteBuffer EncodeBmp(const Bitmap& source) {
  const bool widen = source.Depth() == PixelDepth::Direct15;
  const std::size_t rowBytes = widen ? std::size_t{source.Width()} * 3 : source.RowBytes();
  const std::size_t tableEntries = source.Depth() == PixelDepth::Indexed4   ? 16
                                   : source.Depth() == PixelDepth::Indexed8 ? 256
                                                                            : 0;
  const std::size_t stride = (rowBytes + 3) / 4 * 4;  // rows padded to 4 bytes
  const std::size_t pixelOffset = bmp::kFileHeaderSize + bmp::kInfoHeaderSize + 4 * tableEntries;
  const std::size_t imageSize = stride * source.Height();
  ByteBuffer out(pixelOffset + imageSize, 0);

  out[0] = 'B';
  out[1] = 'M';
  StoreU32(out.data() + 2, static_cast<std::uint32_t>(out.size()));
  StoreU32(out.data() + 10, static_cast<std::uint32_t>(pixelOffset));
  std::uint8_t* info = out.data() + bmp::kFileHeaderSize;
  StoreU32(info, bmp::kInfoHeaderSize);
  StoreU32(info + 4, source.Width());
  StoreU32(info + 8, source.Height());
  StoreU16(info + 12, 1);
  StoreU16(info + 14, static_cast<std::uint16_t>(widen ? 24 : static_cast<int>(source.Depth())));
  StoreU32(info + 16, bmp::kRgb);
  StoreU32(info + 20, static_cast<std::uint32_t>(imageSize));
  StoreU32(info + 32, static_cast<std::uint32_t>(tableEntries));

  // The palette's first entries, then black.
  const std::size_t table = bmp::kFileHeaderSize + bmp::kInfoHeaderSize;
  const std::size_t given = std::min(tableEntries, source.palette.size());
  for (std::size_t i = 0; i < given; ++i) {
    out[table + 4 * i] = source.palette[i].blue;
    out[table + 4 * i + 1] = source.palette[i].green;
    out[table + 4 * i + 2] = source.palette[i].red;
  }
  // Rows bottom-up: the last row first.
  for (std::uint32_t y = 0; y < source.Height(); ++y) {
    std::uint8_t* to = out.data() + pixelOffset + (source.Height() - 1 - y) * stride;
    if (widen) {
      Draw15BitRowAs24(source, y, to);
      continue;
    }
    const auto row = source.Row(y);
    std::copy(row.begin(), row.end(), to);
  }
  return out;
}

}  // namespace tessary
