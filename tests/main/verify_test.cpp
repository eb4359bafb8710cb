// The dry run of insertion and the round-trip check.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "main/verify.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;
using testing::ReadFile;
using testing::WriteFile;

// Every file below `root` with its content, and every folder.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    files[path] = entry.is_directory() ? "(folder)" : ReadFile(path);
  }
  return files;
}

class InsertionChecksTest : public testing::BatchTest {
 protected:
  void SetUp() override {
    WriteFile(dir.File("t.tbl"), RoomTable());
    h.recorder.codeTableReply = dir.File("t.tbl");
    WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
    WriteFile(dir.File("decodetable.tbl"), testing::SyntheticDictionary());
  }
  static Bytes RoomTable() {
    Bytes table = testing::IdentityTable();
    table[0] = ' ';
    return table;
  }
};

// Logs of four kinds, edited, applied through a project list: the dry run
// reports what the real run does (and the space text uses) and changes
// nothing at all.
TEST_F(InsertionChecksTest, ADryRunReportsWhatTheRealRunDoesAndWritesNothing) {
  const Bytes tim = testing::BuildTim({.mode = 1, .clutEntries = 16, .width = 2, .height = 2});
  Put("SCENE.BIN", tim);
  Put("ROOM.RDT", testing::BuildRoom({"Hello", "Bye\xFE\x01"s}));
  Put("GAME.DAT", testing::BuildArchive({{"a.txt", Bytes(6, 'a')}}, testing::SyntheticXorTable(),
                                        testing::SyntheticDictionary()));
  ASSERT_EQ(RunClean(FileType::Stim, {dir.File("SCENE.BIN")}, "out-stim"), BatchOutcome::Completed);
  ASSERT_EQ(RunClean(FileType::Rdt, {dir.File("ROOM.RDT")}, "out-rdt"), BatchOutcome::Completed);
  ASSERT_EQ(RunClean(FileType::Grm, {dir.File("GAME.DAT")}, "out-grm"), BatchOutcome::Completed);
  WriteFile(dir.File("out-rdt/ROOM.txt"), "(Hi!!)\r\n(Tooooo long)\r\n#Block CRC: 10 bytes.\r\n");
  WriteFile(dir.File("out-grm/TXT/GAME_a.txt"), std::string("edited"));
  WriteFile(dir.File("list.lst"), dir.File("out-stim/result.log") + "\r\n" +
                                      dir.File("out-rdt/result.log") + "\r\n" +
                                      dir.File("out-grm/result.log") + "\r\n");

  dir.SubDir("ins");
  const auto before = Snapshot(dir.Path());
  h.ctx.DryRun = true;
  ASSERT_EQ(RunClean(FileType::ProjectList, {dir.File("list.lst")}, "ins"),
            BatchOutcome::Completed);
  const std::vector<std::string> dry = h.ctx.Status.Results();

  EXPECT_EQ(Snapshot(dir.Path()), before);  // not a byte written, no file or folder made

  h.ctx.DryRun = false;
  ASSERT_EQ(RunClean(FileType::ProjectList, {dir.File("list.lst")}, "ins"),
            BatchOutcome::Completed);
  std::vector<std::string> real = h.ctx.Status.Results();
  EXPECT_EQ(real,
            (std::vector<std::string>{"SCENE_0.tim inserted.",
                                      "File ROOM.txtwrong size by 5 bytes.", "a.txt repacked."}));
  for (auto& line : real) line += " (dry run)";
  // and the dry run's report of the room's space.
  real.insert(real.begin() + 1,
              {"ROOM.txt: 15 of 10 bytes used. (dry run)",
               "ROOM.txt, line 2: 6 bytes more than the game's string. (dry run)"});
  EXPECT_EQ(dry, real);
}

TEST_F(InsertionChecksTest, VerifyFindsArchivesScansAndRoomsRoundTrip) {
  Bytes scan(300, 0x5A);
  const Bytes tim = testing::BuildTim({.mode = 0, .clutEntries = 16, .width = 3, .height = 2});
  std::copy(tim.begin(), tim.end(), scan.begin() + 100);
  scan[99] = 0;
  const std::string archive = Put(
      "GAME.DAT", testing::BuildArchive(
                      {{"a.txt", testing::TextLikeData(40000, 3), true}, {"b.bin", Bytes(7, 1)}},
                      testing::SyntheticXorTable(), testing::SyntheticDictionary()));
  const std::string room = Put("ROOM.RDT", testing::BuildRoom({"One", "", "Two\xFE\x02"s}));
  const std::string found = Put("SCENE.BIN", scan);
  const std::string out = dir.SubDir("out");
  h.ctx.OutputDirectory = out;
  EXPECT_TRUE(VerifyRoundTrip(h.ctx, FileType::Grm, {archive}, std::nullopt));
  EXPECT_TRUE(VerifyRoundTrip(h.ctx, FileType::Stim, {found}, std::nullopt));
  EXPECT_TRUE(VerifyRoundTrip(h.ctx, FileType::Rdt, {room}, dir.File("t.tbl")));
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"GAME.DAT: identical.", "SCENE.BIN: identical.",
                                      "ROOM.RDT: identical."}));
  EXPECT_TRUE(std::filesystem::is_empty(out));  // the workspace is gone
  EXPECT_THROW(VerifyRoundTrip(h.ctx, FileType::Log, {archive}, std::nullopt), std::exception);
  // Checked with every entry compressed, unedited ones included.
  h.ctx.CompressEntries = true;
  EXPECT_TRUE(VerifyRoundTrip(h.ctx, FileType::Grm, {archive}, std::nullopt));
  EXPECT_EQ(h.ctx.Status.Results().back().rfind(
                "GAME.DAT: identical; rebuilt with its entries compressed: ", 0),
            0u)
      << h.ctx.Status.Results().back();
}

