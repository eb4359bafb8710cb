// RES description files: a text file written by the user that names a game
// file, a decoding table and the text sections of the game file.
//
//   line 0       9-character label + game-file path
//   line 1       9-character label + decoding-table path
//   line 2 + 6k  anything (a heading)
//   line 3 + 6k  8-character label + "0x%X : 0x%X"   text base B, text end E
//   line 4 + 6k  8-character label + "0x%X : 0x%X"   pointer table P, length L
//   line 5 + 6k  8-character label + "%d"            final-string flag F
//   lines 6 + 6k and 7 + 6k anything
//
// Section k exists while the description has more than 2 + 6k lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessary {

namespace res {
inline constexpr std::size_t kPathLabel = 9;
inline constexpr std::size_t kParameterLabel = 8;
inline constexpr std::size_t kLinesPerSection = 6;
inline constexpr std::size_t kFirstSectionLine = 3;
}  // namespace res

struct ResSection {
  std::uint32_t base = 0;         // B
  std::uint32_t end = 0;          // E
  std::uint32_t tableOffset = 0;  // P
  std::uint32_t tableLength = 0;  // L
  bool finalString = false;       // F != 0
  std::size_t pointerLine = 0;    // the 0-based description line of P and L
};

struct ResDescription {
  std::string gamePath;
  std::string tablePath;
  std::vector<ResSection> sections;
};

// "0x" hex, optional white space, ":", optional white space, "0x" hex; the
// two values are unsigned 32-bit. nullopt when the text does not match.
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseHexPair(std::string_view text);

// Takes a description apart. Fewer than two lines, a section whose parameter
// lines are missing and parameter lines that do not match their pattern are
// refused with a FormatError naming `name` and the line (1-based).
ResDescription ParseResDescription(const std::vector<std::string>& lines, const std::string& name);

}  // namespace tessary
