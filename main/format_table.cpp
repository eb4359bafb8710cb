#include "main/format_table.h"

namespace tessary {

std::string_view FormatKeyOfChoice(int choice) {
  if (choice < 1 || choice > kFileTypeCount) return {};
  return FormatKeyTable[choice - 1];
}

std::uint8_t FormatIndexOfChoice(int choice) {
  if (choice < 1 || choice > kFileTypeCount) return format::kNoFiles;
  return FormatIndexTable[choice - 1];
}

std::uint8_t FormatIndexOfKey(std::string_view key) {
  if (key.empty()) return format::kNone;
  for (int k = 0; k < kFileTypeCount; ++k) {
    if (FormatKeyTable[k] == key) return FormatIndexTable[k];
  }
  return format::kNone;
}

}  // namespace tessary
