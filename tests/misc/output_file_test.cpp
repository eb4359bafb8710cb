// Outputs written by rename: the earlier file survives every failure, the lock
// rule holds through links, and inputs that are not regular files are refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "misc/byte_buffer.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/mapped_file.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/save_queue.h"
#include "misc/staged_folder.h"
#include "misc/text_lines.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace tessary {
namespace {

using testing::ErrorText;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Every entry of the directory, so that a leftover temporary file shows up.
std::vector<std::string> Entries(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A staged folder for "BIN", begun for each case.
class StagedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(staged); }
  std::string In(const std::string& name) const { return JoinPath(folder, name); }

  TempDir dir;
  const std::string folder = dir.File("BIN");
  std::unique_ptr<StagedFolder> staged = StagedFolder::Begin(folder);
};

// Every case both ways: files without a name (where the system makes them),
// and files under a temporary name.
class OutputFileTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { AllowUnnamedOutputs(GetParam()); }
  void TearDown() override { AllowUnnamedOutputs(true); }
};

TEST_P(OutputFileTest, TheFinalNameChangesOnlyOnCommit) {
  TempDir dir;
  const std::string path = dir.File("result.log");
  WriteFile(path, std::string("good old log"));
  {
    OutputFile out(path);
    out.Write(AsBytes("new"));
    EXPECT_EQ(ReadFile(path), "good old log");  // nothing visible before the commit
    out.Commit();
  }
  EXPECT_EQ(ReadFile(path), "new");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"result.log"}));
}

TEST_P(OutputFileTest, AnErrorBeforeTheCommitKeepsTheEarlierFileAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("ROOM.DAT");
  WriteFile(path, std::string("previous archive"));
  EXPECT_EQ(ErrorText([&] {
              OutputFile out(path);
              out.Write(AsBytes("half of a new"));
              throw FormatError("entry 3 is damaged");
            }),
            "entry 3 is damaged");
  EXPECT_EQ(ReadFile(path), "previous archive");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"ROOM.DAT"}));
}

#ifndef _WIN32
// A file-size limit makes the operating system refuse the write half way, as
// a full disk does.
class FileSizeLimit final {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_DFL);
  }

 private:
  rlimit saved_{};
};

TEST_P(OutputFileTest, AFailingWriteKeepsTheEarlierFile) {
  TempDir dir;
  const std::string path = dir.File("result.log");
  WriteFile(path, std::string("#Format: STIM\r\n#Source: a good log\r\n"));
  std::string error;
  {
    FileSizeLimit limit(64);
    error = ErrorText(
        [&] { TextLines(std::vector<std::string>(100, "#Target TIM: ...")).SaveToFile(path); });
  }
  EXPECT_EQ(error, "Stream write error (" + path + ")");
  EXPECT_EQ(ReadFile(path), "#Format: STIM\r\n#Source: a good log\r\n");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"result.log"}));
}

TEST_F(StagedFolderTest, AFailingWriteLeavesNoPartOfTheFile) {
  {
    FileSizeLimit limit(4);
    EXPECT_EQ(ErrorText([&] { staged->Save("a.bin", AsBytes("too long")); }),
              "Stream write error (" + In("a.bin") + ")");
  }
  staged.reset();
  EXPECT_EQ(Entries(folder), std::vector<std::string>{});
}

TEST_P(OutputFileTest, TheLockRuleHoldsThroughSymbolicAndHardLinks) {
  TempDir dir;
  const std::string source = dir.File("ROOM.DAT");
  WriteFile(source, std::string("the source being patched"));
  std::filesystem::create_symlink(source, dir.File("soft.DAT"));
  std::filesystem::create_hard_link(source, dir.File("hard.DAT"));
  {
    FileStream held = FileStream::OpenReadWrite(source);
    for (const char* name : {"ROOM.DAT", "soft.DAT", "hard.DAT"}) {
      EXPECT_EQ(ErrorText([&] { SaveBytes(dir.File(name), AsBytes("x")); }),
                "Cannot create file " + dir.File(name));
    }
  }
  EXPECT_EQ(ReadFile(source), "the source being patched");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("soft.DAT")));
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"ROOM.DAT", "hard.DAT", "soft.DAT"}));
}

TEST_P(OutputFileTest, ASymbolicLinkAtTheFinalNameIsReplacedNotWrittenThrough) {
  TempDir dir;
  WriteFile(dir.File("elsewhere.bin"), std::string("not an output"));
  std::filesystem::create_symlink(dir.File("elsewhere.bin"), dir.File("a_0.tim"));
  std::filesystem::create_symlink(dir.File("nowhere.bin"), dir.File("a_1.tim"));  // dangling
  SaveBytes(dir.File("a_0.tim"), AsBytes("TIM0"));
  SaveBytes(dir.File("a_1.tim"), AsBytes("TIM1"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.File("a_0.tim")));
  EXPECT_EQ(ReadFile(dir.File("a_0.tim")), "TIM0");
  EXPECT_EQ(ReadFile(dir.File("a_1.tim")), "TIM1");
  EXPECT_EQ(ReadFile(dir.File("elsewhere.bin")), "not an output");
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.bin")));
}

