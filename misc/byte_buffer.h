// Whole-file byte buffers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessary {

using ByteBuffer = std::vector<std::uint8_t>;

// Reads a whole file; "Cannot open file %s" when it cannot be opened.
ByteBuffer LoadBytes(const std::string& path);
// Creates (or truncates) a file and writes the bytes; "Cannot create file %s".
void SaveBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tessary
