// RES descriptions, text sections extracted through the shifted lookup, and
// insertion with its space rules, checks before writing and the round trip.
#include <gtest/gtest.h>

#include <filesystem>

#include "formathandlers/text/res_description.h"
#include "formathandlers/text/res_text.h"
#include "misc/paths.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ErrorText;
using testing::ReadFile;
using testing::WriteFile;

using testing::BuildGame;
using testing::Codes;
using testing::EncodingTable;
using testing::kBase;
using testing::kTable;

std::string Text(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

// One section's six lines: heading, (B, E), (P, L), F, closing, blank.
std::string SectionLines(std::uint32_t end, std::uint32_t count, int flag,
                         std::uint32_t table = kTable) {
  return "[Text]\r\nRange = " + Hex(kBase) + " : " + Hex(end) + "\r\nTable = " + Hex(table) + " :" +
         Hex(2 * count) + "\r\nFinal = " + std::to_string(flag) + "\r\n[End]\r\n\r\n";
}

class ResTextTest : public testing::BatchTest {
 protected:
  void SetUp() override {
    WriteFile(dir.File("dec.tbl"), testing::IdentityTable());
    WriteFile(dir.File("enc.tbl"), EncodingTable(0x5F));
  }
  std::string Description(const std::string& sections, const std::string& name = "GAME.res") {
    WriteFile(dir.File(name), "Game:    " + dir.File("GAME.BIN") +
                                  "\r\nTable:   " + dir.File("dec.tbl") + "\r\n" + sections);
    return dir.File(name);
  }
  // Extracts GAME.res, then inserts `text` (with the encoding table named on
  // its first line) through the result log.
  BatchOutcome ExtractThenInsert(const std::string& text) {
    EXPECT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed)
        << Error();
    WriteFile(dir.File("out/GAME.txt"), "#Use Table: " + dir.File("enc.tbl") + "\r\n" + text);
    return Run(FileType::Log, {dir.File("out/result.log")}, "ins");
  }
};

TEST(ResDescriptionTest, SectionsFollowTheLineCount) {
  const std::vector<std::string> six = {"Game:    g.bin",    "Table:   t.tbl",       "",
                                        "Range = 0x40:0x4a", "Table = 0x10 \t: 0x6", "Final = 1"};
  const ResDescription one = ParseResDescription(six, "D.res");
  ASSERT_EQ(one.sections.size(), 1u);
  EXPECT_EQ(one.gamePath, "g.bin");
  EXPECT_EQ(one.sections[0].end, 0x4Au);
  EXPECT_EQ(one.sections[0].tableLength, 6u);
  EXPECT_TRUE(one.sections[0].finalString);
  auto eight = six;
  eight.insert(eight.end(), {"", ""});
  EXPECT_EQ(ParseResDescription(eight, "D.res").sections.size(), 1u);
  auto nine = eight;
  nine.push_back("# next");
  EXPECT_EQ(ErrorText([&] { ParseResDescription(nine, "D.res"); }),
            "D.res, line 10: the description ends inside section 1");
  auto bad = six;
  bad[3] = "Range = 40 : 0x4a";
  EXPECT_EQ(ErrorText([&] { ParseResDescription(bad, "D.res"); }),
            "D.res, line 4: expected \"0x%X : 0x%X\" after the 8-character label");
  EXPECT_EQ(ErrorText([&] { ParseResDescription({"only"}, "D.res"); }),
            "D.res: a description names the game file on its first line and the code table on its "
            "second");
  EXPECT_FALSE(ParseHexPair("0X40 : 0x1"));
  EXPECT_FALSE(ParseHexPair("0x1FFFFFFFF : 0x1"));
  EXPECT_EQ(ParseHexPair("0xaB:0x0"), std::make_pair(0xABu, 0u));
}

TEST_F(ResTextTest, SectionsAreDecodedThroughTheShiftedLookup) {
  WriteFile(dir.File("GAME.BIN"), BuildGame({"Hello", "", "World~", "Last"}));
  const std::uint32_t end = kBase + 15;
  // F = 1 and a final string; F = 0; F = 1 with the last pointer at E.
  Description(SectionLines(end, 4, 1) + SectionLines(end, 4, 0) + SectionLines(kBase + 11, 4, 1));
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed) << Error();
  const std::string section = "Hello\r\n\r\nWorld~\r\n";
  EXPECT_EQ(ReadFile(dir.File("out/GAME.txt")),
            "#Use Table: " + dir.File("dec.tbl") + "\r\n[Section 0]\r\n" + section +
                "Last\r\n[End Section]\r\n\r\n[Section 1]\r\n" + section +
                "[End Section]\r\n\r\n[Section 2]\r\n" + section + "[End Section]\r\n\r\n");
  EXPECT_EQ(ReadFile(dir.File("out/result.log")),
            "#Format: RES\r\n#Source: " + dir.File("GAME.res") +
                "\r\n#Target: " + dir.File("out/GAME.txt") + "\r\n");
  EXPECT_TRUE(h.ctx.Status.Results().empty());
}

