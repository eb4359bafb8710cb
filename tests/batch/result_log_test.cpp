// Result-log line forms, the reader's first-word rule, target lines and the
// generator.
#include <gtest/gtest.h>

#include "batch/random_generator.h"
#include "batch/result_log.h"

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
  // The insertion handlers' readers cut by position; only archive entries
  // need their exact prefix.
  EXPECT_EQ(TimTargetPath("#Target TIM: zzzzzzzz:00000001 C:\\p.tim"), "C:\\p.tim");
  EXPECT_EQ(TextTargetPath("#TARGET: t.txt"), "t.txt");
  EXPECT_EQ(BitmapTargetPath("#Target BMP:"), "");
  EXPECT_EQ(ValueAfter("#Target : a", logline::kArchiveTarget), "a");
  EXPECT_FALSE(ValueAfter("#Target: a", logline::kArchiveTarget));
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
