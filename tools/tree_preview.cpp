// Shows the main window's tree page with a tree that holds every kind of
// change (and so all twenty pictures), in uninstall mode with its check
// boxes, so that it can be looked at (tools/screenshot.sh takes its
// picture). Not a test: it waits for a person, or for the script to end it.
//
//   CVN_PREVIEW_LANGUAGE = English | Deutsch | Francais   (default English)
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "changes/change_tree.h"
#include "i18n/translator.h"
#include "platform/memory/memory_registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "ui/main_window.h"

using namespace cvn;
using changes::NodeKind;

namespace {

void Add(changes::ChangeTree& tree, std::string_view path, std::string_view name, NodeKind kind,
         uint32_t root_key = 0, uint32_t type = 0, std::string_view before = {},
         std::string_view after = {}) {
  changes::ChangeRecord record;
  record.kind = kind;
  record.root_key = root_key;
  record.value_type = type;
  record.path = path;
  const auto buffer = [](std::string_view text) {
    return changes::CopyBuffer(
        std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  };
  record.before = buffer(before);
  record.before_size = static_cast<int32_t>(before.size());
  record.after = buffer(after);
  record.after_size = static_cast<int32_t>(after.size());
  tree.AddToTree(path, name, record);
}

void FillWithEveryKind(changes::ChangeTree& tree) {
  constexpr uint32_t kHklm = 0x80000002;
  const std::string_view app = "C:\\Program Files\\Quillfern";
  Add(tree, "C:\\Program Files", "Quillfern", NodeKind::kFolderAdded);
  Add(tree, app, "quillfern.exe", NodeKind::kFileAdded, 0, 0, {},
      std::string_view("12:04 07/12/26 482304\0", 22));
  Add(tree, app, "readme.txt", NodeKind::kFileChanged, 0, 0,
      std::string_view("09:15 01/03/25 1200\0", 20), std::string_view("12:04 07/12/26 1342\0", 20));
  Add(tree, "C:\\Program Files\\Common Files", "shared.dll", NodeKind::kFileDeleted, 0, 0,
      std::string_view("10:00 02/02/24 65536\0", 21));
  Add(tree, "C:\\Program Files\\Old", "notes.txt", NodeKind::kFileMovedFrom, 0, 0,
      std::string_view("08:30 05/05/25 811\0", 19));
  Add(tree, app, "notes.txt", NodeKind::kFileMovedTo, 0, 0, {},
      std::string_view("08:30 05/05/25 811\0", 19));
  Add(tree, "C:\\Program Files", "Quillfern 2", NodeKind::kFolderDeleted);
  const std::string_view key = "HKEY_LOCAL_MACHINE\\Software\\Quillfern";
  Add(tree, "HKEY_LOCAL_MACHINE\\Software", "Quillfern", NodeKind::kKeyAdded, kHklm);
  Add(tree, key, "InstallDir", NodeKind::kValueAdded, kHklm, 1, {},
      std::string_view("C:\\Program Files\\Quillfern\0", 27));
  Add(tree, key, "Flags", NodeKind::kValueAdded, kHklm, 3, {}, std::string_view("\x01\x02\x7f", 3));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Theme", NodeKind::kValueChanged, kHklm, 1,
      std::string_view("Light\0", 6), std::string_view("Dark\0", 5));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Size", NodeKind::kValueChanged, kHklm, 4,
      std::string_view("\x10\0\0\0", 4), std::string_view("\x20\0\0\0", 4));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Owner", NodeKind::kValueDeleted, kHklm, 1,
      std::string_view("Ada\0", 4));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Mask", NodeKind::kValueDeleted, kHklm, 3,
      std::string_view("\xff\x00", 2));
  Add(tree, "HKEY_LOCAL_MACHINE\\Software\\Vendor", "Legacy", NodeKind::kKeyDeleted, kHklm);
  const std::string_view shared =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  Add(tree, shared, "C:\\Program Files\\Common Files\\qf.dll", NodeKind::kCounterIncremented, kHklm,
      4, std::string_view("\x01\0\0\0", 4), std::string_view("\x02\0\0\0", 4));
  Add(tree, shared, "C:\\Program Files\\Common Files\\qf.ocx", NodeKind::kCounterIncremented, kHklm,
      1, {}, std::string_view("1\0", 2));
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::win32::Win32FileSystem fs;
  i18n::Translator translator(fs, platform::win32::ExecutablePath());
  i18n::InstallTranslator(&translator);
  platform::MemoryRegistry registry;
  settings::Settings settings;
  if (const char* language = std::getenv("CVN_PREVIEW_LANGUAGE")) settings.language = language;
  settings::SaveSettings(registry, settings);
  ui::AppContext context;
  ui::MainWindow window(context, registry);
  if (!window.Create()) return 1;
  changes::ChangeTree& tree = window.changes_tree();
  tree.SetUninstallMode(true);
  tree.Reset();
  FillWithEveryKind(tree);
  tree.MarkEmptyBranches();
  window.ShowChangesTree("Quillfern");
  window.tree_page().OnExpandAllClick();
  window.Show(SW_SHOWNORMAL);
  // Room for every row, painted before the screenshot is taken.
  SetWindowPos(window.hwnd(), nullptr, 0, 0, MulDiv(1000, ui::WindowDpi(window.hwnd()), 96),
               MulDiv(740, ui::WindowDpi(window.hwnd()), 96), SWP_NOZORDER);
  RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const int code = ui::RunMessageLoop(window.hwnd());
  i18n::InstallTranslator(nullptr);
  return code;
}
