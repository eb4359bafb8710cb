#include "formathandlers/tim/bmp_to_tim.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "batch/result_log.h"
#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// A TIM image's pixels and CLUT each fit the console's 1 MiB of video memory:
// a source far larger is no TIM and is not read into memory whole.
constexpr std::uint64_t kMaxTimFileSize = std::uint64_t{64} << 20;

std::string PixelLabel(const std::string& name, std::uint32_t x, std::uint32_t y) {
  return name + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

std::string HexColour(const PaletteEntry& c) {
  if (c.alpha == 0) return "transparent";
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red, c.green, c.blue);
  return text;
}

// How the indices of a palette bitmap become CLUT indices: unchanged when its
// palette shows the CLUT's colours in the CLUT's order (as conversion wrote
// it); otherwise by colour, since paint programs re-order palettes without
// changing the picture (empty: unchanged).
std::vector<int> PaletteRemap(const std::vector<PaletteEntry>& palette,
                              const std::vector<PaletteEntry>& colours) {
  const std::size_t common = std::min(palette.size(), colours.size());
  if (std::equal(palette.begin(), palette.begin() + static_cast<std::ptrdiff_t>(common),
                 colours.begin()))
    return {};
  std::vector<int> remap(palette.size(), -1);  // -1: a colour the CLUT lacks
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const auto at = std::find(colours.begin(), colours.end(), palette[i]);
    if (at != colours.end()) remap[i] = static_cast<int>(at - colours.begin());
  }
  return remap;
}

[[noreturn]] void ForeignColour(const std::string& name, std::uint32_t x, std::uint32_t y,
                                const PaletteEntry& colour) {
  throw FormatError(PixelLabel(name, x, y) + " has the colour " + HexColour(colour) +
                    (colour.alpha == 0 ? ", but the TIM's CLUT has no colour 0x0000"
                                       : ", which is not a colour of the TIM's CLUT"));
}

// A colour as the CLUT's colours are compared: without transparency every
// colour is opaque; with it, alpha 0 is the one transparent colour and any
// other alpha opaque.
PaletteEntry Comparable(PaletteEntry c, bool transparency) {
  if (transparency && c.alpha == 0) return {0, 0, 0, 0};
  c.alpha = 255;
  return c;
}

std::vector<PaletteEntry> ComparablePalette(std::vector<PaletteEntry> palette, bool transparency) {
  for (PaletteEntry& entry : palette) entry = Comparable(entry, transparency);
  return palette;
}

// The CLUT index of a palette bitmap's pixel: its own index, or the CLUT
// entry of its palette colour (see PaletteRemap).
std::uint8_t IndexOfPixel(const Bitmap& bitmap, const std::vector<int>& remap, std::uint32_t x,
                          std::uint32_t y, std::uint32_t limit, const std::string& name) {
  const std::uint8_t index = bitmap.Row(y)[x];
  if (remap.empty()) {
    if (index >= limit)
      throw FormatError(PixelLabel(name, x, y) + " has index " + std::to_string(index) +
                        "; a 4-bit TIM has 16 colours");
    return index;
  }
  if (index >= remap.size())
    throw FormatError(PixelLabel(name, x, y) + " has index " + std::to_string(index) +
                      ", past the end of its palette");
  if (remap[index] < 0) ForeignColour(name, x, y, bitmap.palette[index]);
  return static_cast<std::uint8_t>(remap[index]);
}

// The CLUT index of every pixel: for a palette bitmap see IndexOfPixel, for a
// truecolour bitmap the first CLUT entry of exactly its colour.
struct IndexedSource {
  const Bitmap& bitmap;
  const std::vector<PaletteEntry>& colours;  // the CLUT's, comparable
  const std::vector<int>& remap;
  std::uint32_t limit;  // 16 or 256
  bool transparency;
};

void IndicesOfRow(const IndexedSource& in, std::uint32_t y, const std::string& name,
                  std::vector<std::uint8_t>& indices) {
  const Bitmap& bitmap = in.bitmap;
  const auto& colours = in.colours;
  const auto row = bitmap.Row(y);
  for (std::uint32_t x = 0; x < bitmap.Width(); ++x) {
    if (bitmap.Indexed()) {
      indices[x] = IndexOfPixel(bitmap, in.remap, x, y, in.limit, name);
      continue;
    }
    const PaletteEntry colour = Comparable(
        {row[3 * x + 2], row[3 * x + 1], row[3 * x], bitmap.AlphaAt(x, y)}, in.transparency);
    const auto at = std::find(colours.begin(), colours.end(), colour);
    if (at == colours.end()) ForeignColour(name, x, y, colour);
    indices[x] = static_cast<std::uint8_t>(at - colours.begin());
  }
}

void IndexedRows(const Bitmap& bitmap, const TimImage& image, const std::string& name,
                 bool transparency, ByteBuffer& out) {
  const bool four = image.mode == TimPixelMode::Clut4;
  // The CLUT colours the indices of the mode can select, as the bitmap shows them.
  const auto colours = ClutPalette(image.clut, four ? 16 : 256, transparency);
  const std::vector<int> remap =
      bitmap.Indexed() ? PaletteRemap(ComparablePalette(bitmap.palette, transparency), colours)
                       : std::vector<int>();
  const IndexedSource source{bitmap, colours, remap, four ? 16u : 256u, transparency};
  std::vector<std::uint8_t> indices(bitmap.Width());
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y) {
    IndicesOfRow(source, y, name, indices);
    std::uint8_t* to = out.data() + y * image.rowBytes;
    if (!four) {
      std::copy(indices.begin(), indices.end(), to);
      continue;
    }
    for (std::size_t x = 0; x + 1 < indices.size(); x += 2)  // the left pixel in the low nibble
      to[x / 2] = static_cast<std::uint8_t>(indices[x] | indices[x + 1] << 4);
  }
}

