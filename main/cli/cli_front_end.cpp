#include "main/cli/cli_front_end.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "main/batch_driver.h"
#include "main/cli/cli_outputs.h"
#include "main/file_queue.h"
#include "misc/errors.h"

namespace tessary {

namespace {

struct KeyChoice {
  const char* key;
  int choice;
};

// The eight file types of the window's open dialog, in the same order.
constexpr std::array<KeyChoice, 8> kKeys = {{{"grm", 1},
                                             {"tim", 2},
                                             {"stim", 3},
                                             {"res", 4},
                                             {"lst", 5},
                                             {"log", 6},
                                             {"ard", 7},
                                             {"rdt", 8}}};

constexpr const char* kKeyHelp =
    "KEY (case-insensitive):\n"
    "  grm   Grimhold 3 archives (*.dat): extract every entry\n"
    "  tim   TIM images (*.tim): convert to bitmaps\n"
    "  stim  any file: search for TIM images\n"
    "  res   resource descriptions (*.res): extract text\n"
    "  lst   a project list: apply the result logs it names\n"
    "  log   result logs (*.log): insert edited files back\n"
    "  ard   ARD PS-X files (*.ard): extract strings (needs -t)\n"
    "  rdt   RDT PC files (*.rdt): extract strings (needs -t)\n";

struct Options {
  std::string key;
  std::string outputDirectory;
  std::string codeTable;
  bool quiet = false;
  std::vector<std::string> files;
};

std::optional<int> ChoiceOfKey(std::string key) {
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& entry : kKeys) {
    if (key == entry.key) return entry.choice;
  }
  return std::nullopt;
}

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

  const BatchOutcome outcome = RunBatch(ctx);
  outputs.ClearLine();
  std::cout.flush();
  switch (outcome) {
    case BatchOutcome::Failed: return kExitFailed;
    case BatchOutcome::Stopped: return kExitStopped;
    default: return kExitCompleted;
  }
}

}  // namespace

int RunCli(int argc, char** argv) {
  Options options;
  CLI::App app{"Tessary: takes Grimhold 3 data apart and puts edited files back.\n"
               "Runs one batch of FILEs of one type into the output directory.",
               "tessary-cli"};
  app.add_option("-f,--format", options.key, "file type KEY (see below)")->required();
  app.add_option("-o,--output", options.outputDirectory, "output directory (created if missing)")
      ->required();
  app.add_option("-t,--table", options.codeTable, "code table (*.tbl), required for ard and rdt");
  app.add_flag("-q,--quiet", options.quiet, "no status line or progress bar on stderr");
  app.add_option("FILE", options.files, "input files (for lst: one project list)")->required();
  app.footer(kKeyHelp);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kExitCompleted : kExitUsage;
  }

  const auto choice = ChoiceOfKey(options.key);
  if (!choice) return UsageError("unknown file type KEY '" + options.key + "'");
  if ((*choice == 7 || *choice == 8) && options.codeTable.empty())
    return UsageError("-t TABLE is required for " + options.key);

  try {
    return RunBatchWith(options, *choice);
  } catch (const std::exception& error) {
    std::cerr << WithFullStop(error.what()) << '\n';
    return kExitFailed;
  }
}

}  // namespace tessary
