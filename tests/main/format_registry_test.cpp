// The file-type registry: keys, indices and choices in the open dialog's order.
#include <gtest/gtest.h>

#include "main/format_registry.h"

namespace tessary {
namespace {

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
  EXPECT_EQ(inserting, "GRM,TIM,STIM,RES,ARD,RDT,");
  EXPECT_EQ(tables, "ard,rdt,");
  EXPECT_EQ(ChoiceOfCliKey("STIM"), FileType::Stim);
  EXPECT_EQ(ChoiceOfCliKey("lst"), FileType::ProjectList);
  EXPECT_EQ(ChoiceOfCliKey("bogus"), FileType::None);
  EXPECT_EQ(RowOfIndex(Format::None), nullptr);
  EXPECT_EQ(RowOfChoice(FileType::None), nullptr);
  EXPECT_EQ(RowOfChoice(static_cast<FileType>(9)), nullptr);
  EXPECT_EQ(FileTypeAt(-1), FileType::None);
  EXPECT_EQ(FileTypeAt(8), FileType::None);
  EXPECT_EQ(PositionOf(FileTypeAt(6)), 6);
  EXPECT_EQ(TypeOfRow(FormatRegistry()[3]), FileType::Res);
  EXPECT_TRUE(IsLogQueue(Format::Log) && IsLogQueue(Format::ProjectList));
  EXPECT_FALSE(IsLogQueue(Format::Grm) || IsLogQueue(Format::None));
}

}  // namespace
}  // namespace tessary
