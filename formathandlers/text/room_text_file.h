// The text file of a room's strings, as extraction writes it and the user
// edits it: one line per string between two enclosing characters (written as
// "(" and ")"), then for RDT rooms the budget line "#Block CRC: N bytes.".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

inline constexpr std::string_view kBudgetPrefix = "#Block CRC: ";
inline constexpr std::string_view kBudgetSuffix = "bytes.";

// "#Block CRC: " + N + " bytes.".
std::string BudgetLine(std::uint64_t bytes);
// The number of a budget line read as "#Block CRC: %d bytes.": the literal
// text, optional blanks, a decimal number, optional blanks, "bytes.".
// nullopt when the line does not match or the number is negative or too big.
std::optional<std::uint32_t> ParseBudgetLine(std::string_view line);

struct RoomTextFile {
  // The inner text of every string line: trailing blanks removed, then the
  // first and last characters dropped.
  std::vector<std::string> strings;
  std::uint32_t budget = 0;
};

// Takes an edited RDT text file apart. A file without string lines, a string
// line shorter than its two enclosing characters (after trailing blanks are
// removed) and a last line that is not a budget line are refused with a
// FormatError naming `name` and the line.
RoomTextFile ParseRoomTextFile(const std::vector<std::string>& lines, const std::string& name);

}  // namespace tessary
