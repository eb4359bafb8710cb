// The headless front end's contract: exit statuses, stdout, result.log.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "formathandlers/image/png_codec.h"
#include "main/format_registry.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"
#include "tests/tim_builder.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tessary {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct CliRun {
  int status = -1;
  std::string out;
};

// Runs tessary-cli with the arguments, stdout captured, stderr discarded (or,
// with `errors`, captured after stdout); `before` is shell text put first.
CliRun RunCli(const std::string& arguments, bool errors = false, const std::string& before = "") {
  std::string command = before + "\"" + TESSARY_CLI_PATH + "\" " + arguments +
                        (errors ? " 2>&1" : std::string(" 2>") + NULL_DEVICE);
#ifdef _WIN32
  // cmd.exe strips the first and the last quote of a command line that starts
  // with one: an extra pair keeps the program's quotes.
  command = "\"" + command + "\"";
#endif
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
  const int raw = pclose(pipe);
#ifdef _WIN32
  run.status = raw;
#else
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  return run;
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

TEST(CliTest, StimBatchWritesFourHeaderLinesWithAbsolutePaths) {
  TempDir dir;
  WriteFile(dir.File("a.bin"), std::string("no images here"));
  WriteFile(dir.File("b.bin"), std::string(""));
  std::filesystem::current_path(dir.Path());
  const CliRun run = RunCli("-f STIM -q -o out/sub a.bin b.bin");
  EXPECT_EQ(run.status, 0);
  const std::string log = ReadFile(dir.File("out/sub/result.log"));
  const std::string a = std::filesystem::absolute("a.bin").string();
  const std::string b = std::filesystem::absolute("b.bin").string();
  EXPECT_EQ(log, "#Format: STIM\r\n#Source: " + a + "\r\n#Format: STIM\r\n#Source: " + b + "\r\n");
}

// A log that applies nothing, or skips a file, ends with status 3 and a
// count; one with problems with status 1.
TEST(CliTest, LogBatchWritesNoResultLogAndCountsRefusals) {
  TempDir dir;
  WriteFile(dir.File("r.log"), std::string("# nothing to apply\r\n"));
  const CliRun run =
      RunCli("-f log -q -o " + Quoted(dir.File("o")) + " " + Quoted(dir.File("r.log")), true);
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("r.log: nothing in it was applied.\n"), std::string::npos);
  EXPECT_NE(run.out.find("1 of 1 refused or skipped.\n"), std::string::npos) << run.out;
  WriteFile(dir.File("s.log"), "#Format: STIM\r\n#Source: " + dir.File("r.log") +
                                   "\r\n#Target TIM: 00000000:00000002 " + dir.File("gone.tim") +
                                   "\r\n");
  EXPECT_EQ(
      RunCli("-f log -q -o " + Quoted(dir.File("o")) + " " + Quoted(dir.File("s.log"))).status, 3);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("o")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("o/result.log")));
  // Problems end the batch with status 1, each on a line of its own.
  WriteFile(dir.File("p.log"), "#Format: STIM\r\n#Source: " + dir.File("gone1") +
                                   "\r\n#Source: " + dir.File("gone2") + "\r\n");
  const CliRun problems =
      RunCli("-f log -q -o " + Quoted(dir.File("o")) + " " + Quoted(dir.File("p.log")), true);
  EXPECT_EQ(problems.status, 1);
  EXPECT_NE(problems.out.find("\np.log, line 3: Cannot open file " + dir.File("gone2") + ".\n"),
            std::string::npos)
      << problems.out;
}

TEST(CliTest, UsageErrorsExitWithTwo) {
  TempDir dir;
  const std::string out = " -o " + Quoted(dir.File("o"));
  EXPECT_EQ(RunCli("-f bogus" + out + " x").status, 2);
  EXPECT_EQ(RunCli("-f stim x").status, 2);
  EXPECT_EQ(RunCli("-f rdt" + out + " x.rdt").status, 2);
  EXPECT_EQ(RunCli("-f stim" + out).status, 2);
  EXPECT_EQ(RunCli("-o" + out).status, 2);
  EXPECT_EQ(RunCli("-f tim --lenient" + out + " x.tim").status, 2);  // a search's switch
  EXPECT_EQ(RunCli("-f stim --keep-stp" + out + " x").status, 2);
  EXPECT_EQ(RunCli("-f grm --compress" + out + " x.dat").status, 2);  // a repack's switch
  EXPECT_EQ(RunCli("verify -f tim --compress" + out + " x.tim").status, 2);
  // A path that starts with '/' is a path on every platform, not an option:
  // the missing log is an error, not a usage error.
  EXPECT_EQ(RunCli("-q -f log --dry-run -o /tessary-none/o /tessary-none/a.log").status, 1);
}

