#include "misc/staged_folder.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/paths.h"
#include "misc/renames.h"

namespace tessary {

namespace fs = std::filesystem;

StagedFolder::StagedFolder(std::string finalPath, std::string stagingPath)
    : finalPath_(std::move(finalPath)), stagingPath_(std::move(stagingPath)) {}

std::unique_ptr<StagedFolder> StagedFolder::Begin(const std::string& finalPath) {
  std::error_code error;
  // A dangling symbolic link has a name too: it is not replaced.
  if (fs::exists(fs::symlink_status(NativePath(finalPath), error))) return nullptr;
  constexpr int kAttempts = 8;  // a stale folder of a killed run may hold a name
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string staging = TemporaryPathFor(finalPath, attempt);
    if (fs::create_directory(NativePath(staging), error))
      return std::unique_ptr<StagedFolder>(new StagedFolder(finalPath, std::move(staging)));
    if (error) return nullptr;
  }
  return nullptr;
}

StagedFolder::~StagedFolder() {
  try {
    Publish();
  } catch (const std::exception&) {  // the files stay in the hidden folder
  }
}

void StagedFolder::Save(const std::string& name, std::span<const std::uint8_t> bytes) {
  const std::string path = JoinPath(stagingPath_, name);
  FileStream stream = FileStream::CreateNewPrivate(path, JoinPath(finalPath_, name));
  try {
    stream.Write(bytes);
  } catch (const std::exception&) {
    stream.Close();
    RemoveQuietly(path);
    throw;
  }
}

void StagedFolder::Publish() {
  if (published_) return;
  published_ = true;
  if (RenameIfAbsent(stagingPath_, finalPath_) == Renamed::Done) return;
  MoveFilesOneByOne();
}

// The final folder appeared meanwhile, or the system could not rename the
// hidden one (a file in it held open by a scanner, on some systems).
void StagedFolder::MoveFilesOneByOne() {
  std::error_code error;
  fs::create_directory(NativePath(finalPath_), error);
  std::vector<std::string> names;  // listed before any moves out of the folder
  for (fs::directory_iterator it(NativePath(stagingPath_), error), end; !error && it != end;
       it.increment(error))
    names.push_back(PathText(it->path().filename()));
  if (error) ThrowCannotCreate(finalPath_);
  std::string stuck;
  for (const std::string& name : names) {
    const std::string target = JoinPath(finalPath_, name);
    if (RenameIfAbsent(JoinPath(stagingPath_, name), target) != Renamed::Done && stuck.empty())
      stuck = target;
  }
  RemoveQuietly(stagingPath_);  // only when it is empty
  if (!stuck.empty()) ThrowCannotCreate(stuck);
}

}  // namespace tessary
