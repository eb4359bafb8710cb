// ExtractArchive and RepackArchive: layout, names, log lines, damaged archives
// and the full round trip.
#include <gtest/gtest.h>

#include <filesystem>

#include "formathandlers/archive/archive_extract.h"
#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/archive_repack.h"
#include "formathandlers/archive/decompress.h"
#include "main/batch_driver.h"
#include "main/file_queue.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/batch_fixture.h"
#include "tests/formathandlers/archive/archive_batch_fixture.h"
#include "tests/test_support.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ArchiveEntry;
using testing::BuildArchive;
using testing::ErrorText;
using testing::Harness;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Text(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out = dir.SubDir("out");
    h.ctx.OutputDirectory = out;
    std::filesystem::current_path(out);
    WriteFile(JoinPath(out, "XorTable.tbl"), testing::SyntheticXorTable());
    WriteFile(JoinPath(out, "decodetable.tbl"), testing::SyntheticDictionary());
  }
  std::string Archive(const std::string& name, const std::vector<ArchiveEntry>& entries) {
    const std::string path = dir.File(name);
    WriteFile(path,
              BuildArchive(entries, testing::SyntheticXorTable(), testing::SyntheticDictionary()));
    return path;
  }
  std::string Out(const std::string& relative) const { return JoinPath(out, relative); }

  TempDir dir;
  Harness h;
  std::string out;
};

TEST_F(ArchiveTest, RecordBytesOfTheExampleEntry) {
  Bytes archive(4096, 0);
  testing::PutU32(archive, 1);
  for (std::uint8_t b :
       {0x03, 0x02, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x41, 0x2E, 0x54, 0x49, 0x4D, 0x00})
    archive.push_back(b);
  archive.resize(4120, 0);
  testing::PutU16(archive, 24);
  testing::PutU16(archive, 1);
  testing::PutU32(archive, 20);
  archive.resize(archive.size() + 8, 0);
  testing::PutU32(archive, 5);   // seed
  testing::PutU32(archive, 20);  // chunk size
  Bytes chunk(20, 'q');
  std::uint32_t state = 5;
  XorChunk(chunk, state, XorTable::FromBytes(testing::SyntheticXorTable(), "t"));
  archive.insert(archive.end(), chunk.begin(), chunk.end());
  WriteFile(dir.File("ROOM.DAT"), archive);

  const auto records = ReadEntryRecords(archive, "ROOM.DAT");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].dataOffset * 8u, 4120u);
  EXPECT_EQ(records[0].NextRecord(), 4114u);

  ExtractArchive(h.ctx, dir.File("ROOM.DAT"));
  const std::string path = JoinPath(Out("TIM"), "ROOM_A.TIM");
  EXPECT_EQ(ReadFile(path), std::string(20, 'q'));
  EXPECT_EQ(h.ctx.ResultLog.Lines(), (std::vector<std::string>{"#Target : " + path}));
  EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"A.TIM extracted."}));
  EXPECT_EQ(h.ctx.Status.ExtractedCaption(), "Extracted 1 of 1");
}

