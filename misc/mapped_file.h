// A whole file mapped read-only into memory.
//
// Scanning a large file through a mapping avoids both the copy and the first
// touch of freshly allocated memory. The mapping holds the same shared lock as
// FileStream::OpenRead, so the tool cannot create or rewrite the file while it
// is being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tessary {

class MappedFile final {
 public:
  // Raises "Cannot open file %s" when the file cannot be opened or mapped.
  explicit MappedFile(const std::string& path);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
#ifdef _WIN32
  void* file_ = nullptr;
  void* mapping_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace tessary
