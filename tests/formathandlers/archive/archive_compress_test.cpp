// Repacking with CompressEntries: unedited entries keep their stored blocks,
// edited ones are compressed where that makes them smaller.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/compress.h"
#include "misc/byte_reader.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/formathandlers/archive/archive_batch_fixture.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BuildArchive;
using testing::ReadFile;
using testing::TextLikeData;
using testing::WriteFile;

Bytes BytesOf(const std::string& path) {
  const std::string text = ReadFile(path);
  return {text.begin(), text.end()};
}

// Each entry's data block as the archive stores it, by name.
std::map<std::string, Bytes> Blocks(const Bytes& archive) {
  std::map<std::string, Bytes> blocks;
  for (const EntryRecord& record : ReadEntryRecords(archive, "archive")) {
    const auto start = archive.begin() + static_cast<std::ptrdiff_t>(record.dataOffset) * 8;
    blocks[record.name] = Bytes(start, start + record.storedSize);
  }
  return blocks;
}

// Extraction's rule: compressed exactly when the unpacked size exceeds the
// stored size.
bool StoredCompressed(const Bytes& block) {
  return LoadU32(block.data() + grm::kUnpackedSizeAt) > block.size();
}

// Text followed by noise, as long as it takes for its compressed block
// (header, seed and size included) to be `margin` bytes shorter than it.
Bytes ShorterWhenCompressedBy(std::size_t margin) {
  Bytes input = TextLikeData(300, 8);
  std::mt19937 random(9);
  while (input.size() < 4000) {
    const CompressedChunks packed = CompressWithDictionary(input, testing::SyntheticDictionary());
    if (grm::kDataHeaderSize + 8 + packed.bytes.size() + margin == input.size()) return input;
    input.push_back(static_cast<std::uint8_t>(random()));
  }
  ADD_FAILURE() << "no input found";
  return input;
}

using CompressedRepackTest = testing::ArchiveBatchTest;

TEST_F(CompressedRepackTest, UneditedBlocksAreKeptAndEditedEntriesComeBackSmallerWhereTheyCan) {
  Bytes noise(5000);
  std::mt19937 random(4);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  const std::map<std::string, Bytes> edits = {{"MSG/G_story.msg", TextLikeData(45000, 3)},
                                              {"TXT/G_notes.txt", TextLikeData(3000, 4)},
                                              {"BIN/G_noise.bin", noise},
                                              {"BIN/G_equal.bin", ShorterWhenCompressedBy(0)},
                                              {"BIN/G_under.bin", ShorterWhenCompressedBy(1)}};
  Bytes archive = BuildArchive({{"kept.msg", TextLikeData(50000, 1), true},
                                {"kept.bin", Bytes(300, 7)},
                                {"story.msg", TextLikeData(40000, 2), true},
                                {"notes.txt", Bytes(10, 'n')},
                                {"noise.bin", Bytes(5, 1)},
                                {"equal.bin", Bytes(3, 0)},
                                {"under.bin", Bytes(3, 0)}},
                               testing::SyntheticXorTable(), testing::SyntheticDictionary());
  // The compressed story's block has a marker of its own, which it keeps.
  const std::string marker("PACKED\0\0", 8);
  const EntryRecord story = ReadEntryRecords(archive, "G.DAT")[2];
  std::copy(marker.begin(), marker.end(), archive.begin() + story.dataOffset * 8 + 8);
  const std::string source = Put("src/G.DAT", archive);
  ASSERT_EQ(RunClean(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  for (const auto& [file, bytes] : edits) WriteFile(dir.File("out/" + file), bytes);

  // Without the dictionary nothing is compressed, and nothing is written.
  h.ctx.CompressEntries = true;
  std::filesystem::remove(dir.File("out/decodetable.tbl"));
  std::filesystem::remove(dir.File("out2/decodetable.tbl"));
  EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Failed);
  EXPECT_NE(Error().find("decodetable.tbl"), std::string::npos) << Error();
  EXPECT_FALSE(std::filesystem::exists(dir.File("out2/G.DAT")));

  WriteFile(dir.File("out2/decodetable.tbl"), testing::SyntheticDictionary());
  ASSERT_EQ(RunClean(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Completed);
  const auto before = Blocks(archive), after = Blocks(BytesOf(dir.File("out2/G.DAT")));
  for (const char* kept : {"kept.msg", "kept.bin"}) EXPECT_TRUE(after.at(kept) == before.at(kept));
  for (const char* packed : {"story.msg", "notes.txt", "under.bin"})
    EXPECT_TRUE(StoredCompressed(after.at(packed))) << packed;
  // Plain when compressing does not make it smaller, equal size included.
  for (const char* plain : {"noise.bin", "equal.bin"})
    EXPECT_FALSE(StoredCompressed(after.at(plain))) << plain;
  EXPECT_EQ(std::string(after.at("story.msg").begin() + 8, after.at("story.msg").begin() + 16),
            marker);

  // Extracted again, every entry is its file.
  ASSERT_EQ(RunClean(FileType::Grm, {dir.File("out2/G.DAT")}, "check"), BatchOutcome::Completed);
  for (const char* file : {"MSG/G_kept.msg", "BIN/G_kept.bin", "MSG/G_story.msg", "TXT/G_notes.txt",
                           "BIN/G_noise.bin", "BIN/G_equal.bin", "BIN/G_under.bin"})
    EXPECT_TRUE(ReadFile(dir.File("check/" + std::string(file))) ==
                ReadFile(dir.File("out/" + std::string(file))))
        << file;
}

}  // namespace
}  // namespace tessary