TEST_F(ArchiveTest, RepeatedNamesGetNumberedPrefixes) {
  const std::string archive = Archive("ROOM.DAT", {{"x01.tim", Bytes(3, 1)},
                                                   {"x01.tim", Bytes(3, 2)},
                                                   {"x01.tim", Bytes(3, 3)},
                                                   {"README", {}}});
  ExtractArchive(h.ctx, archive);
  EXPECT_EQ(ReadFile(Out("TIM/ROOM_x01.tim")), std::string(3, 1));
  EXPECT_EQ(ReadFile(Out("TIM/REP0_ROOM_x01.tim")), std::string(3, 2));
  EXPECT_EQ(ReadFile(Out("TIM/REP1_ROOM_x01.tim")), std::string(3, 3));
  EXPECT_EQ(h.ctx.ResultLog.Get(3),
            "#Target : " + out + kPathSeparator + kPathSeparator + "ROOM_README");

  h.ctx.ClaimedOutputs.Clear();    // a new batch
  ExtractArchive(h.ctx, archive);  // again: the counter restarts at 0 per archive
  EXPECT_EQ(h.ctx.ResultLog.Get(4), "#Target : " + JoinPath(Out("TIM"), "REP0_ROOM_x01.tim"));
  EXPECT_EQ(h.ctx.ResultLog.Get(6), "#Target : " + JoinPath(Out("TIM"), "REP2_ROOM_x01.tim"));

#ifndef _WIN32  // where "\\" is a separator, "a.b\\c" names a folder that does not exist
  ExtractArchive(h.ctx, Archive("NODOT", {{"a.b\\c", Bytes(1, 9)}}));  // no BASE, no EXT
  EXPECT_EQ(ReadFile(Out("_a.b\\c")), std::string(1, 9));
  EXPECT_EQ(h.ctx.Status.Results().back(), "c extracted.");
#endif
}

TEST_F(ArchiveTest, CompressedEntriesAreDecompressed) {
  const Bytes text = testing::TextLikeData(70000, 11);
  ExtractArchive(h.ctx, Archive("ROOM.DAT", {{"talk.msg", text, true}, {"EMPTY.BIN", {}}}));
  EXPECT_EQ(ReadFile(Out("MSG/ROOM_talk.msg")), Text(text));
  EXPECT_EQ(ReadFile(Out("BIN/ROOM_EMPTY.BIN")), "");
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"talk.msg decompressed.", "EMPTY.BIN extracted."}));
}

TEST_F(ArchiveTest, MissingTablesFailWithTheFileLayersText) {
  const std::string archive =
      Archive("ROOM.DAT", {{"a.txt", testing::TextLikeData(9000, 1), true}});
  std::filesystem::remove(Out("decodetable.tbl"));
  // The messages say every place the tables were looked for: the output
  // directory, then beside the archive.
  EXPECT_EQ(
      ErrorText([&] { ExtractArchive(h.ctx, archive); }),
      "Cannot open file " + Out("decodetable.tbl") + " (nor " + dir.File("decodetable.tbl") + ")");
  EXPECT_FALSE(std::filesystem::exists(Out("TXT/ROOM_a.txt")));  // nothing half-extracted
  std::filesystem::remove(Out("XorTable.tbl"));
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, archive); }),
            "Cannot open file " + Out("XorTable.tbl") + " (nor " + dir.File("XorTable.tbl") + ")");
  WriteFile(Out("XorTable.tbl"), Bytes(100, 1));
  EXPECT_NE(ErrorText([&] { ExtractArchive(h.ctx, archive); }).find("needs at least 252"),
            std::string::npos);

  // Beside the archive they are found; a short decode table is refused.
  std::filesystem::remove(Out("XorTable.tbl"));
  WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
  for (const std::size_t size : {0, 1, 4095}) {
    WriteFile(dir.File("decodetable.tbl"), Bytes(size, 1));
    EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, archive); }),
              dir.File("decodetable.tbl") + ": a decode table needs 4096 bytes, this file holds " +
                  std::to_string(size));
  }
  WriteFile(dir.File("decodetable.tbl"), testing::SyntheticDictionary());
  h.ctx.ClaimedOutputs.Clear();  // a new batch
  ExtractArchive(h.ctx, archive);
  EXPECT_EQ(ReadFile(Out("TXT/ROOM_a.txt")), Text(testing::TextLikeData(9000, 1)));
}

