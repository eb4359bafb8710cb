// The block decompressor of GRM archive entries.
//
// An LZSS variant: output in independent chunks of 32768 bytes, each starting
// from the same 4096-byte dictionary ("decodetable.tbl"); every token is a flag
// bit followed by 8 bits (literal) or 8 + 8 bits (match: a 12-bit absolute
// window position and a 4-bit length - 2), in one MSB-first bit stream that
// restarts on a byte boundary for each chunk. A match copies from the window as
// it stood before the match; window positions 4096..4111 catch matches that run
// past 4095, and the window position wraps to 0 only at the start of a token.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "misc/byte_buffer.h"

namespace tessary {

inline constexpr const char* kDecodeTableName = "decodetable.tbl";  // the dictionary
inline constexpr std::uint32_t kDecompressChunk = 32768;
inline constexpr std::size_t kWindowSize = 4096;
inline constexpr std::size_t kWindowSlack = 16;

// The largest output of one input byte: a token of at most 17 bits yields at
// most 17 bytes.
inline constexpr std::uint64_t kMaxBytesPerInputByte = 8;

// Refuses, before anything is allocated, an unpacked size that the chunks
// cannot produce: fewer chunk sizes than chunks, or a chunk too small for the
// bytes it must yield. The FormatError says which chunk.
void CheckUnpackable(std::uint32_t unpackedSize, std::span<const std::uint32_t> chunkSizes);

// Reads "decodetable.tbl" (or another dictionary file); one shorter than the
// 4096-byte window is refused with an error naming it.
ByteBuffer LoadDictionary(const std::string& path);

// Decodes `unpackedSize` bytes into `destination` (replacing its contents).
// `source` is the entry's unscrambled chunks back to back; chunk c starts at
// the sum of chunkSizes[0 .. c-1]. The dictionary's first 4112 bytes preset the
// window (it must hold at least 4096; bytes 4096..4111 may be missing and are
// then zero). Malformed data - tokens that need bits past the end of the
// source, what CheckUnpackable refuses - raise a FormatError.
// Chunks restart from the dictionary, so large entries are decoded on several
// threads; the calling thread calls `pump` between its chunks. Output and
// errors are those of decoding the chunks one after the other.
void DecompressWithDictionary(std::span<const std::uint8_t> source, ByteBuffer& destination,
                              std::uint32_t unpackedSize, std::span<const std::uint32_t> chunkSizes,
                              std::span<const std::uint8_t> dictionary,
                              const std::function<void()>& pump = {});

}  // namespace tessary
