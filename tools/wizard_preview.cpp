// Shows one page of the main window as a user reaches it, by clicking its
// buttons, so that it can be looked at (tools/screenshot.sh takes its
// picture). The settings and the registry live in memory and the scans cover
// an empty HKEY_CURRENT_USER, so nothing of the machine's registry is read or
// changed. What the pages leave in the program folder is removed again: the
// first scan's files, and the two sample archives the uninstall pages list,
// load and uninstall (their files are not on disk, so the log reports each
// as not found). Not a test: it waits for a person, or for the script to end it.
//
//   CVN_PREVIEW_PAGE     = first | targets | run | tree      the install path (default run)
//                          list | review | log               the uninstall path
//   CVN_PREVIEW_LANGUAGE = English | German | French         (default English)
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "changes/save_changes_tree.h"
#include "engine/snapshot/snapshot_store.h"
#include "i18n/translator.h"
#include "monitoring/pending_monitoring.h"
#include "platform/memory/memory_registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "tools/sample_changes.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

using namespace cvn;

namespace {

std::string Setting(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

void Click(ui::MainWindow& window, const char* name) {
  SendMessageW(window.FindComponent(name)->hwnd(), BM_CLICK, 0, 0);
}

// Runs the window's messages until `done` holds.
void PumpUntil(const std::function<bool()>& done) {
  MSG message = {};
  while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
void PumpUntil(ui::MainWindow& window, wizard::Page page) {
  PumpUntil([&] { return window.wizard().page() == page; });
}

constexpr const char* kSamples[] = {"Quillfern", "Inkwell"};

// Two archives in the program folder, of every kind of change.
void SaveSamples(platform::FileSystem& fs, const std::string& folder,
                 const settings::Settings& settings) {
  changes::ChangeTree tree(settings);
  tree.Reset();
  tools::FillWithEveryKind(tree);
  for (const char* name : kSamples) changes::SaveChangesTree(tree, fs, folder, name);
}

void RemoveSamples(platform::FileSystem& fs, const std::string& folder) {
  for (const char* name : kSamples) (void)fs.DeleteFile(folder + "\\" + name + ".cvn");
}

// The uninstall path up to `page`: the list, a loaded archive, its uninstall.
void ShowUninstallPage(ui::MainWindow& window, const std::string& page) {
  Click(window, "rbUninstall");
  if (page == "list") return;
  window.LoadApplication(kSamples[0]);
  PumpUntil(window, wizard::Page::kTree);
  PumpUntil([&] { return IsWindowEnabled(window.FindComponent("btnNext")->hwnd()) != FALSE; });
  if (page == "review") return;
  // The uninstall's question gets Enter, its default answer Yes.
  SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND box = FindWindowW(ui::kMessageFormClassName, nullptr);
    if (box == nullptr || !IsWindowVisible(box)) return;
    KillTimer(nullptr, timer);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
  });
  Click(window, "btnNext");
  PumpUntil([&] { return IsWindowEnabled(window.FindComponent("btnNext")->hwnd()) != FALSE; });
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
  settings.log_level = 1 | 2 | 4;  // every line of an uninstall
  settings.scan_windows_folder = settings.scan_program_files = false;
  settings.scan_system_partition = settings.scan_other_folders = false;
  settings.other_folders = "C:\\Program Files\\Quillfern";
  settings::SaveSettings(registry, settings);
  const std::string page = Setting("CVN_PREVIEW_PAGE", "run");
  const bool uninstall_path = page == "list" || page == "review" || page == "log";
  const std::string folder = ui::FolderOfPath(platform::win32::ExecutablePath());
  if (uninstall_path) SaveSamples(fs, folder, settings);
  ui::AppContext context;
  ui::MainWindow window(context, registry);
  if (!window.Create()) return 1;
  window.Show(SW_SHOWNORMAL);

  if (uninstall_path) {
    ShowUninstallPage(window, page);
    RemoveSamples(fs, folder);
  } else if (page != "first") {
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
  if (!uninstall_path) monitoring::PendingMonitoring(fs, registry, context.program_folder).Abandon();
  const int code = ui::RunMessageLoop(window.hwnd());
  i18n::InstallTranslator(nullptr);
  return code;
}
