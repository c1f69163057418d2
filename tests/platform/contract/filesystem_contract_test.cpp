// What every FileSystem implementation promises the scanner, the uninstaller
// and the program's own files. The same tests run on each implementation,
// through MakePlatformUnderTest().
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"
#include "platform/sha256.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"

namespace cvn::test {
namespace {

using platform::FindEntry;
using platform::FolderListing;
using platform::JoinPath;
using platform::Status;
namespace attr = platform::attr;

// Each test works in its own empty folder.
class FileSystemContractTest : public ::testing::Test {
 protected:
  platform::FileSystem& fs() { return platform_->fs(); }
  std::string In(std::string_view name) const { return JoinPath(sandbox_, name); }

  void Write(const std::string& path, std::string_view text) {
    EXPECT_STATUS(kOk, fs().WriteFile(path, Bytes(text))) << path;
  }
  void MakeFolders(std::initializer_list<const char*> below) {
    for (const char* name : below) EXPECT_STATUS(kOk, fs().CreateFolder(In(name)));
  }
  std::string Read(const std::string& path) {
    std::vector<uint8_t> data;
    EXPECT_STATUS(kOk, fs().ReadFile(path, &data)) << path;
    return std::string(data.begin(), data.end());
  }
  // The attributes of `path`, none when it is missing.
  uint32_t Attr(const std::string& path) { return fs().GetAttributes(path).value_or(0); }

  // The entries of `folder` by name, without "." and ".."; the listing must
  // end with kNoMoreItems.
  std::map<std::string, FindEntry> List(const std::string& folder, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::map<std::string, FindEntry> entries;
    std::unique_ptr<FolderListing> listing;
    Status s = fs().ListFolder(folder, &listing);
    EXPECT_STATUS(kOk, s);
    for (FindEntry entry; s.ok() && (s = listing->Next(&entry)).ok();)
      if (entry.name != "." && entry.name != "..") entries[entry.name] = entry;
    EXPECT_STATUS(kNoMoreItems, s);
    return entries;
  }
  std::vector<std::string> Names(const std::string& folder, Where where = Where::current()) {
    std::vector<std::string> names;
    for (const auto& [name, entry] : List(folder, where)) names.push_back(name);
    return names;
  }

