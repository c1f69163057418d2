#include "tests/ui/ui_test_util.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "platform/win32/wide_text.h"

namespace cvn::ui::testing {

bool PumpMessagesUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (MSG message = {};; MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT)) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
}

std::vector<HWND> DescendantsOfClass(HWND parent, const wchar_t* window_class) {
  std::pair<const wchar_t*, std::vector<HWND>> search = {window_class, {}};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<std::pair<const wchar_t*, std::vector<HWND>>*>(data);
        if (lstrcmpiW(ClassNameOf(child).c_str(), search->first) == 0) {
          search->second.push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::wstring WindowsPath(std::string_view build_path) {
  std::wstring path = platform::win32::ToWide(build_path);
  if (path.starts_with(L"/")) path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// ---------------------------------------------------------------------------
// DialogDriver

namespace {

constexpr UINT kTickMilliseconds = 20;
// Generous: the rescue only keeps a broken test from hanging.
constexpr unsigned kTicksBeforeRescue =
    static_cast<unsigned>(std::chrono::milliseconds(kPatience).count() / kTickMilliseconds);

thread_local DialogDriver* g_driver = nullptr;

HWND KeyTarget(HWND dialog) {
  HWND focus = GetFocus();
  return focus != nullptr && (focus == dialog || IsChild(dialog, focus)) ? focus : dialog;
}

}  // namespace

DialogDriver::DialogDriver(std::wstring window_class, std::vector<DialogStep> steps)
    : window_class_(std::move(window_class)), steps_(std::move(steps)) {
  g_driver = this;
  timer_ = SetTimer(nullptr, 0, kTickMilliseconds, OnTimer);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  g_driver = nullptr;
}

void CALLBACK DialogDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  DialogDriver* driver = g_driver;
  if (driver == nullptr) return;
  HWND dialog = nullptr;
  do {
    dialog = FindWindowExW(nullptr, dialog, driver->window_class_.c_str(), nullptr);
  } while (dialog != nullptr &&
           (!IsWindowVisible(dialog) ||  // this thread's own dialogs only
            GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId()));
  if (dialog == nullptr) return;
  const bool failed = ::testing::Test::HasFailure();
  if (!driver->finished() && !failed) {
    driver->steps_[driver->next_step_++](dialog);
  } else if (failed || ++driver->ticks_after_last_step_ > kTicksBeforeRescue) {
    driver->closed_by_driver_ = true;  // a failed step leaves the dialog to the driver at once
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
}

void PressKey(HWND dialog, UINT virtual_key) {
  HWND target = KeyTarget(dialog);
  PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
  PostMessageW(target, WM_KEYUP, virtual_key, 0xC0000001);
}

void TypeText(HWND dialog, const std::wstring& text) {
  HWND target = KeyTarget(dialog);
  for (const wchar_t unit : text) PostMessageW(target, WM_CHAR, unit, 1);
}

// ---------------------------------------------------------------------------
// WindowTest

void WindowTest::TearDown() {
  window_.reset();
  PumpMessagesUntil([] { return true; });  // leaves no message for the next test
  i18n::InstallTranslator(nullptr);
}

void WindowTest::AddLanguage(std::string_view name, const std::vector<uint8_t>& bytes,
                             Where where) {
  const std::string path = "C:\\Apps\\Corvane\\Translations\\" + std::string(name) + ".lng";
  if (!fs_.AddFile(path, std::string(bytes.begin(), bytes.end())).ok()) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "cannot add " << path;
  }
}

void WindowTest::InstallTranslator(std::string_view language) {
  translator_ = std::make_unique<i18n::Translator>(fs_, "C:\\Apps\\Corvane\\corvane.exe");
  if (!language.empty()) translator_->SetLanguage(std::string(language));
  i18n::InstallTranslator(translator_.get());
}

void WindowTest::Store(const std::string& key_path, std::string_view name,
                       std::variant<int, std::string_view> value, Where where) {
  std::unique_ptr<platform::RegKey> key;
  const bool stored =
      registry_
          .CreateKey(platform::RootKey::kCurrentUser, key_path, platform::KeyAccess::kReadWrite,
                     &key)
          .ok() &&
      (value.index() == 0
           ? platform::SetDword(registry_, *key, name, static_cast<uint32_t>(std::get<0>(value)))
           : platform::SetString(registry_, *key, name, std::get<1>(value)))
          .ok();
  if (!stored) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "cannot store " << name;
  }
}

std::optional<uint32_t> WindowTest::StoredDword(const std::string& key_path,
                                                std::string_view name) {
  std::unique_ptr<platform::RegKey> key;
  platform::RegValue value;
  if (!registry_
           .OpenKey(platform::RootKey::kCurrentUser, key_path, platform::KeyAccess::kRead, &key)
           .ok() ||
      !registry_.QueryValue(*key, name, &value).ok() || value.type != platform::regtype::kDword ||
      value.data.size() != 4) {
    return std::nullopt;
  }
  return value.data[0] | value.data[1] << 8 | value.data[2] << 16 | value.data[3] << 24;
}

void WindowTest::StartMain(bool show) {
  InstallTranslator();
  window_ = std::make_unique<MainWindow>(context_, registry_);
  ASSERT_TRUE(window_->Create());
  if (show) window_->Show(SW_SHOWNORMAL);
}

HWND WindowTest::Control(std::string_view name, Where where) {
  const Component* component = window_->FindComponent(name);
  if (component != nullptr) return component->hwnd();
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << "no component " << name;
  return nullptr;
}

}  // namespace cvn::ui::testing

// The tests create real controls, so the common controls are set up once
// before any test runs, as corvane.exe does.
int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
