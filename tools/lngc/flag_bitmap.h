// Flags for the language files: tricolour pictures drawn as 24-bit
// uncompressed Windows bitmaps (BMP files), so that no picture has to be kept
// in the repository or fetched from elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace cvn::lngc {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

enum class Bands {
  kHorizontal,  // the first colour on top
  kVertical,    // the first colour on the left
};

// The bytes of a BMP file: file header, 40-byte info header, bottom-up rows
// of blue, green, red bytes, each row padded to a multiple of 4 bytes. The
// picture is cut into three bands of (nearly) equal size; width and height
// must be between 3 and 1024.
std::vector<uint8_t> TricolourBitmap(Bands bands, const std::array<Rgb, 3>& colours, int width,
                                     int height);

// "RRGGBB" in hexadecimal digits; nothing for any other text.
std::optional<Rgb> ParseRgb(std::string_view text);

}  // namespace cvn::lngc
