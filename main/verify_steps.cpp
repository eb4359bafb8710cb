#include "main/verify_steps.h"

#include <algorithm>
#include <cstdio>

#include "batch/result_log.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "formathandlers/text/code_table.h"
#include "formathandlers/text/res_description.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/text/text_table.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "main/verify.h"
#include "misc/errors.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

void CopyFile(const std::string& from, const std::string& to) {
  SaveBytes(to, LoadBytes(from));
}

Subject CopyPlain(const std::string& input, const std::string& folder) {
  const std::string copy = JoinPath(folder, FileNameOf(input));
  CopyFile(input, copy);
  return {input, copy, copy};
}

// A description's game file is copied too, with a description that names the
// copy.
Subject CopyResInput(const std::string& input, const std::string& folder) {
  TextLines description;
  description.LoadFromFile(input);
  const ResDescription parsed = ParseResDescription(description.Lines(), FileNameOf(input));
  const std::string gameCopy = JoinPath(folder, "game-" + FileNameOf(parsed.gamePath));
  CopyFile(parsed.gamePath, gameCopy);
  description.Set(0, description.Get(0).substr(0, res::kPathLabel) + gameCopy);
  const std::string inputCopy = JoinPath(folder, FileNameOf(input));
  description.SaveToFile(inputCopy);
  return {parsed.gamePath, gameCopy, inputCopy};
}

// The tables an extraction needs: from the output directory, else from beside
// the input.
void CopyArchiveTables(const VerifyCase& check) {
  for (const char* name : {kXorTableName, kDecodeTableName}) {
    for (const std::string& directory : {check.outputDirectory, ParentOf(check.input)}) {
      const std::string candidate = JoinPath(directory, name);
      if (FileExists(candidate)) {
        CopyFile(candidate, JoinPath(check.extracted, name));
        break;
      }
    }
  }
}

// RES text files name the encoding table on their first line: the inverse of
// each description's decoding table, made here.
void UseInvertedTables(const VerifyCase& check) {
  TextLines log;
  log.LoadFromFile(check.log);
  std::string description;
  for (const std::string& line : log.Lines()) {
    if (auto source = ValueAfter(line, logline::kSource)) description = std::move(*source);
    const auto textPath = ValueAfter(line, logline::kTextTarget);
    if (!textPath) continue;
    TextLines lines;
    lines.LoadFromFile(description);
    const ResDescription parsed = ParseResDescription(lines.Lines(), FileNameOf(description));
    ByteBuffer decoding;
    LoadCodeTable(decoding, parsed.tablePath);
    const std::string encoding = JoinPath(check.extracted, "encode.tbl");
    SaveBytes(encoding, InvertTable(TableEntries(decoding), true).encoding);
    TextLines text;
    text.LoadFromFile(*textPath);
    text.Set(0, std::string(kUseTablePrefix) + encoding);
    text.SaveToFile(*textPath);
  }
}

std::vector<std::string> ArchiveTargets(const std::string& logPath) {
  TextLines log;
  log.LoadFromFile(logPath);
  std::vector<std::string> targets;
  for (const std::string& line : log.Lines()) {
    if (auto path = ValueAfter(line, logline::kArchiveTarget)) targets.push_back(std::move(*path));
  }
  return targets;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// A rebuilt archive draws new scramble seeds: its entries, extracted again,
// are compared with the first extraction's.
std::string CompareArchive(const VerifyCase& check) {
  const std::string again = check.newFolder("check");
  for (const char* table : {kXorTableName, kDecodeTableName}) {
    if (FileExists(JoinPath(check.extracted, table)))
      CopyFile(JoinPath(check.extracted, table), JoinPath(again, table));
  }
  check.runBatch(FileType::Grm, JoinPath(check.inserted, FileNameOf(check.input)), again);
  const auto before = ArchiveTargets(check.log);
  const auto after = ArchiveTargets(JoinPath(again, std::string(kResultLogName)));
  if (before.size() != after.size()) return "the rebuilt archive has another number of entries.";
  for (std::size_t e = 0; e < before.size(); ++e) {
    if (const auto at = FirstDifference(before[e], after[e]))
      return "entry " + FileNameOf(before[e]) + " differs at offset " + Hex(*at) + ".";
  }
  return "identical.";
}

std::string DiffersAt(std::uint64_t at, const std::string& where = {}) {
  return "differs at offset " + Hex(at) + where + ".";
}

std::string CompareFile(const VerifyCase& check) {
  const auto at = FirstDifference(check.subject.original, check.subject.copy);
  return at ? DiffersAt(*at) : "identical.";
}

std::string CompareTim(const VerifyCase& check) {
  const Subject& subject = check.subject;
  const auto at = FirstDifference(subject.original, subject.copy);
  if (!at) return "identical.";
  if (DiffersOnlyInStpBits(LoadBytes(subject.original), LoadBytes(subject.copy)))
    return "identical but for the STP bits of its 16-bit pixels.";
  return DiffersAt(*at);
}

// A difference names the found image that holds it.
std::string CompareSearched(const VerifyCase& check) {
  const auto at = FirstDifference(check.subject.original, check.subject.copy);
  if (!at) return "identical.";
  TextLines log;
  log.LoadFromFile(check.log);
  const std::string holder = TimTargetHolding(log.Lines(), *at);
  return DiffersAt(*at, holder.empty() ? "" : " (in " + holder + ")");
}

}  // namespace

const VerifySteps kArchiveVerify{CopyPlain, CopyArchiveTables, nullptr, CompareArchive};
const VerifySteps kBitmapVerify{CopyPlain, nullptr, nullptr, CompareTim};
const VerifySteps kSearchVerify{CopyPlain, nullptr, nullptr, CompareSearched};
const VerifySteps kResVerify{CopyResInput, nullptr, UseInvertedTables, CompareFile};
const VerifySteps kRoomVerify{CopyPlain, nullptr, nullptr, CompareFile};

std::optional<std::uint64_t> FirstDifference(const std::string& a, const std::string& b) {
  const ByteBuffer x = LoadBytes(a), y = LoadBytes(b);
  const auto [p, q] = std::mismatch(x.begin(), x.end(), y.begin(), y.end());
  if (p == x.end() && q == y.end()) return std::nullopt;
  return static_cast<std::uint64_t>(p - x.begin());
}

std::string TimTargetHolding(const std::vector<std::string>& log, std::uint64_t offset) {
  for (const std::string& line : log) {
    if (!ValueAfter(line, logline::kTimTarget)) continue;
    const auto target = ParseTimTarget(line);
    if (target && offset >= target->offset && offset - target->offset < target->length)
      return FileNameOf(target->path);
  }
  return {};
}

bool DiffersOnlyInStpBits(const ByteBuffer& original, const ByteBuffer& copy) {
  if (original.size() != copy.size()) return false;
  try {
    const TimImage image = ReadTimImage(original, "TIM", true);
    if (image.mode != TimPixelMode::Direct16) return false;
    for (std::size_t i = 0; i < original.size(); ++i) {
      const std::uint8_t diff = original[i] ^ copy[i];
      const bool stp = i >= image.pixelOffset && (i - image.pixelOffset) % 2 == 1 && diff == 0x80;
      if (diff != 0 && !stp) return false;
    }
    return true;
  } catch (const FormatError&) {
    return false;
  }
}

}  // namespace tessary
