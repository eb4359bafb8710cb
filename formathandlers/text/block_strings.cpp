#include "formathandlers/text/block_strings.h"

#include <algorithm>
#include <memory>

#include "batch/result_log.h"
#include "formathandlers/text/code_table.h"
#include "formathandlers/text/room_text.h"
#include "formathandlers/text/room_text_file.h"
#include "formathandlers/text/text_budget.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/mapped_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

std::string DecodedLine(std::span<const std::uint8_t> file, const StringSpan& span,
                        const GameTextCodec& codec) {
  return "(" +
         codec.Decode(file.subspan(static_cast<std::size_t>(span.offset),
                                   static_cast<std::size_t>(span.length)),
                      false) +
         ")";
}

// The lines of the text file, with a Results line and a Progress step per
// string.
TextLines StringLines(ProcessContext& ctx, std::span<const std::uint8_t> file, const RoomText& text,
                      bool withBudget) {
  const GameTextCodec codec(ctx.CodeTable);
  const std::size_t n = text.strings.size();
  ctx.Status.SetBarPosition(Bar::Progress, 0);
  ctx.Status.SetBarMaximum(Bar::Progress, static_cast<int>(n) - 1);
  TextLines lines;
  std::uint64_t total = 0;
  for (std::size_t j = 0; j < n; ++j) {
    lines.Add(DecodedLine(file, text.strings[j], codec));
    total += text.strings[j].length;
    ctx.Status.AppendResult("String " + std::to_string(j) + " extracted.");
    ctx.Status.StepBar(Bar::Progress);
    if (j + 1 < n) ctx.Status.PumpEvents();
  }
  if (withBudget) lines.Add(BudgetLine(total));
  return lines;
}

// What insertion needs of the room file, read and checked before any write.
struct RoomBlock {
  std::uint64_t textOffset = 0;
  ByteBuffer pointerTable;  // p[0] bytes
  std::size_t Entries() const { return pointerTable.size() / 2; }
  std::uint16_t TableLength() const { return LoadU16(pointerTable.data()); }
};

// Where the room data lies in the file: all of an RDT file, directory entry
// 8 of an ARD container (whose other entries are never written).
struct RoomExtent {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  const char* what = "the room file";
};

RoomExtent FindRoomExtent(FileStream& file, RoomKind kind, const std::string& name) {
  const std::uint64_t size = file.Size();
  if (kind == RoomKind::Rdt) return {0, size};
  ByteBuffer head(8, 0);
  file.Seek(0);
  head.resize(file.ReadSome(head));
  if (head.size() == 8) {  // the directory as well, when the file holds it
    const std::uint64_t directoryEnd =
        ArdDirectoryEnd(LoadU32(head.data() + room::kArdCountOffset));
    if (directoryEnd <= size) {
      head.resize(static_cast<std::size_t>(directoryEnd));
      file.Seek(0);
      file.ReadExact(head);
    }
  }
  const ArdRoomEntry entry = FindArdRoomEntry(head, name);
  return {entry.start, std::min(size, entry.start + entry.length), "its room data (entry 8)"};
}

RoomBlock ReadRoomBlock(FileStream& room, const RoomExtent& extent, const std::string& name) {
  const auto refuse = [&](const std::string& what) { ThrowFormatError(name, what); };
  if (!FitsIn(extent.end, extent.start + room::kTextOffsetField, 4))
    refuse("the room data is too short to hold the text-block offset at 0x3C");
  std::uint8_t word[4];
  room.Seek(extent.start + room::kTextOffsetField);
  room.ReadExact(word);
  RoomBlock block;
  block.textOffset = extent.start + LoadU32(word);
  if (block.textOffset == extent.start)
    refuse("the room has no text block (its offset at 0x3C is 0)");
  if (!FitsIn(extent.end, block.textOffset, 2))
    refuse("the text block starts past the end of " + std::string(extent.what));
  room.Seek(block.textOffset);
  room.ReadExact({word, 2});
  const std::uint16_t tableLength = LoadU16(word);
  if (tableLength < 2) refuse("the text block's pointer table is empty");
  if (!FitsIn(extent.end, block.textOffset, tableLength))
    refuse("the text block's pointer table ends past the end of " + std::string(extent.what));
  block.pointerTable.resize(tableLength);
  room.Seek(block.textOffset);
  room.ReadExact(block.pointerTable);
  return block;
}

