#include "misc/text_lines.h"

#include <algorithm>
#include <cstdint>

#include "misc/byte_buffer.h"
#include "misc/errors.h"
#include "misc/output_file.h"

namespace tessary {

namespace {
// Editors that save UTF-8 often put a byte-order mark first; it is no text.
std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  return text;
}
}  // namespace

const std::string& TextLines::Get(std::size_t index) const {
  if (index >= lines_.size()) ThrowListIndexError(static_cast<std::int64_t>(index));
  return lines_[index];
}

void TextLines::Set(std::size_t index, std::string line) {
  if (index >= lines_.size()) ThrowListIndexError(static_cast<std::int64_t>(index));
  lines_[index] = std::move(line);
}

void TextLines::LoadFromFile(const std::string& path) {
  const ByteBuffer bytes = LoadBytes(path);
  lines_ =
      SplitLines(WithoutByteOrderMark({reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
}

void TextLines::SaveToFile(const std::string& path) const {
  const std::string text = JoinLinesCrLf(lines_);
  SaveBytes(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

namespace {
constexpr std::size_t kLineWriterBlock = std::size_t{1} << 20;

void WritePending(OutputFile& out, std::string& pending) {
  out.Write({reinterpret_cast<const std::uint8_t*>(pending.data()), pending.size()});
  pending.clear();
}
}  // namespace

LineWriter::LineWriter(const std::string& path) : out_(path) {
  pending_.reserve(kLineWriterBlock);
}

void LineWriter::Add(std::string_view line) {
  pending_ += line;
  pending_ += "\r\n";
  if (pending_.size() >= kLineWriterBlock) WritePending(out_, pending_);
}

void LineWriter::Commit() {
  WritePending(out_, pending_);
  out_.Commit();
}

MappedTextLines::MappedTextLines(const std::string& path) : file_(path) {
  const auto bytes = file_.Bytes();
  lines_ = SplitLineViews(
      WithoutByteOrderMark({reinterpret_cast<const char*>(bytes.data()), bytes.size()}));
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  // At most one line per line end and one after the last: reserved at once, a
  // text of millions of lines is not copied as its list grows.
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
  const std::vector<std::string_view> views = SplitLineViews(text);
  return {views.begin(), views.end()};
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace tessary
