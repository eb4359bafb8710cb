#include "formathandlers/text/code_table.h"

#include "misc/errors.h"

namespace tessary {

namespace {

constexpr std::uint8_t kShiftLimit = 0x56;
constexpr std::uint8_t kShift = 0x24;

}  // namespace

void LoadCodeTable(ByteBuffer& table, const std::string& path) {
  table.clear();
  ByteBuffer loaded = LoadBytes(path);
  if (IsTextTable(loaded)) {
    TextTable::Parse(loaded, path);  // refused now, with its line, not when first used
  } else if (loaded.size() < kCodeTableSize) {
    ThrowFormatError(path, "a code table needs " + std::to_string(kCodeTableSize) +
                               " bytes, this file holds " + std::to_string(loaded.size()) +
                               "; a text table has lines like \"41=A\"");
  }
  table = std::move(loaded);
}

CodeTableEntries TableEntries(const ByteBuffer& table) {
  if (table.empty()) throw FormatError("no code table is loaded (a table of 256 bytes is needed)");
  if (IsTextTable(table))
    throw FormatError("a text table cannot stand for a 256-byte code table here");
  if (table.size() < kCodeTableSize)
    throw FormatError("no code table is loaded (a table of 256 bytes is needed)");
  return CodeTableEntries(table.data(), kCodeTableSize);
}

std::optional<TextTable> TextTableIn(const ByteBuffer& table) {
  if (!IsTextTable(table)) return std::nullopt;
  return TextTable::Parse(table, "the code table");
}

GameTextCodec::GameTextCodec(const ByteBuffer& table) : text_(TextTableIn(table)) {
  if (!text_) raw_ = TableEntries(table);
}

std::string GameTextCodec::Decode(std::span<const std::uint8_t> bytes, bool shifted) const {
  if (text_) return text_->Decode(bytes);
  ByteBuffer copy(bytes.begin(), bytes.end());
  if (shifted)
    DecodeShifted(copy, *raw_);
  else
    DecodePlain(copy, *raw_);
  return std::string(copy.begin(), copy.end());
}

void DecodePlain(std::span<std::uint8_t> bytes, CodeTableEntries table) {
  for (std::uint8_t& b : bytes) b = table[b];
}

void DecodeShifted(std::span<std::uint8_t> bytes, CodeTableEntries table) {
  for (std::uint8_t& b : bytes) b = table[b <= kShiftLimit ? b + kShift : b];
}

void EncodePlain(std::span<std::uint8_t> bytes, CodeTableEntries table) {
  for (std::uint8_t& b : bytes) b = table[b];
}

ByteBuffer EncodeEscaped(std::string_view line, CodeTableEntries table) {
  ByteBuffer out;
  out.reserve(line.size());
  bool escaped = false;
  for (std::size_t i = 0; i < line.size();) {
    const bool pair = i + 1 < line.size();
    if (!escaped && pair && line[i] == '{' && line[i + 1] == '[') {
      escaped = true;
      i += 2;
    } else if (escaped && pair && line[i] == ']' && line[i + 1] == '}') {
      escaped = false;
      i += 2;
    } else {
      const auto c = static_cast<std::uint8_t>(line[i]);
      out.push_back(escaped ? table[c] : (c == ' ' ? std::uint8_t{0} : c));
      ++i;
    }
  }
  return out;
}

}  // namespace tessary
