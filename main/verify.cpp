#include "main/verify.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "batch/result_log.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/verify_steps.h"
#include "misc/errors.h"
#include "misc/paths.h"

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
  explicit Workspace(const std::string& outputDirectory) {
    static std::atomic<int> counter{0};
    std::error_code error;
    previous_ = fs::current_path(error);
    path_ = JoinPath(outputDirectory, ".tessary-verify-" + std::to_string(counter++));
    fs::remove_all(NativePath(path_), error);
    if (!fs::create_directories(NativePath(path_), error)) ThrowCannotCreate(path_);
  }
  ~Workspace() {
    std::error_code error;
    if (!previous_.empty()) fs::current_path(previous_, error);
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
};

void RunInner(ProcessContext& inner, InnerFrontEnd& frontEnd, FileType choice,
              const std::string& file, const std::string& directory) {
  frontEnd.directory = directory;
  inner.Queue.clear();
  AddFilesToQueue(inner, choice, {file});
  if (BProcessClick(inner) == BatchOutcome::CodeTableCancelled)
    throw FormatError("a code table is needed to verify " + FileNameOf(file));
}

// Extracts one input, replays its unedited log onto copies and compares.
std::string VerifyOne(ProcessContext& ctx, const FormatRow& row, const std::string& input,
                      const Workspace& workspace, const std::string& n,
                      const std::optional<std::string>& codeTable) {
  const VerifySteps& steps = *row.verify;
  InnerFrontEnd frontEnd(ctx, codeTable);
  ProcessContext inner(frontEnd, frontEnd);
  VerifyCase check;
  check.input = input;
  check.outputDirectory = ctx.OutputDirectory;
  check.runBatch = [&](FileType choice, const std::string& file, const std::string& directory) {
    RunInner(inner, frontEnd, choice, file, directory);
  };
  check.newFolder = [&](const std::string& name) { return workspace.Folder(name + "/" + n); };
  check.subject = steps.copyInput(input, check.newFolder("sources"));
  check.extracted = check.newFolder("extract");
  check.log = JoinPath(check.extracted, std::string(kResultLogName));
  if (steps.beforeExtract != nullptr) steps.beforeExtract(check);
  check.runBatch(row.type, check.subject.queued, check.extracted);
  if (steps.beforeReplay != nullptr) steps.beforeReplay(check);
  check.inserted = check.newFolder("insert");
  check.runBatch(FileType::Log, check.log, check.inserted);
  return steps.compare(check);
}

}  // namespace

bool VerifyRoundTrip(ProcessContext& ctx, FileType choice, const std::vector<std::string>& files,
                     const std::optional<std::string>& codeTable) {
  const FormatRow* row = RowOfChoice(choice);
  if (row == nullptr || row->appliesLogs)
    throw FormatError("verify takes the inputs of an extraction, not logs or project lists");
  const Workspace workspace(ctx.OutputDirectory);
  bool allRoundTrip = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& input = files[i];
    ctx.Status.SetCurrentMessage("Verifying " + FileNameOf(input) + " ...");
    ctx.Status.PumpEvents();
    if (row->verify == nullptr) {
      ctx.Status.AppendResult(FileNameOf(input) + ": " + std::string(row->key) +
                              " files have no insertion; nothing to verify.");
      continue;
    }
    const std::string verdict =
        VerifyOne(ctx, *row, input, workspace, std::to_string(i), codeTable);
    if (verdict.rfind("identical", 0) != 0) allRoundTrip = false;
    ctx.Status.AppendResult(FileNameOf(input) + ": " + verdict);
  }
  return allRoundTrip;
}

}  // namespace tessary
