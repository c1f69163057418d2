// What the in-memory platform adds to the contract: the faults tests inject,
// and the behaviours that only it can stage deterministically.
#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/platform/status_assertions.h"

namespace cvn::platform {
namespace {

constexpr RootKey kHKLM = RootKey::kLocalMachine;

std::unique_ptr<RegKey> Open(MemoryRegistry& registry, std::string_view path, bool create = true,
                             KeyAccess access = KeyAccess::kReadWrite) {
  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kOk, create ? registry.CreateKey(kHKLM, path, access, &key)
                            : registry.OpenKey(kHKLM, path, access, &key));
  return key;
}

TEST(MemoryRegistryFaults, DeniedKeyIsListedButCannotBeOpened) {
  MemoryRegistry registry;
  Open(registry, "S\\Secret\\Below");
  registry.DenyOpen(kHKLM, "S\\Secret");
  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kAccessDenied, registry.OpenKey(kHKLM, "S\\Secret", KeyAccess::kRead, &key));
  EXPECT_EQ(key, nullptr);
  EXPECT_STATUS(kAccessDenied,
                registry.CreateKey(kHKLM, "S\\Secret\\Below", KeyAccess::kRead, &key));
  std::string name;
  ASSERT_STATUS(kOk, registry.EnumKey(*Open(registry, "S", false), 0, &name));
  EXPECT_EQ(name, "Secret");
}

TEST(MemoryRegistryFaults, EnumerationFailsPartWay) {
  MemoryRegistry registry;
  auto key = Open(registry, "Perf");
  for (const char* name : {"a", "b", "c"}) ASSERT_STATUS(kOk, SetDword(registry, *key, name, 1));
  Open(registry, "Perf\\k1");
  registry.FailValueEnumFrom(kHKLM, "Perf", 1);
  registry.FailKeyEnumFrom(kHKLM, "Perf", 0, Status(StatusCode::kAccessDenied));
  RegValue value;
  EXPECT_STATUS(kOk, registry.EnumValue(*key, 0, Registry::kUnlimited, &value));
  EXPECT_STATUS(kIoError, registry.EnumValue(*key, 1, Registry::kUnlimited, &value));
  EXPECT_STATUS(kIoError, registry.EnumValue(*key, 5, Registry::kUnlimited, &value));
  std::string name;
  EXPECT_STATUS(kAccessDenied, registry.EnumKey(*key, 0, &name));
}

TEST(MemoryRegistryFaults, ChangesFailAfterACountOfSuccesses) {
  MemoryRegistry registry;
  auto key = Open(registry, "W");
  registry.FailChanges(/*successes=*/1, /*failures=*/2);
  EXPECT_STATUS(kOk, SetDword(registry, *key, "one", 1));
  EXPECT_STATUS(kIoError, SetDword(registry, *key, "two", 2));
  EXPECT_STATUS(kIoError, registry.DeleteValue(*key, "one"));
  EXPECT_STATUS(kOk, registry.DeleteValue(*key, "one"));
  RegValue value;
  EXPECT_STATUS(kNotFound, registry.QueryValue(*key, "two", &value));
}

// A handle outlives its deleted key without dangling, and every use of it fails.
TEST(MemoryRegistryFaults, HandleOfADeletedKey) {
  MemoryRegistry registry;
  auto gone = Open(registry, "H\\gone");
  ASSERT_STATUS(kOk, registry.DeleteKey(*Open(registry, "H", false), "gone"));
  EXPECT_FALSE(SetDword(registry, *gone, "v", 1).ok());
  std::string name;
  EXPECT_FALSE(registry.EnumKey(*gone, 0, &name).ok());
  std::unique_ptr<RegKey> below;
  EXPECT_FALSE(registry.OpenSubKey(*gone, "", KeyAccess::kRead, &below).ok());
}

TEST(MemoryFileSystemFaults, FolderThatCannotBeListed) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.AddFile("C:\\Secret\\x.txt", "x"));
  fs.DenyList("C:\\Secret");
  std::unique_ptr<FolderListing> listing;
  EXPECT_STATUS(kAccessDenied, fs.ListFolder("C:\\Secret", &listing));
  EXPECT_EQ(listing, nullptr);
  EXPECT_TRUE(fs.GetAttributes("C:\\Secret").has_value());
}

TEST(MemoryFileSystemFaults, LockedFileCannotBeDeletedMovedOrWritten) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.AddFile("C:\\in-use.dll", "code"));
  fs.LockFile("C:\\in-use.dll");
  const uint8_t byte = 0;
  EXPECT_STATUS(kAccessDenied, fs.DeleteFile("C:\\in-use.dll"));
  EXPECT_STATUS(kAccessDenied, fs.MoveFile("C:\\in-use.dll", "C:\\moved.dll"));
  EXPECT_STATUS(kAccessDenied, fs.WriteFile("C:\\in-use.dll", std::span(&byte, 1)));
  EXPECT_TRUE(fs.Exists("C:\\in-use.dll"));
}

