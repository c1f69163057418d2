// Settings tests on the in-memory registry, and the cases only it can stage.
#include <gtest/gtest.h>

#include "platform/memory/memory_registry.h"
#include "settings/settings.h"
#include "tests/settings/registry_under_test.h"

namespace cvn::test {

std::unique_ptr<platform::Registry> MakeRegistryUnderTest() {
  return std::make_unique<platform::MemoryRegistry>();
}

namespace {

using platform::RootKey;
using settings::Settings;

TEST(SettingsOnMemory, KeyThatCannotBeOpenedOrWrittenIsReported) {
  platform::MemoryRegistry registry;
  std::unique_ptr<platform::RegKey> key;
  ASSERT_TRUE(registry
                  .CreateKey(RootKey::kCurrentUser, settings::kSettingsKey,
                             platform::KeyAccess::kReadWrite, &key)
                  .ok());
  ASSERT_TRUE(platform::SetDword(registry, *key, "ScanHKLM", 0).ok());
  registry.DenyOpen(RootKey::kCurrentUser, settings::kSettingsKey);

  Settings s;
  s.program_folder = "C:\\Corvane";
  settings::LoadSettings(registry, s);
  EXPECT_TRUE(s.scan_hklm);  // the stored 0 was not reachable
  EXPECT_FALSE(settings::SaveSettings(registry, s));
  EXPECT_FALSE(settings::SaveColumnWidths(registry, 1, 2));
  EXPECT_FALSE(settings::LoadWindowPlacement(registry, "Software\\Helmwick\\Corvane\\CvnMain"));
  // A write that fails halfway is reported too.
  platform::MemoryRegistry failing;
  failing.FailChanges(/*successes=*/5);
  EXPECT_FALSE(settings::SaveSettings(failing, s));
}

}  // namespace
}  // namespace cvn::test
