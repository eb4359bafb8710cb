// Code tables: loading, the four mappings and the escape rules of room text.
#include <gtest/gtest.h>

#include "formathandlers/text/code_table.h"
#include "tests/test_support.h"
#include "tests/text_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ErrorText;
using testing::IdentityTable;

Bytes Escaped(std::string_view line, const Bytes& table) {
  return EncodeEscaped(line, CodeTableEntries(table.data(), kCodeTableSize));
}

TEST(CodeTableTest, PlainAndShiftedDecoding) {
  const Bytes identity = IdentityTable();
  const CodeTableEntries table(identity.data(), kCodeTableSize);
  Bytes bytes = {0x00, 0x21, 0x56, 0x57, 0xFF};
  DecodePlain(bytes, table);
  EXPECT_EQ(bytes, (Bytes{0x00, 0x21, 0x56, 0x57, 0xFF}));
  DecodeShifted(bytes, table);
  EXPECT_EQ(bytes, (Bytes{0x24, 0x45, 0x7A, 0x57, 0xFF}));

  // Entries 0x00..0x23 are never consulted by the shifted lookup.
  Bytes marked = identity;
  for (int i = 0; i < 0x24; ++i) marked[static_cast<std::size_t>(i)] = 0xEE;
  marked[0xEE] = 0x00;
  Bytes every(256);
  for (int i = 0; i < 256; ++i) every[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  DecodeShifted(every, CodeTableEntries(marked.data(), kCodeTableSize));
  EXPECT_EQ(std::count(every.begin(), every.end(), 0xEE), 0);

  Bytes text = {0x00, 'A'};
  Bytes shifted = identity;
  shifted[0x00] = 0x99;
  EncodePlain(text, CodeTableEntries(shifted.data(), kCodeTableSize));
  EXPECT_EQ(text, (Bytes{0x99, 'A'}));  // 0x00 goes through the table too
}

TEST(CodeTableTest, EscapesOfRoomText) {
  Bytes table = IdentityTable();
  table['a'] = 0xE1;
  table[' '] = 0xA0;
  table['A'] = 0xC1;
  table['B'] = 0xC2;
  EXPECT_EQ(Escaped("Hi you{[a]}", table), (Bytes{0x48, 0x69, 0x00, 0x79, 0x6F, 0x75, 0xE1}));
  EXPECT_EQ(Escaped("A B", table), (Bytes{0x41, 0x00, 0x42}));
  EXPECT_EQ(Escaped("{[A B]}", table), (Bytes{0xC1, 0xA0, 0xC2}));
  EXPECT_EQ(Escaped("{[xy", table), (Bytes{'x', 'y'}));                // never closed
  EXPECT_EQ(Escaped("ab]}", table), (Bytes{0x61, 0x62, 0x5D, 0x7D}));  // no escape to close
  EXPECT_EQ(Escaped("{[a{[a]}a", table), (Bytes{0xE1, 0x7B, 0x5B, 0xE1, 'a'}));  // no nesting
  EXPECT_EQ(Escaped("ab{[", table), (Bytes{'a', 'b'}));  // a marker at the very end
  EXPECT_EQ(Escaped("{[a]}", table), (Bytes{0xE1}));
  EXPECT_TRUE(Escaped("", table).empty());
}

TEST(CodeTableTest, ShortTablesAreRefusedAndALoadReplacesTheTable) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("short.tbl"), Bytes(255, 1));
  testing::WriteFile(dir.File("full.tbl"), Bytes(300, 2));
  ByteBuffer table;
  LoadCodeTable(table, dir.File("full.tbl"));
  EXPECT_EQ(table, Bytes(300, 2));
  EXPECT_EQ(ErrorText([&] { LoadCodeTable(table, dir.File("short.tbl")); }),
            dir.File("short.tbl") +
                ": a code table needs 256 bytes, this file holds 255; a text table has lines like "
                "\"41=A\"");
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(ErrorText([&] { TableEntries(table); }),
            "no code table is loaded (a table of 256 bytes is needed)");
  EXPECT_EQ(ErrorText([&] { LoadCodeTable(table, dir.File("none.tbl")); }),
            "Cannot open file " + dir.File("none.tbl"));
}

}  // namespace
}  // namespace tessary
