#include "formathandlers/image/bitmap.h"

#include <algorithm>

#include "misc/byte_reader.h"

namespace tessary {

namespace {

struct Bgr {
  std::uint8_t blue, green, red;
};

void PutPixel(std::uint8_t* row, std::uint32_t x, PixelDepth depth, Bgr c) {
  if (depth == PixelDepth::Direct15) {
    StoreU16(row + 2 * x,
             static_cast<std::uint16_t>((c.blue >> 3) | (c.green >> 3) << 5 | (c.red >> 3) << 10));
  } else {
    row[3 * x] = c.blue;
    row[3 * x + 1] = c.green;
    row[3 * x + 2] = c.red;
  }
}

// The 16 or 256 palette colours as blue, green, red; black past its end.
std::vector<Bgr> ColoursOf(const Bitmap& bitmap) {
  std::vector<Bgr> colours(bitmap.Depth() == PixelDepth::Indexed4 ? 16 : 256, Bgr{0, 0, 0});
  for (std::size_t i = 0; i < colours.size() && i < bitmap.palette.size(); ++i)
    colours[i] = {bitmap.palette[i].blue, bitmap.palette[i].green, bitmap.palette[i].red};
  return colours;
}

// One row, with the source depth's loop chosen once per row.
void ConvertRow(const Bitmap& source, std::span<const std::uint8_t> from, std::uint8_t* to,
                PixelDepth depth, const std::vector<Bgr>& colours) {
  const std::uint32_t width = source.Width();
  switch (source.Depth()) {
    case PixelDepth::Indexed4:
      for (std::uint32_t x = 0; x < width; ++x)
        PutPixel(to, x, depth, colours[(x % 2 == 0) ? from[x / 2] >> 4 : from[x / 2] & 0x0F]);
      break;
    case PixelDepth::Indexed8:
      for (std::uint32_t x = 0; x < width; ++x) PutPixel(to, x, depth, colours[from[x]]);
      break;
    case PixelDepth::Direct15:
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint16_t v = LoadU16(from.data() + 2 * x);
        PutPixel(to, x, depth,
                 {Widen5(v & 0x1F), Widen5((v >> 5) & 0x1F), Widen5((v >> 10) & 0x1F)});
      }
      break;
    case PixelDepth::Direct24:
      for (std::uint32_t x = 0; x < width; ++x)
        PutPixel(to, x, depth, {from[3 * x], from[3 * x + 1], from[3 * x + 2]});
      break;
  }
}

}  // namespace

std::size_t RowBytesOf(std::uint32_t width, PixelDepth depth) {
  // The depth's number of bits a pixel, but a whole word for 15 bits.
  const std::size_t bits = depth == PixelDepth::Direct15 ? 16 : static_cast<std::size_t>(depth);
  return (static_cast<std::size_t>(width) * bits + 7) / 8;
}

Bitmap::Bitmap(std::uint32_t width, std::uint32_t height, PixelDepth depth)
    : width_(width),
      height_(height),
      depth_(depth),
      rowBytes_(RowBytesOf(width, depth)),
      pixels_(rowBytes_ * height) {}

void Draw15BitRowAs24(const Bitmap& source, std::uint32_t y, std::uint8_t* to) {
  ConvertRow(source, source.Row(y), to, PixelDepth::Direct24, {});
}

std::uint8_t Bitmap::AlphaAt(std::uint32_t x, std::uint32_t y) const {
  if (!Indexed()) return alpha.empty() ? 255 : alpha[static_cast<std::size_t>(y) * width_ + x];
  const std::uint8_t byte = Row(y)[depth_ == PixelDepth::Indexed4 ? x / 2 : x];
  const unsigned index = depth_ != PixelDepth::Indexed4 ? byte : x % 2 == 0 ? byte >> 4 : byte & 15;
  return index < palette.size() ? palette[index].alpha : 255;
}

Bitmap ConvertToDirect(const Bitmap& source, PixelDepth depth) {
  Bitmap target(source.Width(), source.Height(), depth);
  const std::vector<Bgr> colours = source.Indexed() ? ColoursOf(source) : std::vector<Bgr>();
  for (std::uint32_t y = 0; y < source.Height(); ++y)
    ConvertRow(source, source.Row(y), target.Row(y).data(), depth, colours);
  target.alpha = source.alpha;
  const bool seeThrough = std::any_of(source.palette.begin(), source.palette.end(),
                                      [](const PaletteEntry& e) { return e.alpha != 255; });
  if (source.Indexed() && seeThrough) {
    target.alpha.resize(static_cast<std::size_t>(source.Width()) * source.Height());
    for (std::uint32_t y = 0; y < source.Height(); ++y)
      for (std::uint32_t x = 0; x < source.Width(); ++x)
        target.alpha[static_cast<std::size_t>(y) * source.Width() + x] = source.AlphaAt(x, y);
  }
  return target;
}

}  // namespace tessary
