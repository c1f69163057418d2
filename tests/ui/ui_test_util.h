// Helpers for tests that drive real windows (ui_test_util.cpp also holds the
// test program's main): message pumping with a generous limit, window texts
// and fonts, a driver for modal dialogs, and a fixture with the main window
// on an in-memory registry and file system.
#pragma once

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "ui/main_window.h"

namespace cvn::ui::testing {

// The first window of a Wine session can take ~10 s to appear, so waits for
// a window or a process are generous. They end as soon as the condition holds.
inline constexpr std::chrono::seconds kPatience{60};

// Dispatches this thread's messages until `done` holds; false when it never did.
bool PumpMessagesUntil(const std::function<bool()>& done);

inline std::wstring WindowTextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}
inline std::wstring ClassNameOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}
inline LOGFONTW FontOf(HWND hwnd) {
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font;
}
inline RECT BoundsInParent(HWND child) {  // in the parent's client coordinates
  RECT bounds = {};
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}
inline int WidthOf(const RECT& r) {
  return r.right - r.left;
}
inline int HeightOf(const RECT& r) {
  return r.bottom - r.top;
}
// The descendants of `parent` of class `window_class`, in creation order.
std::vector<HWND> DescendantsOfClass(HWND parent, const wchar_t* window_class);
// The first of them whose text is `text`; null when there is none.
inline HWND FindDescendant(HWND parent, const wchar_t* window_class, const std::wstring& text) {
  for (HWND child : DescendantsOfClass(parent, window_class)) {
    if (WindowTextOf(child) == text) return child;
  }
  return nullptr;
}
// A path of the build as Windows sees it: under Wine, Linux paths lie on Z:.
std::wstring WindowsPath(std::string_view build_path);

// Drives a modal dialog from inside its own message loop: the loop
// dispatches the driver's thread timer, and on each tick once a visible
// window of `window_class` is there the driver runs the next step, which
// inspects the dialog and posts keys or clicks. A dialog still open long
// after the last step, or after a failure, is closed by the driver.
using DialogStep = std::function<void(HWND dialog)>;
class DialogDriver {
 public:
  DialogDriver(std::wstring window_class, std::vector<DialogStep> steps);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  bool finished() const { return next_step_ == steps_.size(); }
  bool closed_by_driver() const { return closed_by_driver_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);

  std::wstring window_class_;
  std::vector<DialogStep> steps_;
  size_t next_step_ = 0;
  UINT_PTR timer_ = 0;
  unsigned ticks_after_last_step_ = 0;
  bool closed_by_driver_ = false;
};

// A key as the user types it, posted to the control of `dialog` with the
// focus (the dialog itself when none has it); a text as WM_CHARs.
void PressKey(HWND dialog, UINT virtual_key);
void TypeText(HWND dialog, const std::wstring& text);

// The main window (or only the languages) on an in-memory registry and file
// system, with a translator installed as corvane.exe installs one. The
// helpers report a failure at the caller's line.
class WindowTest : public ::testing::Test {
 protected:
  using Where = std::source_location;
  void TearDown() override;

  // Puts `name`.lng into the Translations folder beside the executable.
  void AddLanguage(std::string_view name, const std::vector<uint8_t>& bytes,
                   Where where = Where::current());
  // Installs a new translator over the files added so far, on `language`.
  void InstallTranslator(std::string_view language = {});
  void Store(const std::string& key_path, std::string_view name,
             std::variant<int, std::string_view> value, Where where = Where::current());
  std::optional<uint32_t> StoredDword(const std::string& key_path, std::string_view name);

  // Installs a translator and creates the main window, shown when asked.
  void StartMain(bool show = false);
  HWND Control(std::string_view name, Where where = Where::current());  // null when missing
  std::wstring Text(std::string_view name, Where where = Where::current()) {
    return WindowTextOf(Control(name, where));
  }
  bool Checked(std::string_view name, Where where = Where::current()) {
    return SendMessageW(Control(name, where), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  AppContext context_;
  std::unique_ptr<i18n::Translator> translator_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace cvn::ui::testing
