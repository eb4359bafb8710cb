#include "main/cli/cli_front_end.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formathandlers/image/png_codec.h"
#include "formathandlers/text/code_table.h"
#include "main/batch_driver.h"
#include "main/cli/cli_info.h"
#include "main/cli/cli_outputs.h"
#include "main/cli/cli_tables.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "main/relocate.h"
#include "main/verify.h"
#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// The --help footer: one line per file type of the registry, then the exit
// statuses.
std::string KeyHelp() {
  std::string help = "KEY (case-insensitive):\n";
  for (const FormatRow& row : FormatRegistry()) {
    std::string key(row.cliKey);
    key.resize(6, ' ');
    help += "  " + key + std::string(row.cliHelp) + "\n";
  }
  return help +
         "Exit status: 0 done, 1 an error ended the batch, 2 usage, 3 done but something was "
         "refused or skipped (counted on the last line), 130 stopped.\n";
}

struct Options {
  std::string key;
  std::string outputDirectory;
  std::string codeTable;
  bool quiet = false;
  bool dryRun = false;
  bool png = false;
  bool keepStp = false;
  bool ardInsertable = false;
  bool alpha = false;
  bool lenient = false;
  bool compress = false;
  bool relative = false;
  std::vector<std::string> files;
};

int UsageError(const std::string& text) {
  std::cerr << "tessary-cli: " << text << "\nRun with --help for more information.\n";
  return kExitUsage;
}

// Creates the output directory with its parents (unless `create` is false)
// and returns its absolute form.
std::string PrepareOutputDirectory(const std::string& path, bool create) {
  std::filesystem::path absolute = NativePath(AbsolutePath(path));
  if (!absolute.has_filename() && absolute.has_parent_path() && absolute != absolute.root_path())
    absolute = absolute.parent_path();
  if (!create) return PathText(absolute);
  std::error_code error;
  std::filesystem::create_directories(absolute, error);
  if (!std::filesystem::is_directory(absolute))
    throw FileError("Cannot create directory " + PathText(absolute));
  return PathText(absolute);
}

struct Session {
  std::string directory;
  std::optional<std::string> table;
  std::vector<std::string> files;
};

Session PrepareSession(const Options& options, bool createDirectory) {
  Session session{PrepareOutputDirectory(options.outputDirectory, createDirectory), {}, {}};
  if (!options.codeTable.empty()) session.table = AbsolutePath(options.codeTable);
  for (const auto& file : options.files) session.files.push_back(AbsolutePath(file));
  return session;
}

int RunBatchWith(const Options& options, FileType choice) {
  // A dry run writes nothing: not even the output directory is made.
  const Session session = PrepareSession(options, !options.dryRun);
  CliOutputs outputs(!options.quiet && StderrIsTerminal());
  CliDialogs dialogs(session.directory, session.table);
  ProcessContext ctx(outputs, dialogs);
  ctx.DryRun = options.dryRun;
  ctx.BitmapsAsPng = options.png;
  ctx.KeepStp = options.keepStp;
  ctx.ArdInsertable = options.ardInsertable;
  ctx.Alpha = options.alpha;
  ctx.LenientSearch = options.lenient;
  ctx.CompressEntries = options.compress;
  ctx.RelativePaths = options.relative;
  outputs.Attach(ctx);
  InstallInterruptHandler();
  AddFilesToQueue(ctx, choice, session.files);
  // Other batches take -t as the table loaded before them, as the window keeps
  // the table of an earlier batch: log sections of RDT rooms use it unless the
  // log names one with "#CodeTable:".
  if (session.table && !RowOfChoice(choice)->needsCodeTable)
    LoadCodeTable(ctx.CodeTable, *session.table);

  const BatchOutcome outcome = RunBatch(ctx);
  outputs.ClearLine();
  FlushResults();
  switch (outcome) {
    case BatchOutcome::Failed:
      return kExitFailed;
    case BatchOutcome::Stopped:
      std::cerr << kStoppedByUser << '\n';
      return kExitStopped;
    default:
      dialogs.ShowPendingInformation();
      if (ctx.Status.Refusals() == 0) return kExitCompleted;
      std::cerr << ctx.Status.Refusals() << " of " << ctx.Status.Outcomes()
                << " refused or skipped.\n";
      return kExitRefused;
  }
}

