// What only the in-memory platform can get wrong: the faults tests inject are
// checked through the tests that use them (scanners, uninstaller, archive);
// here stay its own handles and paths.
#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/platform/status_assertions.h"

namespace cvn::platform {
namespace {

// A handle outlives its deleted key without dangling, and every use of it fails.
TEST(MemoryRegistryTest, HandleOfADeletedKey) {
  MemoryRegistry registry;
  std::unique_ptr<RegKey> parent, gone;
  ASSERT_STATUS(kOk,
                registry.CreateKey(RootKey::kLocalMachine, "H", KeyAccess::kReadWrite, &parent));
  ASSERT_STATUS(
      kOk, registry.CreateKey(RootKey::kLocalMachine, "H\\gone", KeyAccess::kReadWrite, &gone));
  ASSERT_STATUS(kOk, registry.DeleteKey(*parent, "gone"));
  EXPECT_FALSE(SetDword(registry, *gone, "v", 1).ok());
  std::string name;
  EXPECT_FALSE(registry.EnumKey(*gone, 0, &name).ok());
  std::unique_ptr<RegKey> below;
  EXPECT_FALSE(registry.OpenSubKey(*gone, "", KeyAccess::kRead, &below).ok());
}

TEST(MemoryFileSystemTest, RelativePathsAndDriveRoots) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.CreateFolders("C:\\Program Files\\Corvane"));
  ASSERT_STATUS(kOk, fs.SetCurrentDirectory("C:\\Program Files\\Corvane\\"));
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\Program Files\\Corvane");
  ASSERT_STATUS(kOk, fs.AddFile("HKLM.SNS", "snapshot"));
  EXPECT_TRUE(fs.Exists("\\Program Files\\Corvane\\HKLM.SNS"));
  ASSERT_STATUS(kOk, fs.SetCurrentDirectory("C:"));
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\");
}

TEST(MemoryFileSystemTest, FolderCannotMoveBelowItself) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.CreateFolders("C:\\a\\b"));
  EXPECT_STATUS(kAccessDenied, fs.MoveFile("C:\\a", "C:\\a\\b\\a"));
  ASSERT_STATUS(kOk, fs.MoveFile("C:\\a", "C:\\z"));
  EXPECT_TRUE(fs.Exists("C:\\z\\b"));
}

}  // namespace
}  // namespace cvn::platform