TEST(MemoryFileSystemFaults, FiveGigabyteFileReportsItsSize) {
  MemoryFileSystem fs;
  const uint64_t five_gb = 5ull << 30;
  ASSERT_STATUS(kOk, fs.AddSizedFile("C:\\big\\disk.img", five_gb, MakeFileTime(2021, 6, 1)));
  std::unique_ptr<FolderListing> listing;
  ASSERT_STATUS(kOk, fs.ListFolder("C:\\big", &listing));
  FindEntry entry;
  do {
    ASSERT_STATUS(kOk, listing->Next(&entry));
  } while (entry.name == "." || entry.name == "..");
  EXPECT_EQ(entry.name, "disk.img");
  EXPECT_EQ(entry.size, five_gb);
  EXPECT_EQ(entry.last_write, MakeFileTime(2021, 6, 1));
  std::vector<uint8_t> data;
  EXPECT_STATUS(kIoError, fs.ReadFile("C:\\big\\disk.img", &data));
}

TEST(MemoryFileSystemFaults, HalfWrittenFileStaysTruncated) {
  MemoryFileSystem fs;
  fs.FailNextWrite(3);
  const uint8_t data[] = {1, 2, 3, 4, 5};
  EXPECT_STATUS(kIoError, fs.WriteFile("C:\\f.bin", data));
  std::vector<uint8_t> read;
  ASSERT_STATUS(kOk, fs.ReadFile("C:\\f.bin", &read));
  EXPECT_EQ(read, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_STATUS(kOk, fs.WriteFile("C:\\f.bin", data)) << "only the next write fails";
}

TEST(MemoryFileSystemTime, LocalDosTimeFollowsTheOffsetAndTheDosRange) {
  MemoryFileSystem fs;
  auto dos = fs.ToLocalDosDateTime(MakeFileTime(2020, 2, 29, 13, 45, 31));
  ASSERT_TRUE(dos);
  EXPECT_EQ(dos->date, ((2020 - 1980) << 9) | (2 << 5) | 29);
  EXPECT_EQ(dos->time, (13 << 11) | (45 << 5) | 15);

  fs.SetUtcOffsetMinutes(120);
  dos = fs.ToLocalDosDateTime(MakeFileTime(2020, 12, 31, 23, 0, 0));
  ASSERT_TRUE(dos);
  EXPECT_EQ(dos->date, ((2021 - 1980) << 9) | (1 << 5) | 1);
  EXPECT_EQ(dos->time, 1 << 11);

  fs.SetUtcOffsetMinutes(0);
  EXPECT_TRUE(fs.ToLocalDosDateTime(MakeFileTime(1980, 1, 1)));
  EXPECT_FALSE(fs.ToLocalDosDateTime(MakeFileTime(1979, 12, 31, 23, 59, 59)));
  EXPECT_TRUE(fs.ToLocalDosDateTime(MakeFileTime(2107, 12, 31, 23, 59, 58)));
  EXPECT_FALSE(fs.ToLocalDosDateTime(MakeFileTime(2108, 1, 1)));
}

TEST(MemoryFileSystemPaths, RelativePathsAndDriveRoots) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.CreateFolders("C:\\Program Files\\Corvane"));
  ASSERT_STATUS(kOk, fs.SetCurrentDirectory("C:\\Program Files\\Corvane\\"));
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\Program Files\\Corvane");
  ASSERT_STATUS(kOk, fs.AddFile("HKLM.SNS", "snapshot"));
  EXPECT_TRUE(fs.Exists("C:\\program files\\corvane\\hklm.sns"));
  EXPECT_TRUE(fs.Exists("\\Program Files\\Corvane\\HKLM.SNS"));
  ASSERT_STATUS(kOk, fs.SetCurrentDirectory("C:"));
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\");
}

TEST(MemoryFileSystemPaths, FolderCannotMoveBelowItself) {
  MemoryFileSystem fs;
  ASSERT_STATUS(kOk, fs.CreateFolders("C:\\a\\b"));
  EXPECT_STATUS(kAccessDenied, fs.MoveFile("C:\\a", "C:\\a\\b\\a"));
  ASSERT_STATUS(kOk, fs.MoveFile("C:\\a", "C:\\z"));
  EXPECT_TRUE(fs.Exists("C:\\z\\b"));
  EXPECT_FALSE(fs.Exists("C:\\a"));
}

}  // namespace
}  // namespace cvn::platform
