// The batch driver: header lines, the Total bar, the save rule, cancelled
// dialogs, the error path and the Stop request.
#include <gtest/gtest.h>

#include <filesystem>

#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "main/format_registry.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "tests/test_support.h"

namespace tessary {
namespace {

using testing::Harness;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class BatchDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.recorder.directoryReply = dir.SubDir("out");
    h.ctx.ProcessFileCallback = [this](ProcessContext& ctx, Format index, const std::string& path) {
      RunFileStep(ctx, [&] {
        calls.push_back(std::to_string(static_cast<int>(index)) + " " + path);
        ctx.Status.AppendResult(FileNameOf(path) + " extracted.");
        ctx.Status.SetCurrentMessage("Searching in " + path + " ...");
        ctx.Status.SetExtractedTag(3);
        ctx.Status.SetBarPosition(Bar::Progress, 50);
        if (onFile) onFile(ctx, path);
      });
    };
  }
  std::string OutFile(const std::string& name) { return dir.File("out/" + name); }

  TempDir dir;
  Harness h;
  std::vector<std::string> calls;
  std::function<void(ProcessContext&, const std::string&)> onFile;
};

TEST_F(BatchDriverTest, WritesHeaderLinesPerFileAndSavesTheLog) {
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin", "/d/b.bin", "/d/c.bin"});
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::Completed);

  EXPECT_EQ(calls, (std::vector<std::string>{"7 /d/a.bin", "7 /d/b.bin", "7 /d/c.bin"}));
  EXPECT_EQ(h.recorder.totalMaximum, 2);
  EXPECT_EQ(ReadFile(OutFile("result.log")),
            "#Format: STIM\r\n#Source: /d/a.bin\r\n#Format: STIM\r\n#Source: /d/b.bin\r\n"
            "#Format: STIM\r\n#Source: /d/c.bin\r\n");
  EXPECT_EQ(h.ctx.OutputDirectory, h.recorder.directoryReply);
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), dir.File("out")));
  EXPECT_EQ(h.recorder.informations,
            (std::vector<std::string>{"Process status:|Operation complete!"}));
  EXPECT_EQ(h.recorder.focusCount, 3);
}

// A second batch into a directory that a running batch holds is refused at
// once; a lock file left by a batch that no longer runs does not block.
TEST_F(BatchDriverTest, OneBatchAtATimeInAnOutputDirectory) {
  Harness second;
  second.recorder.directoryReply = dir.File("out");
  onFile = [&](ProcessContext&, const std::string&) {
    AddFilesToQueue(second.ctx, FileType::Stim, {"/d/b.bin"});
    second.ctx.ProcessFileCallback = [](ProcessContext&, Format, const std::string&) {};
    EXPECT_EQ(RunBatch(second.ctx), BatchOutcome::Failed);
  };
  // A lock file the first batch makes, and one a killed batch left.
  for (const bool stale : {false, true}) {
    if (stale) WriteFile(OutFile(".tessary.lock"), std::string());  // nobody holds it
    second.recorder.errors.clear();
    h.ctx.Queue.clear();
    AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin"});
    EXPECT_EQ(RunBatch(h.ctx), BatchOutcome::Completed);
    ASSERT_EQ(second.recorder.errors.size(), 1u) << stale;
    EXPECT_EQ(second.recorder.errors.front(),
              "Another batch is writing into " + dir.File("out") +
                  "; wait for it to end or choose another output directory.");
    EXPECT_FALSE(std::filesystem::exists(OutFile(".tessary.lock")));
  }
  onFile = nullptr;
  EXPECT_EQ(RunBatch(second.ctx), BatchOutcome::Completed);  // free again
}

TEST_F(BatchDriverTest, ResetsTheStatusOutputsAtTheEnd) {
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/only.bin"});
  BProcessClick(h.ctx);
  EXPECT_EQ(h.recorder.totalMaximum, 0);  // one file: maximum 0
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "");
  EXPECT_EQ(h.ctx.Status.ExtractedCaption(), "");  // empty, not "Extracted: 0"
  EXPECT_EQ(h.ctx.Status.ExtractedTag(), 0);
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Progress).position, 0);
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Total).position, 0);
  EXPECT_FALSE(h.ctx.Status.StopEnabled());
  EXPECT_TRUE(h.ctx.Status.SaveLogEnabled());
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"only.bin extracted."}));
}

