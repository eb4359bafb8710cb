// Fuzz target: the block compressor. Any input, in both parses, compresses
// to chunks that the decompressor turns back into exactly that input. Inputs
// over 4096 bytes lend their first 4096 as the dictionary, so that matches
// into it are tried as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "formathandlers/archive/compress.h"
#include "formathandlers/archive/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> input(data, size);
  std::vector<std::uint8_t> dictionary(4096);
  for (std::size_t i = 0; i < dictionary.size(); ++i)
    dictionary[i] = static_cast<std::uint8_t>(i * 7 % 251);
  if (input.size() > dictionary.size()) {
    dictionary.assign(input.begin(), input.begin() + 4096);
    input = input.subspan(4096);
  }
  for (const tessary::Parse parse : {tessary::Parse::Optimal, tessary::Parse::Greedy}) {
    const tessary::CompressedChunks packed =
        tessary::CompressWithDictionary(input, dictionary, parse);
    if (packed.chunkSizes.size() != (input.size() + 32767) / 32768) std::abort();
    tessary::ByteBuffer out;
    tessary::DecompressWithDictionary(packed.bytes, out, static_cast<std::uint32_t>(input.size()),
                                      packed.chunkSizes, dictionary);
    if (out.size() != input.size() ||
        !std::equal(out.begin(), out.end(), input.begin(), input.end()))
      std::abort();
  }
  return 0;
}
