// The viewer's picture of a TIM: colours and transparency in every mode, the
// chosen CLUT row, what the headers say, and the refusals.
#include <gtest/gtest.h>

#include "formathandlers/tim/tim_preview.h"
#include "misc/byte_reader.h"
#include "tests/test_support.h"
#include "tests/tim_builder.h"

namespace tessary {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BuildTim;
using testing::ErrorText;

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};

// A TIM of `shape` with its first CLUT words and first pixel bytes replaced.
Bytes Tim(const testing::TimShape& shape, const std::vector<std::uint16_t>& clut,
          const Bytes& pixels) {
  Bytes tim = BuildTim(shape);
  for (std::size_t i = 0; i < clut.size(); ++i) StoreU16(tim.data() + 20 + 2 * i, clut[i]);
  const std::size_t first = shape.clutEntries > 0 ? 32 + 2 * std::size_t(shape.clutEntries) : 20;
  std::copy(pixels.begin(), pixels.end(), tim.begin() + static_cast<std::ptrdiff_t>(first));
  return tim;
}

TEST(TimPreviewTest, ColoursAndTransparencyOfEveryMode) {
  // Mode 0 with two CLUT rows: entry 1 is red in row 0 and green in row 1,
  // entry 0 (word 0x0000) transparent, entry 2 (only the STP bit) black.
  std::vector<std::uint16_t> twoRows(32, 0);
  twoRows[1] = 0x001F, twoRows[2] = 0x8000, twoRows[17] = 0x03E0, twoRows[18] = 0x8000;
  const Bytes four = Tim({.mode = 0, .clutEntries = 32, .width = 1}, twoRows, {0x01, 0x02});
  const Bytes eight = Tim({.mode = 1, .clutEntries = 256, .width = 1}, {0x8000, 0x7C00}, {1, 0});
  const Bytes words =
      Tim({.mode = 2, .clutEntries = 0, .width = 3}, {}, {0x00, 0x00, 0x00, 0x80, 0xFF, 0x7F});
  const Bytes triples =
      Tim({.mode = 3, .clutEntries = 0, .width = 2}, {}, {0, 0, 0, 0x10, 0x20, 0x30});
  const Bytes noClut = Tim({.mode = 0, .clutEntries = 0, .width = 1}, {}, {0xF0, 0x00});
  struct Case {
    const char* what;
    const Bytes& tim;
    std::size_t row;
    std::vector<Rgba> pixels;
  };
  const Case cases[] = {
      {"4-bit, row 0", four, 0, {{255, 0, 0, 255}, kClear, kBlack, kClear}},
      {"4-bit, row 1", four, 1, {{0, 255, 0, 255}, kClear, kBlack, kClear}},
      {"8-bit", eight, 0, {{0, 0, 255, 255}, kBlack}},
      {"16-bit: 0x0000 clear, 0x8000 black", words, 0, {kClear, kBlack, kWhite}},
      {"24-bit is opaque", triples, 0, {kBlack, {0x10, 0x20, 0x30, 255}}},
      {"4-bit without CLUT: grey levels", noClut, 0, {kBlack, kWhite, kBlack, kBlack}},
  };
  for (const Case& c : cases) {
    const TimPreview preview = PreviewTim(c.tim, "A.TIM", c.row);
    EXPECT_EQ(preview.pixels, c.pixels) << c.what;
    EXPECT_EQ(preview.shownRow, c.row) << c.what;
  }
}

TEST(TimPreviewTest, SizePositionsAndClutRows) {
  const TimPreview indexed =
      PreviewTim(BuildTim({.mode = 0, .clutEntries = 40, .width = 2, .height = 3}), "A.TIM", 2);
  EXPECT_EQ(std::make_tuple(indexed.width, indexed.height, indexed.pixels.size()),
            std::make_tuple(8u, 3u, std::size_t{24}));
  EXPECT_EQ(std::make_tuple(indexed.imageBlock.x, indexed.imageBlock.length),
            std::make_tuple(320, 24u));
  ASSERT_TRUE(indexed.clutBlock.has_value());
  EXPECT_EQ(std::make_tuple(indexed.clutBlock->y, indexed.clutBlock->length),
            std::make_tuple(480, 92u));
  // 40 entries: two whole rows of 16 and one of 8, filled up with black.
  ASSERT_EQ(indexed.clutRows.size(), 3u);
  EXPECT_EQ(indexed.clutRows[2].size(), 16u);
  EXPECT_EQ(indexed.clutRows[2][7], ColourOfWord(0x8000 | 39 * 0x421));
  EXPECT_EQ(indexed.clutRows[2][8], kBlack);

  // 24-bit images use no CLUT, even when they carry one; 8-bit rows hold 256.
  EXPECT_TRUE(PreviewTim(BuildTim({.mode = 3, .clutEntries = 16}), "B.TIM", 0).clutRows.empty());
  EXPECT_EQ(PreviewTim(BuildTim({.mode = 1, .clutEntries = 512}), "C.TIM", 1).clutRows.size(), 2u);
}

TEST(TimPreviewTest, BadFilesAndRowsAreRefusedNamingTheFile) {
  Bytes cut = BuildTim({.mode = 1, .width = 2, .height = 2});
  cut.pop_back();
  // 65532 x 257 pixels: more than any video memory holds.
  const Bytes huge = BuildTim({.mode = 0, .clutEntries = 16, .width = 16383, .height = 257});
  struct Case {
    Bytes tim;
    std::size_t row;
    std::string message;
  };
  const Case cases[] = {
      {BuildTim({.mode = 0, .clutEntries = 32}), 2, "there is no CLUT row 2 (its rows are 0 to 1)"},
      {BuildTim({.mode = 2, .clutEntries = 0}), 1,
       "there is no CLUT row 1 (the image uses no CLUT rows)"},
      {cut, 0, "the pixel rows end past the end of the file"},
      {Bytes(20, 0), 0, "not a TIM image"},
      {huge, 0, "65532 x 257 pixels is too large to show"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorText([&] { PreviewTim(c.tim, "X.TIM", c.row); }), "X.TIM: " + c.message);
}

}  // namespace
}  // namespace tessary