// The strings as game bytes: through a text table (every character it cannot
// encode is a problem of the plan, each named by line and column), or through
// a raw table with the escapes of room text. Each string is let go once it is
// encoded, so that a huge one is not held twice over.
std::vector<ByteBuffer> EncodeStrings(ProcessContext& ctx, std::vector<std::string> strings,
                                      const std::string& textName) {
  const GameTextCodec codec(ctx.CodeTable);
  std::vector<ByteBuffer> encoded;
  std::vector<Unencodable> missing;
  for (std::size_t j = 0; j < strings.size(); ++j) {
    const std::string string = std::move(strings[j]);
    if (!codec.IsTextTable()) {
      encoded.push_back(EncodeEscaped(string, codec.Raw()));
      continue;
    }
    missing.clear();
    encoded.push_back(codec.Text().Encode(string, missing));
    // The string's column 1 is the line's column 2, after "(".
    for (const Unencodable& c : missing)
      ctx.Plan.AddProblem(UnencodableText(textName, j, c.column + 1, c), ctx.LogLineLabel());
  }
  return encoded;
}

// The lengths of the room's strings as they are: from the pointer table, the
// last one the rest of the budget.
std::vector<std::uint64_t> StringLengths(const RoomBlock& block, std::uint32_t budget) {
  std::vector<std::uint64_t> lengths;
  const std::size_t n = block.Entries();
  const auto pointer = [&](std::size_t j) { return LoadU16(block.pointerTable.data() + 2 * j); };
  for (std::size_t j = 0; j + 1 < n; ++j)
    lengths.push_back(pointer(j + 1) >= pointer(j) ? pointer(j + 1) - pointer(j) : 0);
  const std::uint64_t before = pointer(n - 1) >= pointer(0) ? pointer(n - 1) - pointer(0) : 0;
  lengths.push_back(budget > before ? budget - before : 0);
  return lengths;
}

// Refuses what cannot be written: more strings than pointers, a budget past
// the end of the room file, strings that would start beyond a 16-bit pointer.
void CheckPlan(const RoomBlock& block, const std::vector<ByteBuffer>& encoded, std::uint32_t budget,
               const RoomExtent& extent, const std::string& textName) {
  const auto refuse = [&](const std::string& what) { ThrowFormatError(textName, what); };
  if (encoded.size() > block.Entries())
    refuse(std::to_string(encoded.size()) + " strings, but the room's pointer table has " +
           std::to_string(block.Entries()) + " entries");
  if (!FitsIn(extent.end, block.textOffset + block.TableLength(), budget))
    refuse("the budget of " + std::to_string(budget) + " bytes runs past the end of " +
           extent.what);
  std::uint64_t run = block.TableLength();
  for (std::size_t i = 0; i + 1 < encoded.size(); ++i) {
    run += encoded[i].size();
    if (run > room::kMaxPointer)
      refuse("string " + std::to_string(i + 1) + " would start " + std::to_string(run) +
             " bytes into the text block");
  }
}

// The write pass: strings one after the other, the last padded with 0x00 to
// the budget, then the rewritten pointer table.
void WriteStrings(FileStream& room, RoomBlock& block, const std::vector<ByteBuffer>& encoded,
                  std::uint32_t budget) {
  std::uint64_t position = block.textOffset + block.TableLength();
  std::uint64_t run = block.TableLength();
  std::uint64_t remaining = budget;
  for (std::size_t i = 0; i + 1 < encoded.size(); ++i) {
    room.Seek(position);
    room.Write(encoded[i]);
    position += encoded[i].size();
    remaining -= encoded[i].size();
    run += encoded[i].size();
    StoreU16(block.pointerTable.data() + 2 * (i + 1), static_cast<std::uint16_t>(run));
  }
  if (!encoded.back().empty()) {
    room.Seek(position);
    room.Write(encoded.back());
    // The padding a piece at a time: the budget may be far larger than the string.
    const ByteBuffer zeros(static_cast<std::size_t>(
        std::min<std::uint64_t>(remaining - encoded.back().size(), std::uint64_t{1} << 16)));
    for (std::uint64_t left = remaining - encoded.back().size(); left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
      room.Write({zeros.data(), n});
      left -= n;
    }
  }
  room.Seek(block.textOffset);
  room.Write(block.pointerTable);
}

}  // namespace

