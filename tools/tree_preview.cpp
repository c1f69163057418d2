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
#include "tools/sample_changes.h"
#include "ui/main_window.h"

using namespace cvn;

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
  tools::FillWithEveryKind(tree);
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
