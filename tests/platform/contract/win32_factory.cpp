// The contract suite on the real Win32 platform.
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/support/platform_win32_sandbox.h"

namespace cvn::test {

std::unique_ptr<PlatformUnderTest> MakePlatformUnderTest() {
  struct Win32Platform final : PlatformUnderTest {
    platform::Registry& registry() override { return registry_; }
    platform::FileSystem& fs() override { return fs_; }
    platform::Shell& shell() override { return shell_; }
    platform::win32::Win32Registry registry_;
    platform::win32::Win32FileSystem fs_;
    platform::win32::Win32Shell shell_;
    Win32Sandbox box_;  // removed with the bare API
  };
  auto made = std::make_unique<Win32Platform>();
  made->folder = made->box_.folder;
  made->key = made->box_.key;
  return made;
}

}  // namespace cvn::test
