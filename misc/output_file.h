// Files the tool creates, made under a temporary name and renamed into place.
//
// An OutputFile writes to a new file in the directory of its final name and
// gives it that name only in Commit(), when every byte is written. A failure,
// an exception or a killed process therefore leaves the earlier file of that
// name as it was, and never a partial file under the final name. Where the
// system can (Linux), the new file has no name until Commit() links it to the
// final one, or to a temporary name renamed over a file that is replaced;
// elsewhere it has a temporary name from the start, which the destructor
// removes when Commit() was not reached. The rename replaces a symbolic link
// at the final name instead of writing through it.
//
// The lock rule of the file layer still holds: when the final name is a file
// the tool holds open (the source being read or patched, also reached through a
// symbolic or hard link), creating the output fails with "Cannot create file %s"
// and that file is left untouched.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "misc/file_stream.h"

namespace tessary {

class OutputFile final {
 public:
  enum class Mode {
    Replace,       // the final name is replaced (after the lock rule's check)
    KeepExisting,  // Commit() leaves a file of that name alone and says so
  };
  explicit OutputFile(std::string finalPath, Mode mode = Mode::Replace);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The stream of the temporary file; errors name the final path.
  FileStream& Stream() { return stream_; }
  void Write(std::span<const std::uint8_t> bytes) { stream_.Write(bytes); }
  // Closes the temporary file and renames it to the final name ("Cannot
  // create file %s" when that fails; the temporary file is removed then).
  // In KeepExisting mode, returns false when a file of that name exists: the
  // output stays in its temporary file, for Retarget() and another Commit().
  bool Commit();
  // Another final name, in the same directory, to be replaced.
  void Retarget(std::string finalPath);

 private:
  std::string finalPath_;
  std::string temporaryPath_;  // empty while the file has no name
  FileStream stream_;
  // Links an unnamed file to the final name, or gives it a temporary one;
  // false when a KeepExisting file finds the final name taken.
  bool CommitUnnamed();

  Mode mode_;
  bool committed_ = false;
};

// Whether outputs may be files without a name where the system can make them
// (the default). Tests turn it off to try the temporary names used elsewhere.
void AllowUnnamedOutputs(bool allow);

// Removes, from `directory` and the folders directly in it, the temporary
// files of OutputFiles and the staged folders (staged_folder.h) that processes
// no longer running left behind (a killed batch). Those of running processes
// are theirs to finish.
void RemoveStaleTemporaries(const std::string& directory);

// Fails with "Cannot create file %s" when an OutputFile could not replace the
// file at `path` (the lock rule above); a name without a file passes.
void CheckReplaceable(const std::string& path);

// Creates (or replaces) a file with the given bytes, through an OutputFile.
void SaveBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tessary
