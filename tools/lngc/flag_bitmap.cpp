#include "tools/lngc/flag_bitmap.h"

#include <stdexcept>

namespace cvn::lngc {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kPixelsPerMetre = 2835;  // 72 dots per inch

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<uint8_t> TricolourBitmap(Bands bands, const std::array<Rgb, 3>& colours, int width,
                                     int height) {
  if (width < 3 || height < 3 || width > 1024 || height > 1024)
    throw std::invalid_argument("a flag must be 3 to 1024 pixels wide and high");
  const uint32_t row_size = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t image_size = row_size * static_cast<uint32_t>(height);
  const uint32_t pixels_offset = kFileHeaderSize + kInfoHeaderSize;

  std::vector<uint8_t> out;
  out.reserve(pixels_offset + image_size);
  // BITMAPFILEHEADER
  out.push_back('B');
  out.push_back('M');
  Put32(out, pixels_offset + image_size);
  Put32(out, 0);  // two reserved words
  Put32(out, pixels_offset);
  // BITMAPINFOHEADER; a positive height means the rows run bottom-up.
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits per pixel
  Put32(out, 0);   // BI_RGB: uncompressed
  Put32(out, image_size);
  Put32(out, kPixelsPerMetre);
  Put32(out, kPixelsPerMetre);
  Put32(out, 0);  // colours used: none in a palette
  Put32(out, 0);  // important colours: all

  for (int row = height - 1; row >= 0; --row) {  // `row` counts from the top
    for (int x = 0; x < width; ++x) {
      const int band = bands == Bands::kHorizontal ? row * 3 / height : x * 3 / width;
      const Rgb& colour = colours[static_cast<size_t>(band)];
      out.push_back(colour.blue);
      out.push_back(colour.green);
      out.push_back(colour.red);
    }
    out.resize(out.size() + row_size - static_cast<uint32_t>(width) * 3, 0);
  }
  return out;
}

std::optional<Rgb> ParseRgb(std::string_view text) {
  if (text.size() != 6) return std::nullopt;
  uint8_t bytes[3];
  for (size_t i = 0; i < 3; ++i) {
    const int hi = HexDigit(text[2 * i]);
    const int lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return Rgb{bytes[0], bytes[1], bytes[2]};
}

}  // namespace cvn::lngc
