// The changes tree's image list on the real common controls, and the icon
// the build puts into corvane.exe.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/ui/ui_test_util.h"
#include "ui/change_pictures.h"
#include "ui/pictures/change_pictures.h"

namespace cvn::ui {
namespace {

// The picture as the image list draws it over white, read back as BGRA.
std::vector<uint32_t> DrawnOverWhite(HIMAGELIST list, int index, int size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  std::fill_n(static_cast<uint32_t*>(bits), size * size, 0x00FFFFFFu);
  ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits),
                               static_cast<uint32_t*>(bits) + size * size);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return pixels;
}

TEST(ChangePicturesTest, TheImageListDrawsEachPictureAsDrawn) {
  for (int size : {16, 24, 32}) {
    SCOPED_TRACE(size);
    const HIMAGELIST list = CreateChangePictures(size);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), pictures::kChangePictureCount);
    int width = 0, height = 0;
    ImageList_GetIconSize(list, &width, &height);
    EXPECT_EQ(width, size);
    EXPECT_EQ(height, size);
    // Blended over white, the list's picture is the drawn one: colours
    // premultiplied twice or not at all would differ at every soft edge.
    const int index = 5;
    const std::vector<uint32_t> expected = pictures::DrawChangePicture(index, size);
    const std::vector<uint32_t> drawn = DrawnOverWhite(list, index, size);
    int differing = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const uint32_t keep = 255 - (expected[i] >> 24);
      for (int shift = 0; shift < 24; shift += 8) {
        const int want = static_cast<int>(((expected[i] >> shift) & 0xFF) + keep);
        if (std::abs(want - static_cast<int>((drawn[i] >> shift) & 0xFF)) > 3) ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
    ImageList_Destroy(list);
  }
  EXPECT_EQ(CreateChangePictures(0), nullptr);
}

TEST(ProgramIconTest, CorvaneExeHoldsTheIconAtEverySize) {
  const HMODULE exe = LoadLibraryExW(testing::WindowsPath(CVN_CORVANE_EXE).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  const HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  // The group: reserved, type 1, count, then 14 bytes an image, the width first.
  const auto* group = static_cast<const uint8_t*>(LockResource(LoadResource(exe, found)));
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group[4], 8);
  std::vector<int> widths;
  for (int i = 0; i < 8; ++i) widths.push_back(group[6 + 14 * i]);
  EXPECT_EQ(widths, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 0}));  // 0: 256
  FreeLibrary(exe);
}

}  // namespace
}  // namespace cvn::ui
