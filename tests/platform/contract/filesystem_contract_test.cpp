// What every FileSystem implementation promises the scanner, the uninstaller
// and the program's own files. The same tests run on each implementation,
// through MakePlatformUnderTest().
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/platform/status_assertions.h"

namespace cvn::test {
namespace {

using platform::DosDateTime;
using platform::FileSystem;
using platform::FindEntry;
using platform::FolderListing;
using platform::JoinPath;
using platform::Status;
using platform::StatusCode;
namespace attr = platform::attr;

using test::Where;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

bool IsDotEntry(std::string_view name) {
  return name == "." || name == "..";
}

// FILETIME (100 ns units since 1601-01-01 UTC) of a UTC calendar time.
uint64_t FileTimeOf(int year, int month, int day, int hour, int minute, int second) {
  // Days since 1970-01-01 of a proleptic Gregorian date.
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const int64_t days = int64_t{era} * 146097 + day_of_era - 719468;
  const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  constexpr int64_t kSeconds1601To1970 = 11644473600;
  return static_cast<uint64_t>((seconds + kSeconds1601To1970) * 10000000);
}

int DosYear(DosDateTime t) {
  return (t.date >> 9) + 1980;
}
int DosMonth(DosDateTime t) {
  return (t.date >> 5) & 0x0F;
}
int DosDay(DosDateTime t) {
  return t.date & 0x1F;
}
int DosHour(DosDateTime t) {
  return t.time >> 11;
}
int DosMinute(DosDateTime t) {
  return (t.time >> 5) & 0x3F;
}
int DosSeconds(DosDateTime t) {
  return (t.time & 0x1F) * 2;
}

constexpr std::string_view kSandboxParent = "C:\\CorvaneTest";

// Each test works in its own folder, C:\CorvaneTest\<suite>.<test>, removed
// before and after the test. The current directory is restored after it.
class FileSystemContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = MakePlatformUnderTest();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    sandbox_ = JoinPath(kSandboxParent, std::string(info->test_suite_name()) + "." + info->name());
    saved_current_directory_ = fs().CurrentDirectory();
    const Status parent = fs().CreateFolder(kSandboxParent);
    ASSERT_TRUE(parent.ok() || parent.code() == StatusCode::kAlreadyExists) << parent.ToString();
    RemoveSandbox();
    ASSERT_STATUS(kOk, fs().CreateFolder(sandbox_));
  }

  void TearDown() override {
    EXPECT_STATUS(kOk, fs().SetCurrentDirectory(saved_current_directory_));
    RemoveSandbox();
    fs().RemoveFolder(kSandboxParent);  // fails while other tests' folders remain; that is fine
  }

  FileSystem& fs() { return platform_->fs(); }
  platform::Shell& shell() { return platform_->shell(); }
  const std::string& sandbox() const { return sandbox_; }
  std::string InSandbox(std::string_view name) const { return JoinPath(sandbox_, name); }

  void Write(const std::string& path, std::string_view text, Where where = Where::current()) {
    TRACE_CALLER(where);
    EXPECT_STATUS(kOk, fs().WriteFile(path, Bytes(text)));
  }

  std::string Read(const std::string& path, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::vector<uint8_t> data;
    EXPECT_STATUS(kOk, fs().ReadFile(path, &data));
    return std::string(data.begin(), data.end());
  }

  bool Exists(const std::string& path) { return fs().GetAttributes(path).has_value(); }

