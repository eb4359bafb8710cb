// The BMP codec: what the writer lays out, and what the reader takes from
// files saved by Pillow and ImageMagick and from hand-built variants.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "formathandlers/image/bmp_codec.h"
#include "misc/byte_reader.h"
#include "tests/image_support.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ErrorText;
using testing::PutU16;
using testing::PutU32;

std::string DataFile(const std::string& name) {
  return testing::TestDataFile("bmp/" + name);
}
using testing::ColourAt;
using testing::Picture;

TEST(BmpReaderTest, FilesOfPaintProgramsShowTheirPicture) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"pil-1bit.bmp", "two.txt"},       {"pil-8bit.bmp", "five.txt"},
      {"pil-24bit.bmp", "five.txt"},     {"pil-32bit-rgba.bmp", "five.txt"},
      {"im-bmp3-4bit.bmp", "five.txt"},  {"im-bmp3-8bit.bmp", "twenty.txt"},
      {"im-bmp3-24bit.bmp", "five.txt"}, {"im-bmp2.bmp", "twenty.txt"},
      {"im-bmp2-4bit.bmp", "five.txt"},  {"im-bmp4-32bit.bmp", "five.txt"},
      {"im-rle8.bmp", "twenty.txt"},     {"im-rgb565.bmp", "five.txt"},
  };
  for (const auto& [file, reference] : files) {
    const Bytes bytes = LoadBytes(DataFile(file));
    const Bitmap bitmap = DecodeBmp(bytes, file);
    EXPECT_EQ(Picture(bitmap), testing::ReadFile(DataFile(reference))) << file;
  }
}

// A 3 x 2 bitmap of 8 bits: indices 0..5, palette entry i = (i, 2i, 3i).
Bitmap SmallIndexed() {
  Bitmap bitmap(3, 2, PixelDepth::Indexed8);
  for (std::uint8_t i = 0; i < 6; ++i) {
    bitmap.Row(i / 3)[i % 3] = i;
    bitmap.palette.push_back(
        {i, static_cast<std::uint8_t>(2 * i), static_cast<std::uint8_t>(3 * i)});
  }
  return bitmap;
}

TEST(BmpWriterTest, LayoutOfAFourBitBitmap) {
  Bitmap bitmap(5, 2, PixelDepth::Indexed4);  // 3 bytes a row, padded to 4
  bitmap.Row(0)[0] = 0x12;
  bitmap.Row(1)[2] = 0xF0;
  bitmap.palette = {{10, 20, 30}, {40, 50, 60}};
  const Bytes bmp = EncodeBmp(bitmap);
  ASSERT_EQ(bmp.size(), 14u + 40 + 16 * 4 + 2 * 4);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(LoadU32(bmp.data() + 2), bmp.size());
  EXPECT_EQ(LoadU32(bmp.data() + 10), 118u);
  EXPECT_EQ(LoadU32(bmp.data() + 14), 40u);
  EXPECT_EQ(LoadU32(bmp.data() + 18), 5u);
  EXPECT_EQ(LoadU32(bmp.data() + 22), 2u);  // positive: bottom-up
  EXPECT_EQ(LoadU16(bmp.data() + 28), 4u);
  EXPECT_EQ(LoadU32(bmp.data() + 30), 0u);
  // The colour table: the palette as blue, green, red, 0, then black.
  EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.begin() + 62), (Bytes{30, 20, 10, 0, 60, 50, 40, 0}));
  EXPECT_EQ(Bytes(bmp.begin() + 62, bmp.begin() + 118), Bytes(56, 0));
  // The bottom row first.
  EXPECT_EQ(Bytes(bmp.begin() + 118, bmp.end()), (Bytes{0, 0, 0xF0, 0, 0x12, 0, 0, 0}));
}

TEST(BmpWriterTest, WrittenBitmapsReadBack) {
  const Bitmap indexed = SmallIndexed();
  const Bitmap back = DecodeBmp(EncodeBmp(indexed), "x.bmp");
  EXPECT_EQ(Picture(back), Picture(indexed));
  EXPECT_EQ(back.palette.size(), 256u);

  Bitmap direct(5, 3, PixelDepth::Direct24);
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::size_t i = 0; i < direct.RowBytes(); ++i)
      direct.Row(y)[i] = static_cast<std::uint8_t>(y * 40 + i);
  const Bitmap directBack = DecodeBmp(EncodeBmp(direct), "x.bmp");
  for (std::uint32_t y = 0; y < 3; ++y)
    EXPECT_TRUE(std::equal(direct.Row(y).begin(), direct.Row(y).end(), directBack.Row(y).begin()));

  // 15 bits are written row by row as the 24-bit bitmap they draw.
  Bitmap words(5, 3, PixelDepth::Direct15);
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::size_t i = 0; i < words.RowBytes(); ++i)
      words.Row(y)[i] = static_cast<std::uint8_t>(y * 77 + i * 13);
  EXPECT_TRUE(EncodeBmp(words) == EncodeBmp(ConvertToDirect(words, PixelDepth::Direct24)));

  const Bitmap empty = DecodeBmp(EncodeBmp(Bitmap(0, 4, PixelDepth::Direct24)), "e.bmp");
  EXPECT_EQ(empty.Width(), 0u);
  EXPECT_EQ(empty.Height(), 4u);
}

