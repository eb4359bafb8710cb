// ARD/RDT strings: extraction lines and budgets, damaged rooms, and insertion
// with its size rules, checks before writing and the identity round trip.
#include <gtest/gtest.h>

#include <filesystem>

#include "formathandlers/text/block_strings.h"
#include "formathandlers/text/room_text_file.h"
#include "misc/paths.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"

namespace tessary {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;
using testing::BuildArd;
using testing::BuildRoom;
using testing::ReadFile;
using testing::WriteFile;

std::string Text(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

// The identity table of the round trip: entry 0x00 is a blank, so that the
// blank that insertion writes as 0x00 comes back as 0x00.
Bytes RoundTripTable() {
  Bytes table = testing::IdentityTable();
  table[0x00] = 0x20;
  return table;
}

class RoomTextTest : public testing::BatchTest {
 protected:
  void SetUp() override {
    table = RoundTripTable();
    WriteFile(dir.File("t.tbl"), table);
    h.recorder.codeTableReply = dir.File("t.tbl");
  }
  BatchOutcome Run(FileType choice, const std::vector<std::string>& files,
                   const std::string& out = "out") {
    return BatchTest::Run(choice, files, out);
  }
  std::vector<std::string> Results() const { return h.ctx.Status.Results(); }
  // Replaces the text file of the last extraction and inserts it.
  BatchOutcome Insert(const std::string& text) {
    WriteFile(dir.File("out/ROOM.txt"), text);
    return Run(FileType::Log, {dir.File("out/result.log")}, "ins");
  }

  Bytes table;
};

TEST_F(RoomTextTest, RdtStringsBecomeLinesWithTheirBudget) {
  const Bytes room = BuildRoom({"Hello", "", "Bye\xFE\x01"}, 0x40, 3);
  const std::string path = Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {path}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")),
            "(Hello)\r\n()\r\n(Bye\xFE\x01)\r\n#Block CRC: 10 bytes.\r\n");
  EXPECT_EQ(Results(), (std::vector<std::string>{"String 0 extracted.", "String 1 extracted.",
                                                 "String 2 extracted.",
                                                 dir.File("out/ROOM.txt") + " saved."}));
  EXPECT_NE(ReadFile(dir.File("out/result.log")).find("#Target: " + dir.File("out/ROOM.txt")),
            std::string::npos);
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Total).position, 0);
}

TEST_F(RoomTextTest, TheFinalStringEndsAfterTheEndCodeAndOneByte) {
  // 0xFE 0xFE: the second is the byte after the end code; a 0xFE inside an
  // earlier string means nothing.
  Put("ROOM.RDT", BuildRoom({"a\xFE"
                             "b",
                             "xy\xFE\xFE"
                             "zz"}));
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")),
            "(a\xFE"
            "b)\r\n(xy\xFE\xFE)\r\n#Block CRC: 7 bytes.\r\n");
  // No end code at all: the string ends with the file.
  Put("ROOM.RDT", BuildRoom({"only", "open end"}));
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")),
            "(only)\r\n(open end)\r\n#Block CRC: 12 bytes.\r\n");
}

TEST_F(RoomTextTest, ArdContainersGiveTheSameLinesWithoutBudgetOrLogLine) {
  const Bytes room = BuildRoom({"one", "two\xFE\x00"s});
  Put("ROOM.RDT", room);
  Put("ROOM.ARD", BuildArd(room, 10, 4096));  // entries of exactly 2048 * 2 bytes
  ASSERT_EQ(Run(FileType::Ard, {dir.File("ROOM.ARD")}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")), std::string("(one)\r\n(two\xFE\x20)\r\n"));
  EXPECT_EQ(ReadFile(dir.File("out/result.log")),
            "#Format: ARD\r\n#Source: " + dir.File("ROOM.ARD") + "\r\n");
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}, "rdt"), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("rdt/ROOM.txt")),
            std::string("(one)\r\n(two\xFE\x20)\r\n#Block CRC: 8 bytes.\r\n"));
}

