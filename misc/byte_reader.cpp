#include "misc/byte_reader.h"

#include "misc/errors.h"

namespace tessary {

const std::uint8_t* ByteReader::At(std::uint64_t offset, std::uint64_t length) const {
  if (!Has(offset, length)) {
    ThrowFormatError(name_, std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                                " lie past the end of the data (" + std::to_string(bytes_.size()) +
                                " bytes)");
  }
  return bytes_.data() + offset;
}

}  // namespace tessary
