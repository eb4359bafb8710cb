// Result-log line forms, the reader's first-word rule and the generator.
#include <gtest/gtest.h>

#include "batch/random_generator.h"
#include "batch/result_log.h"
#include "main/format_registry.h"

namespace tessary {
namespace {

TEST(ResultLogTest, LineFormsKeepTheirExactPrefixes) {
  EXPECT_EQ(FormatLine(""), "#Format: ");
  EXPECT_EQ(ArchiveTargetLine("o/x"), "#Target : o/x");
  EXPECT_EQ(TimTargetLine(0x1A2C0, 0x8214, "C:\\out\\FILE_0.tim"),
            "#Target TIM: 0001A2C0:00008214 C:\\out\\FILE_0.tim");
  EXPECT_EQ(TimTargetLine(0xFFFFFFFF, 0, "p").substr(13, 18), "FFFFFFFF:00000000 ");
}

TEST(ResultLogTest, ReaderTakesTheFirstWordCaseSensitively) {
  EXPECT_EQ(ReadLogLine("#Source: C:\\a b.dat ").directive, Directive::Source);
  EXPECT_EQ(ReadLogLine("#Source: C:\\a b.dat ").value, "C:\\a b.dat ");
  EXPECT_EQ(ReadLogLine("  \t#Format: GRM").directive, Directive::Format);
  EXPECT_EQ(ReadLogLine("#format: GRM").directive, Directive::Comment);
  EXPECT_EQ(ReadLogLine("#Target: x.txt").directive, Directive::Comment);  // not a keyword
  EXPECT_EQ(ReadLogLine("#Target TIM: 0:0 x").directive, Directive::Target);
  EXPECT_EQ(ReadLogLine("").directive, Directive::Comment);
  EXPECT_EQ(ReadLogLine("#Source:").value, "");
  EXPECT_EQ(ReadLogLine("#CodeTable:\tt.tbl").value, "t.tbl");
  // The value is cut from the start of the line, whatever came before the word.
  EXPECT_EQ(ReadLogLine(" #Source: abc").value, " abc");
  const std::string longPath(600, 'p');  // long values are taken whole
  EXPECT_EQ(ReadLogLine("#Source: " + longPath).value, longPath);
}

TEST(ResultLogTest, KeysMatchExactlyAndEmptyKeysNever) {
  EXPECT_EQ(FormatIndexOfKey("GRM"), Format::Grm);
  EXPECT_EQ(FormatIndexOfKey("STIM"), Format::Stim);
  EXPECT_EQ(FormatIndexOfKey("RDT"), Format::Rdt);
  EXPECT_EQ(FormatIndexOfKey("stim"), Format::None);
  EXPECT_EQ(FormatIndexOfKey(""), Format::None);
  EXPECT_EQ(FormatIndexOfChoice(FileType::ProjectList), Format::ProjectList);
  EXPECT_EQ(FormatKeyOfChoice(FileType::Log), "");
}

// The registry in dialog order: keys, indices, code-table needs and which
// keys have an insertion handler, as logs written by earlier batches expect.
TEST(FormatRegistryTest, RowsFollowTheOpenDialogsOrder) {
  std::string keys, inserting, tables;
  std::vector<int> indices;
  for (const FormatRow& row : FormatRegistry()) {
    keys += std::string(row.key) + ",";
    indices.push_back(static_cast<int>(row.index));
    if (row.insert != nullptr) inserting += std::string(row.key) + ",";
    if (row.needsCodeTable) tables += std::string(row.cliKey) + ",";
    EXPECT_EQ(RowOfIndex(row.index), &row);
  }
  EXPECT_EQ(keys, "GRM,TIM,STIM,RES,,,ARD,RDT,");
  EXPECT_EQ(indices, (std::vector<int>{2, 6, 7, 3, 8, 1, 4, 5}));
  EXPECT_EQ(inserting, "GRM,TIM,STIM,RES,RDT,");
  EXPECT_EQ(tables, "ard,rdt,");
  EXPECT_EQ(ChoiceOfCliKey("STIM"), FileType::Stim);
  EXPECT_EQ(ChoiceOfCliKey("lst"), FileType::ProjectList);
  EXPECT_EQ(ChoiceOfCliKey("bogus"), FileType::None);
  EXPECT_EQ(RowOfIndex(Format::None), nullptr);
  EXPECT_EQ(RowOfChoice(FileType::None), nullptr);
}

TEST(ResultLogTest, TimTargetsParseByPosition) {
  const auto target = ParseTimTarget("#Target TIM: 0001a2C0:00008214 C:\\out\\F_0.tim");
  ASSERT_TRUE(target);
  EXPECT_EQ(target->offset, 0x1A2C0u);
  EXPECT_EQ(target->length, 0x8214u);
  EXPECT_EQ(target->path, "C:\\out\\F_0.tim");
  EXPECT_FALSE(ParseTimTarget("#Target TIM: zz:00000001 p"));
  EXPECT_FALSE(ParseTimTarget("#Target TIM: 00000001"));
  EXPECT_FALSE(ParseTimTarget("#Target TIM: 100000000:1 p"));  // does not fit 32 bits
  EXPECT_EQ(ParseTimTarget("#Target TIM: 1:2")->path, "");
}

TEST(RandomGeneratorTest, FollowsTheLinearCongruentialSequence) {
  RandomGenerator random;
  random.Seed(12345);
  // 12345 * 22695477 + 1 = 0x3BC559CE (mod 2^32): bits 16..30 give 0x3BC5.
  EXPECT_EQ(random.Next(), 15301);
  // 0xE1A45BA7: bit 31 is dropped, so 0x61A4.
  EXPECT_EQ(random.Next(), 24996);
  EXPECT_EQ(random.Next(), 10921);
  random.Seed(0);
  EXPECT_EQ(random.Next(), 0);    // state 1
  EXPECT_EQ(random.Next(), 346);  // state 22695478
  EXPECT_EQ(random.Next(), 130);
}

}  // namespace
}  // namespace tessary

#include "main/rtf_writer.h"

namespace tessary {
namespace {

TEST(RtfWriterTest, OneParagraphPerLineWithEscapes) {
  const std::string rtf = ResultsToRtf({"a\\b {c}", "caf\xE9 extracted."});
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi", 0), 0u);
  EXPECT_NE(rtf.find("a\\\\b \\{c\\}\\par\r\n"), std::string::npos);
  EXPECT_NE(rtf.find("caf\\'e9 extracted.\\par\r\n"), std::string::npos);
  EXPECT_EQ(rtf.substr(rtf.size() - 3), "}\r\n");
}

}  // namespace
}  // namespace tessary
