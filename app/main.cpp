// corvane.exe: one main window and its message loop.
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_registry.h"
#include "ui/app_context.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"

namespace {

// The identifier of "--uninstall ID": the start that an instance without
// administrator rights asked for, to load ID with them.
std::optional<std::string> UninstallArgument() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::optional<std::string> identifier;
  if (arguments != nullptr && count == 3 && std::wstring(arguments[1]) == L"--uninstall")
    identifier = cvn::platform::win32::ToUtf8(arguments[2]);
  LocalFree(arguments);
  return identifier;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  const std::optional<std::string> uninstall = UninstallArgument();
  // A second start brings the running window back and ends; a start asked
  // for by the running one waits for it to end first (ten seconds at most).
  std::optional<cvn::ui::SingleInstance> instance;
  for (int tries = 0;; ++tries) {
    instance.emplace(L"Corvane");
    if (instance->first() || !uninstall || tries == 50) break;
    instance.reset();
    Sleep(200);
  }
  if (!instance->first()) {
    cvn::ui::NotifyRunningInstance(cvn::ui::MainWindow::kClassName);
    return 0;
  }

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  cvn::platform::win32::Win32Registry registry;
  cvn::platform::win32::Win32FileSystem file_system;
  // The languages beside the executable; every window and message asks it.
  cvn::i18n::Translator translator(file_system, cvn::platform::win32::ExecutablePath());
  cvn::i18n::InstallTranslator(&translator);
  cvn::ui::AppContext context;
  cvn::ui::MainWindow main_window(context, registry);
  if (!main_window.Create()) return 1;
  main_window.Show(show_command);
  if (uninstall) main_window.LoadApplication(*uninstall);
  const int exit_code = cvn::ui::RunMessageLoop(main_window.hwnd());
  cvn::i18n::InstallTranslator(nullptr);
  return exit_code;
}
