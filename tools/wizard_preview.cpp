// Shows one page of the main window's install path as a user reaches it,
// by clicking its buttons, so that it can be looked at (tools/screenshot.sh
// takes its picture). The settings live in memory and the scans cover an
// empty HKEY_CURRENT_USER, so nothing of the machine is read or changed, and
// what the first scan leaves in the program folder is removed again. Not a
// test: it waits for a person, or for the script to end it.
//
//   CVN_PREVIEW_PAGE     = first | targets | run | tree   (default run)
//   CVN_PREVIEW_LANGUAGE = English | Deutsch | Francais   (default English)
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "engine/snapshot/snapshot_store.h"
#include "i18n/translator.h"
#include "monitoring/pending_monitoring.h"
#include "platform/memory/memory_registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "ui/main_window.h"

using namespace cvn;

namespace {

std::string Setting(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

void Click(ui::MainWindow& window, const char* name) {
  SendMessageW(window.FindComponent(name)->hwnd(), BM_CLICK, 0, 0);
}

// Runs the window's messages until the wizard shows `page`.
void PumpUntil(ui::MainWindow& window, wizard::Page page) {
  MSG message = {};
  while (window.wizard().page() != page && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
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
  settings.language = Setting("CVN_PREVIEW_LANGUAGE", "English");
  settings.scan_hkcr = settings.scan_hklm = settings.scan_hku = settings.scan_hkcc = false;
  settings.scan_hkcu = true;
  settings.scan_windows_folder = settings.scan_program_files = false;
  settings.scan_system_partition = settings.scan_other_folders = false;
  settings.other_folders = "C:\\Program Files\\Quillfern";
  settings::SaveSettings(registry, settings);
  ui::AppContext context;
  ui::MainWindow window(context, registry);
  if (!window.Create()) return 1;
  window.Show(SW_SHOWNORMAL);

  const std::string page = Setting("CVN_PREVIEW_PAGE", "run");
  if (page != "first") {
    SetWindowTextW(window.FindComponent("edIdentif")->hwnd(), L"Quillfern");
    Click(window, "btnNext");
  }
  if (page == "run" || page == "tree") {
    Click(window, "btnNext");
    PumpUntil(window, wizard::Page::kRun);
    SetWindowTextW(window.FindComponent("edSetupPath")->hwnd(), L"D:\\Downloads\\quillfern-setup.exe");
  }
  if (page == "tree") {
    Click(window, "rbStarted");
    Click(window, "btnNext");
    while (!IsWindowEnabled(window.FindComponent("btnNext")->hwnd())) {
      PumpUntil(window, wizard::Page::kTree);
      MSG message = {};
      if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
      DispatchMessageW(&message);
    }
  }
  // A preview leaves no monitoring behind.
  monitoring::PendingMonitoring(fs, registry, context.program_folder).Abandon();
  const int code = ui::RunMessageLoop(window.hwnd());
  i18n::InstallTranslator(nullptr);
  return code;
}
