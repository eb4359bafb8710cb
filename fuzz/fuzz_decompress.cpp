// Fuzz target: the block decompressor. Input: unpacked size (2 bytes), the
// number of chunk sizes (1 byte), the sizes (2 bytes each), then the source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formathandlers/archive/decompress.h"
#include "misc/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t unpacked = (data[0] | data[1] << 8) * 3u;  // up to three chunks
  const std::size_t count = data[2] % 5;
  std::size_t at = 3;
  std::vector<std::uint32_t> sizes;
  for (std::size_t i = 0; i < count && at + 2 <= size; ++i, at += 2)
    sizes.push_back(data[at] | data[at + 1] << 8);
  std::vector<std::uint8_t> dictionary(4096);
  for (std::size_t i = 0; i < dictionary.size(); ++i)
    dictionary[i] = static_cast<std::uint8_t>(i * 7);
  tessary::ByteBuffer out;
  try {
    tessary::DecompressWithDictionary({data + at, size - at}, out, unpacked, sizes, dictionary);
    if (out.size() != unpacked) std::abort();
  } catch (const tessary::FormatError&) {
  }
  return 0;
}