TEST_F(BatchDriverTest, LogQueuesNeverWriteResultLogButProjectListsDo) {
  WriteFile(OutFile("result.log"), std::string("keep"));
  AddFilesToQueue(h.ctx, FileType::Log, {"/d/x.log"});
  BProcessClick(h.ctx);
  EXPECT_EQ(ReadFile(OutFile("result.log")), "keep");

  const std::string list = dir.File("p.lst");
  WriteFile(list, std::string("/d/one.log\r\n\r\n/d/two.log\r\n"));
  AddFilesToQueue(h.ctx, FileType::ProjectList, {list});
  calls.clear();
  BProcessClick(h.ctx);
  EXPECT_EQ(calls, (std::vector<std::string>{"8 /d/one.log", "8 ", "8 /d/two.log"}));
  EXPECT_EQ(ReadFile(OutFile("result.log")),
            "#Format: \r\n#Source: /d/one.log\r\n#Format: \r\n#Source: \r\n"
            "#Format: \r\n#Source: /d/two.log\r\n");
}

TEST_F(BatchDriverTest, EmptyQueueDoesNothing) {
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::EmptyQueue);
  EXPECT_TRUE(h.recorder.directoryStarts.empty());
  EXPECT_TRUE(h.recorder.informations.empty());
}

TEST_F(BatchDriverTest, CancelledDirectoryClearsResultsAndStillSaysComplete) {
  h.ctx.Status.AppendResult("from an earlier batch");
  std::filesystem::current_path(dir.Path());
  h.recorder.directoryReply.reset();
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin"});
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::DirectoryCancelled);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(h.ctx.Status.Results().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("result.log")));
  EXPECT_EQ(h.recorder.informations.size(), 1u);
  ASSERT_EQ(h.recorder.directoryStarts.size(), 1u);  // the chooser opens at the current directory
  EXPECT_TRUE(std::filesystem::equivalent(h.recorder.directoryStarts[0], dir.Path()));
}

TEST_F(BatchDriverTest, CodeTableIsAskedOnceForRdtAndACancelEndsSilently) {
  AddFilesToQueue(h.ctx, FileType::Rdt, {"/d/a.rdt", "/d/b.rdt"});
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::CodeTableCancelled);
  EXPECT_EQ(h.recorder.codeTableAsks, 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(h.recorder.informations.empty());
  EXPECT_FALSE(std::filesystem::exists(OutFile("result.log")));

  const ByteBuffer table(256, 7);
  WriteFile(dir.File("t.tbl"), table);
  h.recorder.codeTableReply = dir.File("t.tbl");
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::Completed);
  EXPECT_EQ(h.recorder.codeTableAsks, 2);
  EXPECT_EQ(h.ctx.CodeTable, table);
  EXPECT_EQ(calls.size(), 2u);

  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin"});
  BProcessClick(h.ctx);
  EXPECT_EQ(h.recorder.codeTableAsks, 2);  // other formats are not asked
  EXPECT_EQ(h.ctx.CodeTable, table);       // and the table stays loaded
}

TEST_F(BatchDriverTest, AnErrorEndsTheBatchWithoutSavingOrResetting) {
  onFile = [](ProcessContext&, const std::string& path) {
    if (path == "/d/b.bin") ThrowCannotOpen(path);
  };
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin", "/d/b.bin", "/d/c.bin"});
  EXPECT_EQ(RunBatch(h.ctx), BatchOutcome::Failed);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{"Cannot open file /d/b.bin."}));
  EXPECT_TRUE(h.recorder.informations.empty());
  EXPECT_FALSE(std::filesystem::exists(OutFile("result.log")));
  EXPECT_TRUE(h.ctx.Status.StopEnabled());
  EXPECT_FALSE(h.ctx.Status.SaveLogEnabled());
  EXPECT_EQ(h.ctx.Status.ExtractedTag(), 3);
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Progress).position, 50);
  EXPECT_EQ(h.ctx.ResultLog.Count(), 4u);
}

TEST_F(BatchDriverTest, StopSkipsTheRemainingFilesAndSavesWhatWasDone) {
  onFile = [](ProcessContext& ctx, const std::string& path) {
    if (path == "/d/b.bin") ctx.RequestStop();
  };
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin", "/d/b.bin", "/d/c.bin"});
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::Stopped);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(h.ctx.Status.Results().back(), "Stopped by user.");
  EXPECT_EQ(ReadFile(OutFile("result.log")),
            "#Format: STIM\r\n#Source: /d/a.bin\r\n#Format: STIM\r\n#Source: /d/b.bin\r\n");
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "");
  EXPECT_EQ(h.recorder.informations.size(), 1u);

  onFile = nullptr;  // the next batch starts with the request cleared
  calls.clear();
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::Completed);
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(BatchDriverTest, StopArrivesThroughThePumpBetweenFiles) {
  h.recorder.onPump = [this] {
    if (calls.size() == 1) h.ctx.RequestStop();
  };
  AddFilesToQueue(h.ctx, FileType::Stim, {"/d/a.bin", "/d/b.bin"});
  EXPECT_EQ(BProcessClick(h.ctx), BatchOutcome::Stopped);
  EXPECT_EQ(calls.size(), 1u);
}

