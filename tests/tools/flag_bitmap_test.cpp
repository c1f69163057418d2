#include "tools/lngc/flag_bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace cvn::lngc {
namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// The colour at (x, y), y counted from the top, read as a viewer would: the
// rows are stored bottom-up, padded to 4 bytes, blue first.
Rgb PixelAt(const std::vector<uint8_t>& bmp, int x, int y) {
  const int width = static_cast<int>(U32(bmp, 18));
  const int height = static_cast<int>(U32(bmp, 22));
  const size_t row_size = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  const size_t at =
      U32(bmp, 10) + row_size * static_cast<size_t>(height - 1 - y) + 3 * static_cast<size_t>(x);
  return Rgb{bmp.at(at + 2), bmp.at(at + 1), bmp.at(at)};
}

bool operator==(const Rgb& a, const Rgb& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

constexpr Rgb kBlack{0, 0, 0}, kRed{0xDD, 0, 0}, kGold{0xFF, 0xCE, 0};

TEST(FlagBitmapTest, HeadersDescribeAnUncompressed24BitPicture) {
  // 10 pixels of 3 bytes need 2 bytes of padding per row.
  const std::vector<uint8_t> bmp =
      TricolourBitmap(Bands::kHorizontal, {kBlack, kRed, kGold}, 10, 6);
  const uint32_t row_size = 32;
  ASSERT_EQ(bmp.size(), 54u + row_size * 6);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), bmp.size());  // file size
  EXPECT_EQ(U32(bmp, 6), 0u);          // reserved
  EXPECT_EQ(U32(bmp, 10), 54u);        // offset of the pixels
  EXPECT_EQ(U32(bmp, 14), 40u);        // BITMAPINFOHEADER
  EXPECT_EQ(U32(bmp, 18), 10u);        // width
  EXPECT_EQ(U32(bmp, 22), 6u);         // height, positive: bottom-up
  EXPECT_EQ(U16(bmp, 26), 1);          // planes
  EXPECT_EQ(U16(bmp, 28), 24);         // bits per pixel
  EXPECT_EQ(U32(bmp, 30), 0u);         // BI_RGB
  EXPECT_EQ(U32(bmp, 34), row_size * 6);
  EXPECT_EQ(U32(bmp, 46), 0u);  // no palette
  // The padding bytes at the end of the first stored row are zero.
  EXPECT_EQ(bmp[54 + 30], 0);
  EXPECT_EQ(bmp[54 + 31], 0);
}

TEST(FlagBitmapTest, HorizontalBandsRunFromTopToBottom) {
  const std::vector<uint8_t> bmp =
      TricolourBitmap(Bands::kHorizontal, {kBlack, kRed, kGold}, 20, 12);
  for (int x : {0, 19}) {
    EXPECT_TRUE(PixelAt(bmp, x, 0) == kBlack);
    EXPECT_TRUE(PixelAt(bmp, x, 3) == kBlack);
    EXPECT_TRUE(PixelAt(bmp, x, 4) == kRed);
    EXPECT_TRUE(PixelAt(bmp, x, 7) == kRed);
    EXPECT_TRUE(PixelAt(bmp, x, 8) == kGold);
    EXPECT_TRUE(PixelAt(bmp, x, 11) == kGold);
  }
  // Stored bottom-up: the first stored pixel is the gold bottom-left one, blue byte first.
  EXPECT_EQ(bmp[54], 0x00);
  EXPECT_EQ(bmp[55], 0xCE);
  EXPECT_EQ(bmp[56], 0xFF);
}

TEST(FlagBitmapTest, VerticalBandsRunFromLeftToRight) {
  const Rgb blue{0x00, 0x55, 0xA4}, white{0xFF, 0xFF, 0xFF}, red{0xEF, 0x41, 0x35};
  const std::vector<uint8_t> bmp = TricolourBitmap(Bands::kVertical, {blue, white, red}, 21, 14);
  for (int y : {0, 13}) {
    EXPECT_TRUE(PixelAt(bmp, 0, y) == blue);
    EXPECT_TRUE(PixelAt(bmp, 6, y) == blue);
    EXPECT_TRUE(PixelAt(bmp, 7, y) == white);
    EXPECT_TRUE(PixelAt(bmp, 13, y) == white);
    EXPECT_TRUE(PixelAt(bmp, 14, y) == red);
    EXPECT_TRUE(PixelAt(bmp, 20, y) == red);
  }
}

TEST(FlagBitmapTest, SizesOutsideTheLimitsAreRefused) {
  EXPECT_THROW(TricolourBitmap(Bands::kVertical, {}, 2, 10), std::invalid_argument);
  EXPECT_THROW(TricolourBitmap(Bands::kVertical, {}, 10, 0), std::invalid_argument);
  EXPECT_THROW(TricolourBitmap(Bands::kVertical, {}, 1025, 10), std::invalid_argument);
}

TEST(FlagBitmapTest, ColoursAreSixHexadecimalDigits) {
  const std::optional<Rgb> gold = ParseRgb("ffCE00");
  ASSERT_TRUE(gold.has_value());
  EXPECT_TRUE(*gold == kGold);
  EXPECT_FALSE(ParseRgb("FFCE0").has_value());
  EXPECT_FALSE(ParseRgb("FFCE000").has_value());
  EXPECT_FALSE(ParseRgb("GGCE00").has_value());
  EXPECT_FALSE(ParseRgb("#FFCE0").has_value());
}

}  // namespace
}  // namespace cvn::lngc
