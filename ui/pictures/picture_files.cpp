#include "ui/pictures/picture_files.h"

#include <algorithm>
#include <stdexcept>

namespace cvn::pictures {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kIconHeaderSize = 6;
constexpr uint32_t kIconEntrySize = 16;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

uint32_t MaskRowSize(const Image& image) {
  return (static_cast<uint32_t>(image.width) + 31) / 32 * 4;
}

uint32_t IconImageSize(const Image& image) {
  const auto width = static_cast<uint32_t>(image.width);
  const auto height = static_cast<uint32_t>(image.height);
  return kInfoHeaderSize + width * height * 4 + MaskRowSize(image) * height;
}

// A BITMAPINFOHEADER for 32-bit uncompressed rows, `rows` of them.
void PutInfoHeader(std::vector<uint8_t>& out, const Image& image, uint32_t rows,
                   uint32_t image_size) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, rows);
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  Put32(out, 0);   // BI_RGB: uncompressed
  Put32(out, image_size);
  Put32(out, 0);  // pixels per metre across and down: not given
  Put32(out, 0);
  Put32(out, 0);  // colours used: none in a palette
  Put32(out, 0);  // important colours: all
}

void PutRowsBottomUp(std::vector<uint8_t>& out, const Image& image) {
  const std::vector<uint32_t> straight = StraightAlpha(image.pixels);
  for (int row = image.height - 1; row >= 0; --row) {
    for (int x = 0; x < image.width; ++x)
      Put32(out, straight[static_cast<size_t>(row) * image.width + x]);
  }
}

void CheckPixels(const Image& image) {
  if (image.width < 1 || image.height < 1 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height)
    throw std::invalid_argument("a picture's pixels do not match its size");
}

}  // namespace

std::vector<uint32_t> StraightAlpha(const std::vector<uint32_t>& premultiplied) {
  std::vector<uint32_t> out(premultiplied.size());
  std::transform(premultiplied.begin(), premultiplied.end(), out.begin(), [](uint32_t pixel) {
    const uint32_t alpha = pixel >> 24;
    if (alpha == 0) return 0u;
    if (alpha == 255) return pixel;
    const auto channel = [&](int shift) {
      const uint32_t value = (pixel >> shift) & 0xFF;
      return std::min<uint32_t>(255, (value * 255 + alpha / 2) / alpha) << shift;
    };
    return alpha << 24 | channel(16) | channel(8) | channel(0);
  });
  return out;
}

std::vector<uint8_t> BitmapFile(const Image& image) {
  CheckPixels(image);
  const uint32_t pixels_size = static_cast<uint32_t>(image.pixels.size()) * 4;
  const uint32_t pixels_offset = kFileHeaderSize + kInfoHeaderSize;
  std::vector<uint8_t> out;
  out.reserve(pixels_offset + pixels_size);
  out.push_back('B');
  out.push_back('M');
  Put32(out, pixels_offset + pixels_size);
  Put32(out, 0);  // two reserved words
  Put32(out, pixels_offset);
  PutInfoHeader(out, image, static_cast<uint32_t>(image.height), pixels_size);
  PutRowsBottomUp(out, image);
  return out;
}

std::vector<uint8_t> IconFile(const std::vector<Image>& images) {
  for (const Image& image : images) {
    CheckPixels(image);
    if (image.width != image.height || image.width > 256)
      throw std::invalid_argument("an icon's pictures are squares of 1 to 256 pixels");
  }
  std::vector<uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = kIconHeaderSize + kIconEntrySize * static_cast<uint32_t>(images.size());
  for (const Image& image : images) {
    out.push_back(static_cast<uint8_t>(image.width));  // 256 is written as 0
    out.push_back(static_cast<uint8_t>(image.height));
    out.push_back(0);  // no palette
    out.push_back(0);  // reserved
    Put16(out, 1);     // planes
    Put16(out, 32);    // bits per pixel
    Put32(out, IconImageSize(image));
    Put32(out, offset);
    offset += IconImageSize(image);
  }
  for (const Image& image : images) {
    const uint32_t height = static_cast<uint32_t>(image.height);
    PutInfoHeader(out, image, height * 2, IconImageSize(image) - kInfoHeaderSize);
    PutRowsBottomUp(out, image);
    // The mask: a set bit where nothing is drawn.
    for (int row = image.height - 1; row >= 0; --row) {
      std::vector<uint8_t> bits(MaskRowSize(image), 0);
      for (int x = 0; x < image.width; ++x) {
        if (image.pixels[static_cast<size_t>(row) * image.width + x] >> 24 == 0)
          bits[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      out.insert(out.end(), bits.begin(), bits.end());
    }
  }
  return out;
}

}  // namespace cvn::pictures