// Asked for, ARD extraction logs what insertion needs; the text then goes back
// into entry 8 alone, and without the option an ARD section applies nothing.
TEST_F(RoomTextTest, ArdTextExtractedForInsertionGoesBackIntoEntryEight) {
  const Bytes room = BuildRoom({"one", "two\xFE\x00"s});
  const Bytes ard = BuildArd(room, 10, 4096);
  Put("ROOM.ARD", ard);
  ASSERT_EQ(Run(FileType::Ard, {dir.File("ROOM.ARD")}), BatchOutcome::Completed) << Error();
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed);
  EXPECT_EQ(Results(), (std::vector<std::string>{"result.log: nothing in it was applied."}));

  // Through a text table, unedited and then edited.
  WriteFile(dir.File("letters.txt"), std::string("00= \r\n32=2\r\n4F=O\r\n65=e\r\n6E=n\r\n"
                                                 "6F=o\r\n74=t\r\n77=w\r\n"));
  h.recorder.codeTableReply = dir.File("letters.txt");
  h.ctx.ArdInsertable = true;
  ASSERT_EQ(Run(FileType::Ard, {dir.File("ROOM.ARD")}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")), "(one)\r\n(two<FE> )\r\n#Block CRC: 8 bytes.\r\n");
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  EXPECT_TRUE(ReadFile(dir.File("ROOM.ARD")) == Text(ard));
  ASSERT_EQ(Insert("(One)\r\n(2<FE> )\r\n#Block CRC: 8 bytes.\r\n"), BatchOutcome::Completed)
      << Error();
  Bytes expected = ard;
  const std::size_t block = 2048 + 8 * 4096 + 0x40;  // after the directory and 8 entries
  const Bytes text = {4, 0, 7, 0, 'O', 'n', 'e', '2', 0xFE, 0x00, 0x00, 0x00};
  std::copy(text.begin(), text.end(), expected.begin() + static_cast<std::ptrdiff_t>(block));
  EXPECT_TRUE(ReadFile(dir.File("ROOM.ARD")) == Text(expected));  // no dump of 40 KiB
  // A budget that would run into the next entry is refused.
  EXPECT_EQ(Insert("(One)\r\n(2)\r\n#Block CRC: 90 bytes.\r\n"), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: ROOM.txt: the budget of 90 bytes runs past the end of "
            "its room data (entry 8).");
}

TEST_F(RoomTextTest, ARoomWithoutTextIsPassedOverSilently) {
  Put("EMPTY.RDT", BuildRoom({}));
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("EMPTY.RDT")}), BatchOutcome::Completed) << Error();
  EXPECT_TRUE(Results().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/EMPTY.txt")));
  EXPECT_EQ(ReadFile(dir.File("out/result.log")),
            "#Format: RDT\r\n#Source: " + dir.File("EMPTY.RDT") + "\r\n");
}

TEST_F(RoomTextTest, DamagedRoomsAreRefusedAndNothingIsSaved) {
  Bytes decreasing = BuildRoom({"ab", "cd", "e\xFE\x00"s});
  decreasing[0x42] = 9;  // p[1] = 9, p[2] = 8
  decreasing[0x44] = 8;
  Bytes tableTooLong = BuildRoom({"ab\xFE\x00"s});
  tableTooLong[0x40] = 0xF0;
  Bytes noPointer = BuildRoom({"ab\xFE\x00"s});
  Bytes blockPastEnd = BuildRoom({"x"});
  blockPastEnd.resize(0x40);
  noPointer[0x40] = 1;
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"the room data is too short to hold the text-block offset at 0x3C", Bytes(0x3E, 0)},
      {"pointer 2 of the text block (8) is below the one before it (9)", decreasing},
      {"the text block's pointer table ends past the end of the file", tableTooLong},
      {"the text block's pointer table is empty (p[0] = 1)", noPointer},
      {"the text block starts past the end of the file", blockPastEnd},
  };
  for (const auto& [message, bytes] : cases) {
    Put("BAD.RDT", bytes);
    EXPECT_EQ(Run(FileType::Rdt, {dir.File("BAD.RDT")}), BatchOutcome::Failed);
    EXPECT_EQ(Error(), "BAD.RDT: " + message + ".");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out/BAD.txt"))) << message;
  }
  Bytes pastEnd = BuildRoom({"abcdef", "x\xFE\x00"s});
  pastEnd[0x42] = 0x7F;  // string 0 runs to 0x7F, far past the end
  pastEnd[0x43] = 0x01;
  Put("BAD.RDT", pastEnd);
  EXPECT_EQ(Run(FileType::Rdt, {dir.File("BAD.RDT")}), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "BAD.RDT: string 0 ends past the end of the file.");
  Put("BAD.ARD", BuildArd(BuildRoom({"x\xFE\x00"s}), 8));
  EXPECT_EQ(Run(FileType::Ard, {dir.File("BAD.ARD")}), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "BAD.ARD: an ARD container needs at least 9 entries, this one has 8.");
  EXPECT_TRUE(Results().empty());
}