TEST_F(ArchiveTest, AnEntryItsChunksCannotProduceIsRefusedBeforeAnyAllocation) {
  // One chunk byte claims 2 GiB: 65536 chunks, all but the last of size 0.
  Bytes archive(4096, 0);
  testing::PutU32(archive, 1);
  testing::PutU32(archive, 4120 / 8 + 1);  // the data block at 4128
  testing::PutU32(archive, 16 + 8 * 65535 + 1);
  for (char c : std::string("bomb.bin")) archive.push_back(static_cast<std::uint8_t>(c));
  archive.push_back(0);
  archive.resize(4128, 0);
  testing::PutU16(archive, 0);
  testing::PutU16(archive, 65535);
  testing::PutU32(archive, 65535u * 32768u);
  testing::PutU32(archive, 0);
  testing::PutU32(archive, 0);
  for (int c = 0; c < 65535; ++c) testing::PutU32(archive, 0);  // seeds
  for (int c = 0; c < 65535; ++c) testing::PutU32(archive, c + 1 == 65535 ? 1 : 0);
  archive.push_back(0xAB);
  const std::string path = dir.File("BOMB.DAT");
  WriteFile(path, archive);
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, path); }),
            "BOMB.DAT: entry 0 (bomb.bin): chunk 0 of 0 bytes cannot unpack to 32768 bytes");
  EXPECT_EQ(ErrorText([&] { CheckUnpackable(0x7FFFFFFF, std::vector<std::uint32_t>(65535, 9)); }),
            "65536 chunks to decode but only 65535 chunk sizes");
  EXPECT_EQ(ErrorText([&] {
              CheckUnpackable(32769, std::vector<std::uint32_t>{4096, 0});
            }),
            "chunk 1 of 0 bytes cannot unpack to 1 bytes");
  EXPECT_EQ(ErrorText([&] {
              CheckUnpackable(32769, std::vector<std::uint32_t>{4096, 1});
            }),
            "(no error)");
  EXPECT_FALSE(std::filesystem::exists(Out("BIN")));
}

TEST_F(ArchiveTest, DamagedArchivesNameTheEntryAndWriteNothing) {
  const Bytes good = BuildArchive({{"a.bin", Bytes(10, 1)}, {"b.bin", Bytes(10, 2)}},
                                  testing::SyntheticXorTable(), testing::SyntheticDictionary());
  const auto damaged = [&](const std::function<void(Bytes&)>& damage) {
    Bytes bytes = good;
    damage(bytes);
    WriteFile(dir.File("BAD.DAT"), bytes);
    const std::string message = ErrorText([&] { ExtractArchive(h.ctx, dir.File("BAD.DAT")); });
    EXPECT_FALSE(std::filesystem::exists(Out("BIN/BAD_a.bin"))) << message;
    return message;
  };
  EXPECT_EQ(damaged([](Bytes& b) { b.resize(4098); }),
            "BAD.DAT: too short to hold the entry count");
  EXPECT_EQ(damaged([](Bytes& b) { StoreU32(b.data() + 4096, 0x7FFFFFFF); }),
            "BAD.DAT: entry count 2147483647 does not fit in the file");
  EXPECT_EQ(damaged([](Bytes& b) { std::fill(b.begin() + 4108, b.end(), 'n'); }),
            "BAD.DAT: entry 0: name has no zero byte within 100 bytes");
  EXPECT_EQ(damaged([](Bytes& b) { StoreU32(b.data() + 4114, 0x10000000); }),
            "BAD.DAT: entry 1 (b.bin): data block starts past the end of the file");
  EXPECT_EQ(damaged([&](Bytes& b) { b.resize(b.size() - 1); }),
            "BAD.DAT: entry 1 (b.bin): data block ends past the end of the file");

  WriteFile(dir.File("LONG.DAT"),
            BuildArchive({{std::string(100, 'n'), Bytes(1, 1)}}, testing::SyntheticXorTable(), {}));
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, dir.File("LONG.DAT")); }),
            "LONG.DAT: entry 0: name has no zero byte within 100 bytes");
  WriteFile(dir.File("ESC.DAT"),
            BuildArchive({{"ok.bin", Bytes(1, 1)}, {"..\\evil.bin", Bytes(1, 2)}},
                         testing::SyntheticXorTable(), {}));
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, dir.File("ESC.DAT")); }),
            "ESC.DAT: entry 1 (..\\evil.bin): name leaves the output directory");
  EXPECT_FALSE(std::filesystem::exists(Out("BIN/ESC_ok.bin")));
}