#endif

TEST_P(OutputFileTest, AKeptNameStaysAndTheOutputGoesToAnother) {
  TempDir dir;
  WriteFile(dir.File("a.bin"), std::string("first"));
  OutputFile out(dir.File("a.bin"), OutputFile::Mode::KeepExisting);
  out.Write(AsBytes("second"));
  EXPECT_FALSE(out.Commit());
  EXPECT_EQ(ReadFile(dir.File("a.bin")), "first");
  out.Retarget(dir.File("b.bin"));
  EXPECT_TRUE(out.Commit());
  EXPECT_EQ(ReadFile(dir.File("b.bin")), "second");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"a.bin", "b.bin"}));
}

INSTANTIATE_TEST_SUITE_P(BothWays, OutputFileTest, ::testing::Bool());

// A staged folder's files appear together under its final name, also when
// the work ends without Publish(); a name in use is never staged.
TEST_F(StagedFolderTest, FilesAppearTogetherUnderTheFinalName) {
  staged->Save("a.bin", AsBytes("aa"));
  staged->Save("b.bin", AsBytes(""));
  EXPECT_EQ(ErrorText([&] { staged->Save("a.bin", AsBytes("again")); }),
            "Cannot create file " + In("a.bin"));
  EXPECT_FALSE(PathExists(folder));
  staged.reset();
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"BIN"}));
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{"a.bin", "b.bin"}));
  EXPECT_EQ(ReadFile(In("a.bin")), "aa");
  EXPECT_FALSE(StagedFolder::Begin(folder));
  EXPECT_FALSE(StagedFolder::Begin(In("a.bin")));
}

// When the final name appears meanwhile, the files move into that folder one
// by one; one whose name is taken there stays in the hidden folder.
TEST_F(StagedFolderTest, AFolderThatAppearedMeanwhileTakesTheFilesOneByOne) {
  staged->Save("a.bin", AsBytes("ours"));
  staged->Save("b.bin", AsBytes("ours"));
  std::filesystem::create_directory(folder);
  WriteFile(In("b.bin"), std::string("theirs"));
  EXPECT_EQ(ErrorText([&] { staged->Publish(); }), "Cannot create file " + In("b.bin"));
  EXPECT_EQ(ReadFile(In("a.bin")), "ours");
  EXPECT_EQ(ReadFile(In("b.bin")), "theirs");
  const auto entries = Entries(dir.Path());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Entries(dir.File(entries[0])), (std::vector<std::string>{"b.bin"}));
}

// The save queue writes and reports its files in the order given, over
// several batches and around a file too large to copy; a file that cannot be
// written ends it: what came before is reported, nothing after is written.
TEST_F(StagedFolderTest, TheSaveQueueReportsInOrderAndStopsAtAFailure) {
  std::vector<std::string> queued, reported;
  {
    SaveQueue queue;
    for (int i = 0; i < 600; ++i) {
      queued.push_back("f" + std::to_string(i));
      const std::string content(i == 300 ? std::size_t{3} << 20 : std::size_t(i), 'x');
      queue.Save(*staged, queued.back(), AsBytes(content),
                 [&reported, name = queued.back()] { reported.push_back(name); });
    }
    queue.Finish();
  }
  EXPECT_EQ(reported, queued);

  reported.clear();
  SaveQueue queue;
  for (const std::string name : {"g0", "f1", "g2"})
    queue.Save(*staged, name, AsBytes("y"), [&reported, name] { reported.push_back(name); });
  EXPECT_EQ(ErrorText([&] { queue.Finish(); }), "Cannot create file " + In("f1"));
  EXPECT_EQ(ErrorText([&] { queue.Save(*staged, "g3", AsBytes("y"), [] {}); }),
            "Cannot create file " + In("f1"));
  staged->Publish();
  EXPECT_EQ(reported, std::vector<std::string>{"g0"});
  EXPECT_EQ(ReadFile(In("f300")).size(), std::size_t{3} << 20);
  EXPECT_EQ(ReadFile(In("f599")).size(), 599u);
  EXPECT_TRUE(PathExists(In("g0")));
  EXPECT_FALSE(PathExists(In("g2")));
}

#ifndef _WIN32

TEST(FileStreamTest, InputsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.bin");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    EXPECT_EQ(ErrorText([&] { FileStream::OpenRead(path); }), "Cannot open file " + path);
    EXPECT_EQ(ErrorText([&] { FileStream::OpenReadWrite(path); }), "Cannot open file " + path);
    EXPECT_EQ(ErrorText([&] { MappedFile mapped(path); }), "Cannot open file " + path);
    EXPECT_EQ(ErrorText([&] { LoadBytes(path); }), "Cannot open file " + path);
  }
  EXPECT_EQ(ErrorText([&] { SaveBytes(fifo, AsBytes("x")); }), "Cannot create file " + fifo);
}
#endif

}  // namespace
}  // namespace tessary
