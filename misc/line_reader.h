// Lines of a text file read a window at a time, so that a text of any size is
// read in the memory of its longest line. The rules are those of TextLines:
// CR LF, a lone CR and a lone LF each end a line; a last line without an
// ending is kept; a UTF-8 byte-order mark at the start of the file is skipped.
// Each line comes with its place in the file, so that a caller can index a
// text in one pass and read parts of it again later by offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "misc/byte_buffer.h"
#include "misc/file_stream.h"

namespace tessary {

class LineReader final {
 public:
  struct Line {
    std::string_view text;     // without its ending; valid until the next call
    std::uint64_t offset = 0;  // of its first byte in the file
    std::uint64_t next = 0;    // where the line after it starts
  };

  // Reads `file` from its start; `window` is how much one read asks for.
  explicit LineReader(FileStream& file, std::size_t window = std::size_t{1} << 20);

  // The next line into `line`; false after the last one.
  bool Next(Line& line);

 private:
  void Fill();  // reads another window behind the unread bytes

  FileStream& file_;
  std::size_t window_;
  ByteBuffer buffer_;
  std::size_t at_ = 0;       // the first unread byte in buffer_
  std::size_t end_ = 0;      // the end of the bytes read into buffer_
  std::size_t scanned_ = 0;  // bytes from at_ on known to hold no line ending
  std::uint64_t base_ = 0;   // the file offset of buffer_[0]
  bool ended_ = false;       // the file has no more bytes
};

}  // namespace tessary
