#include "misc/text_lines.h"

#include <algorithm>
#include <cstdint>

#include "misc/byte_buffer.h"
#include "misc/errors.h"
#include "misc/output_file.h"

namespace tessary {

// Editors that save UTF-8 often put a byte-order mark first; it is no text.
std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.starts_with(kUtf8ByteOrderMark)) text.remove_prefix(kUtf8ByteOrderMark.size());
  return text;
}

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

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const LineAt line = NextLine(text, at);
    lines.push_back(line.line);
    at = line.next;
  }
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
