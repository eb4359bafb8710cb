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

constexpr std::size_t kTableLabel = 8;  // the label before a hand-written table path
constexpr std::string_view kEndSection = "[End Section]";

std::string SectionHeader(std::size_t k) {
  return "[Section " + std::to_string(k) + "]";
}

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
  out.Add(SectionHeader(k));
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
  out.Add(std::string(kEndSection));
  out.Add("");
}

// --- insertion ---

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The text file's lines.
using Lines = std::span<const std::string_view>;

// The encoding table's path on the text file's first line: the text after
// "#Use Table: " when the line starts with it, else after an 8-character label.
std::string EncodingTablePath(Lines text, const std::string& textName) {
  if (text.empty()) ThrowFormatError(textName, "the text file is empty");
  const std::string_view first = text.front();
  if (first.starts_with(kUseTablePrefix)) return std::string(first.substr(kUseTablePrefix.size()));
  return first.size() > kTableLabel ? std::string(first.substr(kTableLabel)) : std::string();
}

// Text left with the description's own decoding table on its first line would
// be written back through the decoding table, changing every byte it maps;
// only a table that is its own inverse may stand there.
void RefuseDecodingTable(const std::string& tablePath, const ResDescription& description,
                         CodeTableEntries table, const std::string& textName) {
  std::error_code error;
  if (!std::filesystem::equivalent(NativePath(tablePath), NativePath(description.tablePath), error))
    return;
  const ByteBuffer inverse = InvertTable(table, true).encoding;
  if (std::equal(inverse.begin(), inverse.end(), table.begin())) return;
  ThrowFormatError(textName, "\"" + std::string(kUseTablePrefix) +
                                 "\" names the decoding table; name the encoding table "
                                 "instead (tessary-cli table invert DECODE.tbl -o ENCODE.tbl "
                                 "--shifted makes one)");
}

struct SectionRun {
  std::size_t first = 0;  // index of the first string line
  std::size_t count = 0;
};

// The text's lines that could be section headers ("[...]"), by their lower
// case, each at its first place: found in one pass, so that a text of many
// sections is not searched from its top once per section.
class HeaderIndex final {
 public:
  explicit HeaderIndex(Lines text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (!text[i].empty() && text[i].front() == '[')
        lines_.emplace(AsciiLowerCase(std::string(text[i])), i);
  }
  std::optional<std::size_t> Find(const std::string& header) const {
    const auto at = lines_.find(AsciiLowerCase(header));
    return at == lines_.end() ? std::nullopt : std::optional<std::size_t>(at->second);
  }

 private:
  std::unordered_map<std::string, std::size_t> lines_;  // emplace keeps the first
};

SectionRun FindRun(Lines text, const HeaderIndex& headers, std::size_t k, const std::string& name) {
  const std::string header = SectionHeader(k);
  const auto found = headers.Find(header);
  if (!found) ThrowFormatError(name, "no line \"" + header + "\"");
  const auto at = text.begin() + static_cast<std::ptrdiff_t>(*found);
  const auto start = at + 1;
  const auto end = std::find_if(start, text.end(), [](std::string_view line) {
    return line.find(kEndSection) != std::string_view::npos;
  });
  const auto headerLine = static_cast<std::size_t>(at - text.begin());
  if (end == text.end())
    ThrowFormatError(LineLabel(name, headerLine), "section " + std::to_string(k) + " has no \"" +
                                                      std::string(kEndSection) + "\" line");
  return {headerLine + 1, static_cast<std::size_t>(end - start)};
}

// One section as planned before anything is written: its strings as one run
// of bytes and its pointer table, each written with one call.
struct SectionPlan {
  ResSection section;                // a copy: the write outlives the description
  ByteBuffer pointerTable;           // L bytes, as the game has them
  ByteBuffer newTable;               // the pointers of the planned strings
  ByteBuffer text;                   // the strings, end to end, the last one padded
  std::vector<std::size_t> lengths;  // each string's size, before the padding
  std::int64_t excess = 0;           // > 0: does not fit; the section is reported and skipped
};

// A line of the text file as game bytes, appended to `out` (the last one is
// padded later), and the byte it is padded with.
struct LineEncoder {
  std::function<void(std::string_view line, std::size_t textLine, ByteBuffer& out)> append;
  std::uint8_t padding = 0;
};

