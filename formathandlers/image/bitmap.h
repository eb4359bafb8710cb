// The in-memory bitmap the image converters work on.
//
// Rows are counted from the top and stored without padding. Row layouts:
//   Indexed4  two pixels per byte, the left pixel in the high nibble
//   Indexed8  one palette index per byte
//   Direct15  one little-endian word per pixel: blue bits 0-4, green 5-9,
//             red 10-14, bit 15 unused
//   Direct24  three bytes per pixel: blue, green, red
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessary {

enum class PixelDepth : std::uint8_t { Indexed4 = 4, Indexed8 = 8, Direct15 = 15, Direct24 = 24 };

struct PaletteEntry {
  std::uint8_t red = 0, green = 0, blue = 0;
  std::uint8_t alpha = 255;  // 0: transparent (only where transparency is asked for)
  bool operator==(const PaletteEntry&) const = default;
};

class Bitmap final {
 public:
  Bitmap() = default;
  Bitmap(std::uint32_t width, std::uint32_t height, PixelDepth depth);

  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }
  PixelDepth Depth() const { return depth_; }
  bool Indexed() const { return depth_ == PixelDepth::Indexed4 || depth_ == PixelDepth::Indexed8; }
  // Bytes of one row without padding.
  std::size_t RowBytes() const { return rowBytes_; }
  std::span<std::uint8_t> Row(std::uint32_t row) {
    return {pixels_.data() + row * rowBytes_, rowBytes_};
  }
  std::span<const std::uint8_t> Row(std::uint32_t row) const {
    return {pixels_.data() + row * rowBytes_, rowBytes_};
  }

  // The palette of the indexed depths; indices past its end show black.
  std::vector<PaletteEntry> palette;
  // The direct depths' opacity, one byte a pixel row by row (0 transparent,
  // 255 opaque); empty when every pixel is opaque.
  std::vector<std::uint8_t> alpha;
  // The opacity of pixel (x, y): from `alpha`, or from the palette entry of
  // an indexed pixel.
  std::uint8_t AlphaAt(std::uint32_t x, std::uint32_t y) const;

 private:
  std::uint32_t width_ = 0, height_ = 0;
  PixelDepth depth_ = PixelDepth::Direct24;
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> pixels_;
};

// Bytes of an unpadded row of `width` pixels at `depth`.
std::size_t RowBytesOf(std::uint32_t width, PixelDepth depth);

// A 5-bit colour component widened to 8 bits (the top bits repeated in the low
// ones, so 31 becomes 255); dropping the three low bits gives it back.
constexpr std::uint8_t Widen5(std::uint32_t v) {
  return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}

// Row y of a 15-bit bitmap drawn as 24-bit pixels (blue, green, red) into
// `to`, which holds Width() * 3 bytes: for writers that convert row by row.
void Draw15BitRowAs24(const Bitmap& source, std::uint32_t y, std::uint8_t* to);

// Draws `source` onto a new bitmap of a direct depth: indexed pixels take
// their palette colours, 15-bit components are widened, 24-bit components
// narrowed by dropping their three low bits. Transparency goes along: the
// alpha plane, or the palette entries' alpha as one.
Bitmap ConvertToDirect(const Bitmap& source, PixelDepth depth);

}  // namespace tessary
