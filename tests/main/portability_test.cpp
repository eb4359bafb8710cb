// What Windows and Linux users must both get: file names in any language,
// names that Windows takes for devices, paths the log cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "batch/result_log.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ReadFile;
using testing::WriteFile;

using PortabilityTest = testing::BatchTest;

// Latin, Cyrillic and Japanese names (UTF-8) through a TIM search and its
// write-back, and through an archive round trip.
TEST_F(PortabilityTest, FilesNamedInAnyLanguageRoundTrip) {
  const Bytes tim = testing::BuildTim({.mode = 1, .clutEntries = 16, .width = 1, .height = 1});
  for (const std::string name : {"Caf\xC3\xA9.bin", "\xD0\x93\xD1\x80\xD0\xB8\xD0\xBC.bin",
                                 "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0.bin"}) {
    Bytes data(tim.size() + 4, 0);
    data[0] = 1;
    std::copy(tim.begin(), tim.end(), data.begin() + 4);
    const std::string source = dir.File(name);
    WriteFile(source, data);
    ASSERT_EQ(RunClean(FileType::Stim, {source}, "found"), BatchOutcome::Completed);
    const std::string found = dir.File("found/" + BaseBeforeFirstDot(name) + "_0.tim");
    ASSERT_EQ(ReadFile(found), std::string(tim.begin(), tim.end())) << name;
    Bytes edited = tim;
    edited.back() = 0x77;
    WriteFile(found, edited);
    ASSERT_EQ(RunClean(FileType::Log, {dir.File("found/result.log")}, "inserted"),
              BatchOutcome::Completed);
    EXPECT_EQ(ReadFile(source).back(), 0x77) << name;
  }

  WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
  const std::string archive = dir.File("\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2.DAT");
  WriteFile(archive, testing::BuildArchive({{"\xE6\x96\x87.txt", Bytes(5, 'x')}},
                                           testing::SyntheticXorTable(), {}));
  ASSERT_EQ(RunClean(FileType::Grm, {archive}, "out"), BatchOutcome::Completed);
  const std::string entry =
      dir.File("out/TXT/\xD0\x90\xD1\x80\xD1\x85\xD0\xB8\xD0\xB2_\xE6\x96\x87.txt");
  EXPECT_EQ(ReadFile(entry), "xxxxx");
  WriteFile(entry, std::string("edited"));
  ASSERT_EQ(RunClean(FileType::Log, {dir.File("out/result.log")}, "rebuilt"),
            BatchOutcome::Completed);
  WriteFile(JoinPath(dir.SubDir("check"), "XorTable.tbl"), testing::SyntheticXorTable());
  ASSERT_EQ(RunClean(FileType::Grm, {dir.File("rebuilt/" + FileNameOf(archive))}, "check"),
            BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("check/TXT/" + FileNameOf(entry))), "edited");
}

TEST_F(PortabilityTest, NamesWindowsTakesForDevicesGetAnUnderscore) {
  EXPECT_EQ(SafeFileName("CON"), "CON_");
  EXPECT_EQ(SafeFileName("con.txt"), "con_.txt");
  EXPECT_EQ(SafeFileName("Lpt9.BMP"), "Lpt9_.BMP");
  EXPECT_EQ(SafeFileName("COM0.txt"), "COM0.txt");
  EXPECT_EQ(SafeFileName("CONSOLE.txt"), "CONSOLE.txt");
  EXPECT_EQ(NameWithExtension("dir/AUX.res", ".txt"), "AUX_.txt");
  // Control characters of input names never reach output names or terminals.
  EXPECT_EQ(NameWithExtension("dir/a\x1B[31m\x7F.tim", ".bmp"), "a_[31m_.bmp");
  EXPECT_EQ(PrintableText("x\ty\r\n"), "x_y__");
#ifndef _WIN32  // Windows file names cannot hold control characters
  const Bytes tim = testing::BuildTim({});
  WriteFile(dir.File("SCENE\x1B[2J.BIN"), tim);
  ASSERT_EQ(RunClean(FileType::Stim, {dir.File("SCENE\x1B[2J.BIN")}, "found"),
            BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results().front(), "SCENE_[2J_0.tim extracted.");
#endif

  WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
  const std::string archive = dir.File("ROOM.DAT");
  WriteFile(archive, testing::BuildArchive({{"log.nul", Bytes(3, 'n')}, {"x.prn", Bytes(2, 'p')}},
                                           testing::SyntheticXorTable(), {}));
  ASSERT_EQ(RunClean(FileType::Grm, {archive}, "out"), BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("out/NUL_/ROOM_log.nul")), "nnn");
  EXPECT_EQ(ReadFile(dir.File("out/PRN_/ROOM_x.prn")), "pp");
}

TEST_F(PortabilityTest, APathWithALineBreakIsRefusedNotLogged) {
  EXPECT_EQ(testing::ErrorText([] { SourceLine("a\nb.bin"); }),
            "a\nb.bin: a path with a line break cannot be written to the result log");
  EXPECT_EQ(testing::ErrorText([] { TimTargetLine(0, 1, "x\r.tim"); }),
            "x\r.tim: a path with a line break cannot be written to the result log");
}

#ifdef _WIN32
// Logs written on Windows name their files with backslashes.
TEST_F(PortabilityTest, BackslashesInTheLogOnWindows) {
  const Bytes tim = testing::BuildTim({});
  const std::string source = dir.File("GAME.BIN");
  WriteFile(source, tim);
  WriteFile(dir.File("GAME_0.tim"), tim);
  std::string windowsTim = dir.File("GAME_0.tim");
  std::replace(windowsTim.begin(), windowsTim.end(), '/', '\\');
  WriteFile(dir.File("r.log"), "#Format: STIM\r\n#Source: " + source +
                                   "\r\n#Target TIM: 00000000:00000042 " + windowsTim + "\r\n");
  ASSERT_EQ(RunClean(FileType::Log, {dir.File("r.log")}, "ins"), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"GAME_0.tim inserted."}));
}
#endif

}  // namespace
}  // namespace tessary
