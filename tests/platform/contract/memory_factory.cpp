#include <gtest/gtest.h>

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
    bool MakeLink(const std::string& link, const std::string& target) override {
      registry_.AddLink(platform::RootKey::kCurrentUser, key + "\\" + link,
                        platform::RootKey::kCurrentUser, key + "\\" + target);
      return true;
    }
    platform::MemoryRegistry registry_;
    platform::MemoryFileSystem fs_;
    platform::MemoryShell shell_{fs_};
  };
  auto made = std::make_unique<MemoryPlatform>();
  made->registry_.SetCurrentUserHive("S-1-5-21-0-0-0-1000");
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "." + info->name();
  made->folder = "C:\\CorvaneTest\\" + name;
  made->key = "Software\\CorvaneTest\\" + name;
  std::unique_ptr<platform::RegKey> key;
  EXPECT_TRUE(made->fs_.CreateFolders(made->folder).ok());
  EXPECT_TRUE(made->registry_
                  .CreateKey(platform::RootKey::kCurrentUser, made->key,
                             platform::KeyAccess::kReadWrite, &key)
                  .ok());
  return made;
}

}  // namespace cvn::test