TEST_F(ArchiveTest, CompressedDataCutShortNamesTheEntry) {
  Bytes bytes = BuildArchive({{"t.txt", testing::TextLikeData(5000, 2), true}},
                             testing::SyntheticXorTable(), testing::SyntheticDictionary());
  const auto records = ReadEntryRecords(bytes, "C.DAT");
  const std::uint64_t block = records[0].dataOffset * 8ull;
  StoreU32(bytes.data() + block + 4,
           60000);  // more than the tokens hold, still over the stored size
  WriteFile(dir.File("C.DAT"), bytes);
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, dir.File("C.DAT")); }),
            "C.DAT: entry 0 (t.txt): 2 chunks to decode but only 1 chunk sizes");
}

// The entries written before the error stay, in their folder under its own
// name.
TEST_F(ArchiveTest, CompressedDataEndingEarlyNamesTheEntryAndKeepsTheOnesBefore) {
  Bytes bytes =
      BuildArchive({{"a.bin", Bytes(3, 7)}, {"t.txt", testing::TextLikeData(5000, 2), true}},
                   testing::SyntheticXorTable(), testing::SyntheticDictionary());
  const auto records = ReadEntryRecords(bytes, "C.DAT");
  const std::uint64_t block = records[1].dataOffset * 8ull;
  StoreU32(bytes.data() + block + 4, 6000);  // more than the tokens hold, in one chunk
  WriteFile(dir.File("C.DAT"), bytes);
  EXPECT_EQ(ErrorText([&] { ExtractArchive(h.ctx, dir.File("C.DAT")); }),
            "C.DAT: entry 1 (t.txt): compressed data of chunk 0 ends early");
  EXPECT_EQ(ReadFile(Out("BIN/C_a.bin")), std::string(3, 7));
  for (const auto& entry : std::filesystem::directory_iterator(out))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

// Repacks `archive` from the log lines of an extraction into `target`: the
// plan, then its write.
std::size_t Repack(Harness& h, const std::string& archive, const std::string& target,
                   std::size_t first) {
  struct Release {
    ProcessContext& ctx;
    ~Release() {
      ctx.SourceStream = nullptr;
      ctx.Plan.Clear();
    }
  } release{h.ctx};
  h.ctx.SourceStream = &h.ctx.Plan.HoldSource(archive, SourceAccess::ReadOrNothing);
  h.ctx.SourcePath = archive;
  const std::size_t next = RepackArchive(h.ctx, target, first);
  h.ctx.Plan.Carry(h.ctx.Status, false);
  return next;
}

TEST_F(ArchiveTest, RebuiltBlocksFollowTheRepackLayout) {
  const std::string archive = Archive("R.DAT", {{"a", {}}, {"b", {}}, {"c", {}}, {"d", {}}});
  const std::vector<std::size_t> sizes = {70000, 65536, 0, 21};
  std::vector<std::string> lines = {"#Source: x"};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::string file = dir.File("entry" + std::to_string(i));
    WriteFile(file, Bytes(sizes[i], 0x33));
    lines.push_back("#Target : " + file);
  }
  h.ctx.LogLines = TextLines(lines);
  const std::string target = dir.SubDir("new") + kPathSeparator + "R.DAT";
  EXPECT_EQ(Repack(h, archive, target, 1), 5u);

  const std::string rebuilt = ReadFile(target);
  const Bytes bytes(rebuilt.begin(), rebuilt.end());
  const auto records = ReadEntryRecords(bytes, "R.DAT");
  const std::uint32_t storedSizes[] = {70040, 65536 + 40, 24, 21 + 24};
  for (std::size_t e = 0; e < 4; ++e) {
    const DataBlock block = ReadDataBlock(bytes, records[e], "R.DAT", e);
    EXPECT_EQ(records[e].storedSize, storedSizes[e]);
    EXPECT_EQ(block.unpackedSize, sizes[e]);
    if (e > 0) {
      EXPECT_EQ(records[e].dataOffset * 8ull % 2048, 0u);
    }
  }
  EXPECT_EQ(ReadDataBlock(bytes, records[0], "R", 0).chunkSizes,
            (std::vector<std::uint32_t>{32768, 32768, 4464}));
  EXPECT_EQ(ReadDataBlock(bytes, records[1], "R", 1).chunkSizes,
            (std::vector<std::uint32_t>{32768, 32768, 0}));
  const std::uint8_t* marker0 = bytes.data() + records[0].dataOffset * 8ull + 8;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(marker0), 8), std::string("NotComp\0", 8));
  const std::uint8_t* marker3 = bytes.data() + records[3].dataOffset * 8ull + 8;
  EXPECT_EQ(Bytes(marker3, marker3 + 8), (Bytes{0x4F, 0x6E, 0x75, 0x42, 0x6E, 0x6C, 0x71, 0x01}));
  EXPECT_EQ(bytes.size() % 2048, 0u);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"a repacked.", "b repacked.", "c repacked.", "d repacked."}));
}

