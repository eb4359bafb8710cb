// TIM images as bitmaps: the row helpers, LoadTimBitmap, TimToBmp and BmpToTim
// with their round trips and the checks made before a TIM is rewritten.
#include <gtest/gtest.h>

#include <filesystem>

#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
#include "formathandlers/tim/tim_bitmap.h"
#include "misc/byte_reader.h"
#include "misc/paths.h"
#include "tests/batch_fixture.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BuildTim;
using testing::ErrorText;
using testing::ReadFile;
using testing::WriteFile;

std::string Text(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(TimRowHelpersTest, SwapsAndClutExpansion) {
  Bytes nibbles = {0x21, 0xF0};
  SwapNibbles(nibbles);
  EXPECT_EQ(nibbles, (Bytes{0x12, 0x0F}));
  Bytes words = {0x1F, 0x80, 0x00, 0x7C};  // red with STP, blue
  SwapRedBlue16(words);
  EXPECT_EQ(LoadU16(words.data()), 0x7C00u);
  EXPECT_EQ(LoadU16(words.data() + 2), 0x001Fu);
  Bytes triple = {0x10, 0x20, 0x30, 0x40};
  SwapRedBlue24(triple);
  EXPECT_EQ(triple, (Bytes{0x30, 0x20, 0x10, 0x40}));

  ByteBuffer clut = {0xFF, 0x7F, 0x1F, 0x00, 0x00, 0x7C, 0xAB};  // odd last byte ignored
  ExpandClut(clut);
  EXPECT_EQ(clut, (Bytes{248, 248, 248, 0, 0, 248, 248, 0, 0}));  // blue, green, red
  const auto palette = BuildPalette(2, clut);
  EXPECT_EQ(palette[1], (PaletteEntry{0, 0, 248}));
  Bytes empty;
  SwapNibbles(empty);
  SwapRedBlue24(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(LoadTimBitmapTest, EveryModeBecomesItsBitmap) {
  Bytes four = BuildTim({.mode = 0, .clutEntries = 64, .width = 4, .height = 2, .fill = 0x21});
  const Bitmap b4 = LoadTimBitmap(four, "A.TIM");
  EXPECT_EQ(b4.Depth(), PixelDepth::Indexed4);
  EXPECT_EQ(b4.Width(), 16u);
  EXPECT_EQ(b4.Row(0)[0], 0x12);  // the left pixel moves to the high nibble
  EXPECT_EQ(b4.palette.size(), 64u);

  Bytes direct16 = BuildTim({.mode = 2, .clutEntries = 0, .width = 1, .height = 1});
  StoreU16(direct16.data() + direct16.size() - 2, 0x801F);  // red, STP set
  const Bitmap b16 = LoadTimBitmap(direct16, "B.TIM");
  EXPECT_EQ(LoadU16(b16.Row(0).data()), 0x7C00u);  // red in the high field, no STP
  const Bitmap b24 = ConvertToDirect(b16, PixelDepth::Direct24);
  EXPECT_EQ(Bytes(b24.Row(0).begin(), b24.Row(0).end()), (Bytes{0, 0, 255}));

  Bytes direct24 = BuildTim({.mode = 3, .clutEntries = 0, .width = 1, .height = 1, .fill = 0x10});
  direct24[direct24.size() - 2] = 0x20;
  direct24[direct24.size() - 1] = 0x30;
  const Bitmap b3 = LoadTimBitmap(direct24, "C.TIM");
  EXPECT_EQ(Bytes(b3.Row(0).begin(), b3.Row(0).end()), (Bytes{0x30, 0x20, 0x10}));
  EXPECT_EQ(LoadTimBitmap(BuildTim({.mode = 1, .width = 0, .height = 3}), "D.TIM").Width(), 0u);
}

TEST(LoadTimBitmapTest, DamagedAndUnsupportedTimsAreRefused) {
  Bytes cut = BuildTim({.mode = 1, .width = 2, .height = 2});
  cut.pop_back();
  Bytes clutTooLong = BuildTim({});
  const Bytes whole = BuildTim({});
  const Bytes headerCut(whole.begin(), whole.begin() + 60);
  StoreU32(clutTooLong.data() + 8, 4000);
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {BuildTim({.mode = 4}), "TIM pixel mode 4 is not supported"},
      {cut, "the pixel rows end past the end of the file"},
      {clutTooLong, "the CLUT block's length (4000) does not fit the file"},
      {Bytes{0x10, 0, 0, 0}, "too short to hold a TIM header"},
      {Bytes(20, 0), "not a TIM image"},
      {headerCut, "the image block header is cut short"},
  };
  for (const auto& [bytes, message] : cases)
    EXPECT_EQ(ErrorText([&] { LoadTimBitmap(bytes, "X.TIM"); }), "X.TIM: " + message);
  // Bits above bit 3 of the flags word, which real TIMs carry, are ignored.
  Bytes stray = BuildTim({.mode = 1, .clutEntries = 256, .width = 2, .height = 2});
  const Bitmap plain = LoadTimBitmap(stray, "A.TIM");
  StoreU32(stray.data() + 4, LoadU32(stray.data() + 4) | 0x0028F600);
  const Bitmap odd = LoadTimBitmap(stray, "A.TIM");
  for (std::uint32_t y = 0; y < plain.Height(); ++y)
    EXPECT_TRUE(std::equal(plain.Row(y).begin(), plain.Row(y).end(), odd.Row(y).begin()));
  EXPECT_EQ(odd.palette, plain.palette);
}

class TimBitmapBatchTest : public testing::BatchTest {
 protected:
  BatchOutcome Convert(const std::string& tim) { return Run(FileType::Tim, {tim}, "bmp"); }
  BatchOutcome InsertBack() { return Run(FileType::Log, {dir.File("bmp/result.log")}, "ins"); }
};

TEST_F(TimBitmapBatchTest, NamesLogLinesAndTheColourTable) {
  const std::string a =
      Put("a/TITLE.TIM", BuildTim({.mode = 0, .clutEntries = 4, .width = 1, .height = 1}));
  const std::string b = Put("b/title.tim", BuildTim({.mode = 3, .clutEntries = 0}));
  const std::string c = Put("NOEXT", BuildTim({.mode = 1, .clutEntries = 256}));
  ASSERT_EQ(Run(FileType::Tim, {a, b, c}, "bmp"), BatchOutcome::Completed) << Error();
  EXPECT_EQ(h.ctx.Status.Results(),
            (std::vector<std::string>{"TITLE.TIM converted.", "title.tim converted.",
                                      "NOEXT converted."}));
  EXPECT_EQ(ReadFile(dir.File("bmp/result.log")),
            "#Format: TIM\r\n#Source: " + a + "\r\n#Target BMP: " + dir.File("bmp/title.bmp") +
                "\r\n#Format: TIM\r\n#Source: " + b + "\r\n#Target BMP: " +
                dir.File("bmp/title (2).bmp") + "\r\n#Format: TIM\r\n#Source: " + c +
                "\r\n#Target BMP: " + dir.File("bmp/noext.bmp") + "\r\n");
  // Exactly 16 colours: the four CLUT entries (grey levels 0..3 with STP),
  // then black.
  const std::string bmp = ReadFile(dir.File("bmp/title.bmp"));
  EXPECT_EQ(LoadU32(reinterpret_cast<const std::uint8_t*>(bmp.data()) + 10), 14u + 40 + 64);
  EXPECT_EQ(bmp.substr(54 + 12, 4), std::string("\x18\x18\x18\x00", 4));
  EXPECT_EQ(bmp.substr(54 + 16, 48), std::string(48, '\0'));
}

TEST_F(TimBitmapBatchTest, UneditedRoundTripsKeepEveryModeButTheStpBits) {
  const std::vector<testing::TimShape> shapes = {
      {.mode = 0, .clutEntries = 16, .width = 3, .height = 5},
      {.mode = 1, .clutEntries = 256, .width = 3, .height = 3},
      {.mode = 3, .clutEntries = 0, .width = 5, .height = 3},
  };
  for (const auto& shape : shapes) {
    const Bytes tim = BuildTim(shape);
    const std::string path = Put("RT.TIM", tim);
    ASSERT_EQ(Convert(path), BatchOutcome::Completed) << Error();
    ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
    EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"rt.bmp converted."}));
    EXPECT_EQ(ReadFile(path), Text(tim)) << "mode " << shape.mode;
  }
  // Mode 2: the colours come back, the STP bits are cleared.
  const Bytes tim = BuildTim({.mode = 2, .clutEntries = 0, .width = 4, .height = 2, .fill = 0x71});
  const std::string path = Put("RT.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed);
  Bytes expected = tim;
  for (std::size_t i = 20 + 1; i < expected.size(); i += 2) expected[i] &= 0x7F;
  EXPECT_EQ(ReadFile(path), Text(expected));
}

