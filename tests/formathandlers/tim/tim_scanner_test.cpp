// SearchTims: the stepping rule, the candidate tests, names, log lines, counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "formathandlers/tim/tim_layout.h"
#include "formathandlers/tim/tim_scan_core.h"
#include "formathandlers/tim/tim_scanner.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/paths.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using testing::BuildTim;
using testing::Harness;
using testing::ReadFile;
using testing::TempDir;
using testing::TimShape;
using Bytes = std::vector<std::uint8_t>;

const Bytes kGap = {0, 0, 0, 0};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

class SearchTimsTest : public ::testing::Test {
 protected:
  void SetUp() override { h.ctx.OutputDirectory = dir.SubDir("out"); }

  // Writes `bytes` as `name` and searches it.
  void Search(const Bytes& bytes, const std::string& name = "ROOM1.DAT") {
    source = dir.File(name);
    testing::WriteFile(source, bytes);
    SearchTims(h.ctx, source);
  }
  std::string Out(const std::string& name) const { return JoinPath(h.ctx.OutputDirectory, name); }
  std::vector<std::string> Results() const { return h.ctx.Status.Results(); }

  TempDir dir;
  Harness h;
  std::string source;
};

TEST_F(SearchTimsTest, MinimalFourBitTimIsFoundWhole) {
  const Bytes tim = BuildTim({});
  ASSERT_EQ(tim.size(), 66u);
  Search(tim);
  EXPECT_EQ(Results(), (std::vector<std::string>{"ROOM1_0.tim extracted.", "1 TIM's found."}));
  ASSERT_EQ(h.ctx.ResultLog.Count(), 1u);
  EXPECT_EQ(h.ctx.ResultLog.Get(0), "#Target TIM: 00000000:00000042 " + Out("ROOM1_0.tim"));
  EXPECT_EQ(ReadFile(Out("ROOM1_0.tim")), std::string(tim.begin(), tim.end()));
  EXPECT_EQ(h.ctx.Status.ExtractedCaption(), "Extracted 1");
  EXPECT_EQ(h.ctx.Status.CurrentMessage(), "Searching in ROOM1.DAT ...");
}

TEST_F(SearchTimsTest, AnIdWordAfterNonZeroBytesIsSteppedOver) {
  Search(Concat({{0x00, 0x01, 0x02, 0x03}, BuildTim({})}));
  EXPECT_EQ(Results(), (std::vector<std::string>{"0 TIM's found."}));
  EXPECT_EQ(h.ctx.ResultLog.Count(), 0u);

  // A zero byte right before the ID word: it is always reached.
  h.ctx.ResultLog.Clear();
  Search(Concat({{0x07, 0x07, 0x07, 0x00}, BuildTim({})}));
  ASSERT_EQ(h.ctx.ResultLog.Count(), 1u);
  EXPECT_EQ(h.ctx.ResultLog.Get(0).substr(13, 18), "00000004:00000042 ");
}

TEST_F(SearchTimsTest, SmallFilesAreNotScanned) {
  Search(Bytes{0x10, 0, 0, 0, 0x08, 0, 0, 0, 0x2C, 0, 0, 0});
  EXPECT_EQ(Results(), (std::vector<std::string>{"0 TIM's found."}));
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Progress).position, 0);
}

TEST_F(SearchTimsTest, RejectedCandidatesResumeFourBytesOn) {
  // The ID word of the TIM at 4 is also the flags word of the ID at 0, with a
  // reserved bit set: the ID at 0 is rejected and the TIM at 4 is found.
  Search(Concat({{0x10, 0, 0, 0}, BuildTim({})}));
  ASSERT_EQ(h.ctx.ResultLog.Count(), 1u);
  EXPECT_EQ(h.ctx.ResultLog.Get(0).substr(13, 8), "00000004");

  // A CLUT block of exactly 12 bytes, or of fewer, rejects the candidate.
  for (std::uint8_t clutLength : {12, 4, 0}) {
    h.ctx.ResultLog.Clear();
    Bytes tim = BuildTim({});
    tim[8] = clutLength;
    Search(Concat({tim, kGap, BuildTim({})}));
    ASSERT_EQ(h.ctx.ResultLog.Count(), 1u) << int(clutLength);
    EXPECT_EQ(h.ctx.ResultLog.Get(0).substr(13, 8), "00000046") << int(clutLength);
  }
}

TEST_F(SearchTimsTest, AnImageBlockPastTheEndEndsTheWholeScan) {
  Bytes bad = BuildTim({});
  bad[9] = 0x10;  // CLUT length 0x102C: the image block lies past the end
  Search(Concat({BuildTim({}), bad, kGap, BuildTim({})}));
  EXPECT_EQ(Results(), (std::vector<std::string>{"ROOM1_0.tim extracted.", "1 TIM's found."}));
}