TEST_F(ArchiveTest, RepackRefusesWhatItCannotBuildBeforeCreatingTheOutput) {
  const std::string archive = Archive("R.DAT", {{"a", Bytes(5, 1)}, {"b", Bytes(5, 2)}});
  const std::string target = dir.File("new.DAT");
  h.ctx.LogPath = dir.File("r.log");
  h.ctx.LogLines = TextLines({"#Source: x", "#Target : " + dir.File("nothing")});
  EXPECT_EQ(ErrorText([&] { Repack(h, archive, target, 1); }),
            "r.log, line 1: R.DAT has 2 entries, but only 1 lines follow its source line");
  h.ctx.LogPath.clear();

  const std::string huge = dir.File("huge.bin");
  WriteFile(huge, Bytes());
  std::filesystem::resize_file(huge, 268337152);
  h.ctx.LogLines = TextLines({"#Source: x", "#Target : " + huge, "#Target : " + huge});
  EXPECT_NE(
      ErrorText([&] { Repack(h, archive, target, 1); }).find(huge + ": entry files of 268337152"),
      std::string::npos);

  // Looked for in the output directory, beside the log, beside the archive.
  std::filesystem::remove(Out("XorTable.tbl"));
  EXPECT_EQ(ErrorText([&] { Repack(h, archive, target, 1); }),
            "Cannot open file " + Out("XorTable.tbl") + " (nor " + dir.File("XorTable.tbl") + ")");
  h.ctx.LogPath = dir.File("logs/result.log");
  EXPECT_EQ(ErrorText([&] { Repack(h, archive, target, 1); }),
            "Cannot open file " + Out("XorTable.tbl") + " (nor " + dir.File("logs/XorTable.tbl") +
                ", nor " + dir.File("XorTable.tbl") + ")");
  EXPECT_FALSE(std::filesystem::exists(target));

  // Beside the log being applied, where extraction left it.
  WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
  h.ctx.LogPath = dir.File("result.log");
  h.ctx.LogLines = TextLines({"#Source: x", "#Target : none", "#Target : " + dir.Path()});
  EXPECT_EQ(Repack(h, archive, target, 1),
            3u);  // a missing file and a directory: both carried over
  EXPECT_EQ(ReadFile(target).size() % 2048, 0u);
}

