// Fuzz target: EncodeEscaped, the encoder of room text with table escapes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formathandlers/text/code_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t table[tessary::kCodeTableSize];
  for (std::size_t i = 0; i < sizeof table; ++i) table[i] = static_cast<std::uint8_t>(255 - i);
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto bytes = tessary::EncodeEscaped(line, tessary::CodeTableEntries(table));
  // Markers only ever remove characters.
  if (bytes.size() > size || (size - bytes.size()) % 2 != 0) std::abort();
  return 0;
}