TEST_F(SearchTimsTest, AnImageRunningPastTheEndIsRejectedNotRead) {
  Bytes truncated = BuildTim({.width = 8, .height = 8});
  truncated.resize(truncated.size() - 1);
  Search(Concat({BuildTim({}), truncated}));
  EXPECT_EQ(Results(), (std::vector<std::string>{"ROOM1_0.tim extracted.", "1 TIM's found."}));
}

TEST_F(SearchTimsTest, PixelModesAndRowSizes) {
  Search(
      Concat({BuildTim({.mode = 1, .clutEntries = 256, .width = 3, .height = 2}), kGap,
              BuildTim({.mode = 2, .clutEntries = 0, .width = 2, .height = 2}), kGap,
              BuildTim({.mode = 3, .clutEntries = 0, .width = 5, .height = 1}), kGap,
              BuildTim(
                  {.mode = 3, .clutEntries = 0, .width = 5, .height = 1, .rowsOf16BitUnits = true}),
              kGap, BuildTim({.mode = 4, .clutEntries = 0}), kGap,
              BuildTim({.mode = 2, .clutEntries = 0, .width = 0, .height = 0})}),
      "FILE.EXT.BAK");
  EXPECT_EQ(Results(), (std::vector<std::string>{"FILE_0.tim extracted.", "FILE_1.tim extracted.",
                                                 "FILE_2.tim extracted.", "FILE_3.tim extracted.",
                                                 "4 TIM's found."}));
  EXPECT_EQ(h.ctx.Status.ExtractedCaption(), "Extracted 4");
  EXPECT_EQ(ReadFile(Out("FILE_3.tim")).size(), 20u);  // the empty image block
}

// Images as other tools write them: found, and marked, only by a lenient
// search; the default search passes over them as before.
TEST_F(SearchTimsTest, ALenientSearchAlsoFindsOddImagesAndMarksThem) {
  const auto withImageLength = [](Bytes tim, std::uint32_t length) {
    StoreU32(tim.data() + 8 + LoadU32(tim.data() + 8), length);  // after the CLUT block
    return tim;
  };
  const Bytes filler(36, 0xA5);  // words the scan steps over
  const Bytes odd[] = {
      BuildTim({.mode = 1, .clutEntries = 16, .width = 2, .height = 2, .extraFlags = 0x0028F600}),
      withImageLength(BuildTim({.mode = 1, .clutEntries = 16, .width = 2, .height = 2}), 12 + 64),
      withImageLength(BuildTim({.mode = 0, .clutEntries = 16, .width = 2, .height = 3}), 12),
      BuildTim({.mode = 3, .clutEntries = 0, .width = 3, .height = 2, .rowsOf16BitUnits = true}),
  };
  const Bytes file = Concat({filler, BuildTim({}), filler, odd[0], filler, odd[1], filler, odd[2],
                             filler, odd[3], filler});
  Search(file);
  EXPECT_EQ(Results(), (std::vector<std::string>{"ROOM1_0.tim extracted.", "1 TIM's found."}));
  h.ctx.LenientSearch = true;
  Search(file, "ROOM2.DAT");
  const std::vector<std::string> all = Results();
  ASSERT_EQ(all.size(), 2u + 6u);
  const std::vector<std::string> lenient(all.begin() + 2, all.end());
  EXPECT_EQ(lenient,
            (std::vector<std::string>{
                "ROOM2_0.tim extracted.", "ROOM2_1.tim extracted. (lenient: stray flags bits)",
                "ROOM2_2.tim extracted. (lenient: image block length disagrees with its "
                "rows)",
                "ROOM2_3.tim extracted. (lenient: image block length disagrees with its "
                "rows)",
                "ROOM2_4.tim extracted. (lenient: standard 24-bit layout)", "5 TIM's found."}));
  for (int i = 0; i < 4; ++i)  // each found whole: its rows decide its length
    EXPECT_EQ(ReadFile(Out("ROOM2_" + std::to_string(i + 1) + ".tim")).size(), odd[i].size());
}

TEST_F(SearchTimsTest, NamesWithoutADotAndNumberingPerFile) {
  Search(Concat({BuildTim({}), BuildTim({}), BuildTim({})}), "NODOT");
  EXPECT_TRUE(std::filesystem::exists(Out("_2.tim")));
  Search(BuildTim({}), "NEXT.BIN");
  EXPECT_EQ(h.ctx.Status.Results().back(), "1 TIM's found.");
  EXPECT_TRUE(std::filesystem::exists(Out("NEXT_0.tim")));
  EXPECT_EQ(h.ctx.ResultLog.Count(), 4u);  // log lines accumulate over the batch
}

