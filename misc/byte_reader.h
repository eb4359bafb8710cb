// Bounds-checked little-endian reads over a byte span.
//
// Game data is little-endian throughout. Every read checks what remains and
// raises a FormatError naming the file and the offset when the data is too
// short, so no reader ever touches memory outside the buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace tessary {

// Unchecked loads for hot loops whose bounds were checked once beforehand.
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
constexpr bool FitsIn(std::uint64_t size, std::uint64_t offset, std::uint64_t length) {
  return offset <= size && length <= size - offset;
}

class ByteReader final {
 public:
  // `name` is what error messages call the data (usually the file name).
  ByteReader(std::span<const std::uint8_t> bytes, std::string name)
      : bytes_(bytes), name_(std::move(name)) {}

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return FitsIn(bytes_.size(), offset, length);
  }
  std::uint8_t U8(std::uint64_t offset) const { return *At(offset, 1); }
  std::uint16_t U16(std::uint64_t offset) const { return LoadU16(At(offset, 2)); }
  std::uint32_t U32(std::uint64_t offset) const { return LoadU32(At(offset, 4)); }

 private:
  const std::uint8_t* At(std::uint64_t offset, std::uint64_t length) const;

  std::span<const std::uint8_t> bytes_;
  std::string name_;
};

}  // namespace tessary