// A BMP with a 40-byte header; `pixels` are the stored rows.
Bytes HandBuilt(std::int32_t width, std::int32_t height, std::uint16_t bits,
                std::uint32_t compression, const Bytes& extra, const Bytes& pixels) {
  Bytes out = {'B', 'M'};
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, static_cast<std::uint32_t>(14 + 40 + extra.size()));
  PutU32(out, 40);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));
  PutU16(out, 1);
  PutU16(out, bits);
  PutU32(out, compression);
  for (int i = 0; i < 5; ++i) PutU32(out, 0);
  out.insert(out.end(), extra.begin(), extra.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

Bytes Palette(std::initializer_list<std::uint32_t> colours) {
  Bytes out;
  for (std::uint32_t c : colours) PutU32(out, c);  // 0x00RRGGBB as B, G, R, 0
  return out;
}

TEST(BmpReaderTest, TopDownRle4AndBitFieldsInEveryHeaderSize) {
  // Top-down: the first stored row is the top row.
  const Bitmap topDown = DecodeBmp(
      HandBuilt(1, -2, 24, bmp::kRgb, {}, {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0}), "t.bmp");
  EXPECT_EQ(ColourAt(topDown, 0, 0), "#302010");

  // RLE4: a run of 3 pixels alternating 1 and 2, an absolute stretch of 3,
  // end of line, end of bitmap; the rows are bottom-up.
  const Bytes rle = {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 1};
  const Bitmap rle4 =
      DecodeBmp(HandBuilt(6, 2, 4, bmp::kRle4,
                          Palette({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), rle),
                "r.bmp");
  EXPECT_EQ(std::vector<std::uint8_t>(rle4.Row(1).begin(), rle4.Row(1).end()),
            (std::vector<std::uint8_t>{1, 2, 1, 3, 4, 5}));
  EXPECT_EQ(std::vector<std::uint8_t>(rle4.Row(0).begin(), rle4.Row(0).end()),
            std::vector<std::uint8_t>(6, 0));

  // 16 bits as 5-6-5 through BITFIELDS, with the masks after a 40-byte header
  // and inside 52-, 56- and 108-byte headers.
  Bytes masks;
  PutU32(masks, 0xF800);
  PutU32(masks, 0x07E0);
  PutU32(masks, 0x001F);
  const Bytes pixel = {0x1F, 0xF8, 0, 0};  // red 31, blue 31
  const Bytes forty = HandBuilt(1, 1, 16, bmp::kBitFields, masks, pixel);
  EXPECT_EQ(ColourAt(DecodeBmp(forty, "f.bmp"), 0, 0), "#FF00FF");
  for (std::uint32_t size : {52u, 56u, 108u}) {
    Bytes larger = forty;
    StoreU32(larger.data() + 14, size);
    larger.insert(larger.begin() + 14 + 52, size - 52, 0);
    StoreU32(larger.data() + 10, 14 + size);
    EXPECT_EQ(ColourAt(DecodeBmp(larger, "f.bmp"), 0, 0), "#FF00FF") << size;
  }
  // 16 bits without masks: 5-5-5.
  EXPECT_EQ(
      ColourAt(DecodeBmp(HandBuilt(1, 1, 16, bmp::kRgb, {}, {0x00, 0x7C, 0, 0}), "p.bmp"), 0, 0),
      "#FF0000");
}

TEST(BmpReaderTest, WhatCannotBeReadIsRefusedWithTheFileNamed) {
  const Bytes good = HandBuilt(2, 2, 24, bmp::kRgb, {}, Bytes(16, 7));
  Bytes cut = good;
  cut.resize(cut.size() - 5);
  Bytes header64 = good;
  StoreU32(header64.data() + 14, 64);
  Bytes masks;
  PutU32(masks, 0x0F0F);
  PutU32(masks, 0x00F0);
  PutU32(masks, 0x0000);
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {Bytes{'P', 'K', 3, 4}, "not a BMP file"},
      {cut, "the pixel rows end past the end of the file"},
      {header64, "BMP info headers of 64 bytes are not supported"},
      {HandBuilt(2, 2, 24, 4, {}, {}), "24-bit BMPs with compression 4 are not supported"},
      {HandBuilt(2, 2, 8, bmp::kRgb, Palette({1, 2}), {}),
       "the colour table ends past the end of the file"},
      {HandBuilt(1, 1, 16, bmp::kBitFields, masks, {0, 0, 0, 0}),
       "a colour mask of the BMP is not contiguous"},
      {HandBuilt(-1, 1, 24, bmp::kRgb, {}, Bytes(4, 0)), "the width is negative"},
      {HandBuilt(1, 2, 8, bmp::kRle8, Bytes(1024, 0), {2, 1}),
       "the compressed pixel data ends early"},
      {HandBuilt(100000, 100000, 24, bmp::kRgb, {}, {}),
       "a bitmap of 100000 x 100000 pixels is too large"},
  };
  for (const auto& [bytes, message] : cases)
    EXPECT_EQ(ErrorText([&] { DecodeBmp(bytes, "x.bmp"); }), "x.bmp: " + message);
}

}  // namespace
}  // namespace tessary