  std::unique_ptr<PlatformUnderTest> platform_ = MakePlatformUnderTest();
  const std::string sandbox_ = platform_->folder;
};

TEST_F(FileSystemContractTest, ListingGivesEveryFileAndSubfolderWithItsDetails) {
  Write(In("a.txt"), "hello");
  MakeFolders({"Sub"});
  Write(In("Sub\\inner.txt"), "not listed with its folder's parent");
  const auto entries = List(sandbox_);
  ASSERT_EQ(Names(sandbox_), (std::vector<std::string>{"Sub", "a.txt"}));
  EXPECT_FALSE(entries.at("a.txt").attributes & attr::kDirectory);
  EXPECT_EQ(entries.at("a.txt").size, 5u);
  EXPECT_TRUE(fs().ToLocalDosDateTime(entries.at("a.txt").last_write).has_value())
      << "a file written now has a time a DOS date can hold";
  EXPECT_TRUE(entries.at("Sub").attributes & attr::kDirectory);
  EXPECT_EQ(Names(In("Sub")), std::vector<std::string>{"inner.txt"});
  EXPECT_TRUE(Attr(sandbox_) & attr::kDirectory);
}

// Every operation on an item that is not there, or whose folder is not
// there, says so, and none leaves anything behind.
TEST_F(FileSystemContractTest, MissingItemsAreNotFound) {
  Write(In("file.txt"), "a file is no folder");
  for (const char* missing : {"Missing", "Missing\\Deeper"}) {
    SCOPED_TRACE(missing);
    const std::string path = In(missing);
    std::unique_ptr<FolderListing> listing;
    EXPECT_STATUS(kNotFound, fs().ListFolder(path, &listing));
    std::vector<uint8_t> data;
    EXPECT_STATUS(kNotFound, fs().ReadFile(path, &data));
    EXPECT_FALSE(fs().GetAttributes(path).has_value());
    EXPECT_STATUS(kNotFound, fs().DeleteFile(path));
    EXPECT_STATUS(kNotFound, fs().RemoveFolder(path));
    EXPECT_STATUS(kNotFound, fs().MoveFile(path, In("other.txt")));
    EXPECT_STATUS(kNotFound, fs().SetCurrentDirectory(path));
    EXPECT_STATUS(kNotFound, platform_->shell().RecycleFile(path));
  }
  EXPECT_STATUS(kNotFound, fs().CreateFolder(In("Missing\\New")));
  std::unique_ptr<FolderListing> listing;
  EXPECT_STATUS(kNotFound, fs().ListFolder(In("file.txt"), &listing));
  EXPECT_EQ(Names(sandbox_), std::vector<std::string>{"file.txt"});
}

TEST_F(FileSystemContractTest, MoveRenamesFilesAndFoldersAndReplacesOnlyWhenAsked) {
  Write(In("old.txt"), "content");
  Write(In("target.txt"), "target");
  MakeFolders({"Old"});
  EXPECT_STATUS(kAlreadyExists, fs().CreateFolder(In("Old")));
  Write(In("Old\\f.txt"), "inside");
  EXPECT_STATUS(kOk, fs().MoveFile(In("old.txt"), In("new.txt")));
  EXPECT_STATUS(kAlreadyExists, fs().MoveFile(In("new.txt"), In("target.txt")));
  EXPECT_EQ(Read(In("new.txt")), "content");
  EXPECT_EQ(Read(In("target.txt")), "target");
  EXPECT_STATUS(kOk, fs().MoveFile(In("new.txt"), In("target.txt"), true));
  EXPECT_EQ(Read(In("target.txt")), "content");
  EXPECT_STATUS(kOk, fs().MoveFile(In("Old"), In("New")));
  EXPECT_EQ(Read(In("New\\f.txt")), "inside");
  EXPECT_EQ(Names(sandbox_), (std::vector<std::string>{"New", "target.txt"}));
}

TEST_F(FileSystemContractTest, WrittenDataReadsBackByteForByteAndReplacesTheWhole) {
  std::vector<uint8_t> large(3 * 1024 * 1024 + 17);  // every byte value, in a long cycle
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 31 + i / 256);
  // Each write is shorter than the one before it.
  for (const auto& data : {large, Bytes("short"), std::vector<uint8_t>{}}) {
    SCOPED_TRACE(data.size());
    ASSERT_STATUS(kOk, fs().WriteFile(In("data.bin"), data));
    std::vector<uint8_t> read_back{1, 2, 3};  // replaced, not appended to
    ASSERT_STATUS(kOk, fs().ReadFile(In("data.bin"), &read_back));
    EXPECT_TRUE(read_back == data) << "read back " << read_back.size() << " bytes";
    EXPECT_EQ(List(sandbox_).at("data.bin").size, data.size());
  }
}

TEST_F(FileSystemContractTest, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
  Write(In("Mixed.txt"), "first");
  EXPECT_TRUE(fs().GetAttributes(In("MIXED.TXT")));
  EXPECT_EQ(Read(In("mixed.txt")), "first");
  Write(In("MIXED.TXT"), "second");
  EXPECT_EQ(Names(sandbox_), std::vector<std::string>{"Mixed.txt"});
  EXPECT_EQ(Read(In("Mixed.txt")), "second");
  EXPECT_STATUS(kOk, fs().DeleteFile(In("mIXED.tXT")));
  EXPECT_TRUE(List(sandbox_).empty());
}

// A read-only file cannot be deleted, but it can be recycled.
TEST_F(FileSystemContractTest, ReadOnlyFilesStayButAllRecycledItemsLeaveTheirPlace) {
  MakeFolders({"App", "App\\bin"});
  Write(In("App\\bin\\tool.exe"), "MZ");
  Write(In("locked.ini"), "ro");
  ASSERT_STATUS(kOk, fs().SetAttributes(In("locked.ini"), attr::kReadOnly));
  EXPECT_TRUE(Attr(In("locked.ini")) & attr::kReadOnly);
  EXPECT_STATUS(kAccessDenied, fs().DeleteFile(In("locked.ini")));
  EXPECT_EQ(Read(In("locked.ini")), "ro");
  ASSERT_STATUS(kOk, platform_->shell().RecycleFile(In("App")));
  EXPECT_FALSE(fs().GetAttributes(In("App")));
  // Many at once: each item has its own status.
  Write(In("data.bin"), "data");
  const std::vector<std::string> paths{In("locked.ini"), In("missing.txt"), In("data.bin")};
  const std::vector<Status> results = platform_->shell().RecycleFiles(paths);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_STATUS(kOk, results[0]);
  EXPECT_STATUS(kNotFound, results[1]);
  EXPECT_STATUS(kOk, results[2]);
  EXPECT_EQ(Names(sandbox_), std::vector<std::string>{});
}

// A second name shares the file's content and outlives the first.
TEST_F(FileSystemContractTest, ALinkedFileKeepsItsContentWhenTheFirstNameGoes) {
  Write(In("a.txt"), "content");
  Write(In("taken.txt"), "other");
  ASSERT_STATUS(kOk, fs().LinkFile(In("a.txt"), In("b.txt")));
  EXPECT_STATUS(kAlreadyExists, fs().LinkFile(In("a.txt"), In("taken.txt")));
  EXPECT_STATUS(kNotFound, fs().LinkFile(In("missing.txt"), In("c.txt")));
  ASSERT_STATUS(kOk, fs().DeleteFile(In("a.txt")));
  EXPECT_EQ(Read(In("b.txt")), "content");
  EXPECT_EQ(Read(In("taken.txt")), "other");
}

// A file is taken only while its content has the digest given; what is
// taken keeps its content, and a refusal leaves everything as it was.
TEST_F(FileSystemContractTest, AFileIsTakenOnlyWhileItsContentIsUnchanged) {
  std::string deep = sandbox_;
  while (deep.size() < 300) deep = JoinPath(deep, std::string(60, 'd'));
  const platform::Sha256Digest digest = platform::Sha256Of(Bytes("content"));
  const struct {
    const char* what;
    std::string to;
    bool link;
    std::string_view content;
    platform::StatusCode status;
    bool unchanged;
  } cases[] = {
      {"moved", In("Backup\\1"), false, "content", platform::StatusCode::kOk, true},
      {"moved far below", JoinPath(deep, "1"), false, "content", platform::StatusCode::kOk, true},
      {"linked", In("Backup\\2"), true, "content", platform::StatusCode::kOk, true},
      {"changed", In("Backup\\3"), false, "edited", platform::StatusCode::kOk, false},
      {"target taken", In("Backup\\taken"), false, "content", platform::StatusCode::kAlreadyExists,
       true},
  };
  MakeFolders({"App", "Backup"});
  for (std::string folder = sandbox_; folder != deep;) {
    folder = JoinPath(folder, std::string(60, 'd'));
    ASSERT_STATUS(kOk, fs().CreateFolder(folder));
  }
  Write(In("Backup\\taken"), "other");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = In("App\\file.dat");
    Write(file, c.content);
    bool unchanged = !c.unchanged;
    EXPECT_EQ(fs().TakeFileIfUnchanged(file, c.to, digest, c.link, &unchanged).code(), c.status);
    EXPECT_EQ(unchanged, c.unchanged);
    const bool taken = c.status == platform::StatusCode::kOk && c.unchanged;
    EXPECT_EQ(fs().GetAttributes(file).has_value(), !taken || c.link);
    if (taken) {
      EXPECT_EQ(Read(c.to), "content");
    }
    if (fs().GetAttributes(file)) {
      EXPECT_EQ(Read(file), c.content);
    }
    fs().DeleteFile(file);
  }
  EXPECT_EQ(Read(In("Backup\\taken")), "other");
  bool unchanged = true;
  EXPECT_STATUS(kNotFound, fs().TakeFileIfUnchanged(In("missing"), In("Backup\\4"), digest, false,
                                                    &unchanged));
  EXPECT_FALSE(unchanged);
}