// Extract, edit, delete, repack into another directory, extract again.
TEST(ArchiveRoundTripTest, EditedEntriesComeBackAndDeletedOnesAreCarriedOver) {
  TempDir dir;
  Harness h;
  const std::string out = dir.SubDir("out"), out2 = dir.SubDir("out2"), out3 = dir.SubDir("out3");
  for (const std::string& d : {out, out3}) {
    WriteFile(JoinPath(d, "XorTable.tbl"), testing::SyntheticXorTable());
    WriteFile(JoinPath(d, "decodetable.tbl"), testing::SyntheticDictionary());
  }
  const Bytes story = testing::TextLikeData(80000, 21), menu = testing::TextLikeData(3000, 22);
  WriteFile(dir.File("GAME.DAT"),
            BuildArchive(
                {{"story.txt", story, true}, {"menu.txt", menu, true}, {"icon.tim", Bytes(700, 7)}},
                testing::SyntheticXorTable(), testing::SyntheticDictionary()));

  h.recorder.directoryReply = out;
  AddFilesToQueue(h.ctx, FileType::Grm, {dir.File("GAME.DAT")});
  ASSERT_EQ(RunBatch(h.ctx), BatchOutcome::Completed)
      << (h.recorder.errors.empty() ? "" : h.recorder.errors[0]);
  const std::string storyPath = JoinPath(JoinPath(out, "TXT"), "GAME_story.txt");
  WriteFile(storyPath, std::string("A new story."));
  std::filesystem::remove(JoinPath(JoinPath(out, "TXT"), "GAME_menu.txt"));
  WriteFile(JoinPath(JoinPath(out, "TIM"), "GAME_icon.tim"), Bytes(40000, 8));

  h.recorder.directoryReply = out2;
  AddFilesToQueue(h.ctx, FileType::Log, {JoinPath(out, "result.log")});
  ASSERT_EQ(RunBatch(h.ctx), BatchOutcome::Completed)
      << (h.recorder.errors.empty() ? "" : h.recorder.errors[0]);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"story.txt repacked.", "menu.txt repacked.",
                                      "icon.tim repacked."}));

  h.recorder.directoryReply = out3;
  AddFilesToQueue(h.ctx, FileType::Grm, {JoinPath(out2, "GAME.DAT")});
  ASSERT_EQ(RunBatch(h.ctx), BatchOutcome::Completed)
      << (h.recorder.errors.empty() ? "" : h.recorder.errors[0]);
  EXPECT_EQ(ReadFile(JoinPath(JoinPath(out3, "TXT"), "GAME_story.txt")), "A new story.");
  EXPECT_EQ(ReadFile(JoinPath(JoinPath(out3, "TXT"), "GAME_menu.txt")), Text(menu));
  EXPECT_EQ(ReadFile(JoinPath(JoinPath(out3, "TIM"), "GAME_icon.tim")), std::string(40000, 8));
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"story.txt extracted.", "menu.txt decompressed.",
                                      "icon.tim extracted."}));
}

TEST(ArchiveRoundTripTest, RebuildingIntoTheSourceDirectoryFailsAndKeepsTheSource) {
  TempDir dir;
  Harness h;
  WriteFile(dir.File("XorTable.tbl"), testing::SyntheticXorTable());
  const Bytes archive = BuildArchive({{"a.bin", Bytes(10, 1)}}, testing::SyntheticXorTable(), {});
  WriteFile(dir.File("G.DAT"), archive);
  WriteFile(dir.File("r.log"),
            "#Format: GRM\r\n#Source: " + dir.File("G.DAT") + "\r\n#Target : x\r\n");
  h.recorder.directoryReply = dir.Path();
  AddFilesToQueue(h.ctx, FileType::Log, {dir.File("r.log")});
  EXPECT_EQ(RunBatch(h.ctx), BatchOutcome::Failed);
  EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{"r.log, line 2: Cannot create file " +
                                                         dir.File("G.DAT") + "."}));
  EXPECT_EQ(ReadFile(dir.File("G.DAT")), Text(archive));
}

}  // namespace
}  // namespace tessary