TEST_F(SearchTimsTest, ProgressFollowsTheFormulaAndMissingFilesFail) {
  Search(Bytes(1000, 0));  // the last pass stands at 988: 988 * 100 / 991
  EXPECT_EQ(h.ctx.Status.BarOf(Bar::Progress).position, 99);
  EXPECT_THROW(SearchTims(h.ctx, dir.File("missing.bin")), FileError);
}

// The scan rule written out plainly, one position at a time: the images found
// and every position visited.
struct Reference {
  std::vector<std::uint64_t> found;
  std::vector<std::uint64_t> visited;
};

Reference ReferenceScan(const Bytes& data) {
  Reference r;
  if (data.size() <= 12) return r;
  std::uint64_t o = 0;
  while (o < data.size() - 12) {
    r.visited.push_back(o);
    const std::uint32_t v = LoadU32(data.data() + o);
    if (v == 0x10) {
      const auto probe = ProbeTim(data, o);
      if (probe.outcome == TimProbe::EndOfScan) break;
      if (probe.outcome == TimProbe::Accepted) {
        r.found.push_back(o);
        o += probe.totalLength;
      } else {
        o += 4;
      }
    } else if (v == 0) {
      o += 4;
    } else {
      for (int b = 0; b < 4; ++b) o += ((v >> (8 * b)) & 0xFF) != 0 ? 1 : 0;
    }
  }
  return r;
}

// Bytes like a game file's: runs of small 32-bit and 16-bit integers (ID words
// among them), noise, text without zeros, and zeros, so that the scan both
// passes stretches whose walks meet and stretches where they stay apart.
Bytes GameLikeBytes(std::mt19937& random, std::size_t size) {
  Bytes data(size);
  for (std::size_t i = 0; i < size;) {
    const std::size_t run = std::min<std::size_t>(1 + random() % 700, size - i);
    const auto kind = random() % 5;
    for (std::size_t k = 0; k < run; ++k) {
      const std::size_t at = i + k;
      data[at] = kind == 0   ? (at % 4 == 0 ? static_cast<std::uint8_t>(random() % 20) : 0)
                 : kind == 1 ? (at % 2 == 0 ? static_cast<std::uint8_t>(random()) : random() % 4)
                 : kind == 2 ? static_cast<std::uint8_t>(random())
                 : kind == 3 ? static_cast<std::uint8_t>('a' + random() % 26)
                             : 0;
    }
    i += run;
  }
  return data;
}

TEST(TimScannerTest, FastScanAgreesWithThePlainRule) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    const bool gameLike = round % 2 == 1;
    Bytes data = gameLike ? GameLikeBytes(random, random() % 12000)
                          : Bytes(static_cast<std::size_t>(random() % 3000));
    if (!gameLike)
      for (auto& b : data) b = (random() % 3 == 0) ? 0 : static_cast<std::uint8_t>(random());
    for (int k = 0; k < 4 && data.size() > 200; ++k) {
      const Bytes tim = BuildTim({.mode = static_cast<std::uint32_t>(random() % 4),
                                  .clutEntries = static_cast<int>(random() % 3) * 16,
                                  .width = static_cast<std::uint16_t>(random() % 6),
                                  .height = static_cast<std::uint16_t>(random() % 4)});
      const std::size_t at = random() % (data.size() - 100);
      std::copy_n(tim.begin(), std::min(tim.size(), data.size() - at), data.begin() + at);
    }
    for (int k = 0; k < 40 && data.size() > 16; ++k) {  // ID words, flags good or bad
      const std::size_t at = random() % (data.size() - 8);
      StoreU32(data.data() + at, 0x10);
      StoreU32(data.data() + at + 4, random() % 2 ? random() : random() % 16);
    }
    const Reference reference = ReferenceScan(data);
    std::vector<std::uint64_t> fast;
    SpanSource source(data);
    TimScanner scanner(source);
    while (!scanner.Finished()) {
      // Short stretches, and long ones in which walks can be skipped.
      const std::uint64_t stop = scanner.Position() + 1 + random() % (random() % 2 ? 64 : 8000);
      if (const auto hit = scanner.Next(stop)) {
        ASSERT_LE(hit->offset + hit->length, data.size());
        fast.push_back(hit->offset);
      } else if (!scanner.Finished()) {
        const auto next =
            std::lower_bound(reference.visited.begin(), reference.visited.end(), stop);
        ASSERT_TRUE(next != reference.visited.end() && *next == scanner.Position())
            << "round " << round << ", stopped at " << scanner.Position() << " for " << stop;
      }
    }
    ASSERT_EQ(fast, reference.found) << "round " << round;
  }
}

