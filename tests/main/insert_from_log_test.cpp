// InsertFromLog and InsertTims: sections, keywords, dispatch, write-back rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "batch/result_log.h"
#include "formathandlers/tim/tim_insert.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/insert_from_log.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using testing::Harness;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string TimLine(std::uint32_t offset, std::uint32_t length, const std::string& path) {
  char fields[32];
  std::snprintf(fields, sizeof fields, "%08X:%08X ", offset, length);
  return "#Target TIM: " + std::string(fields) + path;
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class InsertFromLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.ctx.OutputDirectory = dir.SubDir("out");
    source = dir.File("SRC.BIN");
    WriteFile(source, std::string(32, '.'));
  }
  void Apply(const std::vector<std::string>& lines) {
    WriteFile(dir.File("r.log"), CrLf(lines));
    struct Release {
      InsertionPlan& plan;
      ~Release() { plan.Clear(); }  // as the batch driver does: no lock outlives it
    } release{h.ctx.Plan};
    InsertFromLog(h.ctx, dir.File("r.log"));
    WritePlannedInsertions(h.ctx);
  }
  std::string Tim(const std::string& name, const std::string& bytes) {
    WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }

  TempDir dir;
  Harness h;
  std::string source;
};

TEST_F(InsertFromLogTest, ThreeTargetsWithTheSecondMissing) {
  const std::string a = Tim("A_0.tim", "AAAA"), c = Tim("A_2.tim", "CC");
  Apply({"#Format: STIM", "#Source: " + source, TimLine(0, 4, a),
         TimLine(8, 4, dir.File("A_1.tim")), TimLine(30, 2, c), "# trailing comment"});
  EXPECT_EQ(
      h.ctx.Status.Results(),
      (std::vector<std::string>{"A_0.tim inserted.", "A_1.tim skiped.", "A_2.tim inserted."}));
  EXPECT_EQ(ReadFile(source), "AAAA" + std::string(26, '.') + "CC");
  EXPECT_FALSE(h.ctx.SourceStream != nullptr);
  EXPECT_EQ(h.ctx.SourcePath, source);
}

TEST_F(InsertFromLogTest, InsertTimsReturnsTheFirstLineItDidNotTake) {
  const std::string a = Tim("A_0.tim", "AAAA");
  h.ctx.LogLines = TextLines(
      {"#Source: x", TimLine(0, 4, a), "x#Target TIM:00000004:00000004 " + a, "#Format: GRM"});
  h.ctx.SourceStream = &h.ctx.Plan.HoldSource(source, SourceAccess::Write);
  EXPECT_EQ(InsertTims(h.ctx, "dir/SRC.BIN", 1), 3u);
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "Processing SRC.BIN ...");
  EXPECT_EQ(InsertTims(h.ctx, "dir/SRC.BIN", 3), 3u);  // not a target line
  h.ctx.Status.SetCurrentMessage("");
  EXPECT_EQ(InsertTims(h.ctx, "dir/SRC.BIN", 4), 4u);  // at the end: no status text
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "");
  h.ctx.Plan.Carry(h.ctx.Status, false);
  h.ctx.Plan.Clear();
  EXPECT_EQ(ReadFile(source), "AAAAAAAA" + std::string(24, '.'));
}

TEST_F(InsertFromLogTest, LoggedLengthDecidesHowMuchIsWritten) {
  const std::string longTim = Tim("L_0.tim", "0123456789");
  Apply({"#Format: STIM", "#Source: " + source, TimLine(2, 3, longTim), TimLine(20, 0, longTim)});
  EXPECT_EQ(ReadFile(source), "..012" + std::string(15, '.') + "0123456789" + "..");
  // A target whose TIM file is the source itself: its first bytes, as they were.
  WriteFile(source, "0123456789" + std::string(22, '.'));
  Apply({"#Format: STIM", "#Source: " + source, TimLine(20, 4, source)});
  EXPECT_EQ(ReadFile(source), "0123456789" + std::string(10, '.') + "0123" + std::string(8, '.'));
}

TEST_F(InsertFromLogTest, AShortTimFileFailsBeforeWritingAnything) {
  const std::string shortTim = Tim("S_0.tim", "xy");
  EXPECT_EQ(testing::ErrorText([&] {
              Apply({"#Format: STIM", "#Source: " + source, TimLine(0, 4, shortTim)});
            }),
            "r.log, line 3: Stream read error (" + shortTim + ")");
  EXPECT_EQ(ReadFile(source), std::string(32, '.'));
  EXPECT_FALSE(h.ctx.SourceStream != nullptr);  // the lock does not outlive the error
  FileStream::OpenReadWrite(source);

  // A TIM file cut after the plan: the earlier target is written, none of
  // the cut one's bytes are.
  const std::string a = Tim("A_0.tim", "AAAA"), b = Tim("B_0.tim", "BBBB");
  h.recorder.onResult = [&](const std::string& result) {
    if (result == "A_0.tim inserted.") WriteFile(b, "BB");
  };
  EXPECT_EQ(
      testing::ErrorText([&] {
        Apply({"#Format: STIM", "#Source: " + source, TimLine(0, 4, a), TimLine(8, 4, b)});
      }),
      "r.log, line 4: Stream read error (" + b + ") (1 earlier writes of this batch were made)");
  EXPECT_EQ(ReadFile(source), "AAAA" + std::string(28, '.'));
}

