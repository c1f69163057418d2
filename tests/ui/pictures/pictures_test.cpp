#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "tests/support/bytes.h"
#include "ui/pictures/change_pictures.h"
#include "ui/pictures/picture_files.h"
#include "ui/pictures/raster.h"

namespace cvn::pictures {
namespace {

double Alpha(uint32_t pixel) {
  return (pixel >> 24) / 255.0;
}

double TotalAlpha(const std::vector<uint32_t>& pixels) {
  double total = 0;
  for (uint32_t pixel : pixels) total += Alpha(pixel);
  return total;
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

uint32_t Read16(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8;
}

TEST(RasterTest, CoverageIsTheAreaInsideEachPixel) {
  Canvas canvas(6);
  canvas.Fill(Path().Rect(1.5, 1.5, 4.5, 3), Colour{0xFF000000});
  const std::vector<uint32_t> pixels = canvas.Pixels();
  EXPECT_NEAR(TotalAlpha(pixels), 3 * 1.5, 0.02);
  EXPECT_EQ(pixels[1 * 6 + 1] >> 24, 64u);   // a quarter of the corner pixel
  EXPECT_EQ(pixels[2 * 6 + 2] >> 24, 255u);  // inside
  EXPECT_EQ(pixels[1 * 6 + 2] >> 24, 128u);  // half of an edge pixel
  EXPECT_EQ(pixels[3 * 6 + 2], 0u);          // below the bottom edge
}

TEST(RasterTest, AHoleCutsOutAndOverlapsJoin) {
  Canvas ring(24);
  ring.Fill(Path().Circle({12, 12}, 10).Circle({12, 12}, 6, true), Colour{0xFF204080});
  EXPECT_NEAR(TotalAlpha(ring.Pixels()), std::numbers::pi * (100 - 36), 1.0);
  EXPECT_EQ(ring.Pixels()[12 * 24 + 12], 0u);

  // Two overlapping squares count their common part once.
  Canvas joined(8);
  joined.Fill(Path().Rect(0, 0, 4, 4).Rect(2, 2, 6, 6), Colour{0xFF000000});
  EXPECT_NEAR(TotalAlpha(joined.Pixels()), 16 + 16 - 4, 0.02);
}

TEST(RasterTest, PaintingOverBlendsWithPremultipliedColour) {
  Canvas canvas(1);
  canvas.Fill(Path().Rect(0, 0, 1, 1), Colour{0xFF0000FF});
  canvas.Fill(Path().Rect(0, 0, 1, 1), Colour{0x80FF0000});
  EXPECT_EQ(canvas.Pixels()[0], 0xFF80007Fu);
  canvas.Erase(Path().Rect(0, 0, 1, 0.5));
  EXPECT_EQ(canvas.Pixels()[0], 0x8040003Fu);
}

// Every picture at the tree's sizes: a square of premultiplied pixels, drawn
// across at least half of it each way, and none like another.
TEST(ChangePicturesTest, EachPictureFillsItsSquareAndDiffersFromTheOthers) {
  for (int size : {16, 24, 32}) {
    std::vector<std::vector<uint32_t>> pictures;
    for (int index = 0; index < kChangePictureCount; ++index) {
      SCOPED_TRACE(testing::Message() << "picture " << index << " at " << size);
      const std::vector<uint32_t> pixels = DrawChangePicture(index, size);
      ASSERT_EQ(pixels.size(), static_cast<size_t>(size * size));
      int left = size, right = -1, top = size, bottom = -1;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          const uint32_t pixel = pixels[static_cast<size_t>(y * size + x)];
          const uint32_t alpha = pixel >> 24;
          ASSERT_LE((pixel >> 16) & 0xFF, alpha);
          ASSERT_LE((pixel >> 8) & 0xFF, alpha);
          ASSERT_LE(pixel & 0xFF, alpha);
          if (alpha < 128) continue;
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
      }
      EXPECT_GE(right - left + 1, size / 2);
      EXPECT_GE(bottom - top + 1, size / 2);
      for (size_t other = 0; other < pictures.size(); ++other)
        EXPECT_NE(pixels, pictures[other]) << "the same as picture " << other;
      pictures.push_back(pixels);
    }
  }
}

TEST(ChangePicturesTest, AnUnknownIndexIsTransparentAndNoSizeIsNoPicture) {
  for (int index : {-1, kChangePictureCount})
    EXPECT_EQ(DrawChangePicture(index, 16), std::vector<uint32_t>(256, 0)) << index;
  EXPECT_TRUE(DrawChangePicture(0, 0).empty());
  EXPECT_TRUE(DrawProgramIcon(-5).empty());
}

TEST(ChangePicturesTest, SizesTooSmallForTheDetailsStillDraw) {
  for (int size = 1; size < 16; ++size) {
    for (int index = 0; index < kChangePictureCount; ++index)
      EXPECT_EQ(DrawChangePicture(index, size).size(), static_cast<size_t>(size * size));
    EXPECT_EQ(DrawProgramIcon(size).size(), static_cast<size_t>(size * size));
  }
}

// An icon file read back as Windows reads it: its entries point at images
// whose headers and pixels are the pictures given.
TEST(IconFileTest, EntriesDescribeTheImagesThatFollow) {
  Image small{16, 16, std::vector<uint32_t>(256, 0)};
  small.pixels[0] = 0x80402010;    // top left: half transparent, premultiplied
  small.pixels[255] = 0xFF112233;  // bottom right: opaque
  const Image large{256, 256, DrawProgramIcon(256)};
  const std::vector<uint8_t> file = IconFile({small, large});

  ASSERT_GE(file.size(), 6u + 2 * 16);
  EXPECT_EQ(test::Hex({file.data(), 6}), "000001000200");
  size_t expected_offset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    const int size = i == 0 ? 16 : 256;
    EXPECT_EQ(file[entry], size % 256);
    EXPECT_EQ(file[entry + 1], size % 256);
    EXPECT_EQ(Read16(file, entry + 4), 1u);   // planes
    EXPECT_EQ(Read16(file, entry + 6), 32u);  // bits per pixel
    const uint32_t bytes = Read32(file, entry + 8);
    const uint32_t offset = Read32(file, entry + 12);
    EXPECT_EQ(offset, expected_offset);
    // Header, colour rows, mask rows padded to 4 bytes.
    EXPECT_EQ(bytes, 40u + size * size * 4 + (size + 31) / 32 * 4 * size);
    ASSERT_LE(offset + bytes, file.size());
    EXPECT_EQ(Read32(file, offset), 40u);
    EXPECT_EQ(Read32(file, offset + 4), static_cast<uint32_t>(size));
    EXPECT_EQ(Read32(file, offset + 8), static_cast<uint32_t>(size * 2));
    EXPECT_EQ(Read16(file, offset + 14), 32u);
    expected_offset = offset + bytes;
  }
  EXPECT_EQ(expected_offset, file.size());

  // The small image's rows run bottom-up with straight alpha; its mask is
  // set where nothing is drawn.
  const size_t colours = Read32(file, 6 + 12) + 40;
  EXPECT_EQ(Read32(file, colours + 15 * 16 * 4), 0x80804020u);  // top row, first pixel
  EXPECT_EQ(Read32(file, colours + 15 * 4), 0xFF112233u);       // bottom row, last pixel
  const size_t mask = colours + 16 * 16 * 4;
  EXPECT_EQ(test::Hex({file.data() + mask, 4}), "fffe0000");           // bottom row
  EXPECT_EQ(test::Hex({file.data() + mask + 15 * 4, 4}), "7fff0000");  // top row
}

TEST(IconFileTest, OnlySquaresUpTo256PixelsFit) {
  EXPECT_THROW(IconFile({Image{16, 8, std::vector<uint32_t>(128, 0)}}), std::invalid_argument);
  EXPECT_THROW(IconFile({Image{257, 257, std::vector<uint32_t>(257 * 257, 0)}}),
               std::invalid_argument);
  EXPECT_THROW(IconFile({Image{16, 16, std::vector<uint32_t>(10, 0)}}), std::invalid_argument);
}

}  // namespace
}  // namespace cvn::pictures
