// "Save results" as Rich Text.
#include <gtest/gtest.h>

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
