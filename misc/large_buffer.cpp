#include "misc/large_buffer.h"

#include <new>

#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace tessary {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = std::size_t{8} << 20;
}  // namespace

LargeBuffer::LargeBuffer(std::size_t size) : size_(size) {
#if !defined(_WIN32) && defined(MADV_HUGEPAGE)
  if (size >= kHugeFrom) {
    // One huge page more than needed, so that the buffer can start on a
    // huge-page boundary, where the system can back it with huge pages.
    mappingLength_ = size + kHugePage;
    mapping_ =
        ::mmap(nullptr, mappingLength_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(mapping_);
    data_ = reinterpret_cast<std::uint8_t*>((base + kHugePage - 1) / kHugePage * kHugePage);
    ::madvise(data_, size, MADV_HUGEPAGE);  // a hint: without it, ordinary pages
    return;
  }
#endif
  ordinary_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
  data_ = ordinary_.get();
}

LargeBuffer::~LargeBuffer() {
#ifndef _WIN32
  if (mapping_ != nullptr) ::munmap(mapping_, mappingLength_);
#endif
}

}  // namespace tessary