TEST_F(RoomTextTest, AnUneditedRoundTripLeavesTheRoomByteIdentical) {
  const Bytes room = BuildRoom({"Good_morning", "", "x", "It's{you}", "End\xFE\x07"}, 0x50, 9);
  Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed) << Error();
  // Saved by editors that put a UTF-8 byte-order mark first: it is skipped.
  const std::string bom = "\xEF\xBB\xBF";
  WriteFile(dir.File("out/result.log"), bom + "#CodeTable: " + dir.File("t.tbl") + "\r\n" +
                                            ReadFile(dir.File("out/result.log")));
  WriteFile(dir.File("out/ROOM.txt"), bom + ReadFile(dir.File("out/ROOM.txt")));
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  EXPECT_EQ(Results(), (std::vector<std::string>{"File ROOM.txt inserted."}));
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(room));
}

// With a text table the room's text is UTF-8 both ways: the unedited text
// goes back byte-identical, edits go through the same table, and every
// character it lacks is listed before anything is written.
TEST_F(RoomTextTest, ATextTableCarriesUtf8TextBothWays) {
  WriteFile(dir.File("letters.txt"), "41=A\r\n42=B\r\n80=\xC3\xA9\r\n8140= \r\n82=ae\r\n"s);
  h.recorder.codeTableReply = dir.File("letters.txt");
  const Bytes room = BuildRoom({"AB\x81\x40\x80", "\x82"s + "A\xFE\x01"}, 0x40, 2);
  Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(dir.File("out/ROOM.txt")),
            "(AB \xC3\xA9)\r\n(aeA<FE01>)\r\n#Block CRC: 9 bytes.\r\n");
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "ins"), BatchOutcome::Completed)
      << Error();
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(room));

  ASSERT_EQ(Insert("(\xC3\xA9 A)\r\n(aeae<FE01>)\r\n#Block CRC: 9 bytes.\r\n"),
            BatchOutcome::Completed)
      << Error();
  Bytes expected = room;
  const Bytes block = {4, 0, 8, 0, 0x80, 0x81, 0x40, 0x41, 0x82, 0x82, 0xFE, 0x01, 0x00};
  std::copy(block.begin(), block.end(), expected.begin() + 0x40);
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(expected));

  EXPECT_EQ(Insert("(xAy)\r\n(\xE2\x82\xAC)\r\n#Block CRC: 9 bytes.\r\n"), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "Nothing was written: 3 problems found\n"
            "result.log, line 3: ROOM.txt, line 1, column 2: 'x' (U+0078) is not in the table\n"
            "result.log, line 3: ROOM.txt, line 1, column 4: 'y' (U+0079) is not in the table\n"
            "result.log, line 3: ROOM.txt, line 2, column 2: '\xE2\x82\xAC' (U+20AC) is not in the "
            "table.");
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(expected));
}

TEST_F(RoomTextTest, EditedTextFillsTheBudgetAndPadsTheLastString) {
  const Bytes room = BuildRoom({"aaaa", "bbbb", "cc\xFE\x00"s}, 0x40, 4);  // budget 12
  Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed) << Error();
  h.ctx.CodeTable = table;

  // Exactly the budget: no padding. Trailing blanks after ")" are dropped;
  // blanks inside are written as 0x00.
  ASSERT_EQ(Insert("(A B)   \r\n()\r\n(123456789)\r\n#Block CRC: 12 bytes.\r\n"),
            BatchOutcome::Completed)
      << Error();
  Bytes expected = room;
  const Bytes block = {6, 0, 9, 0, 9, 0, 'A', 0, 'B', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
  std::copy(block.begin(), block.end(), expected.begin() + 0x40);
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(expected));

  // One byte short: one 0x00 after the last string.
  ASSERT_EQ(Insert("(A B)\r\n()\r\n(12345678)\r\n#Block CRC: 12 bytes.\r\n"),
            BatchOutcome::Completed);
  expected[0x40 + 17] = 0x00;
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(expected));
}

