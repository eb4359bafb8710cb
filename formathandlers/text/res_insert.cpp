// Insertion of edited RES text into the game file. Every section is planned
// and checked before the first write. The text is indexed by section in one
// pass rather than held line by line, and each section's lines are read again
// and encoded when it is planned and when it is written, so that memory
// follows the largest section, not the text; a section whose bytes changed in
// between is not written.
#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <system_error>
#include <unordered_map>

#include "batch/result_log.h"
#include "formathandlers/text/code_table.h"
#include "formathandlers/text/res_description.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/text/room_text.h"
#include "formathandlers/text/text_budget.h"
#include "formathandlers/text/text_table.h"
#include "misc/byte_buffer.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/line_reader.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

constexpr std::size_t kTableLabel = 8;  // the label before a hand-written table path

// Where a line of the text is: its 0-based number, the byte offset of its
// start in the file and that of the line after it.
struct LinePlace {
  std::size_t line = 0;
  std::uint64_t offset = 0;
  std::uint64_t next = 0;
};

// A section's lines as the index found them: its header, the string lines
// after it, and the end of the line that closes it.
struct SectionRun {
  std::size_t number = 0;
  LinePlace header;
  std::size_t count = 0;
  std::uint64_t end = 0;
  std::size_t FirstLine() const { return header.line + 1; }
};

// The text file, indexed in one pass that reads it a window at a time: the
// lines that may be section headers ("[...]", by lower case, each at its first
// place) and the lines that end sections. A text of many sections is thus
// never searched from its top once per section, and never held whole: each
// section is read again by offset, from its header to its end line, when it is
// planned and when it is written. The file stays open (and shared-locked) until
// the batch's writes are done.
class SectionText final {
 public:
  SectionText(const std::string& path, std::string name);
  const std::string& Name() const { return name_; }
  const std::string& FirstLine() const { return firstLine_; }
  SectionRun Find(std::size_t k) const;

  // Reads the section into `into` and calls visit(line, number) for each of
  // its string lines. A section that is no longer where the index found it,
  // with as many lines, is refused: the text changed while the batch ran.
  template <class Visit>
  void ForEachLine(const SectionRun& run, ByteBuffer& into, Visit visit) const {
    ReadRun(run, into);
    const std::string_view text(reinterpret_cast<const char*>(into.data()), into.size());
    const LineAt header = NextLine(text, 0);
    if (AsciiLowerCase(std::string(header.line)) != AsciiLowerCase(ResSectionHeader(run.number)))
      RefuseChanged(run);
    std::size_t at = header.next;
    for (std::size_t i = 0; i < run.count; ++i) {
      const LineAt next = NextLine(text, at);
      if (at == text.size() || next.line.find(kResEndSection) != std::string_view::npos)
        RefuseChanged(run);
      visit(next.line, run.FirstLine() + i);
      at = next.next;
    }
    const LineAt end = NextLine(text, at);
    if (end.line.find(kResEndSection) == std::string_view::npos || end.next != text.size())
      RefuseChanged(run);
  }

  [[noreturn]] void RefuseChanged(const SectionRun& run) const {
    ThrowFormatError(LineLabel(name_, run.header.line),
                     "section " + std::to_string(run.number) +
                         " changed while the batch was running; it was not written");
  }

 private:
  void ReadRun(const SectionRun& run, ByteBuffer& into) const;

  mutable FileStream file_;  // read by offset; each read seeks first
  std::string name_;
  std::string firstLine_;
  std::unordered_map<std::string, LinePlace> headers_;
  std::vector<LinePlace> ends_;  // in the text's order
};

SectionText::SectionText(const std::string& path, std::string name)
    : file_(FileStream::OpenRead(path)), name_(std::move(name)) {
  LineReader reader(file_);
  LineReader::Line at;
  std::size_t count = 0;
  for (; reader.Next(at); ++count) {
    const LinePlace place{count, at.offset, at.next};
    if (count == 0) firstLine_ = std::string(at.text);
    if (!at.text.empty() && at.text.front() == '[')
      headers_.emplace(AsciiLowerCase(std::string(at.text)), place);
    if (at.text.find(kResEndSection) != std::string_view::npos) ends_.push_back(place);
  }
  if (count == 0) ThrowFormatError(name_, "the text file is empty");
}

