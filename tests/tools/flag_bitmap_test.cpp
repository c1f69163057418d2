#include "tools/lngc/flag_bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>
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
  // The first stored row is the bottom one: gold, blue byte first, then two zero bytes.
  EXPECT_EQ(test::Hex({bmp.data() + 54, 32}),
            "00ceff00ceff00ceff00ceff00ceff00ceff00ceff00ceff00ceff00ceff0000");
}

// The colour at (x, y), y counted from the top, as a viewer shows it.
Rgb PixelAt(const std::vector<uint8_t>& bmp, int width, int height, int x, int y) {
  const size_t row_size = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
  const size_t at =
      54 + row_size * static_cast<size_t>(height - 1 - y) + 3 * static_cast<size_t>(x);
  return Rgb{bmp.at(at + 2), bmp.at(at + 1), bmp.at(at)};
}

TEST(FlagBitmapTest, BandsSplitThePictureInThree) {
  const Rgb blue{0x00, 0x55, 0xA4}, white{0xFF, 0xFF, 0xFF};
  struct Pixel {
    Bands bands;
    int x, y;
    Rgb colour;
  };
  // 21 x 12 pictures: horizontal bands of 4 rows, vertical ones of 7 columns.
  const Pixel pixels[] = {
      {Bands::kHorizontal, 20, 3, kBlack}, {Bands::kHorizontal, 0, 4, kRed},
      {Bands::kHorizontal, 20, 7, kRed},   {Bands::kHorizontal, 0, 8, kGold},
      {Bands::kVertical, 6, 11, blue},     {Bands::kVertical, 7, 0, white},
      {Bands::kVertical, 13, 11, white},   {Bands::kVertical, 14, 0, kRed},
  };
  for (const Pixel& p : pixels) {
    SCOPED_TRACE(::testing::Message() << (p.bands == Bands::kVertical ? "vertical " : "horizontal ")
                                      << p.x << "," << p.y);
    const std::array<Rgb, 3> colours = p.bands == Bands::kVertical
                                           ? std::array{blue, white, kRed}
                                           : std::array{kBlack, kRed, kGold};
    EXPECT_TRUE(PixelAt(TricolourBitmap(p.bands, colours, 21, 12), 21, 12, p.x, p.y) == p.colour);
  }
}

TEST(FlagBitmapTest, SizesOutsideTheLimitsAreRefused) {
  EXPECT_NO_THROW(TricolourBitmap(Bands::kVertical, {}, 3, 1024));
  for (const auto& [width, height] : {std::pair{2, 10}, {10, 0}, {1025, 10}, {10, 1025}}) {
    EXPECT_THROW(TricolourBitmap(Bands::kVertical, {}, width, height), std::invalid_argument)
        << width << " x " << height;
  }
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
