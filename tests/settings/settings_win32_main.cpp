// Settings tests on the real registry (under Wine, the build's own prefix).
#include "platform/win32/win32_registry.h"
#include "tests/settings/registry_under_test.h"

namespace cvn::test {

std::unique_ptr<platform::Registry> MakeRegistryUnderTest() {
  return std::make_unique<platform::win32::Win32Registry>();
}

}  // namespace cvn::test