SectionRun SectionText::Find(std::size_t k) const {
  const std::string header = ResSectionHeader(k);
  const auto found = headers_.find(AsciiLowerCase(header));
  if (found == headers_.end()) ThrowFormatError(name_, "no line \"" + header + "\"");
  const LinePlace& place = found->second;
  const auto end =
      std::lower_bound(ends_.begin(), ends_.end(), place.line + 1,
                       [](const LinePlace& at, std::size_t line) { return at.line < line; });
  if (end == ends_.end())
    ThrowFormatError(LineLabel(name_, place.line), "section " + std::to_string(k) + " has no \"" +
                                                       std::string(kResEndSection) + "\" line");
  return {k, place, end->line - place.line - 1, end->next};
}

void SectionText::ReadRun(const SectionRun& run, ByteBuffer& into) const {
  into.resize(static_cast<std::size_t>(run.end - run.header.offset));
  file_.Seek(run.header.offset);
  file_.ReadExact(into);
}

// The encoding table's path on the text file's first line: the text after
// "#Use Table: " when the line starts with it, else after an 8-character label.
std::string EncodingTablePath(const SectionText& text) {
  const std::string_view first = text.FirstLine();
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

// A line of the text file as game bytes, appended to `out`, and the byte the
// last string is padded with. Characters the table cannot encode are problems
// of the plan when a context is given to report them (while planning).
class LineEncoder final {
 public:
  LineEncoder(const GameTextCodec& codec, std::string textName)
      : codec_(codec), textName_(std::move(textName)) {}
  std::uint8_t Padding() const { return codec_.IsTextTable() ? 0 : codec_.Raw()[0]; }
  void Append(std::string_view line, std::size_t textLine, ByteBuffer& out,
              ProcessContext* report) const;

 private:
  const GameTextCodec& codec_;
  std::string textName_;
};

void LineEncoder::Append(std::string_view line, std::size_t textLine, ByteBuffer& out,
                         ProcessContext* report) const {
  if (!codec_.IsTextTable()) {  // every character c becomes table[c]
    const CodeTableEntries table = codec_.Raw();
    const std::size_t at = out.size();
    out.resize(at + line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
      out[at + i] = table[static_cast<std::uint8_t>(line[i])];
    return;
  }
  std::vector<Unencodable> missing;
  const ByteBuffer bytes = codec_.Text().Encode(line, missing);
  for (const Unencodable& c : missing)
    if (report != nullptr)
      report->Plan.AddProblem(UnencodableText(textName_, textLine, c.column, c),
                              report->LogLineLabel());
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// A 64-bit fingerprint of `bytes`, to tell whether a section of the text
// changed between the plan and its write. Each step is a bijection of the
// running value, so a single changed word always changes the fingerprint.
std::uint64_t Fingerprint(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kOdd = 0x9E3779B97F4A7C15;
  std::uint64_t hash = bytes.size() * kOdd;
  const auto mix = [&](std::uint64_t word) { hash = std::rotl(hash ^ word, 29) * kOdd; };
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    mix(word);
  }
  std::uint64_t tail = 0;
  if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
  mix(tail);
  return hash ^ (hash >> 32);
}

// What a RES insertion's writes read when they run, after the plan is made:
// the text and the table to encode it with, the one its first line names.
struct ResSource {
  ResSource(const std::string& textPath,
            const std::function<std::string(const SectionText&)>& table)
      : text(textPath, FileNameOf(textPath)),
        tablePath(table(text)),
        table([this] {
          ByteBuffer bytes;
          LoadCodeTable(bytes, tablePath);
          return bytes;
        }()),
        codec(this->table),
        encoder(codec, text.Name()) {}
  SectionText text;
  std::string tablePath;
  ByteBuffer table;  // before the codec, which refers to it
  GameTextCodec codec;
  LineEncoder encoder;

  // The run's strings end to end through the table into `out`, each string's
  // size into `lengths`. Returns the fingerprint of the text bytes they were
  // encoded from (read into `raw`).
  std::uint64_t Encode(const SectionRun& run, ByteBuffer& raw, ByteBuffer& out,
                       std::vector<std::size_t>& lengths, ProcessContext* report) const {
    out.clear();
    lengths.clear();
    lengths.reserve(run.count);
    text.ForEachLine(run, raw, [&](std::string_view line, std::size_t number) {
      const std::size_t before = out.size();
      encoder.Append(line, number, out, report);
      lengths.push_back(out.size() - before);
    });
    return Fingerprint(raw);
  }
};

// One section as planned before anything is written: where its text and its
// pointer table are, not their bytes, so that a batch of many sections holds
// little more than one section at a time.
struct SectionPlan {
  ResSection section;                // a copy: the write outlives the description
  SectionRun run;                    // its lines in the text
  std::uint64_t fingerprint = 0;     // of its bytes, header to end line, when planned
  std::uint16_t firstPointer = 0;    // where the first string starts
  ByteBuffer pointerTable;           // L bytes, as the game has them: for a dry run's report only
  std::vector<std::size_t> lengths;  // each string's size: for a dry run's report only
  std::size_t strings = 0;
  std::int64_t excess = 0;  // > 0: does not fit; the section is reported and skipped
  std::uint64_t Start() const { return std::uint64_t{section.base} + firstPointer; }
};

// Reads the section's pointer table, finds its lines and encodes them (into
// `raw` and `scratch`, reused from section to section) to size the strings and
// place them.
SectionPlan PlanSection(ProcessContext& ctx, FileStream& game, const ResSource& source,
                        const ResSection& section, std::size_t k, ByteBuffer& raw,
                        ByteBuffer& scratch) {
  const std::string& textName = source.text.Name();
  const std::string gameName = FileNameOf(game.ShownPath());
  const std::uint64_t gameSize = game.Size();
  const auto refuse = [&](const std::string& who, const std::string& what) {
    ThrowFormatError(who + ": section " + std::to_string(k), what);
  };
  // Checked against the file before anything is allocated for it.
  if (!FitsIn(gameSize, section.tableOffset, section.tableLength))
    refuse(gameName, "the pointer table ends past the end of the file");
  SectionPlan plan{section, source.text.Find(k), 0, 0, ByteBuffer(section.tableLength), {}, 0, 0};
  game.Seek(section.tableOffset);
  game.ReadExact(plan.pointerTable);
  const std::size_t entries = section.tableLength / 2;
  if (plan.run.count > entries)
    refuse(textName, std::to_string(plan.run.count) + " lines, but the pointer table has " +
                         std::to_string(entries) + " entries");
  if (entries == 0) return plan;  // no pointer, no string: nothing to insert
  if (plan.run.count == 0) refuse(textName, "the section has no line");
  plan.firstPointer = LoadU16(plan.pointerTable.data());
  if (!ctx.DryRun) ByteBuffer().swap(plan.pointerTable);
  plan.fingerprint = source.Encode(plan.run, raw, scratch, plan.lengths, &ctx);
  plan.strings = plan.lengths.size();
  const auto start = static_cast<std::int64_t>(plan.Start());
  plan.excess = static_cast<std::int64_t>(scratch.size()) - (std::int64_t{section.end} - start);
  if (plan.excess > 0) return plan;
  if (!FitsIn(gameSize, static_cast<std::uint64_t>(start), section.end - start))
    refuse(gameName, "the text ends past the end of the file");
  // Each later string starts where the one before it ends.
  std::uint64_t offset = plan.firstPointer;
  for (std::size_t i = 0; i + 1 < plan.lengths.size(); ++i) {
    offset += plan.lengths[i];
    if (offset > room::kMaxPointer)
      refuse(textName, "string " + std::to_string(i + 1) + " would start " +
                           std::to_string(offset) + " bytes after the text base");
  }
  if (!ctx.DryRun) std::vector<std::size_t>().swap(plan.lengths);
  return plan;
}

// The section's strings encoded again from the text, the last one padded to
// the section's end, and its pointer table with the new strings' places: one
// write each. Text that changed since it was planned is not written.
void WriteSection(FileStream& game, const ResSource& source, const SectionPlan& plan) {
  ByteBuffer raw;
  ByteBuffer text;
  std::vector<std::size_t> lengths;
  if (source.Encode(plan.run, raw, text, lengths, nullptr) != plan.fingerprint)
    source.text.RefuseChanged(plan.run);
  text.resize(static_cast<std::size_t>(plan.section.end - plan.Start()), source.encoder.Padding());
  // The table as the game has it (read before the text is written, which
  // may share its bytes), with each later string starting where the one
  // before it ends.
  ByteBuffer table(plan.section.tableLength);
  game.Seek(plan.section.tableOffset);
  game.ReadExact(table);
  std::uint64_t offset = plan.firstPointer;
  for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
    offset += lengths[i];
    StoreU16(table.data() + 2 * (i + 1), static_cast<std::uint16_t>(offset));
  }
  game.Seek(plan.Start());
  game.Write(text);
  game.Seek(plan.section.tableOffset);
  game.Write(table);
}

// The dry run's report of a section's space: its strings as they are in the
// game, from the pointer table; the last one runs to the section's end.
void ReportSection(ProcessContext& ctx, const SectionPlan& plan, std::size_t k,
                   const std::string& textName) {
  if (plan.lengths.empty()) return;
  const std::size_t n = plan.pointerTable.size() / 2;
  const auto pointer = [&](std::size_t j) { return LoadU16(plan.pointerTable.data() + 2 * j); };
  TextSpace space{
      textName + ", section " + std::to_string(k), textName, plan.run.FirstLine(), {}, 0};
  const std::uint64_t start = plan.Start();
  space.budget = plan.section.end > start ? plan.section.end - start : 0;
  for (std::size_t j = 0; j + 1 < n; ++j)
    space.original.push_back(pointer(j + 1) >= pointer(j) ? pointer(j + 1) - pointer(j) : 0);
  const std::uint64_t last = std::uint64_t{plan.section.base} + pointer(n - 1);
  space.original.push_back(plan.section.end > last ? plan.section.end - last : 0);
  ReportTextSpace(ctx.Plan, space, plan.lengths);
}

// The section's write, with the areas it claims in the game file; or its
// refusal when its text does not fit.
void PlanSectionWrite(ProcessContext& ctx, FileStream& game,
                      const std::shared_ptr<const ResSource>& source, SectionPlan plan,
                      std::size_t k) {
  const std::string section = "Section " + std::to_string(k);
  if (plan.excess > 0) {
    ctx.Plan.AddRefusal(section + "wrong size by " + std::to_string(plan.excess) + " bytes.");
    return;
  }
  if (plan.strings == 0) return;
  const std::string label = ctx.LogLineLabel();
  const std::uint64_t start = plan.Start();
  // Claimed per section: two sections of one description that overlap are a
  // problem too, not a silent overwrite.
  const std::string claimant = label + ", section " + std::to_string(k);
  ctx.Plan.Claim(game, {plan.section.tableOffset, plan.section.tableLength}, claimant);
  ctx.Plan.Claim(game, {start, plan.section.end - start}, claimant);
  ctx.Plan.AddWrite(
      label, [&game, source, plan = std::move(plan)] { WriteSection(game, *source, plan); },
      section + " inserted.");
}

}  // namespace

