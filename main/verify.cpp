#include "main/verify.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>

#include "batch/result_log.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "formathandlers/text/code_table.h"
#include "formathandlers/text/res_description.h"
#include "formathandlers/text/res_text.h"
#include "formathandlers/text/text_table.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "misc/errors.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

namespace fs = std::filesystem;

// The inner batches' front end: their status stays quiet, but window events
// still run through the outer front end; the dialogs answer by themselves.
class InnerFrontEnd final : public SilentStatusOutputs, public Dialogs {
 public:
  InnerFrontEnd(ProcessContext& outer, std::optional<std::string> codeTable)
      : outer_(outer), codeTable_(std::move(codeTable)) {}
  void PumpEvents() override { outer_.Status.PumpEvents(); }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return directory; }
  std::optional<std::string> ChooseCodeTable() override { return codeTable_; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string&) override {}
  std::string directory;

 private:
  ProcessContext& outer_;
  std::optional<std::string> codeTable_;
};

// The temporary folder of one check, removed with everything in it; the
// current directory, which the inner batches change, is restored.
class Workspace final {
 public:
  explicit Workspace(const std::string& outputDirectory) : previous_(fs::current_path()) {
    static std::atomic<int> counter{0};
    path_ = JoinPath(outputDirectory, ".tessary-verify-" + std::to_string(counter++));
    std::error_code error;
    fs::remove_all(NativePath(path_), error);
    if (!fs::create_directories(NativePath(path_), error)) ThrowCannotCreate(path_);
  }
  ~Workspace() {
    std::error_code error;
    fs::current_path(previous_, error);
    fs::remove_all(NativePath(path_), error);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  // A new folder of the workspace.
  std::string Folder(const std::string& name) const {
    const std::string folder = JoinPath(path_, name);
    fs::create_directories(NativePath(folder));
    return folder;
  }

 private:
  fs::path previous_;
  std::string path_;
};

void CopyFile(const std::string& from, const std::string& to) {
  SaveBytes(to, LoadBytes(from));
}

// What one input is compared through: the file the insertion writes into, its
// untouched original, and the copy the check worked on.
struct Subject {
  std::string original;  // the file insertion would patch
  std::string copy;      // its copy in the workspace
  std::string queued;    // what the check extracts: the copy of the input
};

// Copies an input (for RES, also its game file, with a description that
// names the copy) into `folder`.
Subject CopyInput(const std::string& input, std::uint8_t index, const std::string& folder) {
  const std::string inputCopy = JoinPath(folder, FileNameOf(input));
  if (index != format::kRes) {
    CopyFile(input, inputCopy);
    return {input, inputCopy, inputCopy};
  }
  TextLines description;
  description.LoadFromFile(input);
  const ResDescription parsed = ParseResDescription(description.Lines(), FileNameOf(input));
  const std::string gameCopy = JoinPath(folder, "game-" + FileNameOf(parsed.gamePath));
  CopyFile(parsed.gamePath, gameCopy);
  description.Set(0, description.Get(0).substr(0, res::kPathLabel) + gameCopy);
  description.SaveToFile(inputCopy);
  return {parsed.gamePath, gameCopy, inputCopy};
}

// The tables a GRM extraction needs, copied into `folder`: from the output
// directory, else from beside the input.
void CopyArchiveTables(const std::string& outputDirectory, const std::string& input,
                       const std::string& folder) {
  for (const char* name : {kXorTableName, kDecodeTableName}) {
    for (const std::string& directory : {outputDirectory, ParentOf(input)}) {
      const std::string candidate = JoinPath(directory, name);
      if (FileExists(candidate)) {
        CopyFile(candidate, JoinPath(folder, name));
        break;
      }
    }
  }
}

// RES text files name the encoding table on their first line: the inverse
// of each description's decoding table, made here.
void UseInvertedTables(const TextLines& log, const std::string& folder) {
  std::string description;
  for (const std::string& line : log.Lines()) {
    if (line.rfind(logline::kSource, 0) == 0) description = line.substr(logline::kSource.size());
    if (line.rfind(logline::kTextTarget, 0) != 0) continue;
    TextLines lines;
    lines.LoadFromFile(description);
    const ResDescription parsed = ParseResDescription(lines.Lines(), FileNameOf(description));
    ByteBuffer decoding;
    LoadCodeTable(decoding, parsed.tablePath);
    const std::string encoding = JoinPath(folder, "encode.tbl");
    SaveBytes(encoding, InvertTable(TableEntries(decoding), true).encoding);
    TextLines text;
    const std::string textPath = line.substr(logline::kTextTarget.size());
    text.LoadFromFile(textPath);
    text.Set(0, std::string(kUseTablePrefix) + encoding);
    text.SaveToFile(textPath);
  }
}

void RunInner(ProcessContext& inner, InnerFrontEnd& frontEnd, int choice, const std::string& file,
              const std::string& directory) {
  frontEnd.directory = directory;
  inner.Queue.clear();
  AddFilesToQueue(inner, choice, {file});
  if (BProcessClick(inner) == BatchOutcome::CodeTableCancelled)
    throw FormatError("a code table is needed to verify " + FileNameOf(file));
}

std::vector<std::string> ArchiveTargets(const std::string& logPath) {
  TextLines log;
  log.LoadFromFile(logPath);
  std::vector<std::string> targets;
  for (const std::string& line : log.Lines()) {
    if (line.rfind(logline::kArchiveTarget, 0) == 0)
      targets.push_back(line.substr(logline::kArchiveTarget.size()));
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
std::string CompareArchive(ProcessContext& inner, InnerFrontEnd& frontEnd,
                           const std::string& extracted, const std::string& rebuilt,
                           const std::string& check) {
  for (const char* table : {kXorTableName, kDecodeTableName}) {
    if (FileExists(JoinPath(extracted, table)))
      CopyFile(JoinPath(extracted, table), JoinPath(check, table));
  }
  RunInner(inner, frontEnd, 1, rebuilt, check);
  const auto before = ArchiveTargets(JoinPath(extracted, "result.log"));
  const auto after = ArchiveTargets(JoinPath(check, "result.log"));
  if (before.size() != after.size()) return "the rebuilt archive has another number of entries.";
  for (std::size_t e = 0; e < before.size(); ++e) {
    if (const auto at = FirstDifference(before[e], after[e]))
      return "entry " + FileNameOf(before[e]) + " differs at offset " + Hex(*at) + ".";
  }
  return "identical.";
}

std::string CompareFile(const Subject& subject, std::uint8_t index, const std::string& logPath) {
  const auto at = FirstDifference(subject.original, subject.copy);
  if (!at) return "identical.";
  if (index == format::kTim &&
      DiffersOnlyInStpBits(LoadBytes(subject.original), LoadBytes(subject.copy)))
    return "identical but for the STP bits of its 16-bit pixels.";
  std::string where;
  if (index == format::kStim) {
    TextLines log;
    log.LoadFromFile(logPath);
    const std::string holder = TimTargetHolding(log.Lines(), *at);
    if (!holder.empty()) where = " (in " + holder + ")";
  }
  return "differs at offset " + Hex(*at) + where + ".";
}

}  // namespace

std::optional<std::uint64_t> FirstDifference(const std::string& a, const std::string& b) {
  const ByteBuffer x = LoadBytes(a), y = LoadBytes(b);
  const auto [p, q] = std::mismatch(x.begin(), x.end(), y.begin(), y.end());
  if (p == x.end() && q == y.end()) return std::nullopt;
  return static_cast<std::uint64_t>(p - x.begin());
}

std::string TimTargetHolding(const std::vector<std::string>& log, std::uint64_t offset) {
  for (const std::string& line : log) {
    if (line.rfind(logline::kTimTarget, 0) != 0) continue;
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

bool VerifyRoundTrip(ProcessContext& ctx, int choice, const std::vector<std::string>& files,
                     const std::optional<std::string>& codeTable) {
  const FormatRow* row = RowOfChoice(choice);
  if (row == nullptr || row->key.empty())
    throw FormatError("verify takes the inputs of an extraction, not logs or project lists");
  const Workspace workspace(ctx.OutputDirectory);
  bool allRoundTrip = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& input = files[i];
    ctx.Status.SetCurrentMessage("Verifying " + FileNameOf(input) + " ...");
    ctx.Status.PumpEvents();
    const std::string n = std::to_string(i);
    if (row->insert == nullptr) {
      ctx.Status.AppendResult(FileNameOf(input) + ": " + std::string(row->key) +
                              " files have no insertion; nothing to verify.");
      continue;
    }
    InnerFrontEnd frontEnd(ctx, codeTable);
    ProcessContext inner(frontEnd, frontEnd);
    const Subject subject = CopyInput(input, row->index, workspace.Folder("sources/" + n));
    const std::string extracted = workspace.Folder("extract/" + n);
    if (row->index == format::kGrm) CopyArchiveTables(ctx.OutputDirectory, input, extracted);
    RunInner(inner, frontEnd, choice, subject.queued, extracted);
    const std::string log = JoinPath(extracted, "result.log");
    TextLines lines;
    lines.LoadFromFile(log);
    if (row->index == format::kRes) UseInvertedTables(lines, extracted);
    const std::string inserted = workspace.Folder("insert/" + n);
    RunInner(inner, frontEnd, 6, log, inserted);
    const std::string verdict =
        row->index == format::kGrm
            ? CompareArchive(inner, frontEnd, extracted, JoinPath(inserted, FileNameOf(input)),
                             workspace.Folder("check/" + n))
            : CompareFile(subject, row->index, log);
    if (verdict.rfind("identical", 0) != 0) allRoundTrip = false;
    ctx.Status.AppendResult(FileNameOf(input) + ": " + verdict);
  }
  return allRoundTrip;
}

}  // namespace tessary