// A check asked to stop (Ctrl-C, SIGTERM, SIGHUP, the Stop button) ends and
// removes its workspace; what a killed run left (a workspace, a temporary
// file, a staged folder) is removed by the next check or batch there.
TEST_F(InsertionChecksTest, AStoppedCheckAndAKilledRunLeaveNothingBehind) {
  const std::string room = Put("ROOM.RDT", testing::BuildRoom({"One"}));
  const std::string out = dir.SubDir("out");
  // No system gives a process this id (Linux stops below 2^22, Windows ids
  // are multiples of 4).
  const std::string dead = "999999999";
  dir.SubDir("out/.tessary-verify-" + dead + "-0/extract");
  const std::string leftover = dir.File("out/.ROOM.txt.tessary-" + dead + "-0-0.tmp");
  WriteFile(leftover, std::string("partial"));
  const std::string staged = dir.SubDir("out/.BIN.tessary-" + dead + "-1-0.tmp");
  WriteFile(JoinPath(staged, "ROOM_A.BIN"), std::string("done"));
  h.ctx.OutputDirectory = out;
  h.recorder.onPump = [&] { h.ctx.RequestStop(); };
  EXPECT_FALSE(VerifyRoundTrip(h.ctx, FileType::Rdt, {room}, dir.File("t.tbl")));
  EXPECT_EQ(h.ctx.Status.Results(), std::vector<std::string>{"Stopped by user."});
  EXPECT_EQ(
      Snapshot(out),
      (std::map<std::string, std::string>{
          {leftover, "partial"}, {staged, "(folder)"}, {JoinPath(staged, "ROOM_A.BIN"), "done"}}));

  h.recorder.onPump = nullptr;
  ASSERT_EQ(RunClean(FileType::Rdt, {room}, "out"), BatchOutcome::Completed);
  EXPECT_FALSE(std::filesystem::exists(leftover));
  EXPECT_FALSE(std::filesystem::exists(staged));
}

TEST(VerifyPartsTest, TheFirstDifferenceAndTheImageHoldingIt) {
  testing::TempDir dir;
  Bytes a(64, 7), b(64, 7);
  b[45] = 8;  // a planted difference
  WriteFile(dir.File("a"), a);
  WriteFile(dir.File("b"), b);
  EXPECT_EQ(FirstDifference(dir.File("a"), dir.File("b")), 45u);
  EXPECT_EQ(FirstDifference(dir.File("a"), dir.File("a")), std::nullopt);
  b.resize(70, 7);
  b[45] = 7;
  WriteFile(dir.File("b"), b);
  EXPECT_EQ(FirstDifference(dir.File("a"), dir.File("b")), 64u);  // one is longer
  // Read a block at a time: past the first MiB, and at a block's exact end.
  Bytes big(std::size_t{1} << 20, 3), bigger = big;
  WriteFile(dir.File("big"), big);
  bigger.resize(big.size() + 5, 3);
  bigger[big.size() + 3] = 4;
  WriteFile(dir.File("bigger"), bigger);
  EXPECT_EQ(FirstDifference(dir.File("big"), dir.File("big")), std::nullopt);
  EXPECT_EQ(FirstDifference(dir.File("big"), dir.File("bigger")), big.size());
  bigger.resize(big.size());
  bigger[7] = 9;
  WriteFile(dir.File("bigger"), bigger);
  EXPECT_EQ(FirstDifference(dir.File("bigger"), dir.File("big")), 7u);
  const std::vector<std::string> log = {"#Format: STIM", "#Source: x",
                                        "#Target TIM: 00000010:00000010 /o/X_0.tim",
                                        "#Target TIM: 00000028:00000008 /o/X_1.tim"};
  EXPECT_EQ(TimTargetHolding(log, 0x2F), "X_1.tim");
  EXPECT_EQ(TimTargetHolding(log, 0x20), "");

  const Bytes tim = testing::BuildTim({.mode = 2, .clutEntries = 0, .width = 2, .height = 1});
  Bytes stp = tim;
  stp[tim.size() - 1] ^= 0x80;
  EXPECT_TRUE(DiffersOnlyInStpBits(tim, stp));
  stp[tim.size() - 2] ^= 0x01;
  EXPECT_FALSE(DiffersOnlyInStpBits(tim, stp));
}

}  // namespace
}  // namespace tessary