  // The entries of `folder` by name, without "." and ".." (which must be
  // folders where the platform lists them); the listing must end with kNoMoreItems.
  std::map<std::string, FindEntry> List(const std::string& folder, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::map<std::string, FindEntry> entries;
    std::unique_ptr<FolderListing> listing;
    const Status opened = fs().ListFolder(folder, &listing);
    EXPECT_STATUS(kOk, opened);
    if (!opened.ok()) return entries;
    for (;;) {
      FindEntry entry;
      const Status s = listing->Next(&entry);
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        return entries;
      }
      if (IsDotEntry(entry.name)) {
        EXPECT_TRUE(entry.attributes & attr::kDirectory) << entry.name;
        continue;
      }
      EXPECT_EQ(entries.count(entry.name), 0u) << "listed twice: " << entry.name;
      entries[entry.name] = entry;
    }
  }

 private:
  // Removes `folder` and everything in it, read-only files included.
  Status RemoveTree(const std::string& folder) {
    std::unique_ptr<FolderListing> listing;
    Status s = fs().ListFolder(folder, &listing);
    if (!s.ok()) return s;
    FindEntry entry;
    while (listing->Next(&entry).ok()) {
      if (IsDotEntry(entry.name)) continue;
      const std::string path = JoinPath(folder, entry.name);
      if (entry.attributes & attr::kDirectory) {
        s = RemoveTree(path);
      } else {
        fs().SetAttributes(path, attr::kNormal);
        s = fs().DeleteFile(path);
      }
      if (!s.ok()) return s;
    }
    listing.reset();
    return fs().RemoveFolder(folder);
  }

  void RemoveSandbox() {
    const Status s = RemoveTree(sandbox_);
    ASSERT_TRUE(s.ok() || s.code() == StatusCode::kNotFound) << s.ToString();
  }

  std::unique_ptr<PlatformUnderTest> platform_;
  std::string sandbox_;
  std::string saved_current_directory_;
};

// --- Listing folders ---

TEST_F(FileSystemContractTest, ListingGivesEveryFileAndSubfolderWithItsDetails) {
  Write(InSandbox("a.txt"), "hello");
  Write(InSandbox("Empty.BIN"), "");
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("Sub")));
  Write(InSandbox("Sub\\inner.txt"), "not listed with its folder's parent");

  const auto entries = List(sandbox());
  ASSERT_EQ(entries.size(), 3u);
  ASSERT_EQ(entries.count("a.txt"), 1u);
  ASSERT_EQ(entries.count("Empty.BIN"), 1u);
  ASSERT_EQ(entries.count("Sub"), 1u);

  const FindEntry& file = entries.at("a.txt");
  EXPECT_FALSE(file.attributes & attr::kDirectory);
  EXPECT_EQ(file.size, 5u);
  EXPECT_NE(file.last_write, 0u);
  EXPECT_TRUE(fs().ToLocalDosDateTime(file.last_write).has_value())
      << "a file written now has a time a DOS date can hold";

  EXPECT_EQ(entries.at("Empty.BIN").size, 0u);
  EXPECT_FALSE(entries.at("Empty.BIN").attributes & attr::kDirectory);

  const FindEntry& folder = entries.at("Sub");
  EXPECT_TRUE(folder.attributes & attr::kDirectory);
  EXPECT_EQ(folder.size, 0u);

  const auto inner = List(InSandbox("Sub"));
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner.begin()->first, "inner.txt");
}

TEST_F(FileSystemContractTest, ListingAnEmptyFolderGivesNoEntriesOfItsOwn) {
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("Empty")));
  EXPECT_TRUE(List(InSandbox("Empty")).empty());
}

TEST_F(FileSystemContractTest, ListingAMissingFolderOrAFileIsNotFoundAndGivesNoListing) {
  std::unique_ptr<FolderListing> listing;
  ASSERT_STATUS(kOk, fs().ListFolder(sandbox(), &listing));  // one in hand, to be dropped
  EXPECT_STATUS(kNotFound, fs().ListFolder(InSandbox("Missing"), &listing));
  EXPECT_EQ(listing, nullptr);
  EXPECT_STATUS(kNotFound, fs().ListFolder(InSandbox("Missing\\Deeper"), &listing));
  EXPECT_EQ(listing, nullptr);

  Write(InSandbox("file.txt"), "a file is no folder");
  EXPECT_STATUS(kNotFound, fs().ListFolder(InSandbox("file.txt"), &listing));
  EXPECT_EQ(listing, nullptr);
}

// --- Times ---

TEST_F(FileSystemContractTest, ToLocalDosDateTimePacksTimesFrom1980To2107Only) {
  // 2020-06-15 12:34:57 UTC. The local offset (at most a day either way, in
  // whole minutes) may move the hour and the day, never the seconds.
  const std::optional<DosDateTime> packed =
      fs().ToLocalDosDateTime(FileTimeOf(2020, 6, 15, 12, 34, 57));
  ASSERT_TRUE(packed.has_value());
  EXPECT_EQ(DosYear(*packed), 2020);
  EXPECT_EQ(DosMonth(*packed), 6);
  EXPECT_GE(DosDay(*packed), 14);
  EXPECT_LE(DosDay(*packed), 16);
  EXPECT_LT(DosHour(*packed), 24);
  EXPECT_LT(DosMinute(*packed), 60);
  EXPECT_EQ(DosSeconds(*packed), 56) << "two-second steps, rounded down";

  EXPECT_FALSE(fs().ToLocalDosDateTime(FileTimeOf(1970, 1, 1, 0, 0, 0)).has_value());
  EXPECT_FALSE(fs().ToLocalDosDateTime(FileTimeOf(1975, 7, 1, 12, 0, 0)).has_value());
  EXPECT_FALSE(fs().ToLocalDosDateTime(FileTimeOf(2150, 7, 1, 12, 0, 0)).has_value());
}