namespace tessary {
namespace {

using testing::ArchiveEntry;

using testing::ArchiveBatchTest;

TEST_F(ArchiveBatchTest, TwoSameNamedArchivesRepackIntoTwoArchives) {
  const std::string a = PutArchive("a/ROOM.DAT", {{"talk.txt", Bytes(5, 'a')}});
  const std::string b = PutArchive("b/ROOM.DAT", {{"talk.txt", Bytes(7, 'b')}});
  ASSERT_EQ(Run(FileType::Grm, {a, b}, "out"), BatchOutcome::Completed);
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Completed);
  ASSERT_TRUE(h.recorder.errors.empty()) << h.recorder.errors.front();

  // The second archive went to "ROOM (2).DAT", and each holds its own entry.
  ASSERT_EQ(Run(FileType::Grm, {dir.File("out2/ROOM (2).DAT"), dir.File("out2/ROOM.DAT")}, "check"),
            BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("check/TXT/ROOM (2)_talk.txt")), std::string(7, 'b'));
  EXPECT_EQ(ReadFile(dir.File("check/TXT/ROOM_talk.txt")), std::string(5, 'a'));
}

TEST_F(ArchiveBatchTest, RebuildingOverTheSourceThroughALinkFailsAndKeepsIt) {
  const std::string source = PutArchive("src/G.DAT", {{"a.bin", Bytes(10, 1)}});
  const std::string before = ReadFile(source);
  ASSERT_EQ(Run(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  for (const bool symbolic : {true, false}) {
    const std::string link = dir.File("out2/G.DAT");
    std::filesystem::remove(link);
    std::error_code error;
    if (symbolic)
      std::filesystem::create_symlink(source, link, error);
    else
      std::filesystem::create_hard_link(source, link, error);
    if (error) continue;  // a system without such links (symbolic ones under Wine)
    EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Failed);
    EXPECT_EQ(h.recorder.errors,
              (std::vector<std::string>{"result.log, line 2: Cannot create file " + link + "."}));
    EXPECT_EQ(ReadFile(source), before);
    EXPECT_EQ(std::filesystem::is_symlink(link), symbolic);
  }
}

}  // namespace
}  // namespace tessary