void ExtractBlockStrings(ProcessContext& ctx, const std::string& path, RoomKind kind) {
  const std::string name = FileNameOf(path);
  ctx.Status.SetCurrentMessage("Processing " + name + "...");
  const bool rdt = kind == RoomKind::Rdt;
  TextLines lines;
  {
    const MappedFile file(path);
    const RoomText text = ReadRoomText(file.Bytes(), !rdt, name);
    if (text.textOffset == 0) return;  // a room without text is passed over
    lines = StringLines(ctx, file.Bytes(), text, rdt || ctx.ArdInsertable);
  }
  const std::string textPath = ctx.ClaimOutput(ctx.OutputPath(NameWithExtension(path, ".txt")));
  lines.SaveToFile(textPath);
  ctx.Status.AppendResult(textPath + " saved.");
  // ARD text goes back only when asked for (an addition); RDT text always.
  if (rdt || ctx.ArdInsertable) ctx.ResultLog.Add(TextTargetLine(textPath));
  ctx.Status.PumpEvents();
}

std::size_t InsertBlockStrings(ProcessContext& ctx, std::size_t index, RoomKind kind) {
  if (index >= ctx.LogLines.Count() || !IsRoomTextTargetLine(ctx.LogLines.Get(index))) return index;
  // ARD text goes back only from the line its insertable extraction wrote.
  if (kind == RoomKind::Ard && !ValueAfter(ctx.LogLines.Get(index), logline::kTextTarget))
    return index;
  const std::string& line = ctx.TakeLogLine(index);
  const std::string textPath = ctx.FromLogFolder(TextTargetPath(line));
  const std::string textName = FileNameOf(textPath);
  FileStream& room = ctx.Source();
  const RoomExtent extent = FindRoomExtent(room, kind, FileNameOf(ctx.SourcePath));
  RoomBlock block = ReadRoomBlock(room, extent, FileNameOf(ctx.SourcePath));
  RoomTextFile text = [&] {  // the file's lines go once they are taken apart
    TextLines lines;
    lines.LoadFromFile(textPath);
    return ParseRoomTextFile(lines.Lines(), textName);
  }();
  const std::size_t problemsBefore = ctx.Plan.ProblemCount();
  auto encoded = std::make_shared<const std::vector<ByteBuffer>>(
      EncodeStrings(ctx, std::move(text.strings), textName));
  if (ctx.Plan.ProblemCount() > problemsBefore) return index + 1;  // characters listed

  std::uint64_t need = 0;
  for (const ByteBuffer& bytes : *encoded) need += bytes.size();
  if (ctx.DryRun)
    ReportTextSpace(ctx.Plan,
                    {textName, textName, 0, StringLengths(block, text.budget), text.budget},
                    LengthsOf(*encoded));
  if (need > text.budget) {
    ctx.Plan.AddRefusal("File " + textName + "wrong size by " + std::to_string(need - text.budget) +
                        " bytes.");
    return index + 1;
  }
  CheckPlan(block, *encoded, text.budget, extent, textName);
  const std::string label = ctx.LogLineLabel();
  ctx.Plan.Claim(room, {block.textOffset, std::uint64_t{block.TableLength()} + text.budget}, label);
  ctx.Plan.AddWrite(
      label,
      [&room, block = std::move(block), encoded, budget = text.budget]() mutable {
        WriteStrings(room, block, *encoded, budget);
      },
      "File " + textName + " inserted.");
  return index + 1;
}

}  // namespace tessary
