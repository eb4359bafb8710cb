// Builds TIM images byte by byte for tests, benchmarks and the sample file.
#pragma once

#include <cstdint>
#include <vector>

namespace tessary::testing {

struct TimShape {
  std::uint32_t mode = 0;   // 0..3 (4..7 for unsupported images)
  int clutEntries = 16;     // 0: no CLUT block
  std::uint16_t width = 1;  // the width field
  std::uint16_t height = 1;
  std::uint8_t fill = 0x5A;       // first pixel byte; the others count up from it
  std::uint32_t extraFlags = 0;   // OR-ed into the flags word
  bool rowsOf16BitUnits = false;  // mode 3 sized as W * 2 (a TIM the tool does not accept)
};

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline std::uint32_t RowBytesOf(const TimShape& shape) {
  switch (shape.mode) {
    case 0:
      return static_cast<std::uint16_t>(shape.width * 4u) / 2u;
    case 3:
      return shape.rowsOf16BitUnits ? shape.width * 2u : shape.width * 3u;
    default:
      return shape.width * 2u;
  }
}

inline std::vector<std::uint8_t> BuildTim(const TimShape& shape) {
  std::vector<std::uint8_t> out;
  PutU32(out, 0x10);
  PutU32(out, shape.mode | (shape.clutEntries > 0 ? 0x8u : 0u) | shape.extraFlags);
  if (shape.clutEntries > 0) {
    PutU32(out, 12 + 2 * static_cast<std::uint32_t>(shape.clutEntries));
    PutU16(out, 0);
    PutU16(out, 480);
    PutU16(out, static_cast<std::uint16_t>(shape.clutEntries));
    PutU16(out, 1);
    for (int i = 0; i < shape.clutEntries; ++i)
      PutU16(out, static_cast<std::uint16_t>(0x8000 | i * 0x421));
  }
  const std::uint32_t pixels = RowBytesOf(shape) * shape.height;
  PutU32(out, 12 + pixels);
  PutU16(out, 320);
  PutU16(out, 0);
  PutU16(out, shape.width);
  PutU16(out, shape.height);
  for (std::uint32_t i = 0; i < pixels; ++i)
    out.push_back(static_cast<std::uint8_t>(shape.fill + i));
  return out;
}

}  // namespace tessary::testing
