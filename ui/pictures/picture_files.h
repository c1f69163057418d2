// Pictures as Windows files: a 32-bit bitmap (BMP) and an icon (ICO) with
// one uncompressed 32-bit image per size, the form resource compilers take.
//
// An icon file is a 6-byte header (0, type 1, the number of images), one
// 16-byte entry per image (width and height, 0 meaning 256; no palette; one
// plane; 32 bits; the image's byte count and its offset in the file), then
// the images in the entries' order. Each image is a 40-byte
// BITMAPINFOHEADER whose height counts the colour rows and the mask rows,
// the colour rows bottom-up as blue, green, red and straight alpha, then a
// 1-bit mask, rows padded to 4 bytes, set where the picture is transparent.
// All numbers are little-endian.
//
// Threads: pure functions.
#pragma once

#include <cstdint>
#include <vector>

namespace cvn::pictures {

// Premultiplied BGRA pixels as the drawing functions make them, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The same pixels with straight alpha, as Windows bitmaps and icons hold them.
std::vector<uint32_t> StraightAlpha(const std::vector<uint32_t>& premultiplied);

// A BMP file: a 14-byte file header, a 40-byte BITMAPINFOHEADER and the
// rows bottom-up, 32 bits a pixel with straight alpha.
std::vector<uint8_t> BitmapFile(const Image& image);

// An ICO file of square images of 1 to 256 pixels; throws
// std::invalid_argument for any other.
std::vector<uint8_t> IconFile(const std::vector<Image>& images);

}  // namespace cvn::pictures