std::uint16_t FirstPointer(const SectionPlan& plan) {
  return LoadU16(plan.pointerTable.data());
}

SectionPlan PlanSection(FileStream& game, const ResSection& section, std::size_t k, Lines text,
                        const HeaderIndex& headers, const std::string& textName,
                        const LineEncoder& encoder) {
  const std::string gameName = FileNameOf(game.ShownPath());
  const auto refuse = [&](const std::string& who, const std::string& what) {
    ThrowFormatError(who + ": section " + std::to_string(k), what);
  };
  // Checked against the file before anything is allocated for it.
  if (!FitsIn(game.Size(), section.tableOffset, section.tableLength))
    refuse(gameName, "the pointer table ends past the end of the file");
  SectionPlan plan{section, ByteBuffer(section.tableLength), {}, {}, {}, 0};
  game.Seek(section.tableOffset);
  game.ReadExact(plan.pointerTable);
  const SectionRun run = FindRun(text, headers, k, textName);
  const std::size_t entries = section.tableLength / 2;
  if (run.count > entries)
    refuse(textName, std::to_string(run.count) + " lines, but the pointer table has " +
                         std::to_string(entries) + " entries");
  if (entries == 0) return plan;  // no pointer, no string: nothing to insert
  if (run.count == 0) refuse(textName, "the section has no line");
  // Room for the text the section holds (when the file holds it), so that
  // encoding many lines does not grow the buffer piece by piece.
  if (section.end > section.base && FitsIn(game.Size(), section.base, section.end - section.base))
    plan.text.reserve(section.end - section.base);
  plan.lengths.reserve(run.count);
  for (std::size_t i = 0; i < run.count; ++i) {
    const std::size_t before = plan.text.size();
    encoder.append(text[run.first + i], run.first + i, plan.text);
    plan.lengths.push_back(plan.text.size() - before);
  }
  const std::int64_t start = std::int64_t{section.base} + FirstPointer(plan);
  plan.excess = static_cast<std::int64_t>(plan.text.size()) - (std::int64_t{section.end} - start);
  if (plan.excess > 0) return plan;
  if (!FitsIn(game.Size(), static_cast<std::uint64_t>(start), section.end - start))
    refuse(gameName, "the text ends past the end of the file");
  // Each later string starts where the one before it ends.
  plan.newTable = plan.pointerTable;
  std::uint64_t offset = FirstPointer(plan);
  for (std::size_t i = 0; i + 1 < plan.lengths.size(); ++i) {
    offset += plan.lengths[i];
    if (offset > room::kMaxPointer)
      refuse(textName, "string " + std::to_string(i + 1) + " would start " +
                           std::to_string(offset) + " bytes after the text base");
    StoreU16(plan.newTable.data() + 2 * (i + 1), static_cast<std::uint16_t>(offset));
  }
  // The last string fills the section's text to its end.
  plan.text.resize(plan.text.size() + static_cast<std::size_t>(-plan.excess), encoder.padding);
  return plan;
}

void WriteSection(FileStream& game, const SectionPlan& plan) {
  game.Seek(std::uint64_t{plan.section.base} + FirstPointer(plan));
  game.Write(plan.text);
  game.Seek(plan.section.tableOffset);
  game.Write(plan.newTable);
}

// Lines through a text table (a character it cannot encode is a problem of
// the plan, named by line and column), or through a raw encoding table.
LineEncoder LinesThrough(ProcessContext& ctx, const GameTextCodec& codec,
                         const std::string& textName) {
  if (!codec.IsTextTable()) {
    const CodeTableEntries table = codec.Raw();
    return {[table](std::string_view line, std::size_t, ByteBuffer& out) {
              const std::size_t at = out.size();
              out.insert(out.end(), line.begin(), line.end());
              EncodePlain(std::span(out).subspan(at), table);
            },
            table[0]};
  }
  const TextTable* table = &codec.Text();
  return {[&ctx, table, textName](std::string_view line, std::size_t textLine, ByteBuffer& out) {
            std::vector<Unencodable> missing;
            const ByteBuffer bytes = table->Encode(line, missing);
            for (const Unencodable& c : missing)
              ctx.Plan.AddProblem(UnencodableText(textName, textLine, c.column, c),
                                  ctx.LogLineLabel());
            out.insert(out.end(), bytes.begin(), bytes.end());
          },
          0};
}

