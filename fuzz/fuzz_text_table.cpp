// Fuzz target: the text-table parser, and the way back through export.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formathandlers/text/text_table.h"
#include "misc/errors.h"
#include "misc/text_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto lines = tessary::SplitLines({reinterpret_cast<const char*>(data), size});
  try {
    const tessary::ByteBuffer decoding =
        tessary::DecodingTable(tessary::ParseTextTable(lines, "F.tbl"));
    // Whatever was read is written back as a file that reads the same.
    const std::string file =
        tessary::JoinLinesCrLf(tessary::ExportTextTable(tessary::TableEntries(decoding)));
    if (tessary::DecodingTable(tessary::ParseTextTable(tessary::SplitLines(file), "G.tbl")) !=
        decoding)
      std::abort();
    const tessary::ByteBuffer encoding = tessary::EncodingTable(lines, "F.tbl");
    if (encoding.size() != tessary::kCodeTableSize) std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
