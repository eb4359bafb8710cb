// The file layer: line endings, exact error texts, stream semantics and locks.
#include <gtest/gtest.h>

#include <algorithm>

#include "misc/byte_buffer.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/line_reader.h"
#include "misc/mapped_file.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"
#include "tests/test_support.h"

namespace tessary {
namespace {

using testing::ErrorText;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(TextLinesTest, EveryLineEndingEndsALine) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\r\nb\r\r"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitLines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(SplitLines("").empty());
  // LF CR is two endings, not one.
  EXPECT_EQ(SplitLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(TextLinesTest, WritesCrLfAfterEveryLineAndKeepsBytes) {
  TempDir dir;
  const std::string eightBit = "caf\xE9 \x80\xFF";
  TextLines lines({"first", "", eightBit});
  lines.SaveToFile(dir.File("x.txt"));
  EXPECT_EQ(ReadFile(dir.File("x.txt")), "first\r\n\r\n" + eightBit + "\r\n");
  TextLines back;
  back.LoadFromFile(dir.File("x.txt"));
  EXPECT_EQ(back.Lines(), lines.Lines());
  // A UTF-8 byte-order mark at the start is skipped; anywhere else it is text.
  WriteFile(dir.File("bom.txt"), "\xEF\xBB\xBF(Hi)\r\n\xEF\xBB\xBF(Yo)\r\n");
  back.LoadFromFile(dir.File("bom.txt"));
  EXPECT_EQ(back.Lines(), (std::vector<std::string>{"(Hi)", "\xEF\xBB\xBF(Yo)"}));
  // A line writer writes the same bytes.
  LineWriter writer(dir.File("w.txt"));
  for (const auto& line : lines.Lines()) writer.Add(line);
  EXPECT_FALSE(PathExists(dir.File("w.txt")));  // complete files only
  writer.Commit();
  EXPECT_EQ(ReadFile(dir.File("w.txt")), ReadFile(dir.File("x.txt")));
}

TEST(TextLinesTest, IndexPastTheEndNamesTheIndex) {
  TextLines lines({"only"});
  EXPECT_EQ(ErrorText([&] { lines.Get(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorText([&] { lines.Set(7, "x"); }), "List index out of bounds (7)");
}

TEST(FileStreamTest, ErrorTextsAreTheFileLayersOwn) {
  TempDir dir;
  const std::string missing = dir.File("missing.bin");
  EXPECT_EQ(ErrorText([&] { FileStream::OpenRead(missing); }), "Cannot open file " + missing);
  EXPECT_EQ(ErrorText([&] { FileStream::OpenReadWrite(missing); }), "Cannot open file " + missing);
  const std::string inNowhere = dir.File("no/such/dir/x.bin");
  EXPECT_EQ(ErrorText([&] { SaveBytes(inNowhere, {}); }), "Cannot create file " + inNowhere);
  EXPECT_EQ(ErrorText([&] { LoadBytes(missing); }), "Cannot open file " + missing);
  EXPECT_EQ(ErrorText([&] { SaveBytes(dir.Path(), {}); }), "Cannot create file " + dir.Path());
  EXPECT_EQ(ErrorText([&] { FileStream::OpenRead(dir.Path()); }), "Cannot open file " + dir.Path());
}

TEST(FileStreamTest, ShortReadRaisesStreamReadError) {
  TempDir dir;
  WriteFile(dir.File("a.bin"), std::string("abc"));
  FileStream file = FileStream::OpenRead(dir.File("a.bin"));
  std::uint8_t out[4];
  EXPECT_EQ(ErrorText([&] { file.ReadExact(out); }),
            "Stream read error (" + dir.File("a.bin") + ")");
  file.Seek(1);
  EXPECT_EQ(file.ReadSome(out), 2u);
  EXPECT_EQ(out[0], 'b');
}

TEST(FileStreamTest, WriteExtendsAndTruncateCuts) {
  TempDir dir;
  WriteFile(dir.File("w.bin"), std::string());
  {
    FileStream file = FileStream::OpenReadWrite(dir.File("w.bin"));
    const std::uint8_t bytes[] = {'1', '2', '3', '4'};
    file.Write(bytes);
    file.Seek(6);
    file.Write(bytes);
    EXPECT_EQ(file.Size(), 10u);
    file.Seek(5);
    file.Truncate();
  }
  EXPECT_EQ(ReadFile(dir.File("w.bin")), std::string("1234\0", 5));
}

TEST(FileStreamTest, CopyFromCopiesACountOrTheWholeSource) {
  TempDir dir;
  WriteFile(dir.File("src.bin"), std::string("ABCDEFGH"));
  WriteFile(dir.File("dst.bin"), std::string("xxxxxxxxxx"));
  FileStream source = FileStream::OpenRead(dir.File("src.bin"));
  {
    FileStream target = FileStream::OpenReadWrite(dir.File("dst.bin"));
    source.Seek(2);
    target.Seek(1);
    target.CopyFrom(source, 3);
    target.Seek(5);
    target.CopyFrom(source, 0);  // a count of 0: the whole source from its start
  }
  EXPECT_EQ(ReadFile(dir.File("dst.bin")), "xCDExABCDEFGH");
}

TEST(FileStreamTest, CopyFromAShortSourceWritesWhatItHasThenFails) {
  TempDir dir;
  WriteFile(dir.File("src.bin"), std::string("AB"));
  WriteFile(dir.File("dst.bin"), std::string("xxxx"));
  FileStream source = FileStream::OpenRead(dir.File("src.bin"));
  {
    FileStream target = FileStream::OpenReadWrite(dir.File("dst.bin"));
    EXPECT_EQ(ErrorText([&] { target.CopyFrom(source, 4); }),
              "Stream read error (" + dir.File("src.bin") + ")");
  }
  EXPECT_EQ(ReadFile(dir.File("dst.bin")), "ABxx");
}

TEST(FileStreamTest, AReadWriteOpenHoldsTheFileAlone) {
  TempDir dir;
  const std::string path = dir.File("held.dat");
  WriteFile(path, std::string("keep me"));
  {
    FileStream held = FileStream::OpenReadWrite(path);
    EXPECT_EQ(ErrorText([&] { SaveBytes(path, {}); }), "Cannot create file " + path);
    EXPECT_EQ(ErrorText([&] { FileStream::OpenRead(path); }), "Cannot open file " + path);
    EXPECT_EQ(ErrorText([&] { MappedFile mapped(path); }), "Cannot open file " + path);
  }
  EXPECT_EQ(ReadFile(path), "keep me");  // the failed create truncated nothing
  FileStream reader1 = FileStream::OpenRead(path);
  FileStream reader2 = FileStream::OpenRead(path);  // readers share
  EXPECT_EQ(ErrorText([&] { FileStream::OpenReadWrite(path); }), "Cannot open file " + path);
}

TEST(MappedFileTest, MapsWholeFilesIncludingEmptyOnesEitherWay) {
  TempDir dir;
  WriteFile(dir.File("e.bin"), std::string());
  WriteFile(dir.File("f.bin"), std::string("xyz"));
  for (const auto use : {MappedFile::Use::Through, MappedFile::Use::Scattered}) {
    EXPECT_TRUE(MappedFile(dir.File("e.bin"), use).Bytes().empty());
    MappedFile mapped(dir.File("f.bin"), use);
    ASSERT_EQ(mapped.Bytes().size(), 3u);
    EXPECT_EQ(mapped.Bytes()[2], 'z');
    mapped.Release();  // the bytes stay readable
    EXPECT_EQ(std::string(mapped.Bytes().begin(), mapped.Bytes().end()), "xyz");
  }
}

// Read a few bytes at a time, the reader finds the lines TextLines finds, at
// their places in the file: endings split across reads, a CR LF cut between
// two reads, lines longer than a read, a byte-order mark, no last ending.
TEST(LineReaderTest, FindsTheLinesOfTextLinesAtTheirOffsets) {
  TempDir dir;
  const std::string longLine(100, 'x');
  const std::vector<std::string> texts = {
      "",
      "\r\n",
      "a\r\nb\rc\nd",
      "a\n\r\nb\r\r",
      "abcdefghijklmno\r\nxyz",
      "abcdefghijklmnop\r\n",
      "\xEF\xBB\xBF"
      "one\r\ntwo",
      "\xEF\xBB\xBF",
      "\xEF\xBB",
      longLine + "\r" + longLine,
      std::string(15, 'a') + "\r" + "\n" + std::string(31, 'b') + "\r"};
  for (const std::string& text : texts) {
    WriteFile(dir.File("t.txt"), text);
    const std::vector<std::string> expected = SplitLines(WithoutByteOrderMark(text));
    for (const std::size_t window : {std::size_t{16}, std::size_t{17}, std::size_t{1} << 20}) {
      FileStream file = FileStream::OpenRead(dir.File("t.txt"));
      LineReader reader(file, window);
      LineReader::Line line;
      std::vector<std::string> found;
      std::uint64_t expectedOffset = text.starts_with(kUtf8ByteOrderMark) ? 3 : 0;
      while (reader.Next(line)) {
        found.emplace_back(line.text);
        EXPECT_EQ(line.offset, expectedOffset);
        EXPECT_EQ(text.substr(line.offset, line.text.size()), line.text);
        expectedOffset = line.next;
      }
      EXPECT_EQ(expectedOffset, text.size());
      EXPECT_EQ(found, expected) << "window " << window << ", text " << text.size() << " bytes";
    }
  }
}

TEST(ByteReaderTest, ReadsLittleEndianAndRefusesReadsPastTheEnd) {
  const std::uint8_t bytes[] = {0x10, 0x00, 0x00, 0x00, 0x34, 0x12};
  ByteReader reader(bytes, "X.BIN");
  EXPECT_EQ(reader.U32(0), 0x10u);
  EXPECT_EQ(reader.U16(4), 0x1234u);
  EXPECT_EQ(ErrorText([&] { reader.U32(3); }),
            "X.BIN: 4 bytes at offset 3 lie past the end of the data (6 bytes)");
  EXPECT_FALSE(reader.Has(~0ull, 2));  // no wrap-around in the bounds test
}

TEST(PathsTest, JoinsWithOneSeparatorAndCutsNames) {
  EXPECT_EQ(JoinPath("out", "a.tim"), std::string("out") + kPathSeparator + "a.tim");
  EXPECT_EQ(FileNameOf(JoinPath("dir", "ROOM1.DAT")), "ROOM1.DAT");
  EXPECT_EQ(BaseBeforeFirstDot("FILE.EXT.BAK"), "FILE");
  EXPECT_EQ(BaseBeforeFirstDot("NODOT"), "");
  EXPECT_EQ(BaseBeforeFirstDot(".hidden"), "");
  EXPECT_EQ(WithFullStop("Stream read error"), "Stream read error.");
  EXPECT_EQ(WithFullStop("Done."), "Done.");
}

// Paths written relative to a log's folder: only those sharing a folder below
// the root with it, and never one whose name holds a "\" where that is no
// separator (it would be read back as one).
TEST(PathsTest, RelativeOnlyWithinAFolderTheyShare) {
  const std::string root = PathText(std::filesystem::current_path().root_path());
  const std::string out = root + "home/me/p/out";
  EXPECT_EQ(RelativeFrom(out, root + "home/me/p/game/X.DAT"), "../game/X.DAT");
  EXPECT_EQ(RelativeFrom(out, root + "home/me/p/out/TIM/A.tim"), "TIM/A.tim");
  EXPECT_EQ(RelativeFrom(out, root + "mnt/disc/X.DAT"), root + "mnt/disc/X.DAT");
  EXPECT_EQ(RelativeFrom(out, "game/X.DAT"), "game/X.DAT");
  if (kPathSeparator == '/') {
    EXPECT_EQ(RelativeFrom(out, out + "/TXT/G_sub\\x.txt"), out + "/TXT/G_sub\\x.txt");
  }
}

}  // namespace
}  // namespace tessary
