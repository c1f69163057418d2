// The helpers built on the platform interfaces, run on the in-memory platform.
#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"

namespace cvn::platform {
namespace {

std::span<const uint8_t> Bytes(std::string_view s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(PlatformHelpersTest, RootKeyNames) {
  EXPECT_EQ(RootKeyName(RootKey::kLocalMachine), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(RootKeyName(0x80000000u), "HKEY_CLASSES_ROOT");
  EXPECT_EQ(RootKeyName(0x80000005u), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RootKeyName(0x80000004u), "(error)");  // HKEY_PERFORMANCE_DATA is not one of ours
  EXPECT_EQ(RootKeyName(0u), "(error)");
}

TEST(PlatformHelpersTest, JoinPathUsesOneBackslash) {
  EXPECT_EQ(JoinPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinPath("C:\\a", "x"), "C:\\a\\x");
  EXPECT_EQ(JoinPath("", "x"), "x");
}

TEST(PlatformHelpersTest, DataAsTextDropsTerminators) {
  const uint8_t data[] = {'a', 'b', 0, 0};
  EXPECT_EQ(DataAsText(data), "ab");
  EXPECT_EQ(DataAsText({}), "");
}

TEST(PlatformHelpersTest, DeleteKeyTreeRemovesEveryLevel) {
  MemoryRegistry registry;
  std::unique_ptr<RegKey> key;
  for (const char* path : {"S\\T\\a\\x", "S\\T\\a\\y", "S\\T\\b", "S\\keep"})
    ASSERT_TRUE(registry.CreateKey(RootKey::kCurrentUser, path, KeyAccess::kReadWrite, &key).ok());
  ASSERT_TRUE(SetDword(registry, *key, "v", 1).ok());
  std::unique_ptr<RegKey> s;
  ASSERT_TRUE(registry.OpenKey(RootKey::kCurrentUser, "S", KeyAccess::kReadWrite, &s).ok());
  const size_t before = registry.KeyCount();
  ASSERT_TRUE(DeleteKeyTree(registry, *s, "T").ok());
  EXPECT_EQ(registry.KeyCount(), before - 5);
  EXPECT_EQ(registry.OpenKey(RootKey::kCurrentUser, "S\\T", KeyAccess::kRead, &key).code(),
            StatusCode::kNotFound);
  EXPECT_TRUE(registry.OpenKey(RootKey::kCurrentUser, "S\\keep", KeyAccess::kRead, &key).ok());
  EXPECT_EQ(DeleteKeyTree(registry, *s, "T").code(), StatusCode::kNotFound);
}

TEST(PlatformHelpersTest, AtomicWriteReplacesWholeOrNotAtAll) {
  MemoryFileSystem fs;
  ASSERT_TRUE(fs.AddFile("C:\\data\\app.cvn", "the good archive").ok());

  fs.FailNextWrite(4);  // the disk fills up half-way
  EXPECT_FALSE(WriteFileAtomically(fs, "C:\\data\\app.cvn", Bytes("a newer, longer archive")).ok());
  std::vector<uint8_t> data;
  ASSERT_TRUE(fs.ReadFile("C:\\data\\app.cvn", &data).ok());
  EXPECT_EQ(std::string(data.begin(), data.end()), "the good archive");
  EXPECT_FALSE(fs.Exists("C:\\data\\app.cvn.tmp"));

  fs.FailNextMove();
  EXPECT_FALSE(WriteFileAtomically(fs, "C:\\data\\app.cvn", Bytes("newer")).ok());
  ASSERT_TRUE(fs.ReadFile("C:\\data\\app.cvn", &data).ok());
  EXPECT_EQ(std::string(data.begin(), data.end()), "the good archive");
  EXPECT_FALSE(fs.Exists("C:\\data\\app.cvn.tmp"));

  ASSERT_TRUE(WriteFileAtomically(fs, "C:\\data\\app.cvn", Bytes("newer")).ok());
  ASSERT_TRUE(fs.ReadFile("C:\\data\\app.cvn", &data).ok());
  EXPECT_EQ(std::string(data.begin(), data.end()), "newer");
}

}  // namespace
}  // namespace cvn::platform