// The same scan through a file read in small windows, so that words, probes
// and images straddle window edges.
TEST(TimScannerTest, AFileReadInWindowsScansLikeMemory) {
  std::mt19937 random(11);
  testing::TempDir dir;
  for (int round = 0; round < 40; ++round) {
    Bytes data(static_cast<std::size_t>(200 + random() % 3000));
    for (auto& b : data) b = (random() % 2 == 0) ? 0 : static_cast<std::uint8_t>(random());
    for (int k = 0; k < 6; ++k) {
      const Bytes tim = BuildTim({.mode = static_cast<std::uint32_t>(random() % 4),
                                  .clutEntries = static_cast<int>(random() % 3) * 16,
                                  .width = static_cast<std::uint16_t>(random() % 6),
                                  .height = static_cast<std::uint16_t>(random() % 4)});
      const std::size_t at = random() % (data.size() - 150);
      data[at - (at > 0 ? 1 : 0)] = 0;
      std::copy_n(tim.begin(), std::min(tim.size(), data.size() - at), data.begin() + at);
    }
    testing::WriteFile(dir.File("w.bin"), data);
    FileStream file = FileStream::OpenRead(dir.File("w.bin"));
    FileSource source(file, 32 + random() % 70);
    TimScanner scanner(source);
    std::vector<std::uint64_t> found;
    while (!scanner.Finished()) {
      if (const auto hit = scanner.Next(scanner.Position() + 1 + random() % 500))
        found.push_back(hit->offset);
    }
    ASSERT_EQ(found, ReferenceScan(data).found) << "round " << round;
  }
#ifndef _WIN32  // there a file being read cannot be cut
  // A file cut by another program while it is scanned is a read error, not a
  // window shorter than the scan was promised.
  testing::WriteFile(dir.File("cut.bin"), Bytes(5000, 0x41));
  FileStream file = FileStream::OpenRead(dir.File("cut.bin"));
  FileSource source(file, 64);
  TimScanner scanner(source);
  std::filesystem::resize_file(dir.File("cut.bin"), 100);
  EXPECT_EQ(testing::ErrorText([&] {
              while (!scanner.Finished()) scanner.Next(scanner.Position() + 1000);
            }),
            "Stream read error (" + dir.File("cut.bin") + ")");
#endif
}

}  // namespace
}  // namespace tessary

