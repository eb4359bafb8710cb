// A whole file mapped read-only into memory.
//
// Parsing a file through a mapping avoids both the copy and the first touch of
// freshly allocated memory. The mapping holds the same shared lock as
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
  static constexpr std::size_t kReadWholeLimit = std::size_t{64} << 20;

  // A file up to 64 MiB is read in whole when mapped (one pass over the page
  // tables instead of a fault per page). A larger one is read page by page as
  // it is touched, with advice for its use:
  enum class Use {
    Through,    // read from start to end: the system reads ahead
    Scattered,  // read here and there (an archive's headers): each touch maps one page
  };

  // Raises "Cannot open file %s" when the file cannot be opened or mapped.
  explicit MappedFile(const std::string& path, Use use = Use::Through);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
  // True for a file of 64 MiB or less, read in whole when mapped where the
  // system can (Linux).
  bool ReadWhole() const { return size_ <= kReadWholeLimit; }
  // Gives the memory of the pages touched so far back to the system, unless
  // the file was read in whole when mapped. The bytes stay readable: touched
  // again, they are read again from the file. Reading a large file piece by
  // piece, releasing now and then keeps its memory to the pieces at hand.
  void Release() const;

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