// The folders of a path that do not exist yet are removed again, once empty,
// when the object goes: verify needs them only for its workspace.
class FoldersMadeFor final {
 public:
  explicit FoldersMadeFor(const std::string& path) {
    std::error_code error;
    for (auto folder = NativePath(AbsolutePath(path));
         !folder.empty() && folder.has_relative_path(); folder = folder.parent_path()) {
      if (std::filesystem::exists(folder, error)) break;
      made_.push_back(folder);
    }
  }
  ~FoldersMadeFor() {
    std::error_code error;
    for (const auto& folder : made_) std::filesystem::remove(folder, error);  // empty ones only
  }
  FoldersMadeFor(const FoldersMadeFor&) = delete;
  FoldersMadeFor& operator=(const FoldersMadeFor&) = delete;

 private:
  std::vector<std::filesystem::path> made_;  // deepest first
};

int RunVerify(const Options& options, FileType choice) {
  const FoldersMadeFor made(options.outputDirectory);
  const Session session = PrepareSession(options, true);
  CliOutputs outputs(!options.quiet && StderrIsTerminal());
  CliDialogs dialogs(session.directory, session.table);
  ProcessContext ctx(outputs, dialogs);
  ctx.OutputDirectory = session.directory;
  ctx.CompressEntries = options.compress;
  outputs.Attach(ctx);
  InstallInterruptHandler();  // a stopped check still removes its workspace
  const bool identical = VerifyRoundTrip(ctx, choice, session.files, session.table);
  outputs.ClearLine();
  FlushResults();
  if (ctx.StopRequested()) {
    std::cerr << kStoppedByUser << '\n';
    return kExitStopped;
  }
  return identical ? kExitCompleted : kExitFailed;
}

// "N paths moved: PATH" (status 0), or that none lies in the old folder
// (status 3, nothing written).
int RunRelocate(const std::string& log, const std::string& from, const std::string& to) {
  const Relocated relocated = RelocateLog(AbsolutePath(log), from, to);
  if (relocated.paths == 0) {
    std::cerr << "No path of " << FileNameOf(log) << " lies in " << from
              << "; nothing was written.\n";
    return kExitRefused;
  }
  std::cout << relocated.paths << " paths moved: " << relocated.logPath << '\n';
  return kExitCompleted;
}

// The options of a batch (and of verify): -f, -o, -t, -q, FILE...
void AddBatchOptions(CLI::App& app, Options& options) {
  app.add_option("-f,--format", options.key, "file type KEY (see below)");
  app.add_option("-o,--output", options.outputDirectory, "output directory (created if missing)");
  app.add_option("-t,--table", options.codeTable,
                 "code table (*.tbl): required for ard and rdt; for log and lst the table that "
                 "RDT sections use unless the log names one");
  app.add_flag("-q,--quiet", options.quiet, "no status line or progress bar on stderr");
  app.add_option("FILE", options.files, "input files (for lst: one project list)");
}

// -f, -o and FILE are needed; the key must be known and have its table.
int CheckBatchOptions(const Options& options, FileType& choice) {
  if (options.key.empty() || options.outputDirectory.empty() || options.files.empty())
    return UsageError("-f KEY, -o DIR and at least one FILE are required");
  choice = ChoiceOfCliKey(options.key);
  if (choice == FileType::None) return UsageError("unknown file type KEY '" + options.key + "'");
  if (RowOfChoice(choice)->needsCodeTable && options.codeTable.empty())
    return UsageError("-t TABLE is required for " + options.key);
  return kExitCompleted;
}

int Guarded(const std::function<int()>& run) {
  try {
    return run();
  } catch (const std::exception& error) {
    std::cerr << WithFullStop(error.what()) << '\n';
    return kExitFailed;
  }
}

}  // namespace

