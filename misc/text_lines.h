// Ordered lists of 8-bit text lines, loaded from and saved to whole text files.
//
// Reading: CR LF, a lone CR and a lone LF each end a line; a last line without
// an ending is kept; a UTF-8 byte-order mark at the start of a file is skipped.
// Writing: every line, the last included, ends with CR LF. Bytes are never
// re-encoded.
#pragma once

#include <bit>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "misc/output_file.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The first CR or LF of `text` at or after `at`, or text.size().
inline std::size_t LineEnd(std::string_view text, std::size_t at) {
#ifdef __SSE2__
  // Sixteen bytes at a time: texts of millions of lines are read several times.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    const auto ends = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
    if (ends != 0) return at + static_cast<std::size_t>(std::countr_zero(ends));
  }
#endif
  while (at < text.size() && text[at] != '\r' && text[at] != '\n') ++at;
  return at;
}

// The line of `text` that starts at `at` (at most text.size()), and where the
// next one starts (text.size() after the last), by the rules above.
struct LineAt {
  std::string_view line;
  std::size_t next = 0;
};
inline LineAt NextLine(std::string_view text, std::size_t at) {
  const std::size_t end = LineEnd(text, at);
  const std::string_view line(text.data() + at, end - at);
  if (end == text.size()) return {line, end};
  const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  return {line, end + (crLf ? 2 : 1)};
}
// `text` without a UTF-8 byte-order mark at its start.
std::string_view WithoutByteOrderMark(std::string_view text);
std::vector<std::string_view> SplitLineViews(std::string_view text);
std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace tessary
