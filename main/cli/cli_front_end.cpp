#include "main/cli/cli_front_end.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formathandlers/text/code_table.h"
#include "main/batch_driver.h"
#include "main/cli/cli_outputs.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "misc/errors.h"

namespace tessary {

namespace {

// The --help footer: one line per file type of the registry.
std::string KeyHelp() {
  std::string help = "KEY (case-insensitive):\n";
  for (const FormatRow& row : FormatRegistry()) {
    std::string key(row.cliKey);
    key.resize(6, ' ');
    help += "  " + key + std::string(row.cliHelp) + "\n";
  }
  return help;
}

struct Options {
  std::string key;
  std::string outputDirectory;
  std::string codeTable;
  bool quiet = false;
  std::vector<std::string> files;
};

int UsageError(const std::string& text) {
  std::cerr << "tessary-cli: " << text << "\nRun with --help for more information.\n";
  return kExitUsage;
}

std::string AbsolutePath(const std::string& path) {
  return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().string();
}

// Creates the output directory with its parents and returns its absolute form.
std::string PrepareOutputDirectory(const std::string& path) {
  std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path));
  absolute = absolute.lexically_normal();
  if (!absolute.has_filename() && absolute.has_parent_path() && absolute != absolute.root_path())
    absolute = absolute.parent_path();
  std::error_code error;
  std::filesystem::create_directories(absolute, error);
  if (!std::filesystem::is_directory(absolute))
    throw FileError("Cannot create directory " + absolute.string());
  return absolute.string();
}

int RunBatchWith(const Options& options, int choice) {
  const std::string directory = PrepareOutputDirectory(options.outputDirectory);
  std::optional<std::string> table;
  if (!options.codeTable.empty()) table = AbsolutePath(options.codeTable);
  std::vector<std::string> files;
  for (const auto& file : options.files) files.push_back(AbsolutePath(file));

  CliOutputs outputs(!options.quiet && StderrIsTerminal());
  CliDialogs dialogs(directory, table);
  ProcessContext ctx(outputs, dialogs);
  outputs.Attach(ctx);
  InstallInterruptHandler();
  AddFilesToQueue(ctx, choice, files);
  // Other batches take -t as the table loaded before them, as the window keeps
  // the table of an earlier batch: log sections of RDT rooms use it unless the
  // log names one with "#CodeTable:".
  if (table && !RowOfChoice(choice)->needsCodeTable) LoadCodeTable(ctx.CodeTable, *table);

  const BatchOutcome outcome = RunBatch(ctx);
  outputs.ClearLine();
  std::cout.flush();
  switch (outcome) {
    case BatchOutcome::Failed:
      return kExitFailed;
    case BatchOutcome::Stopped:
      std::cerr << kStoppedByUser << '\n';
      return kExitStopped;
    default:
      dialogs.ShowPendingInformation();
      return kExitCompleted;
  }
}

}  // namespace

int RunCli(int argc, char** argv) {
  Options options;
  CLI::App app{
      "Tessary: takes Grimhold 3 data apart and puts edited files back.\n"
      "Runs one batch of FILEs of one type into the output directory.",
      "tessary-cli"};
  app.add_option("-f,--format", options.key, "file type KEY (see below)")->required();
  app.add_option("-o,--output", options.outputDirectory, "output directory (created if missing)")
      ->required();
  app.add_option("-t,--table", options.codeTable,
                 "code table (*.tbl): required for ard and rdt; for log and lst the table that "
                 "RDT sections use unless the log names one");
  app.add_flag("-q,--quiet", options.quiet, "no status line or progress bar on stderr");
  app.add_option("FILE", options.files, "input files (for lst: one project list)")->required();
  app.footer(KeyHelp());
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kExitCompleted : kExitUsage;
  }

  const int choice = ChoiceOfCliKey(options.key);
  if (choice == 0) return UsageError("unknown file type KEY '" + options.key + "'");
  if (RowOfChoice(choice)->needsCodeTable && options.codeTable.empty())
    return UsageError("-t TABLE is required for " + options.key);

  try {
    return RunBatchWith(options, choice);
  } catch (const std::exception& error) {
    std::cerr << WithFullStop(error.what()) << '\n';
    return kExitFailed;
  }
}

}  // namespace tessary