TEST_F(ResTextTest, SectionsWithoutPointersAndDamagedSections) {
  WriteFile(dir.File("GAME.BIN"), BuildGame({"ab", "cd"}));
  Description(SectionLines(kBase + 4, 0, 1));  // L = 0: no pointer
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/GAME.txt")),
            "#Use Table: " + dir.File("dec.tbl") + "\r\n[Section 0]\r\n[End Section]\r\n\r\n");

  Bytes decreasing = BuildGame({"ab", "cd", "ef"});
  decreasing[kTable + 2] = 5;  // p[1] = 5, p[2] = 4
  WriteFile(dir.File("GAME.BIN"), decreasing);
  Description(SectionLines(kBase + 6, 3, 0));
  EXPECT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out2"), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "GAME.res, line 5: pointer 2 of section 0 is below the one before it.");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out2/GAME.txt")));

  Description(SectionLines(kBase + 6, 3, 0, 0xFFF0));
  EXPECT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out2"), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "GAME.BIN: the pointer table of section 0 ends past the end of the file.");
  WriteFile(dir.File("GAME.BIN"), BuildGame({"ab", "cd"}));
  Description(SectionLines(kBase + 900, 2, 1));
  EXPECT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out2"), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "GAME.BIN: a string of section 0 ends past the end of the file.");
}

TEST_F(ResTextTest, TwoDescriptionsOfOneNameGetTextFilesOfTheirOwn) {
  WriteFile(dir.File("GAME.BIN"), BuildGame({"ab", "cd"}));
  std::filesystem::create_directories(dir.File("x"));
  const std::string first = Description(SectionLines(kBase + 4, 2, 1));
  const std::string second = Description(SectionLines(kBase + 4, 2, 0), "x/GAME.res");
  ASSERT_EQ(Run(FileType::Res, {first, second}, "out"), BatchOutcome::Completed) << Error();
  EXPECT_NE(ReadFile(dir.File("out/GAME.txt")).find("cd"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("out/GAME (2).txt")).find("cd"), std::string::npos);
  EXPECT_NE(ReadFile(dir.File("out/result.log")).find("#Target: " + dir.File("out/GAME (2).txt")),
            std::string::npos);
}

TEST_F(ResTextTest, AnUneditedRoundTripWithTheEncodingTableLeavesTheGameFileIdentical) {
  const Bytes game = BuildGame({"Hello", "", "World~", "{Last}"}, 3);
  WriteFile(dir.File("GAME.BIN"), game);
  Description(SectionLines(kBase + 3 + 17, 4, 1));
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed) << Error();
  // The user replaces the decoding table's path by the encoding table's.
  const std::string text = ReadFile(dir.File("out/GAME.txt"));
  WriteFile(dir.File("out/GAME.txt"),  // with a UTF-8 byte-order mark, which is skipped
            "\xEF\xBB\xBFTable:  " + dir.File("enc.tbl") + text.substr(text.find("\r\n")));
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"Section 0 inserted."}));
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));
}

// One text table serves both ways: it decodes the game's bytes as they are
// (no shifted lookup), the text names it on its first line as it was
// extracted, and the unedited text goes back byte-identical.
TEST_F(ResTextTest, ATextTableNamedByTheDescriptionServesBothWays) {
  const Bytes game = BuildGame({"AB", "\x80\x81\x40", "A"});  // codes 1D 1E, 80 81 1C, 1D
  WriteFile(dir.File("GAME.BIN"), game);
  WriteFile(dir.File("letters.txt"), std::string("1D=A\r\n1E=B\r\n80=\xC3\xA9\r\n811C= \r\n"));
  WriteFile(dir.File("GAME.res"), "Game:    " + dir.File("GAME.BIN") +
                                      "\r\nTable:   " + dir.File("letters.txt") + "\r\n" +
                                      SectionLines(kBase + 6, 3, 1));
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/GAME.txt")),
            "#Use Table: " + dir.File("letters.txt") +
                "\r\n[Section 0]\r\nAB\r\n\xC3\xA9 \r\nA\r\n[End Section]\r\n\r\n");
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));
  WriteFile(dir.File("out/GAME.txt"), "#Use Table: " + dir.File("letters.txt") +
                                          "\r\n[Section 0]\r\nBB\r\nx\r\nA\r\n[End Section]\r\n");
  EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: GAME.txt, line 4, column 1: 'x' (U+0078) is not in the table.");
}

