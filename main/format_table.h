// The eight file types of the open dialog and the formats they select.
//
// The 1-based file-type choice indexes both tables. The format index selects
// the handler; the format key is written after "#Format: " in the result log.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tessary {

namespace format {
inline constexpr std::uint8_t kNoFiles = 0;
inline constexpr std::uint8_t kLog = 1;
inline constexpr std::uint8_t kGrm = 2;
inline constexpr std::uint8_t kRes = 3;
inline constexpr std::uint8_t kArd = 4;
inline constexpr std::uint8_t kRdt = 5;
inline constexpr std::uint8_t kTim = 6;
inline constexpr std::uint8_t kStim = 7;
inline constexpr std::uint8_t kProjectList = 8;
inline constexpr std::uint8_t kNone = 9;
}  // namespace format

inline constexpr int kFileTypeCount = 8;
inline constexpr int kProjectListChoice = 5;

inline constexpr std::array<std::string_view, kFileTypeCount> FormatKeyTable = {
    "GRM", "TIM", "STIM", "RES", "", "", "ARD", "RDT"};

inline constexpr std::array<std::uint8_t, kFileTypeCount> FormatIndexTable = {2, 6, 7, 3, 8, 1, 4, 5};

struct FileTypeFilter {
  std::string_view text;
  std::string_view pattern;
};

inline constexpr std::array<FileTypeFilter, kFileTypeCount> FileTypeFilters = {{
    {"Grimhold 3 data (*.dat)", "*.dat"},
    {"TIM Image (*.tim)", "*.tim"},
    {"TIM Search in.. (*.*)", "*.*"},
    {"Resource files (*.res)", "*.res"},
    {"Project list files (*.lst)", "*.lst"},
    {"Log files (*.log)", "*.log"},
    {"ARD PS-X Files (*.ard)", "*.ard"},
    {"RDT PC Files (*.rdt)", "*.rdt"},
}};

// The format key of a 1-based file-type choice; empty outside 1..8.
std::string_view FormatKeyOfChoice(int choice);
// The format index of a 1-based file-type choice; kNoFiles outside 1..8.
std::uint8_t FormatIndexOfChoice(int choice);
// The format index of a key read from a log: exact, case-sensitive, the two
// empty keys never match; kNone when nothing matches.
std::uint8_t FormatIndexOfKey(std::string_view key);

}  // namespace tessary
