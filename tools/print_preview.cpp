// Prints a changes tree of every kind of change, with long paths and data,
// through the real Win32 canvas into one enhanced metafile per page, plays
// each page into a bitmap and writes it as a BMP file, so that printouts
// can be looked at without a printer. Not a test: run it by hand.
//
//   print_preview.exe OUTPUT_PREFIX [PIXELS_PER_INCH [FONT]]
//
// writes OUTPUT_PREFIX-1.bmp, -2.bmp, ... (and each page's metafile as
// OUTPUT_PREFIX-1.emf, ...) for A4 pages at PIXELS_PER_INCH (300 by default)
// in FONT (the changes tree's default font by default) and prints their
// names.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "changes/changes_view.h"
#include "changes/print_changes.h"
#include "platform/locale.h"
#include "settings/settings.h"
#include "ui/change_pictures.h"
#include "tools/sample_changes.h"
#include "ui/print_canvas_win32.h"

using namespace cvn;
using changes::NodeKind;
using tools::Add;

namespace {

constexpr uint32_t kHkcu = 0x80000001, kHklm = 0x80000002;
constexpr uint32_t kRegBinary = 3;

std::string Sz(std::string_view text) {
  return std::string(text) + '\0';
}
std::string Dword(uint32_t n) {
  return {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
          static_cast<char>(n >> 24)};
}
std::string FileInfo(std::string_view date, int size) {
  return std::string(date) + "  " + std::to_string(size) + '\0';
}

// An installation of every kind of change, enough for three A4 pages.
void FillTree(changes::ChangeTree& tree) {
  const std::string app = "C:\\Program Files\\Quillfern Editor";
  Add(tree, "C:\\Program Files", "Quillfern Editor", NodeKind::kFolderAdded);
  Add(tree, app, "quillfern.exe", NodeKind::kFileAdded, 0, 0, "", FileInfo("12/07/2026", 2483712));
  Add(tree, app, "qfhelper.dll", NodeKind::kFileMovedTo, 0, 0, "", FileInfo("11/02/2025", 88064));
  Add(tree, app, "plugins", NodeKind::kFolderAdded);
  for (int i = 1; i <= 48; ++i) {
    Add(tree, app + "\\plugins", "spelling-dictionary-" + std::to_string(1000 + i) + ".qfx",
        NodeKind::kFileAdded, 0, 0, "", FileInfo("12/07/2026", 1000 * i + 17));
  }
  const std::string templates_parent =
      app +
      "\\resources\\document templates\\letters and formal correspondence for "
      "societies, clubs, committees and the parish council";
  const std::string templates = templates_parent + "\\invitations to the annual general meeting";
  Add(tree, templates_parent, "invitations to the annual general meeting", NodeKind::kFolderAdded);
  Add(tree, templates,
      "annual general meeting invitation with agenda and minutes of the last "
      "meeting, long form with signature block.qft",
      NodeKind::kFileAdded, 0, 0, "", FileInfo("12/07/2026", 40960));
  Add(tree,
      "C:\\ProgramData\\QuillfernSharedComponentCache\\"
      "6f1d2a9e4b7c4e0f9a3b5d7e1c2f4a6b8d0e2f4a6c8e0a2b4d6f8a0c2e4f6a8b",
      "ComponentStoreWithAVeryLongIdentifierThatHasNoSpacesAtAllAndMustBreakInsideTheWord",
      NodeKind::kFolderAdded);
  Add(tree, "C:\\Users\\Public", "Old Setup Files", NodeKind::kFolderDeleted);
  Add(tree, "C:\\Windows", "win.ini", NodeKind::kFileChanged, 0, 0, FileInfo("01/01/2026", 478),
      FileInfo("12/07/2026", 529));
  Add(tree, "C:\\Windows\\Temp", "quillfern-setup.log", NodeKind::kFileDeleted, 0, 0,
      FileInfo("12/07/2026", 12001));
  Add(tree, "C:\\Windows\\System32", "qfhelper.dll", NodeKind::kFileMovedFrom, 0, 0,
      FileInfo("11/02/2025", 88064));

  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillfern";
  Add(tree, "HKEY_LOCAL_MACHINE\\SOFTWARE", "Quillfern", NodeKind::kKeyAdded, kHklm);
  Add(tree, key, "InstallPath", NodeKind::kValueAdded, kHklm, changes::kRegSz, "", Sz(app));
  Add(tree, key, "Version", NodeKind::kValueAdded, kHklm, changes::kRegDword, "", Dword(70300));
  std::string licence;
  for (int i = 0; i < 300; ++i) licence += static_cast<char>(i * 37 % 256);
  Add(tree, key, "Licence", NodeKind::kValueAdded, kHklm, kRegBinary, "", licence);
  Add(tree, key, "", NodeKind::kValueAdded, kHklm, changes::kRegSz, "",
      Sz("Quillfern Editor\r\n\tdescription with a line feed and a tab"));
  Add(tree, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
      "C:\\Program Files\\Common Files\\Quillfern\\qfcore.dll", NodeKind::kCounterIncremented,
      kHklm, changes::kRegDword, "", Dword(2));
  const std::string settings = "HKEY_CURRENT_USER\\Software\\Quillfern\\Settings";
  Add(tree, settings, "Theme", NodeKind::kValueChanged, kHkcu, changes::kRegSz, Sz("light"),
      Sz("dark"));
  Add(tree, settings, "WindowPlacement", NodeKind::kValueChanged, kHkcu, kRegBinary,
      std::string(44, '\x01'), std::string(44, '\x7F'));
  Add(tree, settings, "LastFile", NodeKind::kValueDeleted, kHkcu, changes::kRegSz,
      Sz("C:\\Users\\Public\\Documents\\notes.qfd"));
  Add(tree, "HKEY_CURRENT_USER\\Software", "Obsolete Quillfern Preview", NodeKind::kKeyDeleted,
      kHkcu);
  for (int i = 1; i <= 90; ++i) {
    Add(tree, "HKEY_CURRENT_USER\\Software\\Quillfern\\Recent", "File" + std::to_string(100 + i),
        NodeKind::kValueAdded, kHkcu, changes::kRegSz, "",
        Sz("C:\\Users\\Public\\Documents\\Letter " + std::to_string(i) +
           " to the committee about the annual garden show.qfd"));
  }
  tree.MarkEmptyBranches();
}

// Plays a page into a 24-bit bitmap and writes it as a BMP file.
bool WritePage(const ui::MetafileDevice& device, size_t index, const std::string& file_name) {
  const int width = device.PageWidth(), height = device.PageHeight();
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return false;
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const bool played = device.PlayPage(index, dc);
  GdiFlush();
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t size = row * static_cast<uint32_t>(height);
  info.bmiHeader.biSizeImage = size;
  BITMAPFILEHEADER header = {
      0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
      sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  std::ofstream out(file_name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&header), sizeof(header));
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
  out.write(static_cast<const char*>(bits), size);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return played && out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: print_preview OUTPUT_PREFIX [PIXELS_PER_INCH [FONT]]\n");
    return 2;
  }
  const int dpi = argc > 2 ? std::atoi(argv[2]) : 300;
  if (dpi < 72 || dpi > 1200) return 2;

