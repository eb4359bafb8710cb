#include "formathandlers/text/room_text_file.h"

#include <charconv>

#include "misc/errors.h"

namespace tessary {

namespace {

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

}  // namespace

std::string BudgetLine(std::uint64_t bytes) {
  return std::string(kBudgetPrefix) + std::to_string(bytes) + " " + std::string(kBudgetSuffix);
}

std::optional<std::uint32_t> ParseBudgetLine(std::string_view line) {
  if (line.substr(0, kBudgetPrefix.size()) != kBudgetPrefix) return std::nullopt;
  std::size_t pos = kBudgetPrefix.size();
  SkipBlanks(line, pos);
  if (pos < line.size() && line[pos] == '+') ++pos;
  std::uint32_t value = 0;
  const auto [next, error] = std::from_chars(line.data() + pos, line.data() + line.size(), value);
  if (error != std::errc() || value > 0x7FFFFFFF) return std::nullopt;
  pos = static_cast<std::size_t>(next - line.data());
  SkipBlanks(line, pos);
  if (line.substr(pos, kBudgetSuffix.size()) != kBudgetSuffix) return std::nullopt;
  return value;
}

RoomTextFile ParseRoomTextFile(const std::vector<std::string>& lines, const std::string& name) {
  if (lines.size() < 2)
    ThrowFormatError(name, "a room text file needs string lines and a last line \"" +
                               std::string(kBudgetPrefix) + "N bytes.\"");
  RoomTextFile file;
  const std::size_t last = lines.size() - 1;
  const auto budget = ParseBudgetLine(lines[last]);
  if (!budget)
    ThrowFormatError(LineLabel(name, last),
                     "expected \"" + std::string(kBudgetPrefix) + "N bytes.\"");
  file.budget = *budget;
  for (std::size_t i = 0; i < last; ++i) {
    std::string_view line = lines[i];
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (line.size() < 2)
      ThrowFormatError(LineLabel(name, i), "a string line needs its two enclosing characters");
    file.strings.emplace_back(line.substr(1, line.size() - 2));
  }
  return file;
}

}  // namespace tessary
