// Shows the main window with the context help popup of one control, in a
// shipped language, for screenshots (tools/screenshot.sh). Built beside
// corvane.exe, whose language files it uses.
//
//   CVN_PREVIEW_LANGUAGE = English | German | French   (default English)
//   CVN_PREVIEW_CONTROL  = a control's name             (default edIdentif)
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "i18n/translator.h"
#include "platform/memory/memory_registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "ui/component.h"
#include "ui/context_help.h"
#include "ui/main_window.h"

using namespace cvn;

namespace {

ui::MainWindow* g_window = nullptr;

// Shown once the window has settled, so that its own activation does not
// take the focus from the popup.
void CALLBACK ShowHelp(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const char* name = std::getenv("CVN_PREVIEW_CONTROL");
  const ui::Component* control = g_window->FindComponent(name != nullptr ? name : "edIdentif");
  if (control == nullptr || !control->windowed()) return;
  RECT bounds;
  GetWindowRect(control->hwnd(), &bounds);
  ui::ShowContextHelp(control->hwnd(), {bounds.left + 8, bounds.bottom});
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::win32::Win32FileSystem disk;
  i18n::Translator translator(disk, platform::win32::ExecutablePath());
  i18n::InstallTranslator(&translator);

  platform::MemoryRegistry registry;
  settings::Settings settings;
  const char* language = std::getenv("CVN_PREVIEW_LANGUAGE");
  settings.language = language != nullptr ? language : "English";
  settings::SaveSettings(registry, settings);

  ui::AppContext context;
  ui::MainWindow window(context, registry);
  if (!window.Create()) return 1;
  g_window = &window;
  window.Show(SW_SHOWNORMAL);
  SetTimer(nullptr, 0, 2000, ShowHelp);
  const int result = ui::RunMessageLoop(window.hwnd());
  i18n::InstallTranslator(nullptr);
  return result;
}
