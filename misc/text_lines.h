// Ordered lists of 8-bit text lines, loaded from and saved to whole text files.
//
// Reading: CR LF, a lone CR and a lone LF each end a line; a last line without
// an ending is kept; a UTF-8 byte-order mark at the start of a file is skipped.
// Writing: every line, the last included, ends with CR LF. Bytes are never
// re-encoded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "misc/mapped_file.h"
#include "misc/output_file.h"

namespace tessary {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

class TextLines final {
 public:
  TextLines() = default;
  explicit TextLines(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  // Checked access: "List index out of bounds (%d)" for an index past the end.
  const std::string& Get(std::size_t index) const;
  void Set(std::size_t index, std::string line);
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }
  const std::vector<std::string>& Lines() const { return lines_; }

  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<std::string> lines_;
};

// Lines written one by one into a new file, each ended by CR LF, a MiB at a
// time, so that a long text never needs to be held whole. The file appears
// under its name only at Commit(), like every output (see OutputFile).
class LineWriter final {
 public:
  explicit LineWriter(const std::string& path);
  void Add(std::string_view line);
  void Commit();

 private:
  OutputFile out_;
  std::string pending_;
};

// A text file's lines as views into its mapped bytes, read by the rules of
// TextLines: a large text is read once, without a copy of every line.
class MappedTextLines final {
 public:
  explicit MappedTextLines(const std::string& path);
  const std::vector<std::string_view>& Lines() const { return lines_; }

 private:
  MappedFile file_;
  std::vector<std::string_view> lines_;
};

std::vector<std::string_view> SplitLineViews(std::string_view text);
std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace tessary