TEST(ProjectListBatchTest, NeverReplacesAResultLogItHasJustApplied) {
  TempDir dir;
  Harness h;
  const std::string out = dir.SubDir("out");
  const std::string applied = "#Format: STIM\r\n#Source: " + dir.File("game.bin") + "\r\n";
  WriteFile(dir.File("game.bin"), std::string("no images"));
  WriteFile(JoinPath(out, "result.log"), applied);
  WriteFile(dir.File("other.log"), std::string("# nothing\r\n"));
  WriteFile(dir.File("p.lst"),
            JoinPath(out, "result.log") + "\r\n" + dir.File("other.log") + "\r\n");
  h.recorder.directoryReply = out;
  AddFilesToQueue(h.ctx, FileType::ProjectList, {dir.File("p.lst")});
  EXPECT_EQ(RunBatch(h.ctx), BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(JoinPath(out, "result.log")), applied);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"result.log: nothing in it was applied.",  // no image found
                                      "other.log: nothing in it was applied.",
                                      "result.log not replaced: it is one of the applied logs."}));
  EXPECT_TRUE(h.ctx.Status.SaveLogEnabled());

  // Into another directory the save rule is unchanged: the list's own log.
  h.recorder.directoryReply = dir.SubDir("elsewhere");
  EXPECT_EQ(RunBatch(h.ctx), BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("elsewhere/result.log")),
            "#Format: \r\n#Source: " + JoinPath(out, "result.log") +
                "\r\n#Format: \r\n#Source: " + dir.File("other.log") + "\r\n");
}

TEST(FileQueueTest, AnotherFormatEmptiesTheQueueAndProjectListsReplaceIt) {
  Harness h;
  AddFilesToQueue(h.ctx, FileType::Grm, {"a.dat"});
  AddFilesToQueue(h.ctx, FileType::Grm, {"a.dat", "b.dat"});
  EXPECT_EQ(h.ctx.Queue, (std::vector<std::string>{"a.dat", "a.dat", "b.dat"}));
  EXPECT_EQ(h.ctx.FormatIndex, Format::Grm);
  AddFilesToQueue(h.ctx, FileType::Tim, {"x.tim"});
  EXPECT_EQ(h.ctx.Queue, (std::vector<std::string>{"x.tim"}));
  EXPECT_EQ(h.ctx.FormatIndex, Format::Tim);

  TempDir dir;
  WriteFile(dir.File("p.lst"), std::string("one\r\ntwo\n\rthree"));
  AddFilesToQueue(h.ctx, FileType::ProjectList, {dir.File("p.lst")});
  AddFilesToQueue(h.ctx, FileType::ProjectList, {dir.File("p.lst"), "ignored.lst"});
  // Relative lines are logs beside the list.
  EXPECT_EQ(h.ctx.Queue,
            (std::vector<std::string>{dir.File("one"), dir.File("two"), "", dir.File("three")}));
  AddFilesToQueue(h.ctx, FileType::Log, {"r.log"});  // format 1 is not 8
  EXPECT_EQ(h.ctx.Queue, (std::vector<std::string>{"r.log"}));

  const std::string missing = dir.File("gone.lst");
  EXPECT_THROW(AddFilesToQueue(h.ctx, FileType::ProjectList, {missing}), FileError);
  EXPECT_EQ(h.ctx.Queue, (std::vector<std::string>{"r.log"}));  // unchanged
}

TEST(FileQueueTest, RemovesSelectedEntriesAndRoundTripsProjectLists) {
  Harness h;
  AddFilesToQueue(h.ctx, FileType::Grm, {"a", "b", "c", "d"});
  RemoveFromQueue(h.ctx, {1, 2});
  EXPECT_EQ(h.ctx.Queue, (std::vector<std::string>{"a", "d"}));

  TempDir dir;
  const std::vector<std::string> entries = {"C:\\x\\r.log", "", dir.File(" spaced "),
                                            "C:\\x\\\xE9t\xE9.log"};
  SaveProjectList(dir.File("q.lst"), entries);
  EXPECT_EQ(LoadProjectList(dir.File("q.lst")), entries);
  // Saved relative: from the list's folder, "/" between the parts.
  SaveProjectList(dir.File("q.lst"), {dir.File("logs/r.log")}, true);
  EXPECT_EQ(ReadFile(dir.File("q.lst")), "logs/r.log\r\n");
}

}  // namespace
}  // namespace tessary
