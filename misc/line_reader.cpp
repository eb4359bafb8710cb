#include "misc/line_reader.h"

#include <algorithm>
#include <cstring>

#include "misc/text_lines.h"

namespace tessary {

LineReader::LineReader(FileStream& file, std::size_t window)
    : file_(file), window_(std::max<std::size_t>(window, 16)) {
  file_.Seek(0);
  while (end_ < kUtf8ByteOrderMark.size() && Fill()) {
  }
  const std::string_view start(reinterpret_cast<const char*>(buffer_.data()), end_);
  if (start.starts_with(kUtf8ByteOrderMark)) at_ = scanned_ = kUtf8ByteOrderMark.size();
}

bool LineReader::Next(Line& line) {
  for (;;) {
    const std::string_view bytes(reinterpret_cast<const char*>(buffer_.data()), end_);
    if (at_ == end_ && ended_) return false;
    const std::size_t stop = LineEnd(bytes, scanned_);
    // A CR that ends the bytes read may be the first half of a CR LF.
    const bool complete = stop < end_ && (stop + 1 < end_ || bytes[stop] == '\n');
    if (complete || ended_) {
      const LineAt found = NextLine(bytes, at_);
      line = {found.line, base_ + at_, base_ + found.next};
      at_ = scanned_ = found.next;
      return true;
    }
    scanned_ = stop;
    Fill();
  }
}

bool LineReader::Fill() {
  if (ended_) return false;
  // The unread bytes move to the front; the buffer grows only for a line
  // longer than what it holds.
  if (at_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
    base_ += at_;
    end_ -= at_;
    scanned_ -= at_;
    at_ = 0;
  }
  if (buffer_.size() < end_ + window_) buffer_.resize(std::max(end_ + window_, 2 * buffer_.size()));
  const std::size_t got = file_.ReadSome({buffer_.data() + end_, window_});
  end_ += got;
  ended_ = got == 0;
  return !ended_;
}

}  // namespace tessary