std::size_t InsertResText(ProcessContext& ctx, const std::string& path, std::size_t index) {
  const std::string& line = ctx.TakeLogLine(index);
  const std::string textPath = ctx.FromLogFolder(TextTargetPath(line));
  TextLines descriptionLines;
  descriptionLines.LoadFromFile(path);
  ResDescription description = ParseResDescription(descriptionLines.Lines(), FileNameOf(path));
  description.gamePath = ctx.FromOutputDirectory(description.gamePath);
  description.tablePath = ctx.FromOutputDirectory(description.tablePath);
  // The text's own table: the batch's table (for room sections) stays as it is.
  const auto source = std::make_shared<const ResSource>(textPath, [&](const SectionText& text) {
    return ctx.FromOutputDirectory(EncodingTablePath(text));
  });
  const std::string& textName = source->text.Name();
  if (!source->codec.IsTextTable())
    RefuseDecodingTable(source->tablePath, description, source->codec.Raw(), textName);

  FileStream& game = ctx.Plan.HoldSource(description.gamePath, SourceAccess::Write);
  const std::size_t problemsBefore = ctx.Plan.ProblemCount();
  std::vector<SectionPlan> plans;
  ByteBuffer raw;
  ByteBuffer scratch;
  for (std::size_t k = 0; k < description.sections.size(); ++k)
    plans.push_back(PlanSection(ctx, game, *source, description.sections[k], k, raw, scratch));
  if (ctx.Plan.ProblemCount() > problemsBefore) return index + 1;  // characters listed
  for (std::size_t k = 0; k < plans.size() && ctx.DryRun; ++k)
    ReportSection(ctx, plans[k], k, textName);
  for (std::size_t k = 0; k < plans.size(); ++k)
    PlanSectionWrite(ctx, game, source, std::move(plans[k]), k);
  return index + 1;
}

}  // namespace tessary
