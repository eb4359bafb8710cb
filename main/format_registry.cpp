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
    {.key = "GRM",
     .index = format::kGrm,
     .filterText = "Grimhold 3 data (*.dat)",
     .pattern = "*.dat",
     .cliKey = "grm",
     .cliHelp = "Grimhold 3 archives (*.dat): extract every entry",
     .process = ExtractArchive,
     .insert = RepackArchive,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = true,
     .operation = {"Unpack", "archive", "archives", ""}},
    {.key = "TIM",
     .index = format::kTim,
     .filterText = "TIM Image (*.tim)",
     .pattern = "*.tim",
     .cliKey = "tim",
     .cliHelp = "TIM images (*.tim): convert to bitmaps",
     .process = TimToBmp,
     .insert = BmpToTim,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Convert", "TIM image", "TIM images", " to bitmaps"}},
    {.key = "STIM",
     .index = format::kStim,
     .filterText = "TIM Search in.. (*.*)",
     .pattern = "*.*",
     .cliKey = "stim",
     .cliHelp = "any file: search for TIM images",
     .process = SearchTims,
     .insert = InsertTims,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Search", "file", "files", " for TIM images"}},
    {.key = "RES",
     .index = format::kRes,
     .filterText = "Resource files (*.res)",
     .pattern = "*.res",
     .cliKey = "res",
     .cliHelp = "resource descriptions (*.res): extract text",
     .process = ExtractResText,
     .insert = InsertResText,
     .needsCodeTable = false,
     .insertsThroughSourcePath = true,
     .onlyReadsSource = false,
     .operation = {"Extract the text sections of", "description", "descriptions", ""}},
    {.key = "",
     .index = format::kProjectList,
     .filterText = "Project list files (*.lst)",
     .pattern = "*.lst",
     .cliKey = "lst",
     .cliHelp = "a project list: apply the result logs it names",
     .process = InsertFromLog,
     .insert = nullptr,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Apply", "result log", "result logs", " of the project list"}},
    {.key = "",
     .index = format::kLog,
     .filterText = "Log files (*.log)",
     .pattern = "*.log",
     .cliKey = "log",
     .cliHelp = "result logs (*.log): insert edited files back",
     .process = InsertFromLog,
     .insert = nullptr,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Apply", "result log", "result logs", ""}},
    {.key = "ARD",
     .index = format::kArd,
     .filterText = "ARD PS-X Files (*.ard)",
     .pattern = "*.ard",
     .cliKey = "ard",
     .cliHelp = "ARD PS-X files (*.ard): extract strings (needs -t)",
     .process = ExtractArdStrings,
     .insert = nullptr,
     .needsCodeTable = true,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Extract the strings of", "ARD file", "ARD files", ""}},
    {.key = "RDT",
     .index = format::kRdt,
     .filterText = "RDT PC Files (*.rdt)",
     .pattern = "*.rdt",
     .cliKey = "rdt",
     .cliHelp = "RDT PC files (*.rdt): extract strings (needs -t)",
     .process = ExtractRdtStrings,
     .insert = InsertBlockStrings,
     .needsCodeTable = true,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .operation = {"Extract the strings of", "RDT file", "RDT files", ""}},
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

int ChoiceOfFileName(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.find_last_of("/\\");
  const bool hasExtension =
      dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  for (std::size_t k = 0; hasExtension && k < kRows.size(); ++k) {
    const std::string_view pattern = kRows[k].pattern;  // "*.dat"
    if (pattern != "*.*" && SameIgnoringCase(pattern.substr(1), path.substr(dot)))
      return static_cast<int>(k) + 1;
  }
  for (std::size_t k = 0; k < kRows.size(); ++k) {
    if (kRows[k].index == format::kStim) return static_cast<int>(k) + 1;
  }
  return 0;
}

std::string OperationText(std::uint8_t index, std::size_t count) {
  const FormatRow* row = RowOfIndex(index);
  if (row == nullptr) return {};
  const Operation& op = row->operation;
  return std::string(op.verb) + " " + std::to_string(count) + " " +
         std::string(count == 1 ? op.one : op.many) + std::string(op.rest);
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
