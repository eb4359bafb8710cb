#include "misc/line_reader.h"

#include <algorithm>
#include <cstring>

#include "misc/text_lines.h"

namespace tessary {

LineReader::LineReader(FileStream& file, std::size_t window)
    : file_(file), window_(std::max<std::size_t>(window, 16)) {
  file_.Seek(0);
  Fill();  // a window holds more than a byte-order mark
  const std::string_view start(reinterpret_cast<const char*>(buffer_.data()), end_);
  if (start.starts_with(kUtf8ByteOrderMark)) at_ = scanned_ = kUtf8ByteOrderMark.size();
}

bool LineReader::Next(Line& line) {
  for (;;) {
    const std::string_view bytes(reinterpret_cast<const char*>(buffer_.data()), end_);
    if (at_ == end_ && ended_) return false;
    const std::size_t stop = LineEnd(bytes, scanned_);
    // A line is whole once its ending is read; a CR that ends the bytes read
    // may be the first half of a CR LF.
    const bool more = stop == end_ || (stop + 1 == end_ && bytes[stop] == '\r');
    if (more && !ended_) {
      scanned_ = stop;
      Fill();
      continue;
    }
    std::size_t next = stop;
    if (stop < end_)
      next += bytes[stop] == '\r' && stop + 1 < end_ && bytes[stop + 1] == '\n' ? 2 : 1;
    line = {bytes.substr(at_, stop - at_), base_ + at_, base_ + next};
    at_ = scanned_ = next;
    return true;
  }
}

void LineReader::Fill() {
  if (ended_) return;
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
  // A read stops short only at the end of the file.
  const std::size_t got = file_.ReadSome({buffer_.data() + end_, window_});
  end_ += got;
  ended_ = got < window_;
}

}  // namespace tessary
