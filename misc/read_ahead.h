// Reads a file's next piece on a second thread while the caller works on the
// piece at hand, so that reading and scanning a large file take the longer of
// the two rather than their sum.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>

#include "misc/file_stream.h"

namespace tessary {

// Reads up to out.size() bytes at `offset` into `out` and returns how many:
// fewer only at the end of the file. Holes of a sparse file are set to zero
// bytes, not read.
std::size_t ReadPiece(FileStream& file, std::uint64_t offset, std::span<std::uint8_t> out);

class ReadAhead final {
 public:
  // Between Start and Wait the file belongs to the worker: the caller must not
  // read it.
  explicit ReadAhead(FileStream& file);
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead();  // waits for a read under way

  // Starts ReadPiece(file, offset, out) on the worker; one read at a time.
  void Start(std::uint64_t offset, std::span<std::uint8_t> out);
  // Waits for the read started last and returns what ReadPiece returned, or
  // raises what it raised.
  std::size_t Wait();
  bool Started() const { return started_; }

 private:
  void Work();

  FileStream& file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool started_ = false;  // by the caller: a Start not yet waited for
  bool pending_ = false;  // by the worker's side: a read to do
  bool stopping_ = false;
  std::uint64_t offset_ = 0;
  std::span<std::uint8_t> out_;
  std::size_t got_ = 0;
  std::exception_ptr error_;
  std::thread worker_;
};

}  // namespace tessary
