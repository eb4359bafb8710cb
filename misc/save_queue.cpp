#include "misc/save_queue.h"

#include <utility>

namespace tessary {

namespace {
constexpr std::size_t kBatchFiles = 256;
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;
// A larger file is written on the caller's thread (after the files queued
// before it): copying it would cost about what writing it does.
constexpr std::size_t kLargeFile = std::size_t{1} << 20;
}  // namespace

SaveQueue::~SaveQueue() {
  try {
    if (!failed_) Finish();
  } catch (const std::exception&) {  // the caller is leaving on its own error
  }
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void SaveQueue::Save(StagedFolder& folder, std::string name, std::span<const std::uint8_t> bytes,
                     std::function<void()> whenSaved) {
  if (failed_) std::rethrow_exception(failed_);
  if (bytes.size() > kLargeFile) {
    Finish();
    folder.Save(name, bytes);
    whenSaved();
    return;
  }
  const std::size_t offset = filling_.bytes.size();
  filling_.bytes.insert(filling_.bytes.end(), bytes.begin(), bytes.end());
  filling_.items.push_back({&folder, std::move(name), offset, bytes.size(), std::move(whenSaved)});
  if (filling_.items.size() >= kBatchFiles || filling_.bytes.size() >= kBatchBytes) HandOver();
}

void SaveQueue::Finish() {
  HandOver();
  Collect();
}

SaveQueue::Written SaveQueue::TakeWritten() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
  }
  // The worker is idle: its batch is the caller's until the next hand-over.
  Written written{std::exchange(writing_.items, {}), std::exchange(writing_.saved, 0),
                  std::exchange(writing_.error, nullptr)};
  writing_.bytes.clear();
  return written;
}

void SaveQueue::Report(const Written& written) {
  for (std::size_t i = 0; i < written.saved; ++i) written.items[i].whenSaved();
  if (written.error && !failed_) failed_ = written.error;
  if (failed_) std::rethrow_exception(failed_);
}

void SaveQueue::Collect() {
  Report(TakeWritten());
}

// The next batch is handed over before the last one is reported, so that the
// worker writes while the caller reports.
void SaveQueue::HandOver() {
  const Written written = TakeWritten();
  if (!written.error && !failed_ && !filling_.items.empty()) {
    std::swap(filling_, writing_);  // the emptied buffer is filled next, without allocating
    if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
    {
      std::lock_guard lock(mutex_);
      pending_ = true;
    }
    changed_.notify_all();
  }
  Report(written);
}

void SaveQueue::Work() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return pending_ || stopping_; });
      if (!pending_) return;
    }
    try {
      for (const Item& item : writing_.items) {
        item.folder->Save(item.name, std::span(writing_.bytes).subspan(item.offset, item.size));
        ++writing_.saved;
      }
    } catch (...) {
      writing_.error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      pending_ = false;
    }
    changed_.notify_all();
  }
}

}  // namespace tessary
