// Fuzz target: text tables used both ways. The input is a table, a NUL byte,
// then game bytes and text (without a NUL, a fixed table is used): the table
// parser must refuse or read it, every decoded line must be one line that
// encodes back to the same bytes, and any text must encode without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "formathandlers/text/text_table_codec.h"
#include "misc/errors.h"

namespace {

const std::string kFixedTable = "41=A\n42=B\n80=\xC3\xA9\n8140= \n82=ae\n83=a\nFE=\\x0A\n3C=<\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  std::size_t cut = 0;
  while (cut < size && data[cut] != 0) ++cut;
  const bool ownTable = cut < size;
  const auto tableBytes =
      ownTable ? input.first(cut)
               : std::span<const std::uint8_t>(
                     reinterpret_cast<const std::uint8_t*>(kFixedTable.data()), kFixedTable.size());
  const auto rest = ownTable ? input.subspan(cut + 1) : input;
  try {
    (void)tessary::IsTextTable(tableBytes);
    const tessary::TextTable table = tessary::TextTable::Parse(tableBytes, "F.txt");
    const std::string text = table.Decode(rest);
    if (text.find_first_of("\r\n") != std::string::npos) std::abort();
    std::vector<tessary::Unencodable> missing;
    if (table.Encode(text, missing) != std::vector<std::uint8_t>(rest.begin(), rest.end()) ||
        !missing.empty())
      std::abort();
    const std::string asText(rest.begin(), rest.end());
    (void)table.Encode(asText, missing);
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
