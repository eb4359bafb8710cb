#include "formathandlers/text/res_description.h"

#include <charconv>
#include <tuple>

#include "misc/errors.h"

namespace tessary {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// "0x" and hexadecimal digits at `pos`, which is moved past them; nullopt
// when there are no digits or their value needs more than 32 bits.
std::optional<std::uint32_t> ScanHex(std::string_view text, std::size_t& pos) {
  if (text.substr(pos, 2) != "0x") return std::nullopt;
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data() + pos + 2, end, value, 16);
  if (error != std::errc()) return std::nullopt;
  pos = static_cast<std::size_t>(next - text.data());
  return value;
}

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::size_t start = pos;
  std::int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > 0x7FFFFFFF) return std::nullopt;
  }
  if (pos == start) return std::nullopt;
  return negative ? -value : value;
}

std::string_view AfterLabel(const std::string& line, std::size_t label) {
  return line.size() > label ? std::string_view(line).substr(label) : std::string_view{};
}

class DescriptionReader final {
 public:
  DescriptionReader(const std::vector<std::string>& lines, const std::string& name)
      : lines_(lines), name_(name) {}

  std::string_view Parameter(std::size_t index, std::size_t section) const {
    if (index >= lines_.size())
      Refuse(index, "the description ends inside section " + std::to_string(section));
    return AfterLabel(lines_[index], res::kParameterLabel);
  }
  std::pair<std::uint32_t, std::uint32_t> HexPair(std::size_t index, std::size_t section) const {
    const auto pair = ParseHexPair(Parameter(index, section));
    if (!pair) Refuse(index, "expected \"0x%X : 0x%X\" after the 8-character label");
    return *pair;
  }
  bool Flag(std::size_t index, std::size_t section) const {
    const auto flag = ParseDecimal(Parameter(index, section));
    if (!flag) Refuse(index, "expected a number after the 8-character label");
    return *flag != 0;
  }
  [[noreturn]] void Refuse(std::size_t index, const std::string& what) const {
    ThrowFormatError(LineLabel(name_, index), what);
  }

 private:
  const std::vector<std::string>& lines_;
  const std::string& name_;
};

}  // namespace

std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseHexPair(std::string_view text) {
  std::size_t pos = 0;
  const auto first = ScanHex(text, pos);
  if (!first) return std::nullopt;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  if (pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  const auto second = ScanHex(text, pos);
  if (!second) return std::nullopt;
  return std::make_pair(*first, *second);
}

ResDescription ParseResDescription(const std::vector<std::string>& lines, const std::string& name) {
  if (lines.size() < 2)
    ThrowFormatError(name,
                     "a description names the game file on its first line and the code "
                     "table on its second");
  const DescriptionReader reader(lines, name);
  ResDescription description;
  description.gamePath = std::string(AfterLabel(lines[0], res::kPathLabel));
  description.tablePath = std::string(AfterLabel(lines[1], res::kPathLabel));
  for (std::size_t k = 0; lines.size() > 2 + res::kLinesPerSection * k; ++k) {
    const std::size_t first = res::kFirstSectionLine + res::kLinesPerSection * k;
    ResSection section;
    std::tie(section.base, section.end) = reader.HexPair(first, k);
    std::tie(section.tableOffset, section.tableLength) = reader.HexPair(first + 1, k);
    section.finalString = reader.Flag(first + 2, k);
    section.pointerLine = first + 1;
    description.sections.push_back(section);
  }
  return description;
}

}  // namespace tessary
