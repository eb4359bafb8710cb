// Builds room files, ARD containers, RES game files and code tables for the
// text tests, the fuzz seeds and the samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/tim_builder.h"

namespace tessary::testing {

// Entry i = i.
inline std::vector<std::uint8_t> IdentityTable() {
  std::vector<std::uint8_t> table(256);
  for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return table;
}

// Room data: 0x40 header bytes with the text-block offset at 0x3C, then the
// text block at `textOffset`: a pointer table and the strings back to back.
// The last string should hold its end code and the byte after it.
inline std::vector<std::uint8_t> BuildRoom(const std::vector<std::string>& strings,
                                           std::uint32_t textOffset = 0x40,
                                           std::size_t trailing = 0) {
  std::vector<std::uint8_t> room(0x3C, 0x11);
  PutU32(room, strings.empty() ? 0 : textOffset);
  room.resize(textOffset, 0x22);
  if (strings.empty()) return room;
  std::uint16_t at = static_cast<std::uint16_t>(2 * strings.size());
  for (const auto& s : strings) {
    PutU16(room, at);
    at = static_cast<std::uint16_t>(at + s.size());
  }
  for (const auto& s : strings) room.insert(room.end(), s.begin(), s.end());
  room.resize(room.size() + trailing, 0x33);
  return room;
}

// An ARD container of `entries` entries whose entry 8 is `room`; the other
// entries are filler of the given lengths (2048-byte aligned data).
inline std::vector<std::uint8_t> BuildArd(const std::vector<std::uint8_t>& room,
                                          std::uint32_t entries = 9,
                                          std::uint32_t fillerLength = 3000) {
  std::vector<std::uint8_t> out = {'A', 'R', 'D', 0};
  PutU32(out, entries);
  for (std::uint32_t k = 0; k < entries; ++k) {
    PutU32(out, k == 8 ? static_cast<std::uint32_t>(room.size()) : fillerLength);
    PutU32(out, 0xDEADBEEF);
  }
  for (std::uint32_t k = 0; k < entries; ++k) {
    out.resize((out.size() + 2047) / 2048 * 2048, 0);
    if (k == 8)
      out.insert(out.end(), room.begin(), room.end());
    else
      out.resize(out.size() + fillerLength, static_cast<std::uint8_t>(0x40 + k));
  }
  return out;
}

}  // namespace tessary::testing
