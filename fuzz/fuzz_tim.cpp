// Fuzz target: the TIM header reader and the scanner (default and lenient)
// over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formathandlers/tim/tim_layout.h"
#include "formathandlers/tim/tim_scan_core.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  if (const auto header = tessary::ReadTimHeader(bytes)) {
    if (header->totalLength > size || header->totalLength < 20) std::abort();
  }
  // The default scan, whose finds pass the header reader, and the lenient
  // one, whose finds (strict ones unmarked) lie inside the data.
  for (const bool lenient : {false, true}) {
    tessary::SpanSource source(bytes);
    tessary::TimScanner scanner(source, lenient);
    std::uint64_t last = 0;
    while (!scanner.Finished()) {
      const auto found = scanner.Next(scanner.Position() + 7);
      if (found) {
        if (found->offset + found->length > size || found->length < 20) std::abort();
        const bool strict = tessary::ReadTimHeader(bytes, found->offset).has_value();
        if (strict != (found->oddities == 0)) std::abort();
      }
      if (scanner.Position() < last) std::abort();  // the scan never moves back
      last = scanner.Position();
    }
  }
  return 0;
}
