#include "ui/change_pictures.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/pictures/change_pictures.h"
#include "ui/pictures/picture_files.h"

namespace cvn::ui {

namespace {

// Adds `size` by `size` premultiplied pixels to `list`; its index, or -1.
int AddPicture(HIMAGELIST list, const std::vector<uint32_t>& premultiplied, int size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // the top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return -1;
  // Image lists take straight alpha and premultiply it themselves.
  const std::vector<uint32_t> pixels = pictures::StraightAlpha(premultiplied);
  std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
  const int added = ImageList_Add(list, bitmap, nullptr);
  DeleteObject(bitmap);
  return added;
}

}  // namespace

HIMAGELIST CreateChangePictures(int size) {
  if (size < 1) return nullptr;
  const HIMAGELIST list =
      ImageList_Create(size, size, ILC_COLOR32, pictures::kChangePictureCount, 0);
  if (list == nullptr) return nullptr;
  for (int index = 0; index < pictures::kChangePictureCount; ++index) {
    if (AddPicture(list, pictures::DrawChangePicture(index, size), size) != index) {
      ImageList_Destroy(list);
      return nullptr;
    }
  }
  return list;
}

HIMAGELIST CreateBackgroundPicture(int size) {
  if (size < 1) return nullptr;
  const HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, 1, 0);
  if (list == nullptr) return nullptr;
  // Faint enough that the rows stay as readable as on a plain background.
  std::vector<uint32_t> pixels = pictures::DrawProgramIcon(size);
  for (uint32_t& pixel : pixels) {
    uint32_t faded = 0;
    for (int shift = 0; shift < 32; shift += 8)
      faded |= (((pixel >> shift) & 0xFF) * kBackgroundOpacity / 255) << shift;
    pixel = faded;
  }
  if (AddPicture(list, pixels, size) != 0) {
    ImageList_Destroy(list);
    return nullptr;
  }
  return list;
}

}  // namespace cvn::ui