TEST(CliTest, TableCommandsDryRunsAndVerify) {
  TempDir dir;
  WriteFile(dir.File("text.tbl"), std::string("# game letters\r\n80=A\r\n81=B\r\n"));
  EXPECT_EQ(RunCli("table import " + Quoted(dir.File("text.tbl")) + " -o " +
                   Quoted(dir.File("raw.tbl")) + " --encode " + Quoted(dir.File("enc.tbl")))
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.File("raw.tbl"))[0x80], 'A');
  EXPECT_EQ(static_cast<unsigned char>(ReadFile(dir.File("enc.tbl"))['B']), 0x81);
  EXPECT_EQ(
      RunCli("table export " + Quoted(dir.File("raw.tbl")) + " -o " + Quoted(dir.File("back.tbl")))
          .status,
      0);
  EXPECT_EQ(
      ReadFile(dir.File("back.tbl")),
      "# codes that decode to themselves are left out (--all writes them)\r\n80=A\r\n81=B\r\n");
  WriteFile(dir.File("twice.tbl"), std::string("80=A\r\n81=A\r\n"));
  EXPECT_EQ(RunCli("table import " + Quoted(dir.File("twice.tbl")) + " -o " +
                   Quoted(dir.File("x.tbl")) + " --encode " + Quoted(dir.File("y.tbl")))
                .status,
            1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.tbl")));  // nothing written
  // 0x41 is listed as 'B'; 0x42, not listed, decodes to itself: 'B' too.
  WriteFile(dir.File("shared.tbl"), std::string("41=B\r\n"));
  EXPECT_NE(RunCli("table import " + Quoted(dir.File("shared.tbl")) + " -o " +
                       Quoted(dir.File("s.tbl")) + " --encode " + Quoted(dir.File("e.tbl")),
                   true)
                .out.find("'B': 0x41 0x42"),
            std::string::npos);

  // A text table needs no export; --all writes the identity entries too;
  // check lists what a text table cannot encode, with status 3.
  EXPECT_EQ(
      RunCli("table export " + Quoted(dir.File("text.tbl")) + " -o " + Quoted(dir.File("t.txt")))
          .status,
      1);
  EXPECT_EQ(RunCli("table export --all " + Quoted(dir.File("raw.tbl")) + " -o " +
                   Quoted(dir.File("all.txt")))
                .status,
            0);
  EXPECT_EQ(SplitLines(ReadFile(dir.File("all.txt"))).size(), 256u);
  WriteFile(dir.File("ROOM.txt"), std::string("(AxB)\r\n(BA)\r\n#Block CRC: 5 bytes.\r\n"));
  const CliRun check =
      RunCli("table check " + Quoted(dir.File("text.tbl")) + " " + Quoted(dir.File("ROOM.txt")));
  EXPECT_EQ(check.status, 3);
  EXPECT_EQ(check.out, "ROOM.txt, line 1, column 3: 'x' (U+0078) is not in the table\n");

  WriteFile(dir.File("a.bin"), std::string("no images"));
  const std::string out = " -o " + Quoted(dir.File("o"));
  EXPECT_EQ(RunCli("--dry-run -f stim" + out + " " + Quoted(dir.File("a.bin"))).status, 2);
  const CliRun verify = RunCli("verify -q -f stim" + out + " " + Quoted(dir.File("a.bin")));
  EXPECT_EQ(verify.status, 0);
  EXPECT_EQ(verify.out, "a.bin: identical.\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("o")));  // made for the check, removed
}

// info lists what each TIM holds, one line each; a file that is no TIM is
// named on stderr and ends with status 3.
TEST(CliTest, InfoListsWhatTimsHold) {
  TempDir dir;
  WriteFile(dir.File("a.tim"), testing::BuildTim({.mode = 1, .clutEntries = 32, .width = 4}));
  WriteFile(dir.File("b.bin"), std::string("no image"));
  const CliRun run = RunCli("info " + Quoted(dir.File("a.tim")) + " " + Quoted(dir.File("b.bin")));
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out,
            "a.tim: mode 1 (8-bit), 8 x 1 pixels, image at (320, 0), 20 bytes; CLUT at "
            "(0, 480), 1 row of 32 colours, 76 bytes\n");
  EXPECT_NE(RunCli("info --json " + Quoted(dir.File("a.tim"))).out.find("\"clut\": {\"x\": 0"),
            std::string::npos);
}

