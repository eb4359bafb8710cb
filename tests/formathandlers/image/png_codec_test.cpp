// PNG beside BMP: files of Pillow and ImageMagick read, palette PNGs written
// with the BMP colour table, loading by content.
#include <gtest/gtest.h>

#include "formathandlers/image/bmp_codec.h"
#include "formathandlers/image/png_codec.h"
#include "tests/image_support.h"
#include "tests/test_support.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Picture;
using testing::TestDataFile;

class PngCodecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PngSupported()) GTEST_SKIP() << "this build has no PNG support";
  }
};

TEST_F(PngCodecTest, FilesOfPaintProgramsShowTheirPicture) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"pil-palette.png", "five.txt"},   {"pil-palette8.png", "twenty.txt"},
      {"pil-rgb.png", "five.txt"},       {"pil-rgba.png", "five.txt"},
      {"pil-grey.png", "two.txt"},       {"pil-1bit.png", "two.txt"},
      {"im-interlaced.png", "five.txt"}, {"im-rgb16.png", "twenty.txt"},
      {"im-palette.png", "twenty.txt"},  {"im-rgba-interlaced.png", "five.txt"},
  };
  for (const auto& [file, reference] : files) {
    const Bytes bytes = LoadBytes(TestDataFile("png/" + file));
    ASSERT_TRUE(LooksLikePng(bytes)) << file;
    const Bitmap bitmap = DecodeImage(bytes, file);
    EXPECT_EQ(Picture(bitmap), testing::ReadFile(TestDataFile("bmp/" + reference))) << file;
    const BmpSize size = ReadImageSize(bytes, file);
    EXPECT_EQ(size.width, 7u);
    EXPECT_EQ(size.height, 5u);
  }
}

TEST_F(PngCodecTest, PalettePngsKeepIndicesAndTheColourTableLayout) {
  Bitmap four(3, 2, PixelDepth::Indexed4);
  four.Row(0)[0] = 0x12;
  four.Row(0)[1] = 0xF0;
  four.Row(1)[0] = 0x30;
  four.palette = {{10, 20, 30}, {40, 50, 60}};
  const Bytes png = EncodePng(four, "f.png");
  EXPECT_EQ(png[24], 4);  // IHDR bit depth
  EXPECT_EQ(png[25], 3);  // colour type: palette
  const Bitmap back = DecodeImage(png, "f.png");
  EXPECT_EQ(back.Depth(), PixelDepth::Indexed8);
  EXPECT_EQ(back.palette.size(), 16u);  // the palette, then black
  EXPECT_EQ(back.palette[1], (PaletteEntry{40, 50, 60}));
  EXPECT_EQ(back.palette[15], (PaletteEntry{0, 0, 0}));
  EXPECT_EQ(Bytes(back.Row(0).begin(), back.Row(0).end()), (Bytes{1, 2, 15}));
  EXPECT_EQ(Bytes(back.Row(1).begin(), back.Row(1).end()), (Bytes{3, 0, 0}));

  Bitmap direct(2, 1, PixelDepth::Direct24);
  const Bytes bgr = {1, 2, 3, 4, 5, 6};
  std::copy(bgr.begin(), bgr.end(), direct.Row(0).begin());
  const Bitmap directBack = DecodeImage(EncodePng(direct, "d.png"), "d.png");
  EXPECT_EQ(Bytes(directBack.Row(0).begin(), directBack.Row(0).end()), bgr);
  EXPECT_EQ(testing::ErrorText([] { EncodePng(Bitmap(0, 3, PixelDepth::Direct24), "e.png"); }),
            "e.png: a PNG cannot hold an empty image");
}

TEST_F(PngCodecTest, DamagedPngsAreRefusedWithTheFileNamed) {
  Bytes png = LoadBytes(TestDataFile("png/pil-rgb.png"));
  png.resize(png.size() / 2);
  EXPECT_NE(testing::ErrorText([&] { DecodeImage(png, "cut.png"); }).find("cut.png: PNG: "),
            std::string::npos);
  const Bytes big = LoadBytes(TestDataFile("png/pil-rgb.png"));
  EXPECT_EQ(testing::ErrorText([&] { DecodeImage(big, "big.png", 20); }),
            "big.png: a bitmap of 7 x 5 pixels is too large");
}

}  // namespace
}  // namespace tessary