namespace tessary {
namespace {

#ifndef _WIN32
using testing::ReadOnlyFile;

TEST_F(ArchiveBatchTest, AReadOnlySourceIsRepackedFromAReadOnlyOpen) {
  const std::string source = PutArchive("disc/ROOM.DAT", {{"a.txt", Bytes(9, 'a')}});
  ASSERT_EQ(Run(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  WriteFile(dir.File("out/TXT/ROOM_a.txt"), std::string("edited"));
  const ReadOnlyFile readOnly(source);
  if (!readOnly.Effective()) GTEST_SKIP() << "the file system cannot make the source read-only";
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Completed)
      << h.recorder.errors.front();
  ASSERT_EQ(Run(FileType::Grm, {dir.File("out2/ROOM.DAT")}, "check"), BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("check/TXT/ROOM_a.txt")), "edited");
}
#endif

TEST_F(ArchiveBatchTest, RepackTakesOnlyArchiveTargetLines) {
  const std::string source =
      PutArchive("src/ROOM.DAT",
                 {{"a.txt", Bytes(3, 'a')}, {"b.txt", Bytes(3, 'b')}, {"c.txt", Bytes(3, 'c')}});
  const std::string before = ReadFile(source);
  ASSERT_EQ(Run(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  const std::string log = ReadFile(dir.File("out/result.log"));
  WriteFile(dir.File("out2/ROOM.DAT"), std::string("an earlier rebuild"));

  const auto secondTarget = log.find("#Target : ", log.find("#Target : ") + 1);
  std::string comment = log;
  comment.insert(secondTarget, "# edited by hand\r\n");
  std::string doubled = log;  // CR CR LF: every line followed by an empty one
  for (std::size_t at = 0; (at = doubled.find("\r\n", at)) != std::string::npos; at += 3)
    doubled.insert(at, 1, '\r');
  std::string shortSection = log.substr(0, log.rfind("#Target : "));
  shortSection += "#Format: STIM\r\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {comment,
       "result.log, line 4: ROOM.DAT: entry 1 (b.txt) needs its line \"#Target : PATH\" here."},
      {doubled,
       "result.log, line 4: ROOM.DAT: entry 0 (a.txt) needs its line \"#Target : PATH\" here."},
      {shortSection,
       "result.log, line 5: ROOM.DAT: entry 2 (c.txt) needs its line \"#Target : PATH\" here."},
      {log.substr(0, log.rfind("#Target : ")),
       "result.log, line 2: ROOM.DAT has 3 entries, but only 2 lines follow its source line."},
  };
  for (const auto& [text, message] : cases) {
    WriteFile(dir.File("out/result.log"), text);
    EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Failed);
    EXPECT_EQ(h.recorder.errors, (std::vector<std::string>{message}));
    EXPECT_EQ(ReadFile(dir.File("out2/ROOM.DAT")), "an earlier rebuild");
    EXPECT_EQ(ReadFile(source), before);
  }
}

TEST_F(ArchiveBatchTest, ControlCharactersInNamesStayOutOfFileNamesAndLogLines) {
  const std::string source = PutArchive("ROOM.DAT", {{"a\rb.txt", Bytes(4, 'x')}, {"c\x7F", {1}}});
  ASSERT_EQ(Run(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"a_b.txt extracted.", "c_ extracted."}));
  EXPECT_EQ(ReadFile(dir.File("out/TXT/ROOM_a_b.txt")), "xxxx");
  EXPECT_EQ(TextLines(SplitLines(ReadFile(dir.File("out/result.log")))).Count(), 4u);

  WriteFile(dir.File("out/TXT/ROOM_a_b.txt"), std::string("edited"));
  ASSERT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Completed)
      << h.recorder.errors.front();
  const std::string rebuilt = ReadFile(dir.File("out2/ROOM.DAT"));
  const auto records = ReadEntryRecords(Bytes(rebuilt.begin(), rebuilt.end()), "ROOM.DAT");
  EXPECT_EQ(records[0].name, "a\rb.txt");  // the archive keeps the name
  ASSERT_EQ(Run(FileType::Grm, {dir.File("out2/ROOM.DAT")}, "check"), BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(dir.File("check/TXT/ROOM_a_b.txt")), "edited");
}

TEST_F(ArchiveBatchTest, ARebuildWhoseOffsetsPass32BitsIsRefusedBeforeItIsCreated) {
  // 130 entry files of 268 MB (sparse) need more than the 32 GiB that the
  // offsets, in units of 8, can reach.
  std::vector<ArchiveEntry> entries;
  for (int e = 0; e < 130; ++e) {
    std::string name = "e";
    name += std::to_string(e);
    name += ".bin";
    entries.push_back({name, {1}});
  }
  const std::string source = PutArchive("src/BIG.DAT", entries);
  ASSERT_EQ(Run(FileType::Grm, {source}, "out"), BatchOutcome::Completed);
  for (int e = 0; e < 130; ++e)
    std::filesystem::resize_file(dir.File("out/BIN/BIG_e" + std::to_string(e) + ".bin"), 268000000);
  EXPECT_EQ(Run(FileType::Log, {dir.File("out/result.log")}, "out2"), BatchOutcome::Failed);
  EXPECT_EQ(h.recorder.errors,
            (std::vector<std::string>{
                "result.log, line 132: BIG.DAT: entry 129 (e129.bin): the rebuilt archive would "
                "place it at byte 34580625408, past what its 32-bit offset can reach."}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out2/BIG.DAT")));
}

}  // namespace
}  // namespace tessary
