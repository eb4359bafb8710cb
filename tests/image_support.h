// Test helpers for decoded bitmaps: pixel colours as "#RRGGBB" text, and the
// committed test pictures.
#pragma once

#include <cstdio>
#include <string>

#include "formathandlers/image/bitmap.h"

namespace tessary::testing {

inline std::string TestDataFile(const std::string& relative) {
  return std::string(TESSARY_TEST_DATA) + "/" + relative;
}

// The colour of a decoded pixel (an Indexed8 or Direct24 bitmap) as "#RRGGBB".
inline std::string ColourAt(const Bitmap& bitmap, std::uint32_t x, std::uint32_t y) {
  PaletteEntry c{};
  const auto row = bitmap.Row(y);
  if (bitmap.Depth() == PixelDepth::Indexed8)
    c = bitmap.palette.at(row[x]);
  else
    c = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.red, c.green, c.blue);
  return text;
}

// The whole picture, one line per row, as the reference files hold it.
inline std::string Picture(const Bitmap& bitmap) {
  std::string out;
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y) {
    for (std::uint32_t x = 0; x < bitmap.Width(); ++x) {
      if (x > 0) out += ' ';
      out += ColourAt(bitmap, x, y);
    }
    out += "\n";
  }
  return out;
}

}  // namespace tessary::testing
