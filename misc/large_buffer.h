// Memory for a large buffer filled once, such as a file read whole.
//
// Where the system offers huge pages (Linux), a buffer of 8 MiB or more is
// mapped in them, so that filling tens of MiB costs tens of page faults rather
// than thousands (on a virtual machine each fault is dear). Elsewhere, and for
// smaller sizes, it is ordinary memory. The bytes start unset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tessary {

class LargeBuffer final {
 public:
  explicit LargeBuffer(std::size_t size);
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  ~LargeBuffer();

  std::span<std::uint8_t> Bytes() { return {data_, size_}; }
  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* mapping_ = nullptr;  // the huge-page mapping, when there is one
  std::size_t mappingLength_ = 0;
  std::unique_ptr<std::uint8_t[]> ordinary_;
};

}  // namespace tessary