// A 16-bit pixel's word with transparency: alpha 0 is 0x0000, the one word
// the console does not draw; opaque black becomes 0x8000, which it draws.
std::uint16_t WithTransparency(std::uint16_t word, std::uint8_t alpha) {
  if (alpha == 0) return 0;
  return word == 0 ? 0x8000 : word;
}

void DirectRows(const Bitmap& bitmap, const TimImage& image, ByteBuffer& out,
                std::span<const std::uint8_t> previous, bool transparency) {
  const Bitmap colours = bitmap.Depth() == PixelDepth::Direct24
                             ? Bitmap()
                             : ConvertToDirect(bitmap, PixelDepth::Direct24);
  const Bitmap& source = bitmap.Depth() == PixelDepth::Direct24 ? bitmap : colours;
  for (std::uint32_t y = 0; y < source.Height(); ++y) {
    const auto row = source.Row(y);
    std::uint8_t* to = out.data() + y * image.rowBytes;
    for (std::uint32_t x = 0; x < source.Width(); ++x) {
      const std::uint8_t blue = row[3 * x], green = row[3 * x + 1], red = row[3 * x + 2];
      if (image.mode == TimPixelMode::Direct24) {
        to[3 * x] = red;
        to[3 * x + 1] = green;
        to[3 * x + 2] = blue;
      } else {  // red in bits 0-4, green 5-9, blue 10-14, STP clear
        auto word = static_cast<std::uint16_t>((red >> 3) | (green >> 3) << 5 | (blue >> 3) << 10);
        const std::size_t at = static_cast<std::size_t>(to - out.data()) + 2 * x;
        if (at + 2 <= previous.size() && (LoadU16(previous.data() + at) & 0x7FFF) == word)
          word = LoadU16(previous.data() + at);  // unchanged: its STP bit stays
        if (transparency) word = WithTransparency(word, source.AlphaAt(x, y));
        StoreU16(to + 2 * x, word);
      }
    }
  }
}

}  // namespace

ByteBuffer TimPixelsFromBitmap(const Bitmap& bitmap, const TimImage& image,
                               const std::string& bitmapName,
                               std::span<const std::uint8_t> previousPixels, bool transparency) {
  ByteBuffer out(static_cast<std::size_t>(image.rowBytes * image.height));
  if (image.mode == TimPixelMode::Clut4 || image.mode == TimPixelMode::Clut8)
    IndexedRows(bitmap, image, bitmapName, transparency, out);
  else
    DirectRows(bitmap, image, out, previousPixels, transparency);
  return out;
}

std::size_t BmpToTim(ProcessContext& ctx, const std::string&, std::size_t index) {
  const std::string& line = ctx.TakeLogLine(index);
  const std::string bitmapPath = ctx.FromLogFolder(BitmapTargetPath(line));
  if (bitmapPath.empty() || !PathExists(bitmapPath)) {
    ctx.Plan.AddSilentSkip();  // no result line for a missing bitmap
    return index + 1;
  }
  const std::string bitmapName = FileNameOf(bitmapPath);
  ctx.Status.SetCurrentMessage("Converting " + bitmapName + " ...");
  ctx.Status.PumpEvents();

  FileStream& tim = ctx.Source();
  if (tim.Size() > kMaxTimFileSize)
    ThrowFormatError(FileNameOf(ctx.SourcePath),
                     std::to_string(tim.Size()) + " bytes is too large for a TIM image");
  ByteBuffer timBytes(static_cast<std::size_t>(tim.Size()));
  tim.Seek(0);
  tim.ReadExact(timBytes);
  const TimImage image = ReadTimImage(timBytes, FileNameOf(ctx.SourcePath), false);
  // BMP or PNG, by content.
  const ByteBuffer bmpBytes = LoadBytes(bitmapPath);
  const BmpSize size = ReadImageSize(bmpBytes, bitmapName);
  if (size.width != image.pixelWidth || size.height != image.height)
    throw FormatError(bitmapName + " is " + std::to_string(size.width) + " x " +
                      std::to_string(size.height) + " pixels, the image of " +
                      FileNameOf(ctx.SourcePath) + " is " + std::to_string(image.pixelWidth) +
                      " x " + std::to_string(image.height));
  std::span<const std::uint8_t> previous;
  if (ctx.KeepStp && image.pixelOffset <= timBytes.size())
    previous = std::span<const std::uint8_t>(timBytes).subspan(image.pixelOffset);
  auto pixels = std::make_shared<const ByteBuffer>(TimPixelsFromBitmap(
      DecodeImage(bmpBytes, bitmapName), image, bitmapName, previous, ctx.Alpha));

  // The pixel data and everything after it, which the write cuts off.
  const std::uint64_t offset = image.pixelOffset;
  const std::uint64_t end = std::max<std::uint64_t>(timBytes.size(), offset + pixels->size());
  const std::string label = ctx.LogLineLabel();
  ctx.Plan.Claim(tim, {offset, end - offset}, label);
  ctx.Plan.AddWrite(
      label,
      [&tim, offset, pixels] {
        tim.Seek(offset);
        tim.Write(*pixels);
        tim.Truncate();  // bytes after the pixel data go
      },
      bitmapName + " converted.");
  return index + 1;
}

}  // namespace tessary
