// The contract suite on the real Win32 platform.
#include <windows.h>
#include <winternl.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/support/platform_win32_sandbox.h"

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace cvn::test {

std::unique_ptr<PlatformUnderTest> MakePlatformUnderTest() {
  struct Win32Platform final : PlatformUnderTest {
    platform::Registry& registry() override { return registry_; }
    platform::FileSystem& fs() override { return fs_; }
    platform::Shell& shell() override { return shell_; }
    bool MakeLink(const std::string& link, const std::string& target) override {
      using platform::win32::ToWide;
      HKEY handle = nullptr;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, ToWide(key + "\\" + link).c_str(), 0, nullptr,
                          REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                          KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &handle, nullptr))
        return false;
      links_.push_back(handle);
      // The target in the kernel's own form, without a terminating zero.
      const std::wstring path = L"\\Registry\\User\\" + ToWide(registry_.CurrentUserHiveName() +
                                                               "\\" + key + "\\" + target);
      return RegSetValueExW(handle, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(path.data()),
                            static_cast<DWORD>(path.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    // Deleting a link by name would delete its target: the link goes by its handle.
    ~Win32Platform() override {
      for (HKEY link : links_) {
        NtDeleteKey(link);
        RegCloseKey(link);
      }
    }
    platform::win32::Win32Registry registry_;
    platform::win32::Win32FileSystem fs_;
    platform::win32::Win32Shell shell_;
    Win32Sandbox box_;  // removed with the bare API
    std::vector<HKEY> links_;
  };
  auto made = std::make_unique<Win32Platform>();
  made->folder = made->box_.folder;
  made->key = made->box_.key;
  return made;
}

}  // namespace cvn::test
