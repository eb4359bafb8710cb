// What makes two paths one file: the device and inode (on Windows, the volume
// serial number and the file index), whatever links or path forms lead there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tessary {

using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;

// The identity of the file at `path`; nullopt when it cannot be read (a file
// that is not there is left to the handler that opens it).
std::optional<FileIdentity> IdentityOf(const std::string& path);

// A file's identity and size, read with one call (for work that looks at many
// small files); nullopt when it cannot be read.
struct FileStatus {
  FileIdentity identity;
  std::uint64_t size = 0;
  bool regular = false;  // not a directory, FIFO or device
};
std::optional<FileStatus> StatusOf(const std::string& path);

}  // namespace tessary