// The whole batch is planned first: with any problem, no source is written,
// and every problem is listed with its line.
TEST_F(InsertFromLogTest, APlanWithProblemsWritesNothingAndListsThemAll) {
  const std::string other = dir.File("OTHER.BIN");
  WriteFile(other, std::string(8, '-'));
  const std::string a = Tim("A_0.tim", "AAAA"), cut = Tim("C_0.tim", "xy");
  EXPECT_EQ(testing::ErrorText([&] {
              Apply({"#Format: STIM", "#Source: " + source, TimLine(0, 4, a), TimLine(2, 4, a),
                     "#Source: " + other, TimLine(4, 4, a), TimLine(0, 4, cut)});
            }),
            "Nothing was written: 2 problems found\n"
            "r.log, line 4: writes bytes 2 to 5 of SRC.BIN, which r.log, line 3 writes too\n"
            "r.log, line 7: Stream read error (" +
                cut + ")");
  EXPECT_EQ(ReadFile(source), std::string(32, '.'));
  EXPECT_EQ(ReadFile(other), std::string(8, '-'));
  EXPECT_TRUE(h.ctx.Status.Results().empty());
}

// A dry run resolves relative paths and opens sources as the real run does.
TEST_F(InsertFromLogTest, TheDryRunFindsAndRefusesWhatTheRealRunWould) {
  WriteFile(dir.File("out/t.tbl"), std::string(300, 'T'));  // beside the output
  const std::string a = Tim("A_0.tim", "AAAA");
  for (const bool dry : {true, false}) {
    h.ctx.DryRun = dry;
    h.ctx.CodeTable.clear();
    Apply({"#CodeTable: t.tbl", "#Format: STIM", "#Source: " + source, TimLine(0, 4, a)});
    EXPECT_EQ(h.ctx.CodeTable, ByteBuffer(300, 'T'));
    EXPECT_EQ(ReadFile(source).substr(0, 4), dry ? "...." : "AAAA");
  }
#ifndef _WIN32
  const testing::ReadOnlyFile readOnly(source);
  if (!readOnly.Effective()) GTEST_SKIP() << "the file system cannot make the source read-only";
  h.ctx.DryRun = true;
  EXPECT_EQ(testing::ErrorText([&] {
              Apply({"#Format: STIM", "#Source: " + source, TimLine(0, 4, a)});
            }),
            "r.log, line 3: Cannot open file " + source);
#endif
}

// A file one section patches may be what another copies, in either order:
// it is read through the plan, as the lines leave it.
TEST_F(InsertFromLogTest, ASectionMayReadAFileAnotherPatches) {
  const std::string a = Tim("A_0.tim", "aaaa"), b = Tim("B_0.tim", "BB");
  const std::vector<std::string> patchA = {"#Format: STIM", "#Source: " + a, TimLine(0, 2, b)};
  const std::vector<std::string> copyA = {"#Format: STIM", "#Source: " + source, TimLine(0, 4, a)};
  auto lines = patchA;
  lines.insert(lines.end(), copyA.begin(), copyA.end());
  Apply(lines);
  EXPECT_EQ(ReadFile(source).substr(0, 4), "BBaa");
  lines = copyA;
  lines.insert(lines.end(), patchA.begin(), patchA.end());
  WriteFile(a, std::string("cccc"));
  Apply(lines);
  EXPECT_EQ(ReadFile(source).substr(0, 4), "cccc");
  EXPECT_EQ(ReadFile(a), "BBcc");
}

TEST_F(InsertFromLogTest, UnparsableNumbersAreSkippedWithoutWriting) {
  const std::string a = Tim("A_0.tim", "AAAA");
  Apply({"#Format: STIM", "#Source: " + source, "#Target TIM: 0000000G:00000004 " + a});
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"A_0.tim skiped."}));
  EXPECT_EQ(ReadFile(source), std::string(32, '.'));
}

TEST_F(InsertFromLogTest, JoinedSectionsAreAppliedEachWithItsFormat) {
  const std::string other = dir.File("OTHER.BIN");
  WriteFile(other, std::string(8, '-'));
  const std::string a = Tim("A_0.tim", "AA"), b = Tim("B_0.tim", "BB");
  Apply({"#Format: STIM", "#Source: " + source, "#Format: STIM", "#Source: " + other,
         TimLine(1, 2, b), "#Format: ARD", "#Source: " + source, TimLine(0, 2, a), "#Format: STIM",
         "#Source: " + source, TimLine(4, 2, a)});
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"B_0.tim inserted.", "A_0.tim inserted."}));
  EXPECT_EQ(ReadFile(other), "-BB-----");
  EXPECT_EQ(ReadFile(source), "....AA" + std::string(26, '.'));
}

