// Text tables: import, export and the inversion of decoding tables.
#include <gtest/gtest.h>

#include "formathandlers/text/text_table.h"
#include "misc/text_lines.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ErrorText;

CodeTableEntries Entries(const Bytes& table) {
  return CodeTableEntries(table.data(), kCodeTableSize);
}

TEST(TextTableTest, ImportWritesNamedEntriesAndLeavesGapsAsTheyAre) {
  // UTF-8 (or Latin-1) characters up to U+00FF, trailing blanks dropped.
  const std::vector<std::string> text = {"# a table", "",     "; comment",   "80=a",   "81=b  ",
                                         "00= ",      "ff=z", "E9=\xC3\xA9", "EA=\xEA"};
  const Bytes decoding = DecodingTable(ParseTextTable(text, "t.tbl"));
  EXPECT_EQ(decoding[0x80], 'a');
  EXPECT_EQ(decoding[0x00], ' ');
  EXPECT_EQ(decoding[0xFF], 'z');
  EXPECT_EQ(decoding[0x41], 0x41);  // a gap maps to itself
  EXPECT_EQ(decoding[0x81], 'b');
  EXPECT_EQ(decoding[0xE9], 0xE9);
  EXPECT_EQ(decoding[0xEA], 0xEA);
  const Bytes encoding = EncodingTable(text, "t.tbl");
  EXPECT_EQ(encoding['a'], 0x80);
  EXPECT_EQ(encoding[' '], 0x00);
  EXPECT_EQ(encoding['c'], 'c');
  // Export gives back every entry that is not the identity.
  EXPECT_EQ(ExportTextTable(Entries(decoding)),
            (std::vector<std::string>{"00= ", "80=a", "81=b", "FF=z"}));  // E9, EA: identity
}

// A table that maps bytes to line breaks and other control characters comes
// back whole through its text file.
TEST(TextTableTest, ControlCharactersSurviveExportAndImport) {
  Bytes decoding = testing::IdentityTable();
  decoding[0xFE] = '\n';
  decoding[0xFD] = '\r';
  decoding[0x41] = 0x00;
  decoding[0x5C] = 'b';
  decoding[0x62] = '\\';
  const std::vector<std::string> text = ExportTextTable(Entries(decoding));
  EXPECT_EQ(text, (std::vector<std::string>{"41=\\x00", "5C=b", "62=\\", "FD=\\x0D", "FE=\\x0A"}));
  const std::string file = JoinLinesCrLf(text);
  EXPECT_EQ(DecodingTable(ParseTextTable(SplitLines(file), "t.tbl")), decoding);
}

TEST(TextTableTest, BadLinesAreRefusedWithTheirLineNumber) {
  const std::string kLonger =
      "an entry of a 256-byte code table holds one 8-bit character after \"=\"; for longer "
      "texts give the text table itself to -t";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"41=a", "41=b"}, "t.tbl, line 2: the byte 41 is named twice"},
      {{"41=ab"}, "t.tbl, line 1: " + kLonger},
      {{"41=\xE2\x82\xAC"}, "t.tbl, line 1: " + kLonger},  // beyond U+00FF
      {{"4=a"}, "t.tbl, line 1: expected two hexadecimal digits, \"=\" and one character"},
      {{"# ok", "G1=a"}, "t.tbl, line 2: expected two hexadecimal digits, \"=\" and one character"},
      {{"41=\\x4G"}, "t.tbl, line 1: " + kLonger},
      {{"41=\\y41"}, "t.tbl, line 1: " + kLonger},
      {{"8140= "},
       "t.tbl, line 1: a two-byte code does not fit a 256-byte code table; give the "
       "text table itself to -t"},
  };
  for (const auto& [lines, message] : cases)
    EXPECT_EQ(ErrorText([&] { ParseTextTable(lines, "t.tbl"); }), message);
  EXPECT_EQ(ErrorText([] {
              EncodingTable({"41=a", "42=b", "43=a"}, "t.tbl");
            }),
            "t.tbl, line 3: the character 'a' is given for two bytes");
  EXPECT_EQ(ErrorText([] {
              EncodingTable({"41=\\x0a", "42=\\X0A"}, "t.tbl");
            }),
            "t.tbl, line 2: the character '\\x0A' is given for two bytes");
}

TEST(TextTableTest, InversionUndoesPlainAndShiftedDecoding) {
  Bytes decoding = testing::IdentityTable();
  decoding[0x90] = 'A';  // 'A' reached by 0x41 and 0x90
  decoding[0x42] = 0x90;
  const InvertedTable plain = InvertTable(Entries(decoding), false);
  EXPECT_EQ(plain.encoding['A'], 0x41);  // the lowest code
  EXPECT_EQ(plain.encoding[0x90], 0x42);
  EXPECT_EQ(plain.shared, (std::vector<std::string>{"'A': 0x41 0x90"}));
  EXPECT_EQ(plain.missing, (Bytes{'B'}));
  for (int g = 0; g < 256; ++g)  // decoding then encoding gives the lowest code back
    EXPECT_EQ(plain.encoding[decoding[static_cast<std::size_t>(g)]] <= g, true);

  // Shifted: code 0x56 decodes through entry 0x7A, code 0x57 through 0x57.
  const Bytes identity = testing::IdentityTable();
  const InvertedTable shifted = InvertTable(Entries(identity), true);
  EXPECT_EQ(shifted.encoding[0x7A], 0x56);
  EXPECT_EQ(shifted.encoding[0x24], 0x00);
  EXPECT_EQ(shifted.encoding[0x57], 0x33);  // 0x33 + 0x24 and 0x57 both reach 0x57
  EXPECT_EQ(shifted.encoding[0x7B], 0x7B);
  EXPECT_EQ(shifted.missing.size(), 0x24u);  // entries 0x00..0x23 are never reached
  EXPECT_EQ(shifted.missing.front(), 0x00);
  EXPECT_EQ(shifted.shared.front(), "'W': 0x33 0x57");
}

}  // namespace
}  // namespace tessary