namespace tessary {
namespace {

// A batch of the driver, with the scan and insertion handlers in place.
using TimBatchTest = testing::BatchTest;

TEST_F(TimBatchTest, AStopInsideAScanKeepsWhatWasFoundAndEndsTheFile) {
  // Two images 3 MiB apart: the scan passes the event pump between them.
  Bytes data = BuildTim({});
  data.resize(3 << 20, 0);
  const Bytes second = BuildTim({.mode = 1, .clutEntries = 256, .width = 2, .height = 2});
  data.insert(data.end(), second.begin(), second.end());
  const std::string source = Put("BIG.BIN", data);
  h.recorder.onPump = [this] { h.ctx.RequestStop(); };

  EXPECT_EQ(RunClean(FileType::Stim, {source}, "out"), BatchOutcome::Stopped);
  EXPECT_EQ(
      h.ctx.Status.Results(),
      (std::vector<std::string>{"BIG_0.tim extracted.", "1 TIM's found.", "Stopped by user."}));
  EXPECT_TRUE(std::filesystem::exists(dir.File("out/BIG_0.tim")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/BIG_1.tim")));
  const std::string log = ReadFile(dir.File("out/result.log"));
  EXPECT_NE(log.find("#Target TIM: 00000000:00000042 " + dir.File("out/BIG_0.tim")),
            std::string::npos);
}

TEST_F(TimBatchTest, SameNamedInputsGetTheirOwnOutputsAndRoundTripIntoTheirOwnSources) {
  const Bytes timA = BuildTim({.mode = 2, .clutEntries = 0, .width = 2, .height = 1});
  const Bytes timB = BuildTim({.mode = 2, .clutEntries = 0, .width = 3, .height = 1});
  const std::string a = Put("a/GAME.BIN", Concat({kGap, timA}));
  const std::string b = Put("b/GAME.BIN", Concat({kGap, kGap, timB}));
  ASSERT_EQ(RunClean(FileType::Stim, {a, b}, "found"), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"GAME_0.tim extracted.", "1 TIM's found.",
                                      "GAME_0 (2).tim extracted.", "1 TIM's found."}));
  EXPECT_EQ(ReadFile(dir.File("found/GAME_0.tim")), std::string(timA.begin(), timA.end()));
  EXPECT_EQ(ReadFile(dir.File("found/GAME_0 (2).tim")), std::string(timB.begin(), timB.end()));

  // Edit one pixel of each image, then replay the log.
  Bytes editedA = timA, editedB = timB;
  editedA.back() = 0xAA;
  editedB.back() = 0xBB;
  testing::WriteFile(dir.File("found/GAME_0.tim"), editedA);
  testing::WriteFile(dir.File("found/GAME_0 (2).tim"), editedB);
  ASSERT_EQ(RunClean(FileType::Log, {dir.File("found/result.log")}, "inserted"),
            BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(a),
            std::string(kGap.begin(), kGap.end()) + std::string(editedA.begin(), editedA.end()));
  EXPECT_EQ(ReadFile(b), std::string(8, '\0') + std::string(editedB.begin(), editedB.end()));
}

// The same file queued twice, under two path forms, is searched once: an
// unedited second copy of its images cannot undo the edit on replay.
TEST_F(TimBatchTest, AnInputGivenTwiceIsProcessedOnceAndItsEditIsKept) {
  const Bytes tim = BuildTim({.mode = 2, .clutEntries = 0, .width = 2, .height = 1});
  const std::string path = Put("SCENE.BIN", Concat({kGap, tim}));
  const std::string again = JoinPath(JoinPath(dir.Path(), "."), "SCENE.BIN");
  ASSERT_EQ(RunClean(FileType::Stim, {path, again}, "found"), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"SCENE_0.tim extracted.", "1 TIM's found.",
                                      "SCENE.BIN: already in this batch, processed once."}));
  Bytes edited = tim;
  edited.back() = 0xEE;
  testing::WriteFile(dir.File("found/SCENE_0.tim"), edited);
  ASSERT_EQ(RunClean(FileType::Log, {dir.File("found/result.log"), dir.File("found/result.log")},
                     "inserted"),
            BatchOutcome::Completed);
  EXPECT_EQ(ReadFile(path),
            std::string(kGap.begin(), kGap.end()) + ReadFile(dir.File("found/SCENE_0.tim")));
  EXPECT_EQ(h.ctx.Status.Results().back(), "result.log: already in this batch, processed once.");
}

// A found image replaced by a folder is refused while planning: the image
// before it in the log is not written either.
TEST_F(TimBatchTest, AFoundImageThatIsNoLongerAFileStopsTheWholeWriteBack) {
  const Bytes tim = BuildTim({});
  const std::string path = Put("TWO.BIN", Concat({tim, tim}));
  ASSERT_EQ(RunClean(FileType::Stim, {path}, "found"), BatchOutcome::Completed);
  Bytes edited = tim;
  edited.back() = 0xEE;
  testing::WriteFile(dir.File("found/TWO_0.tim"), edited);
  std::filesystem::remove(dir.File("found/TWO_1.tim"));
  std::filesystem::create_directory(dir.File("found/TWO_1.tim"));
  EXPECT_EQ(Run(FileType::Log, {dir.File("found/result.log")}, "inserted"), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "result.log, line 4: Cannot open file " + dir.File("found/TWO_1.tim") + ".");
  const Bytes both = Concat({tim, tim});
  EXPECT_EQ(ReadFile(path), std::string(both.begin(), both.end()));  // nothing written
}

// Offsets in the log have eight hexadecimal digits: images at or beyond 4 GiB
// are left out, and counted. The file is sparse: its holes take no disk.
TEST_F(TimBatchTest, ImagesAtOrBeyondFourGibAreLeftOutAndCounted) {
  const Bytes tim = BuildTim({});
  const std::string path = dir.File("HUGE.BIN");
  {
    testing::WriteFile(path, tim);
    std::filesystem::resize_file(path, (std::uint64_t{1} << 32) + 200);
    FileStream file = FileStream::OpenReadWrite(path);
    for (const std::uint64_t at : {(std::uint64_t{1} << 32) - 40, (std::uint64_t{1} << 32) + 100}) {
      file.Seek(at);
      file.Write(tim);
    }
  }
  EXPECT_EQ(RunClean(FileType::Stim, {path}, "out"), BatchOutcome::Completed);
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"HUGE_0.tim extracted.", "1 TIM's found.",
                                      "2 TIM's beyond 4 GiB left out."}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/HUGE_1.tim")));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tessary