TEST_F(TimBitmapBatchTest, EditedBitmapsWriteTheirPixelsIntoTheTim) {
  Bytes tim = BuildTim({.mode = 0, .clutEntries = 16, .width = 1, .height = 1});
  tim.insert(tim.end(), {0xEE, 0xEE});  // bytes after the pixel data go
  const std::string path = Put("E.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  Bitmap edited = DecodeBmp(LoadBytes(dir.File("bmp/e.bmp")), "e.bmp");  // indexed, 4 x 1
  edited.Row(0)[0] = 1;
  edited.Row(0)[1] = 2;
  edited.Row(0)[2] = 15;
  edited.Row(0)[3] = 0;
  WriteFile(dir.File("bmp/e.bmp"), EncodeBmp(edited));
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
  Bytes expected(tim.begin(), tim.end() - 4);
  expected.insert(expected.end(), {0x21, 0x0F});
  EXPECT_EQ(ReadFile(path), Text(expected));

  // A truecolour bitmap of CLUT colours is turned back into indices.
  const Bytes eight = BuildTim({.mode = 1, .clutEntries = 4, .width = 1, .height = 1, .fill = 0});
  Put("E.TIM", eight);
  Bitmap colours(2, 1, PixelDepth::Direct24);
  const Bytes pixels = {24, 24, 24, 8, 8, 8};  // CLUT entries 3 and 1 (grey 3 and 1)
  std::copy(pixels.begin(), pixels.end(), colours.Row(0).begin());
  WriteFile(dir.File("bmp/e.bmp"), EncodeBmp(colours));
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(path).substr(eight.size() - 2), std::string("\x03\x01"));
}

