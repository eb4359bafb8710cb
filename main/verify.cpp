#include "main/verify.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
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
#include "misc/file_stream.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/processes.h"
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
  // A Stop of the check (the Stop button, an interrupt) stops the inner batch.
  void PumpEvents() override {
    outer_.Status.PumpEvents();
    if (inner != nullptr && outer_.StopRequested() && !inner->StopRequested()) inner->RequestStop();
  }
  std::optional<std::string> ChooseDirectory(const std::string&) override { return directory; }
  std::optional<std::string> ChooseCodeTable() override { return codeTable_; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string&) override {}
  std::string directory;
  ProcessContext* inner = nullptr;

 private:
  ProcessContext& outer_;
  std::optional<std::string> codeTable_;
};

constexpr std::string_view kWorkspacePrefix = ".tessary-verify-";
// Held alone inside a workspace while its check runs.
constexpr const char* kInUseName = ".in-use";

// Workspaces of checks whose process no longer runs (killed outright) are
// removed before a new one is made beside them; a workspace whose marker is
// held belongs to a running check, whatever its process id says.
void RemoveStaleWorkspaces(const std::string& outputDirectory) {
  std::error_code error;
  for (fs::directory_iterator it(NativePath(outputDirectory), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = PathText(it->path().filename());
    if (name.rfind(kWorkspacePrefix, 0) != 0) continue;
    const auto owner = LeadingProcessId(std::string_view(name).substr(kWorkspacePrefix.size()));
    const std::string marker = PathText(it->path() / kInUseName);
    std::error_code ignored;
    if (owner && !ProcessRuns(*owner) && (!FileExists(marker) || NobodyHolds(marker)))
      fs::remove_all(it->path(), ignored);
  }
}

// The temporary folder of one check ".tessary-verify-PID-N", removed with
// everything in it; the current directory, which the inner batches change, is
// restored.
class Workspace final {
 public:
  explicit Workspace(const std::string& outputDirectory) {
    static std::atomic<int> counter{0};
    std::error_code error;
    previous_ = fs::current_path(error);
    RemoveStaleWorkspaces(outputDirectory);
    path_ = JoinPath(outputDirectory, std::string(kWorkspacePrefix) +
                                          std::to_string(CurrentProcessId()) + "-" +
                                          std::to_string(counter++));
    fs::remove_all(NativePath(path_), error);
    if (!fs::create_directories(NativePath(path_), error)) ThrowCannotCreate(path_);
    inUse_.emplace(FileStream::CreateNew(JoinPath(path_, kInUseName), path_));
  }
  ~Workspace() {
    std::error_code error;
    if (!previous_.empty()) fs::current_path(previous_, error);
    inUse_.reset();  // closed first: Windows removes no open file
    fs::remove_all(NativePath(path_), error);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  // A new folder of the workspace.
  std::string Folder(const std::string& name) const {
    const std::string folder = JoinPath(path_, name);
    std::error_code error;
    fs::create_directories(NativePath(folder), error);
    if (error) ThrowCannotCreate(folder);
    return folder;
  }

 private:
  fs::path previous_;
  std::string path_;
  std::optional<FileStream> inUse_;
};

// Copied through a block of constant size: a large input is never held whole.
void CopyFile(const std::string& from, const std::string& to) {
  FileStream in = FileStream::OpenRead(from);
  OutputFile out(to);
  out.Stream().CopyFrom(in, 0);
  out.Commit();
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

// Ends a check that was asked to stop; its workspace goes on the way out.
struct CheckStopped {};

// One input under check: its folders in the workspace, the file insertion
// would patch with its copy, and the inner batches that extract and replay.
class RoundTripCheck final {
 public:
  RoundTripCheck(ProcessContext& outer, const Workspace& workspace, std::string input,
                 std::string n, const std::optional<std::string>& codeTable)
      : input(std::move(input)),
        outputDirectory(outer.OutputDirectory),
        frontEnd_(outer, codeTable),
        inner_(frontEnd_, frontEnd_),
        workspace_(workspace),
        outer_(outer),
        n_(std::move(n)) {
    frontEnd_.inner = &inner_;
    // Unedited entries would only be carried over: all are compressed.
    inner_.CompressEntries = inner_.CompressUnchangedToo = outer.CompressEntries;
  }
  bool Compressing() const { return inner_.CompressEntries; }
  // A new folder of the workspace, one per input.
  std::string Folder(const std::string& name) const { return workspace_.Folder(name + "/" + n_); }
  // Runs an inner batch of `file` into `directory`.
  void Run(FileType choice, const std::string& file, const std::string& directory) {
    frontEnd_.directory = directory;
    inner_.Queue.clear();
    AddFilesToQueue(inner_, choice, {file});
    const BatchOutcome outcome = BProcessClick(inner_);
    if (outer_.StopRequested()) throw CheckStopped();
    if (outcome == BatchOutcome::CodeTableCancelled)
      throw FormatError("a code table is needed to verify " + FileNameOf(file));
  }

  std::string input, outputDirectory;
  std::string original;  // the file insertion would patch
  std::string copy;      // its copy in the workspace
  std::string queued;    // what the check extracts: the copy of the input
  std::string extracted, inserted, log;

 private:
  InnerFrontEnd frontEnd_;
  ProcessContext inner_;
  const Workspace& workspace_;
  ProcessContext& outer_;
  std::string n_;
};

struct VerifySteps {
  void (*copyInput)(RoundTripCheck& check);  // sets original, copy and queued
  // Before the extraction, and before the replay; null: nothing to do.
  void (*beforeExtract)(RoundTripCheck& check);
  void (*beforeReplay)(RoundTripCheck& check);
  // "identical.", "identical but for ...", or where the result first differs.
  std::string (*compare)(RoundTripCheck& check);
};

namespace {

void CopyPlain(RoundTripCheck& check) {
  check.original = check.input;
  check.copy = check.queued = JoinPath(check.Folder("sources"), FileNameOf(check.input));
  CopyFile(check.input, check.copy);
}

// A description's game file is copied too, with a description that names the
// copy.
void CopyResInput(RoundTripCheck& check) {
  TextLines description;
  description.LoadFromFile(check.input);
  const ResDescription parsed = ParseResDescription(description.Lines(), FileNameOf(check.input));
  const std::string folder = check.Folder("sources");
  check.original = parsed.gamePath;
  check.copy = JoinPath(folder, "game-" + FileNameOf(parsed.gamePath));
  CopyFile(parsed.gamePath, check.copy);
  description.Set(0, description.Get(0).substr(0, res::kPathLabel) + check.copy);
  check.queued = JoinPath(folder, FileNameOf(check.input));
  description.SaveToFile(check.queued);
}

// The tables an extraction needs: from the output directory, else from beside
// the input.
void CopyArchiveTables(RoundTripCheck& check) {
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
// each description's raw decoding table, made here, or its text table itself.
void UseInvertedTables(RoundTripCheck& check) {
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
    // A text table serves both ways; a raw one is inverted.
    std::string encoding = parsed.tablePath;
    if (!TextTableIn(decoding)) {
      encoding = JoinPath(check.extracted, "encode.tbl");
      SaveBytes(encoding, InvertTable(TableEntries(decoding), true).encoding);
    }
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

// A rebuilt archive draws new scramble seeds: its entries, extracted again,
// are compared with the first extraction's.
std::string CompareArchive(RoundTripCheck& check) {
  const std::string again = check.Folder("check");
  for (const char* table : {kXorTableName, kDecodeTableName}) {
    if (FileExists(JoinPath(check.extracted, table)))
      CopyFile(JoinPath(check.extracted, table), JoinPath(again, table));
  }
  check.Run(FileType::Grm, JoinPath(check.inserted, FileNameOf(check.input)), again);
  const auto before = ArchiveTargets(check.log);
  const auto after = ArchiveTargets(JoinPath(again, std::string(kResultLogName)));
  if (before.size() != after.size()) return "the rebuilt archive has another number of entries.";
  for (std::size_t e = 0; e < before.size(); ++e) {
    if (const auto at = FirstDifference(before[e], after[e]))
      return "entry " + FileNameOf(before[e]) + " differs at offset " + Hex(*at) + ".";
  }
  if (!check.Compressing()) return "identical.";
  const auto size = [](const std::string& path) {
    return std::to_string(FileStream::OpenRead(path).Size());
  };
  return "identical; rebuilt with its entries compressed: " +
         size(JoinPath(check.inserted, FileNameOf(check.input))) + " bytes, the original " +
         size(check.input) + ".";
}

std::string DiffersAt(std::uint64_t at, const std::string& where = {}) {
  return "differs at offset " + Hex(at) + where + ".";
}

std::string CompareFile(RoundTripCheck& check) {
  const auto at = FirstDifference(check.original, check.copy);
  return at ? DiffersAt(*at) : "identical.";
}

std::string CompareTim(RoundTripCheck& check) {
  const auto at = FirstDifference(check.original, check.copy);
  if (!at) return "identical.";
  if (DiffersOnlyInStpBits(LoadBytes(check.original), LoadBytes(check.copy)))
    return "identical but for the STP bits of its 16-bit pixels.";
  return DiffersAt(*at);
}

// A difference names the found image that holds it.
std::string CompareSearched(RoundTripCheck& check) {
  const auto at = FirstDifference(check.original, check.copy);
  if (!at) return "identical.";
  TextLines log;
  log.LoadFromFile(check.log);
  const std::string holder = TimTargetHolding(log.Lines(), *at);
  return DiffersAt(*at, holder.empty() ? "" : " (in " + holder + ")");
}

// Extracts one input, replays its unedited log onto copies and compares.
std::string VerifyOne(RoundTripCheck& check, const FormatRow& row) {
  const VerifySteps& steps = *row.verify;
  steps.copyInput(check);
  check.extracted = check.Folder("extract");
  check.log = JoinPath(check.extracted, std::string(kResultLogName));
  if (steps.beforeExtract != nullptr) steps.beforeExtract(check);
  check.Run(TypeOfRow(row), check.queued, check.extracted);
  if (steps.beforeReplay != nullptr) steps.beforeReplay(check);
  check.inserted = check.Folder("insert");
  check.Run(FileType::Log, check.log, check.inserted);
  return steps.compare(check);
}

}  // namespace

const VerifySteps kArchiveVerify{CopyPlain, CopyArchiveTables, nullptr, CompareArchive};
const VerifySteps kBitmapVerify{CopyPlain, nullptr, nullptr, CompareTim};
const VerifySteps kSearchVerify{CopyPlain, nullptr, nullptr, CompareSearched};
const VerifySteps kResVerify{CopyResInput, nullptr, UseInvertedTables, CompareFile};
const VerifySteps kRoomVerify{CopyPlain, nullptr, nullptr, CompareFile};

// Both files are read a block at a time, so that the check of a large input
// needs the same memory as that of a small one.
std::optional<std::uint64_t> FirstDifference(const std::string& a, const std::string& b) {
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  FileStream x = FileStream::OpenRead(a), y = FileStream::OpenRead(b);
  std::vector<std::uint8_t> p(kBlock), q(kBlock);
  for (std::uint64_t at = 0;; at += kBlock) {
    const std::size_t m = x.ReadSome(p), n = y.ReadSome(q);
    const auto end = p.begin() + static_cast<std::ptrdiff_t>(std::min(m, n));
    const auto differs = std::mismatch(p.begin(), end, q.begin()).first;
    if (differs != end || m != n) return at + static_cast<std::uint64_t>(differs - p.begin());
    if (m < kBlock) return std::nullopt;  // both ended, alike
  }
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

bool VerifyRoundTrip(ProcessContext& ctx, FileType choice, const std::vector<std::string>& files,
                     const std::optional<std::string>& codeTable) {
  const FormatRow* row = RowOfChoice(choice);
  if (row == nullptr || IsLogQueue(row->index))
    throw FormatError("verify takes the inputs of an extraction, not logs or project lists");
  const Workspace workspace(ctx.OutputDirectory);
  bool allRoundTrip = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string name = FileNameOf(files[i]);
    ctx.Status.SetCurrentMessage("Verifying " + name + " ...");
    ctx.Status.PumpEvents();
    if (row->verify == nullptr) {
      ctx.Status.AppendResult(name + ": " + std::string(row->key) +
                              " files have no insertion; nothing to verify.");
      continue;
    }
    std::string verdict;
    try {
      RoundTripCheck check(ctx, workspace, files[i], std::to_string(i), codeTable);
      verdict = VerifyOne(check, *row);
    } catch (const CheckStopped&) {
      ctx.Status.AppendResult(kStoppedByUser);
      return false;
    }
    if (verdict.rfind("identical", 0) != 0) allRoundTrip = false;
    ctx.Status.AppendResult(name + ": " + verdict);
  }
  return allRoundTrip;
}

}  // namespace tessary