// --- Attributes ---

TEST_F(FileSystemContractTest, AttributesTellFilesFromFoldersAndAreEmptyForMissingItems) {
  Write(InSandbox("file.txt"), "x");
  const auto file = fs().GetAttributes(InSandbox("file.txt"));
  ASSERT_TRUE(file.has_value());
  EXPECT_FALSE(*file & attr::kDirectory);
  const auto folder = fs().GetAttributes(sandbox());
  ASSERT_TRUE(folder.has_value());
  EXPECT_TRUE(*folder & attr::kDirectory);

  EXPECT_FALSE(fs().GetAttributes(InSandbox("missing.txt")).has_value());
  EXPECT_FALSE(fs().GetAttributes(InSandbox("Missing\\missing.txt")).has_value());
}

TEST_F(FileSystemContractTest, AReadOnlyFileCannotBeDeletedUntilTheFlagIsCleared) {
  const std::string path = InSandbox("locked.txt");
  Write(path, "keep me");
  ASSERT_STATUS(kOk, fs().SetAttributes(path, attr::kReadOnly));
  const auto attributes = fs().GetAttributes(path);
  ASSERT_TRUE(attributes.has_value());
  EXPECT_TRUE(*attributes & attr::kReadOnly);

  EXPECT_STATUS(kAccessDenied, fs().DeleteFile(path));
  EXPECT_EQ(Read(path), "keep me");

  ASSERT_STATUS(kOk, fs().SetAttributes(path, attr::kNormal));
  EXPECT_FALSE(*fs().GetAttributes(path) & attr::kReadOnly);
  EXPECT_STATUS(kOk, fs().DeleteFile(path));
  EXPECT_FALSE(Exists(path));
}

// --- Creating, removing, deleting ---

TEST_F(FileSystemContractTest, DeleteFileOfAMissingFileIsNotFound) {
  EXPECT_STATUS(kNotFound, fs().DeleteFile(InSandbox("missing.txt")));
  EXPECT_STATUS(kNotFound, fs().DeleteFile(InSandbox("Missing\\missing.txt")));
}

TEST_F(FileSystemContractTest, CreateFolderNeedsItsParentAndRefusesAnExistingFolder) {
  EXPECT_STATUS(kOk, fs().CreateFolder(InSandbox("New")));
  EXPECT_TRUE(Exists(InSandbox("New")));
  EXPECT_STATUS(kAlreadyExists, fs().CreateFolder(InSandbox("New")));
  EXPECT_STATUS(kNotFound, fs().CreateFolder(InSandbox("Missing\\New")));
  EXPECT_FALSE(Exists(InSandbox("Missing")));
}

TEST_F(FileSystemContractTest, RemoveFolderRemovesOnlyAnEmptyFolder) {
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("WithFile")));
  Write(InSandbox("WithFile\\f.txt"), "x");
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("WithFolder")));
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("WithFolder\\Inner")));

  EXPECT_STATUS(kNotEmpty, fs().RemoveFolder(InSandbox("WithFile")));
  EXPECT_STATUS(kNotEmpty, fs().RemoveFolder(InSandbox("WithFolder")));
  EXPECT_EQ(Read(InSandbox("WithFile\\f.txt")), "x");

  ASSERT_STATUS(kOk, fs().DeleteFile(InSandbox("WithFile\\f.txt")));
  EXPECT_STATUS(kOk, fs().RemoveFolder(InSandbox("WithFile")));
  EXPECT_FALSE(Exists(InSandbox("WithFile")));
  EXPECT_STATUS(kNotFound, fs().RemoveFolder(InSandbox("WithFile")));
}

// --- Moving ---

