#include "main/format_registry.h"

#include <cctype>

#include "formathandlers/archive/archive_extract.h"
#include "formathandlers/archive/archive_repack.h"
#include "formathandlers/text/block_strings.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/tim/bmp_to_tim.h"
#include "formathandlers/tim/tim_insert.h"
#include "formathandlers/tim/tim_scanner.h"
#include "formathandlers/tim/tim_to_bmp.h"
#include "main/insert_from_log.h"

namespace tessary {

namespace {

void ExtractArdStrings(ProcessContext& ctx, const std::string& path) {
  ExtractBlockStrings(ctx, path, 1);
}

void ExtractRdtStrings(ProcessContext& ctx, const std::string& path) {
  ExtractBlockStrings(ctx, path, 0);
}

// In the order of the open dialog's filter list.
constexpr std::array<FormatRow, kFileTypeCount> kRows = {{
    {"GRM", format::kGrm, "Grimhold 3 data (*.dat)", "*.dat", "grm",
     "Grimhold 3 archives (*.dat): extract every entry", ExtractArchive, RepackArchive, false,
     false, true},
    {"TIM", format::kTim, "TIM Image (*.tim)", "*.tim", "tim",
     "TIM images (*.tim): convert to bitmaps", TimToBmp, BmpToTim, false, false, false},
    {"STIM", format::kStim, "TIM Search in.. (*.*)", "*.*", "stim",
     "any file: search for TIM images", SearchTims, InsertTims, false, false, false},
    {"RES", format::kRes, "Resource files (*.res)", "*.res", "res",
     "resource descriptions (*.res): extract text", ExtractResText, InsertResText, false, true,
     false},
    {"", format::kProjectList, "Project list files (*.lst)", "*.lst", "lst",
     "a project list: apply the result logs it names", InsertFromLog, nullptr, false, false, false},
    {"", format::kLog, "Log files (*.log)", "*.log", "log",
     "result logs (*.log): insert edited files back", InsertFromLog, nullptr, false, false, false},
    {"ARD", format::kArd, "ARD PS-X Files (*.ard)", "*.ard", "ard",
     "ARD PS-X files (*.ard): extract strings (needs -t)", ExtractArdStrings, nullptr, true, false,
     false},
    {"RDT", format::kRdt, "RDT PC Files (*.rdt)", "*.rdt", "rdt",
     "RDT PC files (*.rdt): extract strings (needs -t)", ExtractRdtStrings, InsertBlockStrings,
     true, false, false},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

const std::array<FormatRow, kFileTypeCount>& FormatRegistry() {
  return kRows;
}

const FormatRow* RowOfChoice(int choice) {
  if (choice < 1 || choice > kFileTypeCount) return nullptr;
  return &kRows[static_cast<std::size_t>(choice - 1)];
}

const FormatRow* RowOfIndex(std::uint8_t index) {
  for (const FormatRow& row : kRows) {
    if (row.index == index) return &row;
  }
  return nullptr;
}

int ChoiceOfCliKey(std::string_view key) {
  for (std::size_t k = 0; k < kRows.size(); ++k) {
    if (SameIgnoringCase(kRows[k].cliKey, key)) return static_cast<int>(k) + 1;
  }
  return 0;
}

std::string_view FormatKeyOfChoice(int choice) {
  const FormatRow* row = RowOfChoice(choice);
  return row != nullptr ? row->key : std::string_view{};
}

std::uint8_t FormatIndexOfChoice(int choice) {
  const FormatRow* row = RowOfChoice(choice);
  return row != nullptr ? row->index : format::kNoFiles;
}

std::uint8_t FormatIndexOfKey(std::string_view key) {
  if (key.empty()) return format::kNone;
  for (const FormatRow& row : kRows) {
    if (row.key == key) return row.index;
  }
  return format::kNone;
}

}  // namespace tessary
