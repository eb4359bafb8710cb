// Text tables used both ways: the forms translators write, tags, longest
// matches and the characters a table cannot encode.
#include <gtest/gtest.h>

#include "formathandlers/text/text_table_codec.h"
#include "tests/test_support.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& text) {
  return {text.begin(), text.end()};
}

// A table as translators share them: BOM, comments, CR LF, a two-byte code,
// UTF-8 and multi-character values, a blank value, trailing blanks.
const std::string kTable =
    "\xEF\xBB\xBF# letters\r\n41=A\r\n42=B  \r\n\r\n; others\r\n80=\xC3\xA9\r\n8140= \r\n"
    "82=ae\r\n83=a\r\nFE=\\x0A\r\n3C=<\r\n";

TEST(TextTableCodecTest, TheFormsTranslatorsWriteAreRead) {
  const TextTable table = TextTable::Parse(B(kTable), "t.txt");
  EXPECT_FALSE(table.ReadAsLatin1());
  EXPECT_EQ(table.Lines(), (std::vector<std::string>{"3C=<", "41=A", "42=B", "80=\xC3\xA9", "82=ae",
                                                     "83=a", "FE=\\x0A", "8140= "}));
  const TextTable latin1 = TextTable::Parse(B("80=\xE9\n"), "l.txt");  // not UTF-8
  EXPECT_TRUE(latin1.ReadAsLatin1());
  EXPECT_EQ(latin1.Lines(), std::vector<std::string>{"80=\xC3\xA9"});

  const std::vector<std::pair<std::string, std::string>> bad = {
      {"41=A\r\n41=B\r\n", "t.txt, line 2: the code 41 is named twice"},
      {"# c\r\n\r\n4=A\r\n",
       "t.txt, line 3: expected a code of two or four hexadecimal digits, "
       "\"=\" and its text"},
      {"8140=\r\n", "t.txt, line 1: the code 8140 has no text after \"=\""},
      {"41=A\n41 = \xE9\n",
       "t.txt, line 2 (read as Latin-1): expected a code of two or four "
       "hexadecimal digits, \"=\" and its text"},
      {"41=A\r\n\x1A", "t.txt, line 2: a control byte 1A stands in the line (write it as \\xHH)"},
      {std::string("\xFF\xFE"
                   "4\0"
                   "1\0",
                   6),
       "t.txt: the table is saved as UTF-16; save it as UTF-8"},
  };
  for (const auto& [text, message] : bad)
    EXPECT_EQ(testing::ErrorText([&] { TextTable::Parse(B(text), "t.txt"); }), message);
}

TEST(TextTableCodecTest, DecodedTextEncodesBackToTheSameBytes) {
  const TextTable table = TextTable::Parse(B(kTable), "t.txt");
  // Two-byte codes first; codes without an entry, control values and "<" as tags.
  const Bytes game = {0x41, 0x81, 0x40, 0x80, 0x81, 0x41, 0xFE, 0x01, 0x3C, 0x82};
  const std::string text = table.Decode(game);
  EXPECT_EQ(text, "A \xC3\xA9<81>A<FE013C>ae");
  std::vector<Unencodable> missing;
  EXPECT_EQ(table.Encode(text, missing), game);
  EXPECT_TRUE(missing.empty());
  // The longest text matches first; tags take either case.
  EXPECT_EQ(table.Encode("aeaA<fe00>", missing), (Bytes{0x82, 0x83, 0x41, 0xFE, 0x00}));
  EXPECT_TRUE(missing.empty());
  // Every character the table cannot give, with its column and code point; a
  // "<" that opens no tag is a character like any other.
  EXPECT_EQ(table.Encode("Az \xE2\x82\xAC<", missing), (Bytes{0x41, 0x81, 0x40, 0x3C}));
  ASSERT_EQ(missing.size(), 2u);
  EXPECT_EQ(UnencodableText("R.txt", 1, missing[0].column, missing[0]),
            "R.txt, line 2, column 2: 'z' (U+007A) is not in the table");
  EXPECT_EQ(missing[1].column, 4u);
  EXPECT_EQ(missing[1].codePoint, U'\u20AC');
}

TEST(TextTableCodecTest, TextTablesAreToldFromRawTablesByContent) {
  Bytes raw(256);
  for (std::size_t b = 0; b < raw.size(); ++b) raw[b] = static_cast<std::uint8_t>(b);
  EXPECT_FALSE(IsTextTable(raw));
  EXPECT_TRUE(IsTextTable(B(kTable)));
  EXPECT_TRUE(IsTextTable(B("41=A")));
  EXPECT_TRUE(IsTextTable(B("41=A\r\n\x1A")));  // a stray control byte: refused at its line
  EXPECT_TRUE(
      IsTextTable(B(std::string("\xFF\xFE"
                                "4\0",
                                4))));        // UTF-16: refused when read
  EXPECT_TRUE(IsTextTable(B("41 = A\r\n")));  // lines of text: refused at its line, not misread
  EXPECT_FALSE(IsTextTable(B(std::string(300, 'x'))));
  raw.assign(256, 'x');  // every code printable, one a line break: still raw
  raw[0xFE] = '\n';
  EXPECT_FALSE(IsTextTable(raw));
}

}  // namespace
}  // namespace tessary
