#include "tests/batch_fixture.h"

#include <filesystem>

#include "main/file_queue.h"
#include "misc/paths.h"

namespace tessary::testing {

namespace {

void MakeParentFolders(const std::string& path) {
  std::filesystem::create_directories(NativePath(path).parent_path());
}

}  // namespace

std::string BatchTest::Put(const std::string& relative, const ByteBuffer& bytes) {
  const std::string path = dir.File(relative);
  MakeParentFolders(path);
  WriteFile(path, bytes);
  return path;
}

std::string BatchTest::Put(const std::string& relative, const std::string& bytes) {
  const std::string path = dir.File(relative);
  MakeParentFolders(path);
  WriteFile(path, bytes);
  return path;
}

BatchOutcome BatchTest::Run(FileType choice, const std::vector<std::string>& files,
                            const std::string& out) {
  h.recorder.errors.clear();
  h.recorder.directoryReply = dir.SubDir(out);
  h.ctx.Queue.clear();
  AddFilesToQueue(h.ctx, choice, files);
  return RunBatch(h.ctx);
}

BatchOutcome BatchTest::RunClean(FileType choice, const std::vector<std::string>& files,
                                 const std::string& out) {
  const BatchOutcome outcome = Run(choice, files, out);
  EXPECT_EQ(Error(), "") << "batch " << static_cast<int>(choice) << " into " << out;
  return outcome;
}

std::string BatchTest::Error() const {
  return h.recorder.errors.empty() ? "" : h.recorder.errors.front();
}

}  // namespace tessary::testing