int RunCli(int argc, char** argv) {
  Options options, verifyOptions;
  CLI::App app{
      "Tessary: takes Grimhold 3 data apart and puts edited files back.\n"
      "Runs one batch of FILEs of one type into the output directory.",
      "tessary-cli"};
  // Only '-' starts an option, on Windows too: there a path may start with '/'
  // (the root of the drive, or a path typed in an MSYS shell).
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "tessary-cli " TESSARY_VERSION);
  AddBatchOptions(app, options);
  app.add_flag("--dry-run", options.dryRun,
               "log and lst only: make every check of insertion, write nothing");
  // Offered only by a build that can write PNG files.
  if (PngSupported()) {
    app.add_flag("--png", options.png, "tim only: write PNG files instead of BMP files");
    app.add_flag("--alpha", options.alpha,
                 "tim: write colour 0x0000 as transparent (PNG with alpha); log and lst: "
                 "transparent pixels become 0x0000, opaque black 0x8000");
  }
  app.add_flag("--keep-stp", options.keepStp,
               "log and lst only: 16-bit pixels whose colour is unchanged keep their STP bit");
  app.add_flag("--lenient", options.lenient,
               "stim only: also find images with odd block lengths, stray flags bits or the "
               "standard 24-bit layout, each marked in its result line");
  app.add_flag("--compress", options.compress,
               "log and lst only: archive entries whose files are unedited are carried over as "
               "stored; edited ones are compressed where that makes them smaller");
  app.add_flag("--relative", options.relative,
               "extraction only: result.log names its files relative to its own folder, so "
               "that the project can move");
  app.add_flag("--ard-insertable", options.ardInsertable,
               "ard only: also write the budget line and the log line that insertion needs");
  CLI::App* verify = app.add_subcommand(
      "verify",
      "extract FILEs, put them back unedited into copies, compare (nothing else is "
      "written)");
  AddBatchOptions(*verify, verifyOptions);
  verify->add_flag("--compress", verifyOptions.compress,
                   "grm only: rebuild with every entry compressed where that makes it smaller");
  TableCommands tables;
  AddTableCommands(app, tables);
  InfoCommand info;
  AddInfoCommand(app, info);
  std::string relocateLog, relocateFrom, relocateTo;
  CLI::App* relocate = app.add_subcommand(
      "relocate",
      "rewrite the paths of a result log whose files moved into LOG-relocated beside it");
  relocate->add_option("LOG", relocateLog, "the result log")->required();
  relocate->add_option("--from", relocateFrom, "where the files were (a folder)")->required();
  relocate->add_option("--to", relocateTo, "where they are now")->required();
  app.require_subcommand(0, 1);
  app.footer(KeyHelp());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kExitCompleted : kExitUsage;
  }

  if (tables.Chosen()) return Guarded([&] { return RunTableCommand(tables); });
  if (*info.app) return Guarded([&] { return RunInfo(info); });
  if (*relocate) return Guarded([&] { return RunRelocate(relocateLog, relocateFrom, relocateTo); });
  FileType choice = FileType::None;
  if (*verify) {
    if (const int usage = CheckBatchOptions(verifyOptions, choice)) return usage;
    if (verifyOptions.compress && choice != FileType::Grm)
      return UsageError("verify --compress is for grm files");
    return Guarded([&] { return RunVerify(verifyOptions, choice); });
  }
  if (const int usage = CheckBatchOptions(options, choice)) return usage;
  const Format index = RowOfChoice(choice)->index;
  const bool logs = IsLogQueue(index);
  if (options.dryRun && !logs) return UsageError("--dry-run is for log and lst batches");
  if (options.keepStp && !logs) return UsageError("--keep-stp is for log and lst batches");
  if (options.compress && !logs) return UsageError("--compress is for log and lst batches");
  if (options.relative && logs) return UsageError("--relative is for extraction batches");
  if (options.png && index != Format::Tim) return UsageError("--png is for tim batches");
  if (options.alpha && index != Format::Tim && !logs)
    return UsageError("--alpha is for tim, log and lst batches");
  if (options.lenient && index != Format::Stim) return UsageError("--lenient is for stim batches");
  if (options.ardInsertable && index != Format::Ard)
    return UsageError("--ard-insertable is for ard batches");
  return Guarded([&] { return RunBatchWith(options, choice); });
}

}  // namespace tessary
