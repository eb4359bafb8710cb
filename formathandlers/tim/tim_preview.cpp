#include "formathandlers/tim/tim_preview.h"

#include <algorithm>

#include "formathandlers/image/bitmap.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"

namespace tessary {

namespace {

// Video memory holds at most 2M pixels (1024 x 512 words of four 4-bit
// pixels); a picture far larger is no game image, and drawing it would only
// exhaust memory.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 24;

bool UsesClut(TimPixelMode mode) {
  return mode == TimPixelMode::Clut4 || mode == TimPixelMode::Clut8;
}

std::size_t ColoursPerRow(TimPixelMode mode) {
  return mode == TimPixelMode::Clut4 ? 16 : 256;
}

std::vector<std::vector<Rgba>> ClutRows(const TimImage& image) {
  std::vector<std::vector<Rgba>> rows;
  if (!UsesClut(image.mode)) return rows;
  const std::size_t perRow = ColoursPerRow(image.mode);
  for (std::size_t start = 0; start < image.clut.size(); start += perRow) {
    std::vector<Rgba> row(perRow);  // opaque black where the CLUT ends early
    const std::size_t n = std::min(perRow, image.clut.size() - start);
    const auto from = image.clut.begin() + static_cast<std::ptrdiff_t>(start);
    std::transform(from, from + static_cast<std::ptrdiff_t>(n), row.begin(), ColourOfWord);
    rows.push_back(std::move(row));
  }
  return rows;
}

// Without a CLUT the indices still show the picture's shapes as grey levels.
std::vector<Rgba> GreyLevels(std::size_t count) {
  std::vector<Rgba> greys(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto level = static_cast<std::uint8_t>(i * 255 / (count - 1));
    greys[i] = {level, level, level, 255};
  }
  return greys;
}

void CheckRow(const TimPreview& preview, std::size_t row, const std::string& name) {
  const std::size_t rows = preview.clutRows.size();
  if (row == 0 || row < rows) return;
  ThrowFormatError(name, "there is no CLUT row " + std::to_string(row) + " (" +
                             (rows == 0 ? std::string("the image uses no CLUT rows")
                                        : "its rows are 0 to " + std::to_string(rows - 1)) +
                             ")");
}

// Pixel x of a row in the image's mode; `colours` holds 16 or 256 entries for
// the indexed modes.
Rgba PixelOf(const std::uint8_t* row, std::uint32_t x, TimPixelMode mode,
             const std::vector<Rgba>& colours) {
  switch (mode) {
    case TimPixelMode::Clut4:  // the left pixel in the low nibble
      return colours[(row[x / 2] >> (x % 2 == 0 ? 0 : 4)) & 0x0F];
    case TimPixelMode::Clut8:
      return colours[row[x]];
    case TimPixelMode::Direct16:
      return ColourOfWord(LoadU16(row + 2 * x));
    case TimPixelMode::Direct24:  // red, green, blue
      return {row[3 * x], row[3 * x + 1], row[3 * x + 2], 255};
  }
  return {};
}

}  // namespace

Rgba ColourOfWord(std::uint16_t word) {
  return {Widen5(word & 0x1Fu), Widen5((word >> 5) & 0x1Fu), Widen5((word >> 10) & 0x1Fu),
          static_cast<std::uint8_t>(word == 0 ? 0 : 255)};
}

TimPreview PreviewTim(std::span<const std::uint8_t> tim, const std::string& name,
                      std::size_t clutRow) {
  // With rows: every pixel row read below lies inside `tim`.
  const TimImage image = ReadTimImage(tim, name, true);
  if (std::uint64_t{image.pixelWidth} * image.height > kMaxPixels)
    ThrowFormatError(name, std::to_string(image.pixelWidth) + " x " + std::to_string(image.height) +
                               " pixels is too large to show");
  TimPreview preview{.mode = image.mode,
                     .width = image.pixelWidth,
                     .height = image.height,
                     .imageBlock = image.imageBlock,
                     .clutBlock = image.clutBlock,
                     .clutRows = ClutRows(image),
                     .shownRow = clutRow,
                     .pixels = {}};
  CheckRow(preview, clutRow, name);
  std::vector<Rgba> colours;
  if (UsesClut(image.mode))
    colours = preview.clutRows.empty() ? GreyLevels(ColoursPerRow(image.mode))
                                       : preview.clutRows[clutRow];
  preview.pixels.resize(std::size_t{image.pixelWidth} * image.height);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* row = tim.data() + image.pixelOffset + y * image.rowBytes;
    for (std::uint32_t x = 0; x < image.pixelWidth; ++x)
      preview.pixels[std::size_t{y} * image.pixelWidth + x] = PixelOf(row, x, image.mode, colours);
  }
  return preview;
}

}  // namespace tessary
