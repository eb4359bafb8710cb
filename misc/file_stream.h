// Positioned file streams over native handles.
//
// Every open takes a lock so that a file the tool holds for writing cannot be
// opened a second time: read opens share the file with other readers, read-write
// opens and creates hold it alone. On Windows this is the share mode of the open;
// elsewhere it is an advisory flock() that every open of this layer respects. This
// is what makes "rebuild an archive over the one being read" fail cleanly with
// "Cannot create file %s" instead of destroying the source. Only regular files
// are opened: a FIFO or a device is refused with "Cannot open file %s" instead
// of blocking for ever or reading without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tessary {

class FileStream final {
 public:
  // An existing file, shared with other readers.
  static FileStream OpenRead(const std::string& path);
  // An existing file, for reading and writing, held exclusively.
  static FileStream OpenReadWrite(const std::string& path);
  // An existing file, for reading only, but held exclusively like a file open
  // for writing (a read-only source that must not change while it is read).
  static FileStream OpenReadExclusive(const std::string& path);
  // A new file that must not exist yet, for reading and writing, held
  // exclusively. Errors name `shownPath` (the name the user knows the file by).
  // Outputs are made through OutputFile, which creates them this way under a
  // temporary name.
  static FileStream CreateNew(const std::string& path, const std::string& shownPath);
  // Like CreateNew, for a file in a folder of the tool's own that nobody else
  // looks into (a staged folder): it is not locked, which saves a call.
  static FileStream CreateNewPrivate(const std::string& path, const std::string& shownPath);
  // A new file without a name in `directory`, where the system can make one
  // (Linux); nothing where it cannot. It gets its name from LinkAs once it is
  // complete, and vanishes if it never does. Errors name `shownPath`.
  static std::optional<FileStream> CreateUnnamed(const std::string& directory,
                                                 const std::string& shownPath);
  enum class Linked { Done, Exists, Failed };
  // Gives an unnamed file the name `path`, unless something has that name.
  Linked LinkAs(const std::string& path);

  FileStream(FileStream&& other) noexcept;
  FileStream& operator=(FileStream&& other) noexcept;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  ~FileStream();

  const std::string& Path() const { return path_; }
  const std::string& ShownPath() const { return shownPath_; }
  std::uint64_t Size() const;
  std::uint64_t Position() const { return position_; }
  void Seek(std::uint64_t position) { position_ = position; }

  // The first offset at or after `offset` that may hold data: past it lies a
  // hole of a sparse file, which reads as zero bytes. `offset` itself where
  // the system cannot tell.
  std::uint64_t NextDataOffset(std::uint64_t offset) const;
  // Tells the system that `length` bytes at `offset` will be read soon, so that
  // it reads them ahead while the caller works (a hint; nothing on Windows).
  void WillNeed(std::uint64_t offset, std::uint64_t length) const;
  // Reads exactly out.size() bytes; a short read raises "Stream read error (PATH)".
  void ReadExact(std::span<std::uint8_t> out);
  // Reads up to out.size() bytes and returns how many were read.
  std::size_t ReadSome(std::span<std::uint8_t> out);
  void Write(std::span<const std::uint8_t> bytes);
  // Cuts the file at the current position.
  void Truncate();
  // Copies count bytes from source's position into this stream. A count of 0
  // copies the whole source from its start. A source that ends early raises
  // "Stream read error" after the bytes it had were written.
  void CopyFrom(FileStream& source, std::uint64_t count);

  void Close();

 private:
  enum class Access { Read, ReadExclusive, ReadWrite, CreateNew };
  FileStream() = default;
  FileStream(std::string path, std::string shownPath, Access access);

  std::string path_;
  std::string shownPath_;  // what errors call the file
  std::uint64_t position_ = 0;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// True when the file at `path` can be held alone now: no process of the tool
// has it open for writing (a temporary file being written, a lock held).
bool NobodyHolds(const std::string& path);

}  // namespace tessary
