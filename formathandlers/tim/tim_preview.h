// A TIM image as the viewer shows it: its pixels in RGBA as the console draws
// them with one CLUT row, and what its block headers say.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formathandlers/tim/tim_bitmap.h"

namespace tessary {

struct Rgba {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;  // alpha 0: transparent
  bool operator==(const Rgba&) const = default;
};
static_assert(sizeof(Rgba) == 4, "pixels are handed on as packed RGBA bytes");

struct TimPreview {
  TimPixelMode mode = TimPixelMode::Clut4;
  std::uint32_t width = 0, height = 0;  // in pixels
  // Position in video memory, size in 16-bit units and length of each block.
  TimImage::Block imageBlock;
  std::optional<TimImage::Block> clutBlock;
  // The CLUT of modes 0 and 1 in rows of 16 or 256 colours (a short last row
  // filled up with opaque black); empty for modes 2 and 3, which use none.
  std::vector<std::vector<Rgba>> clutRows;
  std::size_t shownRow = 0;  // the CLUT row the pixels are drawn with
  // Rows from the top, `width` pixels each.
  std::vector<Rgba> pixels;

  Rgba Pixel(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
};

// The colour of a 16-bit colour word: 0x0000 is transparent, every other word
// opaque (the STP bit aside), each 5-bit component widened to 8 bits.
Rgba ColourOfWord(std::uint16_t word);

// Decodes a whole TIM file for display. Modes 0 and 1 take their colours from
// CLUT row `clutRow` (a TIM of those modes without a CLUT shows its indices as
// grey levels); mode 3 pixels are opaque. Malformed files, a row past the
// CLUT's last and images too large to show are refused with a FormatError
// naming `name`.
TimPreview PreviewTim(std::span<const std::uint8_t> tim, const std::string& name,
                      std::size_t clutRow);

}  // namespace tessary