TEST_F(InsertFromLogTest, KeywordsAndKeysAreCaseSensitive) {
  const std::string a = Tim("A_0.tim", "AA");
  Apply({"#format: STIM", "#Source: " + source, TimLine(0, 2, a), "#Format: stim",
         "#Source: " + source, TimLine(0, 2, a), "#FORMAT: STIM", "#source: " + source,
         TimLine(0, 2, a)});
  // Nothing applied is said, and counted as refused.
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"r.log: nothing in it was applied."}));
  EXPECT_EQ(h.ctx.Status.Refusals(), 1);
  EXPECT_EQ(ReadFile(source), std::string(32, '.'));
  EXPECT_EQ(h.ctx.LogFormat, Format::None);
}

TEST_F(InsertFromLogTest, MissingSourceIsAnErrorInEveryFormat) {
  const std::string missing = dir.File("gone.bin");
  for (const char* key : {"STIM", "ARD", "NOPE"}) {
    try {
      Apply({std::string("#Format: ") + key, "#Source: " + missing});
      ADD_FAILURE() << key;
    } catch (const LogLineError& error) {
      EXPECT_EQ(std::string(error.what()), "r.log, line 2: Cannot open file " + missing);
    }
  }
  InsertFromLog(h.ctx, dir.File("missing.log"));  // collected like every problem
  EXPECT_THROW(WritePlannedInsertions(h.ctx), FileError);
  h.ctx.Plan.Clear();
}

TEST_F(InsertFromLogTest, StatusAndBarsFollowTheLog) {
  Apply({"# one", "# two", "# three", "#CodeTable: " + Tim("t.tbl", std::string(300, 'T'))});
  EXPECT_EQ(h.ctx.CodeTable, ByteBuffer(300, 'T'));
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Progress).position, 4);
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Total).position, 100);
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "Processing r.log...");
  Apply({"#Format: STIM"});  // one line: no division by zero
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Total).position, 0);
  EXPECT_EQ(h.ctx.LogFormat, Format::Stim);
  Apply({});
  EXPECT_EQ(h.ctx.LogFormat, Format::None);
}

// The whole round trip through the batch driver: search, edit, delete, insert.
TEST(TimRoundTripTest, EditedImagesGoBackOnlyInsideTheirExtents) {
  TempDir dir;
  Harness h;
  std::vector<std::uint8_t> data(300, 0xEE);
  const auto tim1 = testing::BuildTim({});
  const auto tim2 = testing::BuildTim({.mode = 2, .clutEntries = 0, .width = 4, .height = 2});
  std::fill_n(data.begin() + 36, 4, 0);
  std::copy(tim1.begin(), tim1.end(), data.begin() + 40);
  std::fill_n(data.begin() + 156, 4, 0);
  std::copy(tim2.begin(), tim2.end(), data.begin() + 160);
  WriteFile(dir.File("GAME.BIN"), data);

  h.recorder.directoryReply = dir.SubDir("out");
  AddFilesToQueue(h.ctx, FileType::Stim, {dir.File("GAME.BIN")});
  ASSERT_EQ(BProcessClick(h.ctx), BatchOutcome::Completed);
  ASSERT_EQ(h.ctx.Status.Results().back(), "2 TIM's found.");

  std::string edited = ReadFile(dir.File("out/GAME_1.tim"));
  edited.back() = 'Z';
  WriteFile(dir.File("out/GAME_1.tim"), edited);
  std::filesystem::remove(dir.File("out/GAME_0.tim"));

  h.recorder.directoryReply = dir.SubDir("out2");
  AddFilesToQueue(h.ctx, FileType::Log, {dir.File("out/result.log")});
  ASSERT_EQ(BProcessClick(h.ctx), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"GAME_0.tim skiped.", "GAME_1.tim inserted."}));
  auto expected = data;
  expected[160 + tim2.size() - 1] = 'Z';
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), std::string(expected.begin(), expected.end()));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out2/result.log")));
}

TEST_F(InsertFromLogTest, WritesPastFourGibAndIndentedDirectivesAreRefused) {
  const std::string tim = Tim("F_0.tim", std::string(32, 'T'));
  for (const std::string& target : {TimLine(0xFFFFFFF0, 0x20, tim), TimLine(0xFFFFFFF0, 0, tim)}) {
    EXPECT_EQ(testing::ErrorText([&] {
                Apply({"#Format: STIM", "#Source: " + source, target});
              }),
              "r.log, line 3: F_0.tim at offset 4294967280 with 32 bytes ends past 4 GiB");
    EXPECT_EQ(ReadFile(source), std::string(32, '.'));
  }
  for (const std::string& indented :
       std::vector<std::string>{" #Source: " + source, "\t#Format: STIM", "  #CodeTable: x"}) {
    EXPECT_EQ(testing::ErrorText([&] {
                Apply({"#Format: STIM", indented});
              }),
              "r.log, line 2: \"" + std::string(FirstWord(indented)) +
                  "\" must stand at the start of its line; this line is not understood");
  }
}

}  // namespace
}  // namespace tessary
