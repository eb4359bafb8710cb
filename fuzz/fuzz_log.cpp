// Fuzz target: the result-log reader (line splitting, directives, target
// lines), then the planner: the log is planned as a dry run in a scratch
// directory holding a small source, a TIM image, a room and a code table, and
// must end in results or listed problems, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "batch/process_context.h"
#include "batch/result_log.h"
#include "main/format_registry.h"
#include "main/insert_from_log.h"
#include "misc/paths.h"
#include "misc/processes.h"
#include "misc/text_lines.h"

namespace {

void CheckReaders(std::string_view text, std::size_t size) {
  std::size_t total = 0;
  for (const auto& line : tessary::SplitLines(text)) {
    total += line.size();
    const tessary::LogLine parsed = tessary::ReadLogLine(line);
    if (parsed.value.size() > line.size()) std::abort();
    if (parsed.directive == tessary::Directive::Format)
      (void)tessary::FormatIndexOfKey(tessary::FirstWord(parsed.value));
    if (const auto target = tessary::ParseTimTarget(line)) {
      if (target->path.size() > line.size()) std::abort();
    }
    // The target readers of the insertion handlers cut by position.
    if (tessary::BitmapTargetPath(line).size() + tessary::TextTargetPath(line).size() +
            tessary::TimTargetPath(line).size() >
        3 * line.size())
      std::abort();
    const auto entry = tessary::ValueAfter(line, tessary::logline::kArchiveTarget);
    if (entry && entry->size() >= line.size()) std::abort();
  }
  if (total > size) std::abort();
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::filesystem::path g_scratch;

void RemoveScratch() {
  std::error_code error;
  std::filesystem::remove_all(g_scratch, error);
}

// Files the seeds name by relative paths, which resolve from the output
// directory; removed when the process ends.
std::string Scratch() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() /
                       ("tessary-fuzz-log-" + std::to_string(tessary::CurrentProcessId()));
  fs::create_directories(dir);
  g_scratch = dir;
  std::atexit(RemoveScratch);
  Put(dir / "s.bin", std::string(64, '.'));
  // A 4-bit TIM of 4 x 1 pixels with a CLUT of 16 colours.
  std::string tim("\x10\0\0\0\x08\0\0\0\x2C\0\0\0\0\0\0\0\x10\0\x01\0", 20);
  tim += std::string(32, '\0') + std::string("\x0E\0\0\0\0\0\0\0\x01\0\x01\0\x12\x34", 14);
  Put(dir / "t.tim", tim);
  std::string table(256, '\0');
  for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c);
  Put(dir / "t.tbl", table);
  Put(dir / "r.txt", "(ab)\r\n#Block CRC: 2 bytes.\r\n");
  return tessary::PathText(dir);
}

class Quiet final : public tessary::SilentStatusOutputs, public tessary::Dialogs {
 public:
  std::optional<std::string> ChooseDirectory(const std::string&) override { return {}; }
  std::optional<std::string> ChooseCodeTable() override { return {}; }
  void ShowInformation(const std::string&, const std::string&) override {}
  void ShowError(const std::string&) override {}
};

void Plan(std::string_view text) {
  static const std::string scratch = Scratch();
  const std::string log = tessary::JoinPath(scratch, "f.log");
  Put(tessary::NativePath(log), std::string(text));
  Quiet quiet;
  tessary::ProcessContext ctx(quiet, quiet);
  ctx.OutputDirectory = scratch;
  ctx.DryRun = true;
  tessary::InsertFromLog(ctx, log);
  try {
    tessary::WritePlannedInsertions(ctx);  // a dry run: results, or the problems thrown
  } catch (const std::exception&) {
  }
  ctx.Plan.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckReaders(text, size);
  // Only relative names without separators: every path stays in the scratch
  // directory, whatever the fuzzer writes.
  if (text.find_first_of("/\\") == std::string_view::npos && size < 4096) Plan(text);
  return 0;
}
