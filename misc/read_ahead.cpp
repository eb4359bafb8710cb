#include "misc/read_ahead.h"

#include <algorithm>
#include <utility>

namespace tessary {

std::size_t ReadPiece(FileStream& file, std::uint64_t offset, std::span<std::uint8_t> out) {
  const std::uint64_t size = file.Size();
  if (offset >= size) return 0;
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), size - offset));
  const auto zeros = static_cast<std::size_t>(
      std::min<std::uint64_t>(file.NextDataOffset(offset) - offset, wanted));
  std::fill_n(out.begin(), zeros, std::uint8_t{0});
  file.Seek(offset + zeros);
  return zeros + file.ReadSome(out.subspan(zeros, wanted - zeros));
}

ReadAhead::ReadAhead(FileStream& file) : file_(file), worker_([this] { Work(); }) {}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ReadAhead::Start(std::uint64_t offset, std::span<std::uint8_t> out) {
  {
    std::lock_guard lock(mutex_);
    offset_ = offset;
    out_ = out;
    error_ = nullptr;
    pending_ = true;
  }
  started_ = true;
  changed_.notify_all();
}

std::size_t ReadAhead::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_; });
  started_ = false;
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  return got_;
}

void ReadAhead::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;  // stopping, nothing left to read
    lock.unlock();
    std::size_t got = 0;
    std::exception_ptr error;
    try {
      got = ReadPiece(file_, offset_, out_);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    got_ = got;
    error_ = error;
    pending_ = false;
    changed_.notify_all();
  }
}

}  // namespace tessary