TEST_F(FileSystemContractTest, PathsLongerThan260CharactersWork) {
  std::string folder = sandbox_;
  while (folder.size() < 300) {
    folder = JoinPath(folder, std::string(60, 'd'));
    ASSERT_STATUS(kOk, fs().CreateFolder(folder)) << folder.size() << " characters";
  }
  const std::string file = JoinPath(folder, "deep.txt");
  Write(file, "deep");
  EXPECT_EQ(Read(file), "deep");
  EXPECT_EQ(List(folder).at("deep.txt").size, 4u);
  EXPECT_STATUS(kOk, fs().MoveFile(file, JoinPath(folder, "renamed.txt")));
  EXPECT_STATUS(kOk, fs().DeleteFile(JoinPath(folder, "renamed.txt")));
  EXPECT_STATUS(kOk, fs().RemoveFolder(folder));
  EXPECT_FALSE(fs().GetAttributes(folder));
}

}  // namespace
}  // namespace cvn::test

namespace cvn::test {
namespace {

// The digest is the standard SHA-256 of the content, whichever way the
// platform computes it; appending creates, then extends.
TEST_F(FileSystemContractTest, HashIsTheContentsSha256AndAppendExtends) {
  const std::string path = In("h.txt");
  EXPECT_STATUS(kOk, fs().AppendFile(path, Bytes("ab"), true));
  EXPECT_STATUS(kOk, fs().AppendFile(path, Bytes("c"), false));
  EXPECT_EQ(Read(path), "abc");
  platform::Sha256Digest digest{};
  EXPECT_STATUS(kOk, fs().HashFile(path, &digest));
  EXPECT_EQ(platform::DigestHex(digest),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_STATUS(kNotFound, fs().HashFile(In("missing.txt"), &digest));
}

}  // namespace
}  // namespace cvn::test
