// corvane-pictures: writes the program's icon file for the build, and a
// contact sheet of every picture for looking at them.
//
//   corvane-pictures --icon FILE.ico
//   corvane-pictures --sheet FILE.bmp
//
// The sheet shows the 20 pictures of the changes tree and the icon at 16, 24,
// 32 and 64 pixels on white, on a dark background and on the blue of a
// selected row, with the 16-pixel ones magnified four times on top.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/pictures/change_pictures.h"
#include "ui/pictures/picture_files.h"

namespace {

using cvn::pictures::Image;

constexpr int kIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
constexpr int kSheetSizes[] = {16, 24, 32, 64};
constexpr int kMagnified = 4;
constexpr int kCell = 64 + 12;
constexpr uint32_t kBackgrounds[] = {0xFFFFFFFF, 0xFF202226, 0xFF0A64C8};
constexpr int kColumns = cvn::pictures::kChangePictureCount + 1;  // the icon last

std::vector<uint32_t> Draw(int column, int size) {
  return column < cvn::pictures::kChangePictureCount
             ? cvn::pictures::DrawChangePicture(column, size)
             : cvn::pictures::DrawProgramIcon(size);
}

// Lays premultiplied `pixels` of `size` over the sheet at (left, top), each
// pixel `scale` times across and down.
void Paste(Image& sheet, const std::vector<uint32_t>& pixels, int size, int left, int top,
           int scale) {
  for (int y = 0; y < size * scale; ++y) {
    for (int x = 0; x < size * scale; ++x) {
      const uint32_t source = pixels[static_cast<size_t>(y / scale) * size + x / scale];
      uint32_t& target = sheet.pixels[static_cast<size_t>(top + y) * sheet.width + left + x];
      const uint32_t keep = 255 - (source >> 24);
      uint32_t blended = 0xFF000000;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t value =
            ((source >> shift) & 0xFF) + (((target >> shift) & 0xFF) * keep + 127) / 255;
        blended |= std::min<uint32_t>(value, 255) << shift;
      }
      target = blended;
    }
  }
}

void Fill(Image& sheet, int top, int height, uint32_t colour) {
  std::fill(sheet.pixels.begin() + static_cast<ptrdiff_t>(top) * sheet.width,
            sheet.pixels.begin() + static_cast<ptrdiff_t>(top + height) * sheet.width, colour);
}

Image ContactSheet() {
  int panel_height = 0;
  for (int size : kSheetSizes) panel_height += size + 12;
  const int magnified_height = 16 * kMagnified + 12;
  Image sheet;
  sheet.width = kColumns * kCell;
  sheet.height = magnified_height + panel_height * static_cast<int>(std::size(kBackgrounds));
  sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height, 0xFFFFFFFF);
  for (int column = 0; column < kColumns; ++column)
    Paste(sheet, Draw(column, 16), 16, column * kCell + 6, 6, kMagnified);
  int top = magnified_height;
  for (uint32_t background : kBackgrounds) {
    Fill(sheet, top, panel_height, background);
    for (int size : kSheetSizes) {
      for (int column = 0; column < kColumns; ++column)
        Paste(sheet, Draw(column, size), size, column * kCell + 6, top + 6, 1);
      top += size + 12;
    }
  }
  return sheet;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "--icon") {
      std::vector<Image> images;
      for (int size : kIconSizes)
        images.push_back({size, size, cvn::pictures::DrawProgramIcon(size)});
      WriteFile(args[1], cvn::pictures::IconFile(images));
      return 0;
    }
    if (args.size() == 2 && args[0] == "--sheet") {
      WriteFile(args[1], cvn::pictures::BitmapFile(ContactSheet()));
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "corvane-pictures: " << error.what() << "\n";
    return 1;
  }
  std::cerr << "usage: corvane-pictures --icon FILE.ico | --sheet FILE.bmp\n";
  return 2;
}
