// The block compressor: entries compressed in the format the decompressor
// reads (decompress.h), for rebuilt archives that keep their size.
//
// Each chunk of 32768 bytes is coded against the stream "dictionary, then the
// chunk". No token runs past window position 4095, neither where it is
// written nor where a match reads, so the decoder's window never wraps in the
// middle of a token and positions 4096..4111 are never read: at every token,
// window position w holds the stream byte at the latest index below the
// current one that is w modulo 4096. A match is then a plain backward
// reference of 2..17 bytes at a distance of at least its length (the decoder
// copies from the window as it stood before the match) and at most 4096.
//
// The optimal parse finds, for every position, the longest such match among
// all candidates in the window, and then the fewest bits for the whole chunk
// by a dynamic programme from its end (a literal costs 9 bits, a match 17,
// and every shorter prefix of a match is a match too). The greedy parse takes
// the longest match wherever there is one; it is kept as the measure of what
// the optimal parse gains.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "misc/byte_buffer.h"

namespace tessary {

struct CompressedChunks {
  ByteBuffer bytes;                       // the chunks back to back
  std::vector<std::uint32_t> chunkSizes;  // one per 32768 bytes of input
};

enum class Parse { Optimal, Greedy };

// Compresses `input` against the first 4096 bytes of `dictionary` (which
// must hold them). Chunks are independent: large inputs are compressed on
// several threads, with the same output as one.
CompressedChunks CompressWithDictionary(std::span<const std::uint8_t> input,
                                        std::span<const std::uint8_t> dictionary,
                                        Parse parse = Parse::Optimal);

}  // namespace tessary
