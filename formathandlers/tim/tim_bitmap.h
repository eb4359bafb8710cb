// TIM images as bitmaps: the reader of the converters and its row helpers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formathandlers/image/bitmap.h"
#include "misc/byte_buffer.h"

namespace tessary {

enum class TimPixelMode : std::uint8_t { Clut4 = 0, Clut8 = 1, Direct16 = 2, Direct24 = 3 };

// What the converters need of a TIM file: its mode, its CLUT (all rows, as
// colour words), where its pixel rows start and their size.
struct TimImage {
  TimPixelMode mode = TimPixelMode::Clut4;
  std::vector<std::uint16_t> clut;
  std::uint64_t pixelOffset = 0;  // the first pixel byte
  std::uint32_t pixelWidth = 0;   // mode 0: (W * 4) mod 65536; 1: (W * 2) mod 65536; 2, 3: W
  std::uint32_t height = 0;
  std::uint64_t rowBytes = 0;  // mode 0: width / 2; 1: width; 2: W * 2; 3: W * 3
  // The block headers as they are (for listing): position in video memory,
  // size in 16-bit units and length of the image block and the CLUT block.
  struct Block {
    std::uint16_t x = 0, y = 0, width = 0, height = 0;
    std::uint32_t length = 0;
  };
  Block imageBlock;
  std::optional<Block> clutBlock;
};

// Reads the headers of a TIM file. Files that are not TIMs, pixel modes 4..7
// and files too short for their header or CLUT are refused with a FormatError
// naming `name`; with `withRows`, so are files too short for their rows.
TimImage ReadTimImage(std::span<const std::uint8_t> tim, const std::string& name, bool withRows);

// The TIM as a bitmap: mode 0 as 4 bits, 1 as 8 bits (both with the CLUT as
// palette, every entry in file order), 2 as 15 bits, 3 as 24 bits. With
// `transparency`, the colour word 0x0000 (a CLUT entry, a 16-bit pixel) is
// transparent, as the console draws it.
Bitmap LoadTimBitmap(std::span<const std::uint8_t> tim, const std::string& name,
                     bool transparency = false);

// The colours of the first `most` CLUT words: each 5-bit component shifted
// left by 3, the STP bit dropped; with `transparency`, 0x0000 has alpha 0.
std::vector<PaletteEntry> ClutPalette(std::span<const std::uint16_t> clut, std::size_t most,
                                      bool transparency = false);

// Colour words become (blue, green, red) triples, each 5-bit component
// shifted left by 3; the STP bit is dropped; an odd last byte is ignored.
void ExpandClut(ByteBuffer& buffer);
// A palette of n entries from n (red, green, blue) triples.
std::vector<PaletteEntry> BuildPalette(std::size_t n, std::span<const std::uint8_t> triples);
// Every byte's two nibbles exchanged.
void SwapNibbles(std::span<std::uint8_t> bytes);
// Red and blue fields of 16-bit words exchanged, green kept, bit 15 cleared.
void SwapRedBlue16(std::span<std::uint8_t> bytes);
// Bytes 0 and 2 of every 3-byte group exchanged.
void SwapRedBlue24(std::span<std::uint8_t> bytes);

}  // namespace tessary
