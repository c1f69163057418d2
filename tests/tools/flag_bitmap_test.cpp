#include "tools/lngc/flag_bitmap.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/bytes.h"

namespace cvn::lngc {
namespace {

bool operator==(const Rgb& a, const Rgb& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

constexpr Rgb kBlack{0, 0, 0}, kRed{0xDD, 0, 0}, kGold{0xFF, 0xCE, 0};

TEST(FlagBitmapTest, HeadersDescribeAnUncompressed24BitPictureStoredBottomUp) {
  // 10 x 6 pixels: rows of 30 bytes padded to 32, 246 bytes in all.
  const std::vector<uint8_t> bmp =
      TricolourBitmap(Bands::kHorizontal, {kBlack, kRed, kGold}, 10, 6);
  ASSERT_EQ(bmp.size(), 246u);
  // File header: "BM", file size, reserved, pixels at 54. Info header: its size, 10 x 6, one
  // plane, 24 bits, no compression, 192 bytes of pixels, 2835 pixels per metre, no palette.
  EXPECT_EQ(test::Hex({bmp.data(), 54}),
            "424df60000000000000036000000"
            "280000000a000000060000000100180000000000c0000000130b0000130b00000000000000000000");
}

TEST(FlagBitmapTest, BandsSplitThePictureInThree) {
  // 6 x 3 pictures, rows of 18 bytes padded to 20, the bottom row first.
  const std::string vertical_row = "a45500a45500ffffffffffff0000dd0000dd0000";
  const std::vector<uint8_t> vertical =
      TricolourBitmap(Bands::kVertical, {Rgb{0, 0x55, 0xA4}, Rgb{0xFF, 0xFF, 0xFF}, kRed}, 6, 3);
  ASSERT_EQ(vertical.size(), 54u + 60u);
  EXPECT_EQ(test::Hex({vertical.data() + 54, 60}), vertical_row + vertical_row + vertical_row);
  const std::vector<uint8_t> horizontal =
      TricolourBitmap(Bands::kHorizontal, {kBlack, kRed, kGold}, 6, 3);
  ASSERT_EQ(horizontal.size(), 54u + 60u);
  EXPECT_EQ(test::Hex({horizontal.data() + 54, 60}),
            "00ceff00ceff00ceff00ceff00ceff00ceff0000"
            "0000dd0000dd0000dd0000dd0000dd0000dd0000"
            "0000000000000000000000000000000000000000");
}

TEST(FlagBitmapTest, ColoursAreSixHexadecimalDigits) {
  const std::optional<Rgb> gold = ParseRgb("ffCE00");
  ASSERT_TRUE(gold.has_value());
  EXPECT_TRUE(*gold == kGold);
  for (const char* bad : {"FFCE0", "FFCE000", "GGCE00", "#FFCE0"})
    EXPECT_FALSE(ParseRgb(bad)) << bad;
}

}  // namespace
}  // namespace cvn::lngc
