// OutputNames: a batch's output paths, claimed once each without regard to
// ASCII case, over as many names as an archive has entries.
#include <gtest/gtest.h>

#include <string>

#include "batch/output_names.h"

namespace tessary {
namespace {

TEST(OutputNamesTest, EachPathIsClaimedOnceWhateverItsCase) {
  OutputNames names;
  constexpr int kMany = 20000;  // the table grows many times over
  for (int i = 0; i < kMany; ++i)
    ASSERT_TRUE(names.ClaimIfFree("out/BIN/ROOM_E" + std::to_string(i) + ".BIN")) << i;
  for (int i = 0; i < kMany; ++i)
    ASSERT_FALSE(names.ClaimIfFree("OUT/bin/room_e" + std::to_string(i) + ".bin")) << i;

  EXPECT_EQ(names.Claim("out/BIN/ROOM_E7.BIN"), "out/BIN/ROOM_E7 (2).BIN");
  EXPECT_EQ(names.Claim("out/bin/room_e7.bin"), "out/bin/room_e7 (3).bin");
  EXPECT_EQ(names.Claim("out/v1.2/README"), "out/v1.2/README");
  EXPECT_EQ(names.Claim("out/v1.2/README"), "out/v1.2/README (2)");
  EXPECT_EQ(names.Claim("out/.hidden"), "out/.hidden");
  EXPECT_EQ(names.Claim("out/.hidden"), "out/.hidden (2)");

  names.Clear();  // a new batch
  EXPECT_TRUE(names.ClaimIfFree("out/BIN/ROOM_E7.BIN"));
  EXPECT_TRUE(names.ClaimIfFree("out/BIN/ROOM_E7 (2).BIN"));
}

}  // namespace
}  // namespace tessary
