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
#include "main/verify.h"

namespace tessary {

namespace {

void ExtractArdStrings(ProcessContext& ctx, const std::string& path) {
  ExtractBlockStrings(ctx, path, RoomKind::Ard);
}

void ExtractRdtStrings(ProcessContext& ctx, const std::string& path) {
  ExtractBlockStrings(ctx, path, RoomKind::Rdt);
}

// ARD logs hold target lines only when extracted with ArdInsertable.
std::size_t InsertArdStrings(ProcessContext& ctx, const std::string&, std::size_t index) {
  return InsertBlockStrings(ctx, index, RoomKind::Ard);
}

std::size_t InsertRdtStrings(ProcessContext& ctx, const std::string&, std::size_t index) {
  return InsertBlockStrings(ctx, index, RoomKind::Rdt);
}

// In the order of the open dialog's filter list.
constexpr std::array<FormatRow, kFileTypeCount> kRows = {{
    {.key = "GRM",
     .index = Format::Grm,
     .filterText = "Grimhold 3 data (*.dat)",
     .pattern = "*.dat",
     .cliKey = "grm",
     .cliHelp = "Grimhold 3 archives (*.dat): extract every entry",
     .process = ExtractArchive,
     .insert = RepackArchive,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = true,
     .verify = &kArchiveVerify,
     .operation = {"Unpack", "archive", "archives", ""}},
    {.key = "TIM",
     .index = Format::Tim,
     .filterText = "TIM Image (*.tim)",
     .pattern = "*.tim",
     .cliKey = "tim",
     .cliHelp = "TIM images (*.tim): convert to bitmaps",
     .process = TimToBmp,
     .insert = BmpToTim,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = &kBitmapVerify,
     .operation = {"Convert", "TIM image", "TIM images", " to bitmaps"}},
    {.key = "STIM",
     .index = Format::Stim,
     .filterText = "TIM Search in.. (*.*)",
     .pattern = "*.*",
     .cliKey = "stim",
     .cliHelp = "any file: search for TIM images",
     .process = SearchTims,
     .insert = InsertTims,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = &kSearchVerify,
     .operation = {"Search", "file", "files", " for TIM images"}},
    {.key = "RES",
     .index = Format::Res,
     .filterText = "Resource files (*.res)",
     .pattern = "*.res",
     .cliKey = "res",
     .cliHelp = "resource descriptions (*.res): extract text",
     .process = ExtractResText,
     .insert = InsertResText,
     .needsCodeTable = false,
     .insertsThroughSourcePath = true,
     .onlyReadsSource = false,
     .verify = &kResVerify,
     .operation = {"Extract the text sections of", "description", "descriptions", ""}},
    {.key = "",
     .index = Format::ProjectList,
     .filterText = "Project list files (*.lst)",
     .pattern = "*.lst",
     .cliKey = "lst",
     .cliHelp = "a project list: apply the result logs it names",
     .process = InsertFromLog,
     .insert = nullptr,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = nullptr,
     .operation = {"Apply", "result log", "result logs", " of the project list"}},
    {.key = "",
     .index = Format::Log,
     .filterText = "Log files (*.log)",
     .pattern = "*.log",
     .cliKey = "log",
     .cliHelp = "result logs (*.log): insert edited files back",
     .process = InsertFromLog,
     .insert = nullptr,
     .needsCodeTable = false,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = nullptr,
     .operation = {"Apply", "result log", "result logs", ""}},
    {.key = "ARD",
     .index = Format::Ard,
     .filterText = "ARD PS-X Files (*.ard)",
     .pattern = "*.ard",
     .cliKey = "ard",
     .cliHelp = "ARD PS-X files (*.ard): extract strings (needs -t)",
     .process = ExtractArdStrings,
     .insert = InsertArdStrings,
     .needsCodeTable = true,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = nullptr,
     .operation = {"Extract the strings of", "ARD file", "ARD files", ""}},
    {.key = "RDT",
     .index = Format::Rdt,
     .filterText = "RDT PC Files (*.rdt)",
     .pattern = "*.rdt",
     .cliKey = "rdt",
     .cliHelp = "RDT PC files (*.rdt): extract strings (needs -t)",
     .process = ExtractRdtStrings,
     .insert = InsertRdtStrings,
     .needsCodeTable = true,
     .insertsThroughSourcePath = false,
     .onlyReadsSource = false,
     .verify = &kRoomVerify,
     .operation = {"Extract the strings of", "RDT file", "RDT files", ""}},
}};

// Every file type stands at the row of its own format index.
constexpr bool RowOf(FileType type, Format index) {
  return kRows[static_cast<std::size_t>(type) - 1].index == index;
}
static_assert(RowOf(FileType::Grm, Format::Grm) && RowOf(FileType::Tim, Format::Tim) &&
              RowOf(FileType::Stim, Format::Stim) && RowOf(FileType::Res, Format::Res) &&
              RowOf(FileType::ProjectList, Format::ProjectList) &&
              RowOf(FileType::Log, Format::Log) && RowOf(FileType::Ard, Format::Ard) &&
              RowOf(FileType::Rdt, Format::Rdt));

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

FileType FileTypeAt(int position) {
  if (position < 0 || position >= kFileTypeCount) return FileType::None;
  return static_cast<FileType>(position + 1);
}

int PositionOf(FileType type) {
  return RowOfChoice(type) != nullptr ? static_cast<int>(type) - 1 : -1;
}

FileType TypeOfRow(const FormatRow& row) {
  return FileTypeAt(static_cast<int>(&row - kRows.data()));
}

const FormatRow* RowOfChoice(FileType choice) {
  const int position = static_cast<int>(choice) - 1;
  if (position < 0 || position >= kFileTypeCount) return nullptr;
  return &kRows[static_cast<std::size_t>(position)];
}

const FormatRow* RowOfIndex(Format index) {
  for (const FormatRow& row : kRows) {
    if (row.index == index) return &row;
  }
  return nullptr;
}

bool IsLogQueue(Format index) {
  const FormatRow* row = RowOfIndex(index);
  return row != nullptr && row->process == InsertFromLog;
}

FileType ChoiceOfCliKey(std::string_view key) {
  for (const FormatRow& row : kRows) {
    if (SameIgnoringCase(row.cliKey, key)) return TypeOfRow(row);
  }
  return FileType::None;
}

namespace {

// The extension of a path's file name with its dot; empty when it has none.
std::string_view ExtensionOf(std::string_view path) {
  const auto dot = path.rfind('.');
  const auto slash = path.find_last_of("/\\");
  const bool hasExtension =
      dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  return hasExtension ? path.substr(dot) : std::string_view{};
}

bool PatternTakes(std::string_view pattern, std::string_view extension) {  // "*.dat"
  return pattern == "*.*" || (!extension.empty() && SameIgnoringCase(pattern.substr(1), extension));
}

}  // namespace

FileType ChoiceOfFileName(std::string_view path) {
  const std::string_view extension = ExtensionOf(path);
  for (const FormatRow& row : kRows) {
    if (row.pattern != "*.*" && PatternTakes(row.pattern, extension)) return TypeOfRow(row);
  }
  return FileType::Stim;
}

bool MatchesFileType(FileType choice, std::string_view path) {
  const FormatRow* row = RowOfChoice(choice);
  return row != nullptr && PatternTakes(row->pattern, ExtensionOf(path));
}

std::string OperationText(Format index, std::size_t count) {
  const FormatRow* row = RowOfIndex(index);
  if (row == nullptr) return {};
  const Operation& op = row->operation;
  return std::string(op.verb) + " " + std::to_string(count) + " " +
         std::string(count == 1 ? op.one : op.many) + std::string(op.rest);
}

std::string_view FormatKeyOfChoice(FileType choice) {
  const FormatRow* row = RowOfChoice(choice);
  return row != nullptr ? row->key : std::string_view{};
}

Format FormatIndexOfChoice(FileType choice) {
  const FormatRow* row = RowOfChoice(choice);
  return row != nullptr ? row->index : Format::NoFiles;
}

Format FormatIndexOfKey(std::string_view key) {
  if (key.empty()) return Format::None;
  for (const FormatRow& row : kRows) {
    if (row.key == key) return row.index;
  }
  return Format::None;
}

}  // namespace tessary
