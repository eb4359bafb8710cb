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

// RES game files: a pointer table at kTable, text relative to kBase.
inline constexpr std::uint32_t kTable = 0x10;
inline constexpr std::uint32_t kBase = 0x40;

// Game codes of a text: 0x00..0x56 decode to 0x24..0x7A, codes from 0x7B on
// to themselves, so every character has one code.
inline std::vector<std::uint8_t> Codes(const std::string& text) {
  std::vector<std::uint8_t> codes;
  for (const char c : text) {
    const auto u = static_cast<std::uint8_t>(c);
    codes.push_back(u <= 0x7A ? static_cast<std::uint8_t>(u - 0x24) : u);
  }
  return codes;
}

// The inverse of the identity decoding table through the shifted lookup; the
// entry for 0x00 (the padding) is `pad`.
inline std::vector<std::uint8_t> EncodingTable(std::uint8_t pad) {
  std::vector<std::uint8_t> table = IdentityTable();
  for (int c = 0x24; c <= 0x7A; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 0x24);
  table[0] = pad;
  return table;
}

// A game file: filler, a pointer table at 0x10 for `strings` (relative to
// 0x40, the first string at 0x40 + first), the strings back to back, filler.
inline std::vector<std::uint8_t> BuildGame(const std::vector<std::string>& strings,
                                           std::uint16_t first = 0) {
  std::vector<std::uint8_t> game(kTable, 0x99);
  std::uint16_t at = first;
  for (const auto& s : strings) {
    PutU16(game, at);
    at = static_cast<std::uint16_t>(at + s.size());
  }
  game.resize(kBase + first, 0x98);
  for (const auto& s : strings) {
    const std::vector<std::uint8_t> codes = Codes(s);
    game.insert(game.end(), codes.begin(), codes.end());
  }
  game.resize(game.size() + 8, 0x97);
  return game;
}

}  // namespace tessary::testing