TEST(CliTest, HelpListsTheKeysVersionAndErrorsExitWithOne) {
  const CliRun version = RunCli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tessary-cli " TESSARY_VERSION "\n");
  const CliRun help = RunCli("--help");
  EXPECT_EQ(help.status, 0);
  for (const FormatRow& row : FormatRegistry()) {
    EXPECT_NE(help.out.find("  " + std::string(row.cliKey) + " "), std::string::npos) << row.cliKey;
    EXPECT_NE(help.out.find(std::string(row.cliHelp)), std::string::npos) << row.cliKey;
  }
  EXPECT_EQ(help.out.find("--png") != std::string::npos, PngSupported());  // what the build has

  TempDir dir;
  const std::string out = " -o " + Quoted(dir.File("o"));
  EXPECT_EQ(RunCli("-f lst -q" + out + " " + Quoted(dir.File("missing.lst"))).status, 1);
  EXPECT_EQ(RunCli("-f log -q" + out + " " + Quoted(dir.File("missing.log"))).status, 1);
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// A RES pointer table longer than its game file is refused before anything is
// allocated for it: at 300 MB of address space, not with "std::bad_alloc".
TEST(CliTest, AnImpossibleResPointerTableIsRefusedAtSmallMemory) {
  TempDir dir;
  WriteFile(dir.File("GAME.BIN"), testing::BuildGame({"aaaa", "bbbb"}));
  WriteFile(dir.File("enc.tbl"), testing::IdentityTable());
  WriteFile(dir.File("dec.tbl"), testing::IdentityTable());
  WriteFile(dir.File("GAME.res"), "Game:    " + dir.File("GAME.BIN") +
                                      "\r\nTable:   " + dir.File("dec.tbl") +
                                      "\r\n[Text]\r\nRange = 0x40 : 0x48\r\nTable = 0x10 : "
                                      "0xFFFFFFFF\r\nFinal = 1\r\n[End]\r\n");
  WriteFile(dir.File("GAME.txt"),
            "#Use Table: " + dir.File("enc.tbl") + "\r\n[Section 0]\r\nAA\r\n[End Section]\r\n");
  WriteFile(dir.File("r.log"), "#Format: RES\r\n#Source: " + dir.File("GAME.res") +
                                   "\r\n#Target: " + dir.File("GAME.txt") + "\r\n");
  const CliRun run =
      RunCli("-q -f log -o " + Quoted(dir.File("o")) + " " + Quoted(dir.File("r.log")), true,
             "ulimit -v 300000; exec ");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("the pointer table ends past the end of the file"), std::string::npos)
      << run.out;
}
#endif

#ifndef _WIN32
// True when process `pid` writes a new file in `directory`: a temporary file
// whose name starts with `prefix`, or a file without a name, open in the
// process (the system shows it as "DIRECTORY/#INODE (deleted)").
bool WritesNewFile(pid_t pid, const std::string& directory, const std::string& prefix) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
  const auto fds = std::filesystem::path("/proc") / std::to_string(pid) / "fd";
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target.rfind(directory + "/#", 0) == 0) return true;
  }
  return false;
}

TEST(CliTest, AKilledRepackLeavesThePreviousArchiveIntact) {
  TempDir dir;
  const std::string out = dir.SubDir("out"), out2 = dir.SubDir("out2");
  WriteFile(JoinPath(out, "XorTable.tbl"), testing::SyntheticXorTable());
  WriteFile(dir.File("ROOM.DAT"),
            testing::BuildArchive({{"big.bin", {1, 2, 3}}}, testing::SyntheticXorTable(), {}));
  ASSERT_EQ(RunCli("-q -f grm -o " + Quoted(out) + " " + Quoted(dir.File("ROOM.DAT"))).status, 0);
  // A large edited entry keeps the rebuild busy long enough to be killed.
  std::filesystem::resize_file(JoinPath(out, "BIN/ROOM_big.bin"), 128u << 20);
  WriteFile(JoinPath(out2, "ROOM.DAT"), std::string("the previous rebuilt archive"));

  const std::string log = JoinPath(out, "result.log");
  const pid_t child = fork();
  if (child == 0) {
    execl(TESSARY_CLI_PATH, TESSARY_CLI_PATH, "-q", "-f", "log", "-o", out2.c_str(), log.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  bool killed = false;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (WritesNewFile(child, out2, ".ROOM.DAT.")) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      killed = true;
      break;
    }
  }
  ASSERT_TRUE(killed) << "the repack ended before it could be killed";
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadFile(JoinPath(out2, "ROOM.DAT")), "the previous rebuilt archive");
}
#endif

}  // namespace
}  // namespace tessary