// The dry run's report of a section's space: its strings as they are in the
// game, from the pointer table; the last one runs to the section's end.
void ReportSection(ProcessContext& ctx, const SectionPlan& plan, std::size_t k, Lines text,
                   const HeaderIndex& headers, const std::string& textName) {
  if (plan.lengths.empty()) return;
  const std::size_t n = plan.pointerTable.size() / 2;
  const auto pointer = [&](std::size_t j) { return LoadU16(plan.pointerTable.data() + 2 * j); };
  TextSpace space{textName + ", section " + std::to_string(k),
                  textName,
                  FindRun(text, headers, k, textName).first,
                  {},
                  0};
  const std::uint64_t start = std::uint64_t{plan.section.base} + pointer(0);
  space.budget = plan.section.end > start ? plan.section.end - start : 0;
  for (std::size_t j = 0; j + 1 < n; ++j)
    space.original.push_back(pointer(j + 1) >= pointer(j) ? pointer(j + 1) - pointer(j) : 0);
  const std::uint64_t last = std::uint64_t{plan.section.base} + pointer(n - 1);
  space.original.push_back(plan.section.end > last ? plan.section.end - last : 0);
  ReportTextSpace(ctx.Plan, space, plan.lengths);
}

// Plans the section's write (with the ranges of the game file it claims), or
// its refusal when its text does not fit.
void PlanSectionWrite(ProcessContext& ctx, FileStream& game, SectionPlan plan, std::size_t k) {
  const std::string section = "Section " + std::to_string(k);
  if (plan.excess > 0) {
    ctx.Plan.AddRefusal(section + "wrong size by " + std::to_string(plan.excess) + " bytes.");
    return;
  }
  if (plan.lengths.empty()) return;
  const std::string label = ctx.LogLineLabel();
  const std::uint64_t start = std::uint64_t{plan.section.base} + FirstPointer(plan);
  // Claimed per section: two sections of one description that overlap are a
  // problem too, not a silent overwrite.
  const std::string claimant = label + ", section " + std::to_string(k);
  ctx.Plan.Claim(game, {plan.section.tableOffset, plan.section.tableLength}, claimant);
  ctx.Plan.Claim(game, {start, plan.section.end - start}, claimant);
  ctx.Plan.AddWrite(
      label, [&game, plan = std::move(plan)] { WriteSection(game, plan); }, section + " inserted.");
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

std::size_t InsertResText(ProcessContext& ctx, const std::string& path, std::size_t index) {
  const std::string& line = ctx.TakeLogLine(index);
  const std::string textPath = ctx.FromOutputDirectory(TextTargetPath(line));
  TextLines descriptionLines;
  descriptionLines.LoadFromFile(path);
  const MappedTextLines text(textPath);
  const std::string textName = FileNameOf(textPath);
  ResDescription description = ParseResDescription(descriptionLines.Lines(), FileNameOf(path));
  description.gamePath = ctx.FromOutputDirectory(description.gamePath);
  description.tablePath = ctx.FromOutputDirectory(description.tablePath);
  const std::string tablePath = ctx.FromOutputDirectory(EncodingTablePath(text.Lines(), textName));
  // The text's own table: the batch's table (for room sections) stays as it is.
  ByteBuffer table;
  LoadCodeTable(table, tablePath);
  const GameTextCodec codec(table);
  if (!codec.IsTextTable()) RefuseDecodingTable(tablePath, description, codec.Raw(), textName);

  FileStream& game = ctx.Plan.HoldSource(description.gamePath, SourceAccess::Write);
  const std::size_t problemsBefore = ctx.Plan.ProblemCount();
  const LineEncoder encoder = LinesThrough(ctx, codec, textName);
  const HeaderIndex headers(text.Lines());
  std::vector<SectionPlan> plans;
  for (std::size_t k = 0; k < description.sections.size(); ++k)
    plans.push_back(
        PlanSection(game, description.sections[k], k, text.Lines(), headers, textName, encoder));
  if (ctx.Plan.ProblemCount() > problemsBefore) return index + 1;  // characters listed
  for (std::size_t k = 0; k < plans.size() && ctx.DryRun; ++k)
    ReportSection(ctx, plans[k], k, text.Lines(), headers, textName);
  for (std::size_t k = 0; k < plans.size(); ++k)
    PlanSectionWrite(ctx, game, std::move(plans[k]), k);
  return index + 1;
}

}  // namespace tessary
