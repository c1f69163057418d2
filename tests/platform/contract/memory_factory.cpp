#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "tests/platform/contract/platform_under_test.h"

namespace cvn::test {

std::unique_ptr<PlatformUnderTest> MakePlatformUnderTest() {
  struct MemoryPlatform final : PlatformUnderTest {
    platform::Registry& registry() override { return registry_; }
    platform::FileSystem& fs() override { return fs_; }
    platform::Shell& shell() override { return shell_; }
    platform::MemoryRegistry registry_;
    platform::MemoryFileSystem fs_;
    platform::MemoryShell shell_{fs_};
  };
  return std::make_unique<MemoryPlatform>();
}

}  // namespace cvn::test
