// corvane.exe: one main window and its message loop.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include "i18n/translator.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "platform/win32/win32_registry.h"
#include "ui/app_context.h"
#include "ui/main_window.h"
#include "ui/single_instance.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  // A second start brings the running window back and ends.
  cvn::ui::SingleInstance instance(L"Corvane");
  if (!instance.first()) {
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
  const int exit_code = cvn::ui::RunMessageLoop(main_window.hwnd());
  cvn::i18n::InstallTranslator(nullptr);
  return exit_code;
}
