#include "ui/change_pictures.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ui/pictures/change_pictures.h"
#include "ui/pictures/picture_files.h"

namespace cvn::ui {

HIMAGELIST CreateChangePictures(int size) {
  if (size < 1) return nullptr;
  const HIMAGELIST list =
      ImageList_Create(size, size, ILC_COLOR32, pictures::kChangePictureCount, 0);
  if (list == nullptr) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // the top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  for (int index = 0; index < pictures::kChangePictureCount; ++index) {
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int added = -1;
    if (bitmap != nullptr) {
      // Image lists take straight alpha and premultiply it themselves.
      const std::vector<uint32_t> pixels =
          pictures::StraightAlpha(pictures::DrawChangePicture(index, size));
      std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
      added = ImageList_Add(list, bitmap, nullptr);
      DeleteObject(bitmap);
    }
    if (added != index) {
      ImageList_Destroy(list);
      return nullptr;
    }
  }
  return list;
}

}  // namespace cvn::ui