TEST_F(ResTextTest, EditedSectionsFillTheirSpace) {
  WriteFile(dir.File("GAME.BIN"), BuildGame({"aaaa", "bbbb", "cccc", "dddd"}));
  Description(SectionLines(kBase + 16, 4, 1));
  // A dry run reports the space and writes nothing.
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed);
  WriteFile(dir.File("out/GAME.txt"),
            "#Use Table: " + dir.File("enc.tbl") +
                "\r\n[section 0]\r\n\r\nXYZW1XYZW1XYZW1XY\r\n[End Section]\r\n");
  h.ctx.DryRun = true;
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  h.ctx.DryRun = false;
  EXPECT_EQ(
      h.ctx.Status.Results(),
      (std::vector<std::string>{"GAME.txt, section 0: 17 of 16 bytes used. (dry run)",
                                "GAME.txt, line 4: 13 bytes more than the game's string. (dry run)",
                                "Section 0wrong size by 1 bytes. (dry run)"}));
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(BuildGame({"aaaa", "bbbb", "cccc", "dddd"})));
  // Two lines for four pointers, the first empty: p[1] = p[0], p[2] and p[3]
  // keep their values, the padding is the table's entry for 0x00.
  ASSERT_EQ(ExtractThenInsert("[section 0]\r\n\r\nXYZ\r\n[End Section]\r\n"),
            BatchOutcome::Completed)
      << Error();
  Bytes expected = BuildGame({"aaaa", "bbbb", "cccc", "dddd"});
  expected[kTable + 2] = 0;  // p[1] = p[0] = 0
  const Bytes xyz = Codes("XYZ");
  std::copy(xyz.begin(), xyz.end(), expected.begin() + kBase);
  std::fill(expected.begin() + kBase + 3, expected.begin() + kBase + 16, 0x5F);
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(expected));
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"Section 0 inserted."}));

  // Exactly the space: no padding. "[end section]" is text, "[End Section]"
  // inside a line ends the run.
  ASSERT_EQ(ExtractThenInsert("[Section 0]\r\n[end section]\r\nBCD\r\nx[End Section]x\r\n"),
            BatchOutcome::Completed)
      << Error();
  const std::string game = ReadFile(dir.File("GAME.BIN"));
  Bytes encoded = EncodingTable(0x5F);
  std::string expectedText;
  for (const char c : std::string("[end section]BCD"))
    expectedText += static_cast<char>(encoded[static_cast<std::uint8_t>(c)]);
  EXPECT_EQ(game.substr(kBase, 16), expectedText);
  EXPECT_EQ(game.substr(kTable, 4), std::string("\0\0\x0D\0", 4));
}

TEST_F(ResTextTest, TooMuchTextOrNegativeSpaceIsReportedAndThatSectionIsKept) {
  const Bytes game = BuildGame({"aaaa", "bbbb"});
  WriteFile(dir.File("GAME.BIN"), game);
  Description(SectionLines(kBase + 8, 2, 1) + SectionLines(kBase - 1, 2, 1));
  ASSERT_EQ(ExtractThenInsert("[Section 0]\r\naaaa\r\nbbbbb\r\n[End Section]\r\n"
                              "[Section 1]\r\n\r\n[End Section]\r\n"),
            BatchOutcome::Completed)
      << Error();
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"Section 0wrong size by 1 bytes.",
                                                              "Section 1wrong size by 1 bytes."}));
  EXPECT_EQ(h.ctx.Status.Refusals(), 2);  // counted, for the CLI's exit status
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));
}

