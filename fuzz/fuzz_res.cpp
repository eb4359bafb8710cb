// Fuzz target: the RES description parser, on the lines of any text; the line
// splitter (sixteen bytes at a time) against the rule written out plainly; and
// the reader that takes a text file's lines a window at a time, with windows
// of a few bytes, against the same rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "formathandlers/text/res_description.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/line_reader.h"
#include "misc/paths.h"
#include "misc/processes.h"
#include "misc/text_lines.h"

namespace {

// CR LF, a lone CR and a lone LF each end a line; a last line without an ending
// is kept.
std::vector<std::string_view> PlainLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '\r' && text[i] != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A file for the reader, removed when the process ends.
struct ScratchFile {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("tessary-fuzz-res-" + std::to_string(tessary::CurrentProcessId()));
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

void CheckLineReader(std::string_view text) {
  static const ScratchFile scratch;
  std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) return;  // no scratch file: nothing to learn about the reader
  tessary::FileStream file = tessary::FileStream::OpenRead(tessary::PathText(scratch.path));
  tessary::LineReader reader(file, 16 + text.size() % 7);
  const std::vector<std::string_view> expected = PlainLines(tessary::WithoutByteOrderMark(text));
  tessary::LineReader::Line line;
  std::size_t count = 0;
  std::uint64_t at = text.size() - tessary::WithoutByteOrderMark(text).size();
  while (reader.Next(line)) {
    if (count == expected.size() || line.text != expected[count++] || line.offset != at ||
        text.substr(line.offset, line.text.size()) != line.text)
      std::abort();
    at = line.next;
  }
  if (count != expected.size() || at != text.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (tessary::SplitLineViews(text) != PlainLines(text)) std::abort();
  CheckLineReader(text);
  const auto lines = tessary::SplitLines(text);
  try {
    const auto description = tessary::ParseResDescription(lines, "F.res");
    // A section exists only while the description has more than 2 + 6k lines.
    if (lines.size() <= 2 + 6 * (description.sections.size() - 1) && !description.sections.empty())
      std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