TEST_F(FileSystemContractTest, MoveRenamesAFile) {
  Write(InSandbox("old.txt"), "content");
  EXPECT_STATUS(kOk, fs().MoveFile(InSandbox("old.txt"), InSandbox("new.txt")));
  EXPECT_FALSE(Exists(InSandbox("old.txt")));
  EXPECT_EQ(Read(InSandbox("new.txt")), "content");
  EXPECT_STATUS(kNotFound, fs().MoveFile(InSandbox("old.txt"), InSandbox("other.txt")));
}

TEST_F(FileSystemContractTest, MoveOntoAnExistingFileNeedsReplace) {
  Write(InSandbox("source.txt"), "source");
  Write(InSandbox("target.txt"), "target");

  EXPECT_STATUS(kAlreadyExists, fs().MoveFile(InSandbox("source.txt"), InSandbox("target.txt")));
  EXPECT_EQ(Read(InSandbox("source.txt")), "source");
  EXPECT_EQ(Read(InSandbox("target.txt")), "target");

  EXPECT_STATUS(kOk, fs().MoveFile(InSandbox("source.txt"), InSandbox("target.txt"), true));
  EXPECT_FALSE(Exists(InSandbox("source.txt")));
  EXPECT_EQ(Read(InSandbox("target.txt")), "source");
  EXPECT_EQ(List(sandbox()).size(), 1u);
}

TEST_F(FileSystemContractTest, MoveCarriesAFolderWithItsEntries) {
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("Old")));
  Write(InSandbox("Old\\f.txt"), "inside");

  EXPECT_STATUS(kOk, fs().MoveFile(InSandbox("Old"), InSandbox("New")));
  EXPECT_FALSE(Exists(InSandbox("Old")));
  EXPECT_EQ(Read(InSandbox("New\\f.txt")), "inside");
}

// --- Reading and writing ---

TEST_F(FileSystemContractTest, WrittenDataReadsBackByteForByte) {
  std::vector<uint8_t> every_byte;
  for (int round = 0; round < 4; ++round) {
    for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<uint8_t>(b));
  }
  std::vector<uint8_t> large(3 * 1024 * 1024 + 17);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 31 % 253);

  for (const auto& data : {every_byte, std::vector<uint8_t>{}, large}) {
    SCOPED_TRACE(data.size());
    const std::string path = InSandbox("data.bin");
    ASSERT_STATUS(kOk, fs().WriteFile(path, data));
    std::vector<uint8_t> read_back{1, 2, 3};  // replaced, not appended to
    ASSERT_STATUS(kOk, fs().ReadFile(path, &read_back));
    EXPECT_EQ(read_back, data);
    EXPECT_EQ(List(sandbox()).at("data.bin").size, data.size());
  }
}

TEST_F(FileSystemContractTest, WriteReplacesTheWholeOfALongerFile) {
  Write(InSandbox("f.txt"), "a much longer first version");
  Write(InSandbox("f.txt"), "short");
  EXPECT_EQ(Read(InSandbox("f.txt")), "short");
}

TEST_F(FileSystemContractTest, ReadingAMissingFileIsNotFound) {
  std::vector<uint8_t> data;
  EXPECT_STATUS(kNotFound, fs().ReadFile(InSandbox("missing.txt"), &data));
  EXPECT_STATUS(kNotFound, fs().ReadFile(InSandbox("Missing\\missing.txt"), &data));
}

TEST_F(FileSystemContractTest, WriteFileAtomicallyCreatesOrReplacesAndLeavesNothingElse) {
  const std::string path = InSandbox("archive.cvn");
  ASSERT_STATUS(kOk, platform::WriteFileAtomically(fs(), path, Bytes("first")));
  EXPECT_EQ(Read(path), "first");
  ASSERT_STATUS(kOk, platform::WriteFileAtomically(fs(), path, Bytes("second, longer")));
  EXPECT_EQ(Read(path), "second, longer");

  const auto entries = List(sandbox());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.begin()->first, "archive.cvn");
}

// --- Names ---

TEST_F(FileSystemContractTest, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
  Write(InSandbox("Mixed.txt"), "first");
  EXPECT_TRUE(Exists(InSandbox("MIXED.TXT")));
  EXPECT_EQ(Read(InSandbox("mixed.txt")), "first");

  Write(InSandbox("MIXED.TXT"), "second");
  const auto entries = List(sandbox());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.begin()->first, "Mixed.txt");
  EXPECT_EQ(Read(InSandbox("Mixed.txt")), "second");

  EXPECT_STATUS(kOk, fs().DeleteFile(InSandbox("mIXED.tXT")));
  EXPECT_TRUE(List(sandbox()).empty());
}