TEST_F(TimBitmapBatchTest, BitmapsThatDoNotFitAreRefusedAndTheTimIsKept) {
  const Bytes tim = BuildTim({.mode = 0, .clutEntries = 2, .width = 1, .height = 2});
  const std::string path = Put("K.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  const Bitmap original = DecodeBmp(LoadBytes(dir.File("bmp/k.bmp")), "k.bmp");

  Bitmap wide(5, 2, PixelDepth::Indexed8);
  Bitmap highIndex = original;
  highIndex.Row(1)[3] = 16;
  Bitmap foreign(4, 2, PixelDepth::Direct24);
  foreign.Row(0)[0] = 1;  // no CLUT colour
  const std::vector<std::pair<Bitmap, std::string>> cases = {
      {wide, "k.bmp is 5 x 2 pixels, the image of K.TIM is 4 x 2"},
      {highIndex, "k.bmp: pixel (3, 1) has index 16; a 4-bit TIM has 16 colours"},
      {foreign,
       "k.bmp: pixel (0, 0) has the colour #000001, which is not a colour of the TIM's CLUT"},
  };
  for (const auto& [bitmap, message] : cases) {
    WriteFile(dir.File("bmp/k.bmp"), EncodeBmp(bitmap));
    EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
    EXPECT_EQ(Error(), "result.log, line 3: " + message + ".");
    EXPECT_EQ(ReadFile(path), Text(tim));
  }
  // A source far too large for a TIM is refused before it is read.
  WriteFile(dir.File("bmp/k.bmp"), EncodeBmp(original));
  std::filesystem::resize_file(path, (std::uintmax_t{64} << 20) + 1);
  EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
  EXPECT_EQ(Error(), "result.log, line 3: K.TIM: 67108865 bytes is too large for a TIM image.");
  WriteFile(path, tim);
  // A missing bitmap is skipped without a word.
  std::filesystem::remove(dir.File("bmp/k.bmp"));
  EXPECT_EQ(InsertBack(), BatchOutcome::Completed);
  EXPECT_TRUE(h.ctx.Status.Results().empty());
  EXPECT_EQ(ReadFile(path), Text(tim));
}

// A palette that a paint program re-ordered goes in by colour: the same
// picture comes back; a colour the CLUT lacks is refused.
TEST_F(TimBitmapBatchTest, APaletteInAnotherOrderGoesInByColour) {
  const Bytes tim = BuildTim({.mode = 1, .clutEntries = 16, .width = 2, .height = 2, .fill = 3});
  const std::string path = Put("R.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  const Bitmap bitmap = DecodeBmp(LoadBytes(dir.File("bmp/r.bmp")), "r.bmp");
  Bitmap reversed = bitmap;
  const auto last = static_cast<std::uint8_t>(reversed.palette.size() - 1);
  std::reverse(reversed.palette.begin(), reversed.palette.end());
  for (std::uint32_t y = 0; y < bitmap.Height(); ++y)
    for (std::uint32_t x = 0; x < bitmap.Width(); ++x)
      reversed.Row(y)[x] = static_cast<std::uint8_t>(last - bitmap.Row(y)[x]);
  WriteFile(dir.File("bmp/r.bmp"), EncodeBmp(reversed));
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(path), Text(tim));
  reversed.palette[last - bitmap.Row(0)[0]] = {1, 2, 3};  // pixel (0, 0): no CLUT colour
  WriteFile(dir.File("bmp/r.bmp"), EncodeBmp(reversed));
  EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: r.bmp: pixel (0, 0) has the colour #010203, which is "
            "not a colour of the TIM's CLUT.");
  EXPECT_EQ(ReadFile(path), Text(tim));
}

