// A new folder filled under a hidden temporary name and renamed to its final
// name when it is complete.
//
// An OutputFile costs one directory operation more than a plain create, write
// and close: the link or rename that gives it its final name. When many files
// go into a folder that does not exist yet, the same guarantee (no file is
// ever seen half-written under its final path) holds for one rename in all:
// the files are created directly in a folder of the tool's own beside the
// final one, which takes its final name in Publish().
//
// Nothing but its writer uses the hidden folder, so its files are created
// with their own names and nothing is replaced in it. Publish() never replaces
// anything either: when something took the final name meanwhile, the files
// are moved into that folder one by one, and one whose name is taken there
// stays behind ("Cannot create file %s"). A killed process leaves the hidden
// folder (".NAME.tessary-PID-N-A.tmp") with the files it had finished.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tessary {

class StagedFolder final {
 public:
  // The staged folder of `finalPath`, or none when something has that name
  // already or the hidden folder cannot be made: then the caller writes into
  // the final folder file by file.
  static std::unique_ptr<StagedFolder> Begin(const std::string& finalPath);
  // Publishes a folder that Publish() was not called for (an error or a stop
  // ended the work): the files finished by then appear, as they would have
  // one by one. A failure here leaves them in the hidden folder.
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // Creates the file `name` in the folder with `bytes`. Errors name the path
  // the file will have, and leave no part of it behind.
  void Save(const std::string& name, std::span<const std::uint8_t> bytes);
  // Gives the folder its final name (see above).
  void Publish();

 private:
  StagedFolder(std::string finalPath, std::string stagingPath);
  void MoveFilesOneByOne();

  std::string finalPath_;
  std::string stagingPath_;
  bool published_ = false;
};

}  // namespace tessary