// --- Folders of the system and the process ---

TEST_F(FileSystemContractTest, WindowsFolderIsAnAbsoluteFolderWithoutTrailingBackslash) {
  const std::string windows = fs().WindowsFolder();
  ASSERT_GE(windows.size(), 3u);
  EXPECT_EQ(windows.substr(1, 2), ":\\");
  EXPECT_NE(windows.back(), '\\');
  const auto attributes = fs().GetAttributes(windows);
  ASSERT_TRUE(attributes.has_value());
  EXPECT_TRUE(*attributes & attr::kDirectory);
}

TEST_F(FileSystemContractTest, LongPathNameKeepsLongNamesAndMissingPaths) {
  const std::string file = InSandbox("A long folder name\\Überprüfung.txt");
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("A long folder name")));
  Write(file, "x");
  // A path of long names comes back as it is, letter case and all.
  EXPECT_EQ(fs().LongPathName(file), file);
  EXPECT_EQ(fs().LongPathName(InSandbox("missing\\file.txt")), InSandbox("missing\\file.txt"));
}

TEST_F(FileSystemContractTest, RecycledFilesAndFoldersLeaveTheirPlace) {
  Write(InSandbox("setup.log"), "log");
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("App")));
  ASSERT_STATUS(kOk, fs().CreateFolder(InSandbox("App\\bin")));
  Write(InSandbox("App\\bin\\tool.exe"), "MZ");
  Write(InSandbox("locked.ini"), "ro");
  ASSERT_STATUS(kOk, fs().SetAttributes(InSandbox("locked.ini"), attr::kReadOnly));

  ASSERT_STATUS(kOk, shell().RecycleFile(InSandbox("setup.log")));
  EXPECT_FALSE(fs().GetAttributes(InSandbox("setup.log")));
  ASSERT_STATUS(kOk, shell().RecycleFile(InSandbox("App")));
  EXPECT_FALSE(fs().GetAttributes(InSandbox("App")));
  ASSERT_STATUS(kOk, shell().RecycleFile(InSandbox("locked.ini")));
  EXPECT_FALSE(fs().GetAttributes(InSandbox("locked.ini")));
  EXPECT_STATUS(kNotFound, shell().RecycleFile(InSandbox("setup.log")));
}

TEST_F(FileSystemContractTest, RelativePathsFollowTheCurrentDirectory) {
  ASSERT_STATUS(kOk, fs().SetCurrentDirectory(sandbox()));
  EXPECT_EQ(fs().CurrentDirectory(), sandbox());

  Write("relative.txt", "here");
  EXPECT_EQ(Read(InSandbox("relative.txt")), "here");

  EXPECT_STATUS(kNotFound, fs().SetCurrentDirectory(InSandbox("Missing")));
  EXPECT_EQ(fs().CurrentDirectory(), sandbox()) << "a failed change leaves it where it was";
}

TEST_F(FileSystemContractTest, PathsLongerThan260CharactersWork) {
  const std::string segment(60, 'd');
  std::vector<std::string> folders;
  std::string folder = sandbox();
  while (folder.size() < 300) {
    folder = JoinPath(folder, segment + std::to_string(folders.size()));
    ASSERT_STATUS(kOk, fs().CreateFolder(folder)) << folder.size() << " characters";
    folders.push_back(folder);
  }
  const std::string file = JoinPath(folder, "deep.txt");
  ASSERT_GT(file.size(), 300u);

  Write(file, "deep");
  EXPECT_EQ(Read(file), "deep");
  const auto attributes = fs().GetAttributes(file);
  ASSERT_TRUE(attributes.has_value());
  EXPECT_FALSE(*attributes & attr::kDirectory);
  const auto entries = List(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.begin()->second.size, 4u);

  const std::string renamed = JoinPath(folder, "renamed.txt");
  EXPECT_STATUS(kOk, fs().MoveFile(file, renamed));
  EXPECT_STATUS(kOk, fs().DeleteFile(renamed));
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    EXPECT_STATUS(kOk, fs().RemoveFolder(*it)) << it->size() << " characters";
  }
  EXPECT_TRUE(List(sandbox()).empty());
}

}  // namespace
}  // namespace cvn::test
