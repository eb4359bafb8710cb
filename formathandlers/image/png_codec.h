// PNG files through libspng: indexed bitmaps as palette PNGs (bit depth 4 or
// 8, the palette laid out as the BMP colour table, a tRNS chunk when an entry
// is not opaque), direct ones as 24-bit RGB, or RGBA when they have an alpha
// plane; and every standard PNG read back (palette 1/2/4/8 keeping its
// indices, grey, RGB, RGBA, 16-bit channels reduced, interlaced or not), with
// its transparency in the palette's alpha or the alpha plane.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formathandlers/image/bitmap.h"
#include "formathandlers/image/bmp_codec.h"
#include "misc/byte_buffer.h"

namespace tessary {

// True when this build can read and write PNG files.
bool PngSupported();
// True when `file` starts with the PNG signature.
bool LooksLikePng(std::span<const std::uint8_t> file);

// The PNG file of a bitmap of at least one pixel; 15-bit bitmaps are drawn
// onto 24 bits first.
ByteBuffer EncodePng(const Bitmap& bitmap, const std::string& name);

BmpSize ReadPngSize(std::span<const std::uint8_t> file, const std::string& name);
// Palette PNGs become Indexed8 bitmaps with their palette, the others
// Direct24. Damaged files and images past `maxPixels` are refused with a
// FormatError naming the file.
Bitmap DecodePng(std::span<const std::uint8_t> file, const std::string& name,
                 std::uint64_t maxPixels = bmp::kMaxPixels);

// A bitmap file by its content: PNG or BMP.
BmpSize ReadImageSize(std::span<const std::uint8_t> file, const std::string& name);
Bitmap DecodeImage(std::span<const std::uint8_t> file, const std::string& name,
                   std::uint64_t maxPixels = bmp::kMaxPixels);

}  // namespace tessary
