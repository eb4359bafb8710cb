#include "misc/byte_buffer.h"

#include "misc/file_stream.h"

namespace tessary {

ByteBuffer LoadBytes(const std::string& path) {
  FileStream file = FileStream::OpenRead(path);
  ByteBuffer bytes(static_cast<std::size_t>(file.Size()));
  file.ReadExact(bytes);
  return bytes;
}

}  // namespace tessary
