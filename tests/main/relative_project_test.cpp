// Projects that travel: logs with relative paths, project lists beside their
// logs, and old logs relocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "main/relocate.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ReadFile;
using testing::WriteFile;

namespace fs = std::filesystem;

// A game file with one 4-bit TIM at offset 100; a search finds it as
// SCENE_0.tim.
class RelativeProjectTest : public testing::BatchTest {
 protected:
  void SetUp() override {
    Bytes scan(300, 0x5A);
    tim = testing::BuildTim({.mode = 0, .clutEntries = 16, .width = 3, .height = 2});
    std::copy(tim.begin(), tim.end(), scan.begin() + 100);
    scan[99] = 0;
    Put("work/game/SCENE.BIN", scan);
  }
  // Moves the whole work folder, as a user moving a project would.
  void MoveWork() { fs::rename(NativePath(dir.File("work")), NativePath(dir.File("moved"))); }
  // Edits the found image and applies `log`; the game file then holds the edit.
  void EditAndApply(const std::string& folder, const std::string& list, std::uint8_t mark) {
    std::string image = ReadFile(dir.File(folder + "/out/SCENE_0.tim"));
    image.back() = static_cast<char>(mark);
    WriteFile(dir.File(folder + "/out/SCENE_0.tim"), image);
    const bool isList = list.ends_with(".lst");
    ASSERT_EQ(RunClean(isList ? FileType::ProjectList : FileType::Log,
                       {dir.File(folder + "/" + list)}, "applied"),
              BatchOutcome::Completed);
    EXPECT_EQ(static_cast<std::uint8_t>(
                  ReadFile(dir.File(folder + "/game/SCENE.BIN"))[100 + tim.size() - 1]),
              mark);
  }
  Bytes tim;
};

TEST_F(RelativeProjectTest, AMovedProjectReplaysThroughItsLogsAndListsWithEitherSeparator) {
  h.ctx.RelativePaths = true;
  ASSERT_EQ(RunClean(FileType::Stim, {dir.File("work/game/SCENE.BIN")}, "work/out"),
            BatchOutcome::Completed);
  h.ctx.RelativePaths = false;
  std::string log = ReadFile(dir.File("work/out/result.log"));
  EXPECT_NE(log.find("#Source: ../game/SCENE.BIN\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" SCENE_0.tim\r\n"), std::string::npos) << log;

  MoveWork();
  EditAndApply("moved", "out/result.log", 0x11);
  // The same log written on Windows, and lists beside the logs they name.
  std::replace(log.begin(), log.end(), '/', '\\');
  WriteFile(dir.File("moved/out/windows.log"), log);
  EditAndApply("moved", "out/windows.log", 0x22);
  WriteFile(dir.File("moved/team.lst"), std::string("out\\windows.log\r\n"));
  EditAndApply("moved", "team.lst", 0x33);
}

TEST_F(RelativeProjectTest, AnOldLogIsRelocatedBesideItselfAndReplays) {
  ASSERT_EQ(RunClean(FileType::Stim, {dir.File("work/game/SCENE.BIN")}, "work/out"),
            BatchOutcome::Completed);
  MoveWork();
  const std::string log = dir.File("moved/out/result.log");
  const Relocated relocated = RelocateLog(log, dir.File("work"), dir.File("moved"));
  EXPECT_EQ(relocated.paths, 2u);  // the source and the image
  EXPECT_EQ(FileNameOf(relocated.logPath), "result-relocated.log");
  EditAndApply("moved", "out/result-relocated.log", 0x44);

  // Never over an existing file; nothing written when nothing moves.
  EXPECT_THROW(RelocateLog(log, dir.File("work"), dir.File("moved")), FileError);
  fs::remove(NativePath(relocated.logPath));
  EXPECT_EQ(RelocateLog(log, dir.File("elsewhere"), dir.File("moved")).paths, 0u);
  EXPECT_FALSE(PathExists(relocated.logPath));
}

}  // namespace
}  // namespace tessary