// A 24-bit TIM in the layout most tools write (rows of W * 2 bytes) converts
// and goes back byte-identical.
TEST_F(TimBitmapBatchTest, AStandard24BitTimRoundTrips) {
  Bytes tim = BuildTim({.mode = 3, .clutEntries = 0, .width = 3, .height = 2, .fill = 1});
  tim.resize(tim.size() - 6);         // rows of 6 bytes: 2 pixels each
  StoreU32(tim.data() + 8, 12 + 12);  // the image block's length says so
  const std::string path = Put("S.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed) << Error();
  EXPECT_EQ(DecodeBmp(LoadBytes(dir.File("bmp/s.bmp")), "s.bmp").Width(), 2u);
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
  EXPECT_EQ(ReadFile(path), Text(tim));
}

TEST_F(TimBitmapBatchTest, PngRoundTripsKeepEveryModeAndWithKeepStpTheStpBits) {
  if (!PngSupported()) GTEST_SKIP() << "this build has no PNG support";
  h.ctx.BitmapsAsPng = true;
  const std::vector<testing::TimShape> shapes = {
      {.mode = 0, .clutEntries = 16, .width = 3, .height = 5},
      {.mode = 1, .clutEntries = 256, .width = 3, .height = 3},
      {.mode = 2, .clutEntries = 0, .width = 4, .height = 2, .fill = 0x71},
      {.mode = 3, .clutEntries = 0, .width = 5, .height = 3},
  };
  for (const auto& shape : shapes) {
    const Bytes tim = BuildTim(shape);
    const std::string path = Put("RT.TIM", tim);
    ASSERT_EQ(Convert(path), BatchOutcome::Completed) << Error();
    EXPECT_TRUE(LooksLikePng(LoadBytes(dir.File("bmp/rt.png"))));
    h.ctx.KeepStp = shape.mode == 2;  // without it a 16-bit TIM loses its STP bits
    ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
    h.ctx.KeepStp = false;
    EXPECT_EQ(h.ctx.Status.Results(), (std::vector<std::string>{"rt.png converted."}));
    EXPECT_EQ(ReadFile(path), Text(tim)) << "mode " << shape.mode;
  }
}

// With transparency, the word 0x0000 is a transparent pixel (a transparent
// palette entry) and 0x8000 opaque black, both ways; a palette saved in
// another order goes back by colour, transparent entry included.
TEST_F(TimBitmapBatchTest, AlphaRoundTripsTransparentAndOpaqueBlack) {
  if (!PngSupported()) GTEST_SKIP() << "this build has no PNG support";
  h.ctx.Alpha = true;
  for (const std::uint32_t mode : {0u, 1u, 2u}) {
    Bytes tim = BuildTim(
        {.mode = mode, .clutEntries = mode == 2 ? 0 : 16, .width = 4, .height = 2, .fill = 0});
    StoreU16(tim.data() + 20, 0x0000);  // the CLUT's first words, or the pixels'
    StoreU16(tim.data() + 24, 0x8000);
    const std::string path = Put("A.TIM", tim);
    ASSERT_EQ(Convert(path), BatchOutcome::Completed) << Error();
    Bitmap png = DecodePng(LoadBytes(dir.File("bmp/a.png")), "a.png");
    if (mode == 2) {
      EXPECT_EQ(png.AlphaAt(0, 0), 0);
      EXPECT_EQ(png.AlphaAt(2, 0), 255);
      png.Row(0)[2] = 255;  // the transparent pixel's colour does not matter
    } else {
      EXPECT_EQ(png.palette[0].alpha, 0);
      EXPECT_EQ(png.palette[2], (PaletteEntry{0, 0, 0, 255}));
      std::reverse(png.palette.begin(), png.palette.end());
      const auto last = static_cast<std::uint8_t>(png.palette.size() - 1);
      for (std::uint32_t y = 0; y < png.Height(); ++y)
        for (std::uint8_t& index : png.Row(y)) index = static_cast<std::uint8_t>(last - index);
    }
    WriteFile(dir.File("bmp/a.png"), EncodePng(png, "a.png"));
    ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
    EXPECT_EQ(ReadFile(path), Text(tim)) << "mode " << mode;
  }
  // Opaque black needs a CLUT entry other than 0x0000.
  Bytes clear = BuildTim({.mode = 1, .clutEntries = 1, .width = 1, .height = 1, .fill = 0});
  StoreU16(clear.data() + 20, 0x0000);
  ASSERT_EQ(Convert(Put("B.TIM", clear)), BatchOutcome::Completed) << Error();
  WriteFile(dir.File("bmp/b.png"), EncodePng(Bitmap(2, 1, PixelDepth::Direct24), "b.png"));
  EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
  EXPECT_NE(Error().find("pixel (0, 0) has the colour #000000"), std::string::npos) << Error();
  EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
}

TEST_F(TimBitmapBatchTest, KeepStpKeepsTheBitOfUnchangedPixelsOnly) {
  Bytes tim = BuildTim({.mode = 2, .clutEntries = 0, .width = 2, .height = 1});
  StoreU16(tim.data() + 20, 0x801F);  // red, STP set
  StoreU16(tim.data() + 22, 0x83E0);  // green, STP set
  const std::string path = Put("S.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  Bitmap edited = DecodeBmp(LoadBytes(dir.File("bmp/s.bmp")), "s.bmp");
  edited.Row(0)[3] = 255;  // the second pixel gets some blue
  WriteFile(dir.File("bmp/s.bmp"), EncodeBmp(edited));
  h.ctx.KeepStp = true;
  ASSERT_EQ(InsertBack(), BatchOutcome::Completed) << Error();
  const std::string back = ReadFile(path);
  EXPECT_EQ(LoadU16(reinterpret_cast<const std::uint8_t*>(back.data()) + 20), 0x801Fu);
  EXPECT_EQ(LoadU16(reinterpret_cast<const std::uint8_t*>(back.data()) + 22), 0x7FE0u);
}

TEST_F(TimBitmapBatchTest, ATruecolourPngWithAForeignColourIsRefused) {
  if (!PngSupported()) GTEST_SKIP() << "this build has no PNG support";
  const Bytes tim = BuildTim({.mode = 1, .clutEntries = 4, .width = 1, .height = 1, .fill = 0});
  const std::string path = Put("P.TIM", tim);
  ASSERT_EQ(Convert(path), BatchOutcome::Completed);
  Bitmap colours(2, 1, PixelDepth::Direct24);
  const Bytes pixels = {24, 24, 24, 9, 8, 8};  // CLUT grey 3, then a colour of no entry
  std::copy(pixels.begin(), pixels.end(), colours.Row(0).begin());
  WriteFile(dir.File("bmp/p.bmp"), EncodePng(colours, "p.png"));  // a PNG under the old name
  EXPECT_EQ(InsertBack(), BatchOutcome::Failed);
  EXPECT_EQ(Error(),
            "result.log, line 3: p.bmp: pixel (1, 0) has the colour #080809, which is "
            "not a colour of the TIM's CLUT.");
  EXPECT_EQ(ReadFile(path), Text(tim));
}

}  // namespace
}  // namespace tessary