TEST_F(ResTextTest, TextsThatCannotBeWrittenAreRefusedBeforeAnyWrite) {
  const Bytes game = BuildGame({"aaaa", "bbbb"});
  WriteFile(dir.File("GAME.BIN"), game);
  Description(SectionLines(kBase + 8, 2, 1) + SectionLines(kBase + 8, 2, 1));
  const std::string zero = "[Section 0]\r\nAA\r\n[End Section]\r\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {zero + "[Section 1]\r\nBB\r\n", "GAME.txt, line 5: section 1 has no \"[End Section]\" line"},
      {zero, "GAME.txt: no line \"[Section 1]\""},
      {zero + "[Section 1]\r\n[End Section]\r\n", "GAME.txt: section 1: the section has no line"},
      {zero + "[Section 1]\r\na\r\nb\r\nc\r\n[End Section]\r\n",
       "GAME.txt: section 1: 3 lines, but the pointer table has 2 entries"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(ExtractThenInsert(text), BatchOutcome::Failed) << message;
    EXPECT_EQ(Error(), "result.log, line 3: " + message + ".");
    EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));  // section 0 was not written either
  }
  // Two sections of one description over the same bytes.
  EXPECT_EQ(ExtractThenInsert(zero + "[Section 1]\r\nBB\r\n[End Section]\r\n"),
            BatchOutcome::Failed);
  EXPECT_NE(Error().find("\nresult.log, line 3, section 1: writes bytes 16 to 19 of GAME.BIN, "
                         "which result.log, line 3, section 0 writes too\n"),
            std::string::npos)
      << Error();
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));
}

#ifndef _WIN32  // on Windows nobody can write the text while the batch holds it
// The text is read again section by section when written: a section whose
// lines changed after the plan was made is not written, and the error says so.
TEST_F(ResTextTest, ASectionEditedAfterTheCheckIsNotWritten) {
  const Bytes game = BuildGame({"aaaa", "bbbb", "cccc", "dddd"});
  Description(SectionLines(kBase + 8, 2, 1) + SectionLines(kBase + 16, 2, 1, kTable + 4));
  const std::string text =
      "[Section 0]\r\nAAAA\r\nBBBB\r\n[End Section]\r\n"
      "[Section 1]\r\nCCCC\r\nDDDD\r\n[End Section]\r\n";
  // The user saves the text again while the batch writes: a string of the
  // same length changed, or a longer line that moves the next section.
  for (const auto& [from, to] : {std::pair{"CCCC", "CCCX"}, std::pair{"BBBB", "BBBBB"}}) {
    WriteFile(dir.File("GAME.BIN"), game);
    bool edited = false;
    h.recorder.onResult = [&](const std::string& result) {
      if (edited || result != "Section 0 inserted.") return;
      edited = true;
      std::string again = ReadFile(dir.File("out/GAME.txt"));
      again.replace(again.find(from), 4, to);
      WriteFile(dir.File("out/GAME.txt"), again);
    };
    EXPECT_EQ(ExtractThenInsert(text), BatchOutcome::Failed);
    EXPECT_TRUE(edited);
    EXPECT_NE(Error().find("GAME.txt, line 6: section 1 changed while the batch was running; it "
                           "was not written (1 earlier writes of this batch were made)"),
              std::string::npos)
        << Error();
    const std::string after = ReadFile(dir.File("GAME.BIN"));
    EXPECT_NE(after.substr(kBase, 8), Text(game).substr(kBase, 8));  // section 0 was written
    EXPECT_EQ(after.substr(kBase + 8), Text(game).substr(kBase + 8));
    EXPECT_EQ(after.substr(kTable + 4, 4), Text(game).substr(kTable + 4, 4));
  }
}
#endif

// Text left naming the decoding table, and a pointer table no file can hold,
// are refused before anything is allocated or written.
TEST_F(ResTextTest, TheDecodingTableAndAnImpossiblePointerTableAreRefused) {
  const Bytes game = BuildGame({"aaaa", "bbbb"});
  WriteFile(dir.File("GAME.BIN"), game);
  Description(SectionLines(kBase + 8, 2, 1));
  ASSERT_EQ(Run(FileType::Res, {dir.File("GAME.res")}, "out"), BatchOutcome::Completed) << Error();
  EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Failed);
  EXPECT_NE(Error().find("GAME.txt: \"#Use Table: \" names the decoding table; name the "
                         "encoding table instead (tessary-cli table invert"),
            std::string::npos)
      << Error();

  WriteFile(dir.File("out/GAME.txt"), "#Use Table: " + dir.File("enc.tbl") + "\r\n" +
                                          "[Section 0]\r\nAA\r\nBB\r\n[End Section]\r\n");
  Description("[Text]\r\nRange = " + Hex(kBase) + " : " + Hex(kBase + 8) +
              "\r\nTable = " + Hex(kTable) + " : 0xFFFFFFFF\r\nFinal = 1\r\n[End]\r\n");
  EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: GAME.BIN: section 0: the pointer table ends past the end "
            "of the file.");
  EXPECT_EQ(ReadFile(dir.File("GAME.BIN")), Text(game));
}

}  // namespace
}  // namespace tessary
