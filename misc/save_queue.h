// Saves files into staged folders on a second thread while the caller makes
// the next ones, so that making and writing many small files take the longer
// of the two rather than their sum.
//
// Files are handed over in batches (at most 256 files, 4 MiB of their bytes),
// one batch written while the next is filled, so the threads meet once per
// batch, not once per file. What the caller does for a file once it is
// written (its result line, its log line) is given as `whenSaved`: it runs on
// the caller's thread, in the order the files were queued, after the batch
// holding the file was written. A file that fails to be written ends the
// queue: the files of its batch before it are done, those after it are not
// written, and the error is raised to the caller at its next call.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "misc/byte_buffer.h"
#include "misc/staged_folder.h"

namespace tessary {

class SaveQueue final {
 public:
  SaveQueue() = default;  // the worker starts with the first batch
  SaveQueue(const SaveQueue&) = delete;
  SaveQueue& operator=(const SaveQueue&) = delete;
  // Finishes what is queued when an error or a stop ended the caller's work:
  // the files made before it are written, as they would have been one by
  // one. After a failed write, only what was written is reported.
  ~SaveQueue();

  // Queues a copy of `bytes` for folder.Save(name). The folder must outlive
  // the queue or its Finish().
  void Save(StagedFolder& folder, std::string name, std::span<const std::uint8_t> bytes,
            std::function<void()> whenSaved);
  // Writes everything queued and waits for it; raises the first error.
  void Finish();

 private:
  struct Item {
    StagedFolder* folder;
    std::string name;
    std::size_t offset;  // of its bytes in the batch's buffer
    std::size_t size;
    std::function<void()> whenSaved;
  };
  struct Batch {
    std::vector<Item> items;
    ByteBuffer bytes;
    std::size_t saved = 0;  // how many items were written
    std::exception_ptr error;
  };

  // What the worker wrote of its last batch, taken once it is idle.
  struct Written {
    std::vector<Item> items;
    std::size_t saved;
    std::exception_ptr error;
  };
  Written TakeWritten();
  // Runs `whenSaved` of the files written; raises the queue's error.
  void Report(const Written& written);
  // Waits for the worker and reports what it wrote.
  void Collect();
  // Waits for the worker, hands it the filling batch and reports the last.
  void HandOver();
  void Work();

  Batch filling_;  // the caller's
  Batch writing_;  // the worker's while `pending_`
  std::exception_ptr failed_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace tessary
