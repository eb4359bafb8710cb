#include "formathandlers/text/res_text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "batch/result_log.h"
#include "formathandlers/text/code_table.h"
#include "formathandlers/text/res_description.h"
#include "formathandlers/text/room_text.h"
#include "formathandlers/text/text_budget.h"
#include "formathandlers/text/text_table.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/mapped_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

// The pointers of a section, read from its table in the game file.
std::vector<std::uint16_t> SectionPointers(std::span<const std::uint8_t> game,
                                           const ResSection& section, std::size_t k,
                                           const std::string& gameName) {
  if (!FitsIn(game.size(), section.tableOffset, section.tableLength))
    ThrowFormatError(gameName, "the pointer table of section " + std::to_string(k) +
                                   " ends past the end of the file");
  std::vector<std::uint16_t> pointers(section.tableLength / 2);
  for (std::size_t j = 0; j < pointers.size(); ++j)
    pointers[j] = LoadU16(game.data() + section.tableOffset + 2 * j);
  return pointers;
}

struct Extraction {
  std::span<const std::uint8_t> game;
  std::string gameName;
  std::string descriptionName;
  const GameTextCodec& codec;
};

std::string DecodedSpan(const Extraction& run, std::uint64_t from, std::uint64_t length,
                        std::size_t k) {
  if (!FitsIn(run.game.size(), from, length))
    ThrowFormatError(run.gameName,
                     "a string of section " + std::to_string(k) + " ends past the end of the file");
  return run.codec.Decode(
      run.game.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(length)), true);
}

void AppendSection(LineWriter& out, const Extraction& run, const ResSection& section,
                   std::size_t k) {
  const auto pointers = SectionPointers(run.game, section, k, run.gameName);
  out.Add(ResSectionHeader(k));
  for (std::size_t j = 0; j + 1 < pointers.size(); ++j) {
    if (pointers[j + 1] < pointers[j])
      ThrowFormatError(LineLabel(run.descriptionName, section.pointerLine),
                       "pointer " + std::to_string(j + 1) + " of section " + std::to_string(k) +
                           " is below the one before it");
    out.Add(DecodedSpan(run, std::uint64_t{section.base} + pointers[j],
                        pointers[j + 1] - pointers[j], k));
  }
  if (section.finalString && !pointers.empty()) {
    const std::uint64_t start = std::uint64_t{section.base} + pointers.back();
    if (start < section.end) out.Add(DecodedSpan(run, start, section.end - start, k));
  }
  out.Add(std::string(kResEndSection));
  out.Add("");
}

}  // namespace

void ExtractResText(ProcessContext& ctx, const std::string& path) {
  TextLines lines;
  lines.LoadFromFile(path);
  const ResDescription description = ParseResDescription(lines.Lines(), FileNameOf(path));
  const MappedFile game(description.gamePath);
  ByteBuffer table;
  LoadCodeTable(table, description.tablePath);
  const GameTextCodec codec(table);
  const Extraction run{game.Bytes(), FileNameOf(description.gamePath), FileNameOf(path), codec};
  // The text goes out section by section; a damaged section leaves no file.
  const std::string textPath = ctx.ClaimOutput(ctx.OutputPath(NameWithExtension(path, ".txt")));
  LineWriter out(textPath);
  out.Add(std::string(kUseTablePrefix) + description.tablePath);
  for (std::size_t k = 0; k < description.sections.size(); ++k) {
    AppendSection(out, run, description.sections[k], k);
    if (k % 64 == 63) game.Release();  // a large game file: only the pages at hand
  }
  out.Commit();
  ctx.ResultLog.Add(TextTargetLine(textPath));
}

}  // namespace tessary