TEST_F(RoomTextTest, TooMuchTextIsReportedAndWritesNothing) {
  const Bytes room = BuildRoom({"aaaa", "b\xFE\x00"s}, 0x40, 2);  // budget 7
  Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed);
  h.ctx.CodeTable = table;
  ASSERT_EQ(Insert("(aaaa)\r\n(bbbb)\r\n#Block CRC: 7 bytes.\r\n"), BatchOutcome::Completed);
  EXPECT_EQ(Results(), (std::vector<std::string>{"File ROOM.txtwrong size by 1 bytes."}));
  EXPECT_EQ(h.ctx.Status.Refusals(), 1);  // counted, for the CLI's exit status
  // The dry run reports the space used and every line that grew.
  h.ctx.DryRun = true;
  ASSERT_EQ(Insert("(aaaa)\r\n(bbbb)\r\n#Block CRC: 7 bytes.\r\n"), BatchOutcome::Completed);
  h.ctx.DryRun = false;
  EXPECT_EQ(Results(), (std::vector<std::string>{
                           "ROOM.txt: 8 of 7 bytes used. (dry run)",
                           "ROOM.txt, line 2: 1 bytes more than the game's string. (dry run)",
                           "File ROOM.txtwrong size by 1 bytes. (dry run)"}));
  // Unpaired markers count as the characters they write.
  ASSERT_EQ(Insert("(a]}a)\r\n(b{[)\r\n#Block CRC: 4 bytes.\r\n"), BatchOutcome::Completed);
  EXPECT_EQ(Results(), (std::vector<std::string>{"File ROOM.txtwrong size by 1 bytes."}));
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(room));
}

TEST_F(RoomTextTest, InsertionRefusesWhatItCannotWriteAndLeavesTheRoomAlone) {
  const Bytes room = BuildRoom({"aaaa", "b\xFE\x00"s}, 0x40, 2);
  Put("ROOM.RDT", room);
  ASSERT_EQ(Run(FileType::Rdt, {dir.File("ROOM.RDT")}), BatchOutcome::Completed);
  h.ctx.CodeTable = table;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"(a)\r\n(b)\r\n(c)\r\n#Block CRC: 7 bytes.\r\n",
       "ROOM.txt: 3 strings, but the room's pointer table has 2 entries."},
      {"(a)\r\n(b)\r\n#Block CRC: 7 byte\r\n",
       "ROOM.txt, line 3: expected \"#Block CRC: N bytes.\"."},
      {"(a)\r\n(b)\r\n#Block CRC: -7 bytes.\r\n",
       "ROOM.txt, line 3: expected \"#Block CRC: N bytes.\"."},
      {"(a)\r\n   \r\n#Block CRC: 7 bytes.\r\n",
       "ROOM.txt, line 2: a string line needs its two enclosing characters."},
      {"(a)\r\n(b)\r\n#Block CRC: 900 bytes.\r\n",
       "ROOM.txt: the budget of 900 bytes runs past the end of the room file."},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(Insert(text), BatchOutcome::Failed) << message;
    EXPECT_EQ(Error(), "result.log, line 3: " + message);
    EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(room));
  }
  Bytes noText = room;
  noText[0x3C] = 0;
  Put("ROOM.RDT", noText);
  EXPECT_EQ(Insert("(a)\r\n(b)\r\n#Block CRC: 7 bytes.\r\n"), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: ROOM.RDT: the room has no text block (its offset at 0x3C is 0).");
  EXPECT_EQ(ReadFile(dir.File("ROOM.RDT")), Text(noText));
}

TEST(RoomTextFileTest, BudgetLinesAndStringLines) {
  EXPECT_EQ(ParseBudgetLine("#Block CRC: 12 bytes."), 12u);
  EXPECT_EQ(ParseBudgetLine("#Block CRC:  +12bytes. trailing"), 12u);
  EXPECT_FALSE(ParseBudgetLine("#block CRC: 12 bytes."));
  EXPECT_FALSE(ParseBudgetLine("#Block CRC: 99999999999 bytes."));
  EXPECT_FALSE(ParseBudgetLine("#Block CRC: bytes."));
  const RoomTextFile file = ParseRoomTextFile({"(a b)  ", "[]", "#Block CRC: 3 bytes."}, "R.txt");
  EXPECT_EQ(file.strings, (std::vector<std::string>{"a b", ""}));
  EXPECT_EQ(file.budget, 3u);
  EXPECT_EQ(testing::ErrorText([] { ParseRoomTextFile({"#Block CRC: 3 bytes."}, "R.txt"); }),
            "R.txt: a room text file needs string lines and a last line \"#Block CRC: N bytes.\"");
}

}  // namespace
}  // namespace tessary
