// Windows BMP files: the writer of the converters and a reader for what paint
// programs save.
//
// Written: the 14-byte file header "BM", the 40-byte info header, a colour
// table of exactly 16 (4-bit) or 256 (8-bit) entries (the palette first, then
// black), and the rows bottom-up, each padded to 4 bytes.
//
// Read: 1, 4, 8, 16, 24 and 32 bits per pixel; uncompressed, RLE4, RLE8 and
// BITFIELDS; bottom-up and top-down; info headers of 12, 40, 52, 56, 108 and
// 124 bytes. Indexed files become Indexed8 bitmaps with their palette, the
// others Direct24. Anything else, and any field that points outside the file,
// is refused with a FormatError naming the file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formathandlers/image/bitmap.h"
#include "misc/byte_buffer.h"

namespace tessary {

namespace bmp {
inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kInfoHeaderSize = 40;
inline constexpr std::size_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kRgb = 0;
inline constexpr std::uint32_t kRle8 = 1;
inline constexpr std::uint32_t kRle4 = 2;
inline constexpr std::uint32_t kBitFields = 3;
inline constexpr std::uint32_t kAlphaBitFields = 6;
// Larger images are refused before anything is allocated for them.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;
}  // namespace bmp

// The BMP file of a bitmap of depth 4, 8 or 24 (15 is drawn onto 24 first).
ByteBuffer EncodeBmp(const Bitmap& bitmap);

// Width and height of a BMP file, read from its headers only.
struct BmpSize {
  std::uint32_t width = 0, height = 0;
};
BmpSize ReadBmpSize(std::span<const std::uint8_t> file, const std::string& name);

Bitmap DecodeBmp(std::span<const std::uint8_t> file, const std::string& name,
                 std::uint64_t maxPixels = bmp::kMaxPixels);

}  // namespace tessary
