// What the in-memory platform adds to the contract: the faults tests inject,
// and the behaviours that only it can stage deterministically.
#include <gtest/gtest.h>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"

namespace cvn::platform {
namespace {

std::unique_ptr<RegKey> Create(MemoryRegistry& registry, std::string_view path) {
  std::unique_ptr<RegKey> key;
  EXPECT_TRUE(registry.CreateKey(RootKey::kLocalMachine, path, KeyAccess::kReadWrite, &key).ok());
  return key;
}

TEST(MemoryRegistryFaults, DeniedKeyIsListedButCannotBeOpened) {
  MemoryRegistry registry;
  Create(registry, "S\\Secret\\Below");
  registry.DenyOpen(RootKey::kLocalMachine, "S\\Secret");
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(registry.OpenKey(RootKey::kLocalMachine, "S\\Secret", KeyAccess::kRead, &key).code(),
            StatusCode::kAccessDenied);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(registry.CreateKey(RootKey::kLocalMachine, "S\\Secret\\Below", KeyAccess::kRead, &key).code(),
            StatusCode::kAccessDenied);
  ASSERT_TRUE(registry.OpenKey(RootKey::kLocalMachine, "S", KeyAccess::kRead, &key).ok());
  std::string name;
  ASSERT_TRUE(registry.EnumKey(*key, 0, &name).ok());
  EXPECT_EQ(name, "Secret");
}

TEST(MemoryRegistryFaults, EnumerationFailsPartWay) {
  MemoryRegistry registry;
  auto key = Create(registry, "Perf");
  for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(SetDword(registry, *key, name, 1).ok());
  Create(registry, "Perf\\k1");
  Create(registry, "Perf\\k2");
  registry.FailValueEnumFrom(RootKey::kLocalMachine, "Perf", 1);
  registry.FailKeyEnumFrom(RootKey::kLocalMachine, "Perf", 0, Status(StatusCode::kAccessDenied));
  RegValue value;
  EXPECT_TRUE(registry.EnumValue(*key, 0, Registry::kUnlimited, &value).ok());
  EXPECT_EQ(registry.EnumValue(*key, 1, Registry::kUnlimited, &value).code(), StatusCode::kIoError);
  EXPECT_EQ(registry.EnumValue(*key, 5, Registry::kUnlimited, &value).code(), StatusCode::kIoError);
  std::string name;
  EXPECT_EQ(registry.EnumKey(*key, 0, &name).code(), StatusCode::kAccessDenied);
}

TEST(MemoryRegistryFaults, ChangesFailAfterACountOfSuccesses) {
  MemoryRegistry registry;
  auto key = Create(registry, "W");
  registry.FailChanges(/*successes=*/1, /*failures=*/2);
  EXPECT_TRUE(SetDword(registry, *key, "one", 1).ok());
  EXPECT_EQ(SetDword(registry, *key, "two", 2).code(), StatusCode::kIoError);
  EXPECT_EQ(registry.DeleteValue(*key, "one").code(), StatusCode::kIoError);
  EXPECT_TRUE(registry.DeleteValue(*key, "one").ok());
  RegValue value;
  EXPECT_EQ(registry.QueryValue(*key, "two", &value).code(), StatusCode::kNotFound);
}

TEST(MemoryRegistryFaults, ReadOnlyAndDeletedHandles) {
  MemoryRegistry registry;
  Create(registry, "H\\gone");
  std::unique_ptr<RegKey> reader, gone, parent;
  ASSERT_TRUE(registry.OpenKey(RootKey::kLocalMachine, "H", KeyAccess::kRead, &reader).ok());
  EXPECT_EQ(SetDword(registry, *reader, "v", 1).code(), StatusCode::kAccessDenied);

  ASSERT_TRUE(registry.OpenKey(RootKey::kLocalMachine, "H\\gone", KeyAccess::kReadWrite, &gone).ok());
  ASSERT_TRUE(registry.OpenKey(RootKey::kLocalMachine, "H", KeyAccess::kReadWrite, &parent).ok());
  ASSERT_TRUE(registry.DeleteKey(*parent, "gone").ok());
  // The handle outlives its key without dangling, and every use of it fails.
  EXPECT_FALSE(SetDword(registry, *gone, "v", 1).ok());
  std::string name;
  EXPECT_FALSE(registry.EnumKey(*gone, 0, &name).ok());
  std::unique_ptr<RegKey> below;
  EXPECT_FALSE(registry.OpenSubKey(*gone, "", KeyAccess::kRead, &below).ok());
}

TEST(MemoryFileSystemFaults, FolderThatCannotBeListed) {
  MemoryFileSystem fs;
  ASSERT_TRUE(fs.AddFile("C:\\Secret\\x.txt", "x").ok());
  fs.DenyList("C:\\Secret");
  std::unique_ptr<FolderListing> listing;
  EXPECT_EQ(fs.ListFolder("C:\\Secret", &listing).code(), StatusCode::kAccessDenied);
  EXPECT_EQ(listing, nullptr);
  EXPECT_TRUE(fs.GetAttributes("C:\\Secret").has_value());
}

TEST(MemoryFileSystemFaults, LockedFileCannotBeDeletedMovedOrWritten) {
  MemoryFileSystem fs;
  ASSERT_TRUE(fs.AddFile("C:\\in-use.dll", "code").ok());
  fs.LockFile("C:\\in-use.dll");
  const uint8_t byte = 0;
  EXPECT_EQ(fs.DeleteFile("C:\\in-use.dll").code(), StatusCode::kAccessDenied);
  EXPECT_EQ(fs.MoveFile("C:\\in-use.dll", "C:\\moved.dll").code(), StatusCode::kAccessDenied);
  EXPECT_EQ(fs.WriteFile("C:\\in-use.dll", std::span(&byte, 1)).code(), StatusCode::kAccessDenied);
  EXPECT_TRUE(fs.Exists("C:\\in-use.dll"));
}

TEST(MemoryFileSystemFaults, FiveGigabyteFileReportsItsSize) {
  MemoryFileSystem fs;
  const uint64_t five_gb = 5ull << 30;
  ASSERT_TRUE(fs.AddSizedFile("C:\\big\\disk.img", five_gb, MakeFileTime(2021, 6, 1)).ok());
  std::unique_ptr<FolderListing> listing;
  ASSERT_TRUE(fs.ListFolder("C:\\big", &listing).ok());
  FindEntry entry;
  do {
    ASSERT_TRUE(listing->Next(&entry).ok());
  } while (entry.name == "." || entry.name == "..");
  EXPECT_EQ(entry.name, "disk.img");
  EXPECT_EQ(entry.size, five_gb);
  EXPECT_EQ(entry.last_write, MakeFileTime(2021, 6, 1));
  std::vector<uint8_t> data;
  EXPECT_EQ(fs.ReadFile("C:\\big\\disk.img", &data).code(), StatusCode::kIoError);
}

TEST(MemoryFileSystemFaults, HalfWrittenFileStaysTruncated) {
  MemoryFileSystem fs;
  fs.FailNextWrite(3);
  const uint8_t data[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(fs.WriteFile("C:\\f.bin", data).code(), StatusCode::kIoError);
  std::vector<uint8_t> read;
  ASSERT_TRUE(fs.ReadFile("C:\\f.bin", &read).ok());
  EXPECT_EQ(read, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(fs.WriteFile("C:\\f.bin", data).ok());  // only the next write fails
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
  EXPECT_FALSE(fs.ToLocalDosDateTime(0));
  EXPECT_TRUE(fs.ToLocalDosDateTime(MakeFileTime(2107, 12, 31, 23, 59, 58)));
  EXPECT_FALSE(fs.ToLocalDosDateTime(MakeFileTime(2108, 1, 1)));
}

TEST(MemoryFileSystemPaths, RelativePathsFollowTheCurrentDirectory) {
  MemoryFileSystem fs;
  ASSERT_TRUE(fs.CreateFolders("C:\\Program Files\\Corvane").ok());
  ASSERT_TRUE(fs.SetCurrentDirectory("C:\\Program Files\\Corvane\\").ok());
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\Program Files\\Corvane");
  ASSERT_TRUE(fs.AddFile("HKLM.SNS", "snapshot").ok());
  EXPECT_TRUE(fs.Exists("C:\\program files\\corvane\\hklm.sns"));
  EXPECT_TRUE(fs.Exists("\\Program Files\\Corvane\\HKLM.SNS"));
  EXPECT_EQ(fs.SetCurrentDirectory("C:\\missing").code(), StatusCode::kNotFound);
  ASSERT_TRUE(fs.SetCurrentDirectory("C:").ok());
  EXPECT_EQ(fs.CurrentDirectory(), "C:\\");
}

TEST(MemoryFileSystemPaths, FolderCannotMoveBelowItself) {
  MemoryFileSystem fs;
  ASSERT_TRUE(fs.CreateFolders("C:\\a\\b").ok());
  EXPECT_EQ(fs.MoveFile("C:\\a", "C:\\a\\b\\a").code(), StatusCode::kAccessDenied);
  ASSERT_TRUE(fs.MoveFile("C:\\a", "C:\\z").ok());
  EXPECT_TRUE(fs.Exists("C:\\z\\b"));
  EXPECT_FALSE(fs.Exists("C:\\a"));
}

}  // namespace
}  // namespace cvn::platform
