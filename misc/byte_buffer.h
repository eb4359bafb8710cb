// Whole-file byte buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

using ByteBuffer = std::vector<std::uint8_t>;

// Reads a whole file; "Cannot open file %s" when it cannot be opened.
ByteBuffer LoadBytes(const std::string& path);

}  // namespace tessary