  settings::Settings settings;
  if (argc > 3) settings.tree_font_name = argv[3];
  changes::ChangeTree tree(settings);
  FillTree(tree);

  SYSTEMTIME now;
  GetLocalTime(&now);
  const platform::CivilDateTime when = {now.wYear, now.wMonth,  now.wDay,
                                        now.wHour, now.wMinute, now.wSecond};
  const platform::DateTimeFormat& format = platform::UserDateTimeFormat();
  const changes::PrintOptions options = {"Quillfern",
                                         format.ShortDate(when) + " " + format.LongTime(when)};

  // A4: 210 by 297 millimetres.
  ui::MetafileDevice device(MulDiv(210, dpi * 100, 2540), MulDiv(297, dpi * 100, 2540), dpi);
  // The pictures at the font's height, as the print job makes them.
  const ui::PrintFont font = {settings.tree_font_name, settings.tree_font_size};
  HIMAGELIST pictures = ui::CreateChangePictures(ui::FontPixelHeight(font, device));
  bool printed;
  {
    ui::Win32PrintCanvas canvas(device, font, pictures);
    printed = changes::PrintChanges(tree, changes::kNoNode, options, canvas);
  }
  ImageList_Destroy(pictures);
  if (!printed) {
    std::fprintf(stderr, "print_preview: printing failed\n");
    return 1;
  }
  for (size_t i = 0; i < device.pages().size(); ++i) {
    const std::string file_name = std::string(argv[1]) + "-" + std::to_string(i + 1) + ".bmp";
    if (!WritePage(device, i, file_name)) {
      std::fprintf(stderr, "print_preview: cannot write %s\n", file_name.c_str());
      return 1;
    }
    const std::string metafile_name = std::string(argv[1]) + "-" + std::to_string(i + 1) + ".emf";
    DeleteEnhMetaFile(CopyEnhMetaFileW(
        device.pages()[i], std::wstring(metafile_name.begin(), metafile_name.end()).c_str()));
    std::printf("%s\n", file_name.c_str());
  }
  return 0;
}
