// The scanners on the real registry and file system (under Wine): what they
// record and load back must be what the platform shows, names outside the
// ANSI code page included. Each test owns the key
// HKEY_CURRENT_USER\Software\CorvaneTest\<test> and the folder
// C:\CorvaneTest\<test>, both removed first and last.
#include <gtest/gtest.h>

#include "engine/snapshot/filesystem_scanner.h"
#include "engine/snapshot/load_snapshot.h"
#include "engine/snapshot/registry_scanner.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using platform::FindEntry;
using platform::KeyAccess;
using platform::RegKey;
using platform::RootKey;
using platform::Status;
using platform::StatusCode;
using test::Dump;

constexpr RootKey kHKCU = RootKey::kCurrentUser;
constexpr char kSandboxKeys[] = "Software\\CorvaneTest";
constexpr char kSandboxFolders[] = "C:\\CorvaneTest";

std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

std::string Join(const std::string& parent, std::string_view name) {
  return parent.empty() ? std::string(name) : parent + "\\" + std::string(name);
}

// What the registry shows below `path`, in the form of test::Dump, each key
// named `label` and the labels of the keys below it.
void ShowKey(platform::Registry& registry, const std::string& path, const std::string& label,
             std::vector<std::string>& out) {
  out.push_back(label);
  std::unique_ptr<RegKey> key;
  if (!registry.OpenKey(kHKCU, path, KeyAccess::kRead, &key).ok()) return;
  platform::RegValue value;
  for (uint32_t i = 0; registry.EnumValue(*key, i, platform::Registry::kUnlimited, &value).ok(); ++i)
    out.push_back(label + "|" + value.name + "|" + std::to_string(value.type) + "|" + Hex(value.data));
  std::string name;
  for (uint32_t i = 0; registry.EnumKey(*key, i, &name).ok(); ++i)
    ShowKey(registry, Join(path, name), Join(label, name), out);
}

// What the file system shows below `folder`, in the form of test::Dump.
void ShowFolder(platform::FileSystem& fs, const std::string& folder, std::vector<std::string>& out) {
  out.push_back(folder);
  std::unique_ptr<platform::FolderListing> listing;
  ASSERT_TRUE(fs.ListFolder(folder, &listing).ok()) << folder;
  FindEntry e;
  while (listing->Next(&e).ok()) {
    if (e.name == "." || e.name == "..") continue;
    if (e.attributes & platform::attr::kDirectory) {
      ShowFolder(fs, folder + "\\" + e.name, out);
      continue;
    }
    const platform::DosDateTime dos = fs.ToLocalDosDateTime(e.last_write).value();
    const uint32_t size = static_cast<uint32_t>(e.size);
    const uint8_t data[8] = {static_cast<uint8_t>(dos.time), static_cast<uint8_t>(dos.time >> 8),
                             static_cast<uint8_t>(dos.date), static_cast<uint8_t>(dos.date >> 8),
                             static_cast<uint8_t>(size),     static_cast<uint8_t>(size >> 8),
                             static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
    out.push_back(folder + "|" + e.name + "|3|" + Hex(data));
  }
}

Status RemoveFolderTree(platform::FileSystem& fs, const std::string& folder) {
  std::unique_ptr<platform::FolderListing> listing;
  if (Status s = fs.ListFolder(folder, &listing); !s.ok()) return s;
  FindEntry e;
  while (listing->Next(&e).ok()) {
    if (e.name == "." || e.name == "..") continue;
    const std::string path = folder + "\\" + e.name;
    fs.SetAttributes(path, platform::attr::kNormal);
    if (e.attributes & platform::attr::kDirectory) {
      RemoveFolderTree(fs, path);
    } else {
      fs.DeleteFile(path);
    }
  }
  listing.reset();
  return fs.RemoveFolder(folder);
}

std::vector<uint8_t> Text(std::string_view s) { return {s.begin(), s.end()}; }

class SnapshotWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    key_path_ = std::string(kSandboxKeys) + "\\" + test;
    folder_ = std::string(kSandboxFolders) + "\\" + test;
    Clean();
    std::unique_ptr<RegKey> key;
    ASSERT_TRUE(registry_.CreateKey(kHKCU, key_path_, KeyAccess::kReadWrite, &key).ok());
    fs_.CreateFolder(kSandboxFolders);
    ASSERT_TRUE(fs_.CreateFolder(folder_).ok());
  }
  void TearDown() override { Clean(); }

  void Clean() {
    std::unique_ptr<RegKey> parent;
    if (registry_.OpenKey(kHKCU, kSandboxKeys, KeyAccess::kReadWrite, &parent).ok()) {
      platform::DeleteKeyTree(registry_, *parent, key_path_.substr(sizeof(kSandboxKeys)));
    }
    RemoveFolderTree(fs_, folder_);
  }

  std::unique_ptr<RegKey> Key(std::string_view below) {
    std::unique_ptr<RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(kHKCU, Join(key_path_, below), KeyAccess::kReadWrite, &key).ok());
    return key;
  }
  void Set(std::string_view below, std::string_view name, uint32_t type,
           const std::vector<uint8_t>& data) {
    ASSERT_TRUE(registry_.SetValue(*Key(below), name, type, data).ok()) << name;
  }
  void WriteFile(std::string_view below, std::string_view data) {
    ASSERT_TRUE(fs_.WriteFile(folder_ + "\\" + std::string(below), Text(data)).ok()) << below;
  }
  void MakeFolder(std::string_view below) {
    ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\" + std::string(below)).ok()) << below;
  }

  // A registry sandbox with text, numbers, binary data of 100 KB, a default
  // value, an empty value and names outside the ANSI code page.
  void FillRegistrySandbox() {
    std::vector<uint8_t> big(100 * 1024);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i % 251);
    Set("", "", platform::regtype::kSz, Text(std::string("root default\0", 13)));
    Set("", "Überprüfung", platform::regtype::kDword, {1, 0, 0, 0});
    Set("Big", "before", platform::regtype::kDword, {7, 0, 0, 0});
    Set("Big", "blob", platform::regtype::kBinary, big);
    Set("Big", "after", platform::regtype::kSz, Text(std::string("danach\0", 7)));
    Set("Big", "empty", platform::regtype::kBinary, {});
    Set("日本語", "名前", platform::regtype::kSz, Text(std::string("値\0", 4)));
    Key("日本語\\Überprüfung\\Deep");
    Set("Plain\\Sub", "q", platform::regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 8});
  }

  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  settings::Settings settings_;
  std::string key_path_;
  std::string folder_;
};

TEST_F(SnapshotWin32Test, RegistryStoreLoadsBackAsTheRegistryShowsIt) {
  FillRegistrySandbox();
  std::vector<std::string> shown;
  ShowKey(registry_, key_path_, key_path_, shown);
  std::sort(shown.begin(), shown.end());
  ASSERT_GT(shown.size(), 10u);

  TDBTree store = TDBTree::CreateNew(fs_, folder_, "HKCU");
  RunToEnd control;
  RegistryScanner(registry_, settings_, control).ScanRegKey(kHKCU, key_path_, store);
  store.Save();
  // Read back record by record: a store that starts below the hive root is
  // not a hive's snapshot, so it is not loaded as a tree here.
  TDBTree read = TDBTree::Open(fs_, folder_, "HKCU");
  std::vector<std::string> recorded;
  std::string path;
  SnapshotRecord r;
  while (read.ReadRecord(&r)) {
    if (r.flags & flags::kFullPath) path = std::string(r.path_text);
    if (r.flags & flags::kRelativePath) path += "\\" + std::string(r.path_text);
    recorded.push_back((r.flags & flags::kContainer)
                           ? path
                           : path + "|" + std::string(r.name) + "|" + std::to_string(r.value) +
                                 "|" + Hex(r.data));
  }
  std::sort(recorded.begin(), recorded.end());
  EXPECT_EQ(recorded, shown);
}

TEST_F(SnapshotWin32Test, RegistryTreeFormMatchesTheRegistry) {
  FillRegistrySandbox();
  std::vector<std::string> shown;
  ShowKey(registry_, key_path_, "Sandbox", shown);
  std::sort(shown.begin(), shown.end());

  SnapshotTree tree;
  RunToEnd control;
  tree.SetRoot(RegistryScanner(registry_, settings_, control)
                   .ScanRegKeyToTree(kHKCU, "Sandbox", key_path_, tree));
  EXPECT_EQ(Dump(tree.Root()), shown);
  const TValori* blob = test::ValueNamed(test::ChildNamed(tree.Root(), "Big"), "blob");
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(blob->Size, 100u * 1024);
  EXPECT_NE(test::ChildNamed(tree.Root(), "日本語"), nullptr);
}

// The whole hive, from its root: both forms record the same, and the
// sandbox is found in it.
TEST_F(SnapshotWin32Test, WholeHiveInBothFormsFromTheHiveRoot) {
  FillRegistrySandbox();
  RunToEnd control;
  RegistryScanner scanner(registry_, settings_, control);
  TDBTree store = TDBTree::CreateNew(fs_, folder_, "HKCU");
  scanner.ScanRegKey(kHKCU, "", store);
  store.Save();
  SnapshotTree loaded = LoadSnapshot(fs_, folder_, "HKCU", control);
  SnapshotTree tree;
  tree.SetRoot(scanner.ScanRegKeyToTree(kHKCU, "", "", tree));

  ASSERT_NE(loaded.Root(), nullptr);
  EXPECT_EQ(loaded.Root()->Name, "");
  EXPECT_EQ(Dump(loaded.Root()), Dump(tree.Root()));
  const TNode* sandbox = test::ChildNamed(
      test::ChildNamed(test::ChildNamed(loaded.Root(), "Software"), "CorvaneTest"),
      ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ASSERT_NE(sandbox, nullptr);
  EXPECT_NE(test::ValueNamed(sandbox, "Überprüfung"), nullptr);
}

TEST_F(SnapshotWin32Test, ProgramFilesDirIsAFolderThatCanBeListed) {
  const std::string program_files = GetProgramFilesDir(registry_);
  ASSERT_FALSE(program_files.empty());
  std::unique_ptr<platform::FolderListing> listing;
  EXPECT_TRUE(fs_.ListFolder(program_files, &listing).ok()) << program_files;
}

TEST_F(SnapshotWin32Test, FolderTreeLoadsBackAsTheFileSystemShowsIt) {
  WriteFile("a.txt", "hello");
  WriteFile("Überprüfung.txt", "ü");
  MakeFolder("日本語");
  WriteFile("日本語\\ファイル.dat", std::string(3000, 'x'));
  MakeFolder("日本語\\Deeper");
  WriteFile("日本語\\Deeper\\deep.bin", "0123456789");
  MakeFolder("Empty");
  WriteFile("hidden.sys", "h");
  ASSERT_TRUE(fs_.SetAttributes(folder_ + "\\hidden.sys",
                                platform::attr::kHidden | platform::attr::kSystem |
                                    platform::attr::kReadOnly).ok());
  MakeFolder("Out");  // where the snapshot goes, excluded like the program folder
  settings_.ExcludedFolders.Add(folder_ + "\\Out");
  settings_.ScanEntire = settings_.ScanWin = settings_.ScanProg = false;
  settings_.ScanOthers = true;
  settings_.ScanOtherPaths = folder_ + "\\";

  RunToEnd control;
  FileSystemScanner(fs_, registry_, settings_, control)
      .ScanFileSystem(fs_.WindowsFolder(), folder_ + "\\Out");
  SnapshotTree loaded = LoadSnapshot(fs_, folder_ + "\\Out", "FIS2", control);

  std::vector<std::string> shown = {"C:", kSandboxFolders};
  ShowFolder(fs_, folder_, shown);
  std::erase_if(shown, [&](const std::string& line) {
    return line.starts_with(folder_ + "\\Out|");  // the excluded folder's contents
  });
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(Dump(loaded.Root()), shown);
  EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                          [](const std::string& l) { return l.find('|') != std::string::npos; }),
            5);
  EXPECT_FALSE(fs_.GetAttributes(folder_ + "\\Out\\FIS2.sns").has_value());  // deleted by loading
}

TEST_F(SnapshotWin32Test, DriveRootFilesAreRecordedWithTheDriveAlone) {
  // The root of C: in the test prefix: only its files are checked.
  WriteFile("marker.txt", "m");
  settings_.ScanEntire = settings_.ScanWin = settings_.ScanProg = false;
  settings_.ScanOthers = true;
  settings_.ScanOtherPaths = folder_ + ";C:\\";
  settings_.ExcludedFolders.Add("C:\\windows");
  settings_.ExcludedFolders.Add("C:\\users");
  settings_.ExcludedFolders.Add("C:\\ProgramData");
  settings_.ExcludedFolders.Add("C:\\Program Files");
  settings_.ExcludedFolders.Add("C:\\Program Files (x86)");
  settings_.ExcludedFolders.Add(folder_);  // when met again below the drive root
  RunToEnd control;
  FileSystemScanner(fs_, registry_, settings_, control).ScanFileSystem(fs_.WindowsFolder(), folder_);
  TDBTree store = TDBTree::Open(fs_, folder_, "FIS2");
  SnapshotRecord r;
  bool found_folder_of_sandbox = false;
  while (store.ReadRecord(&r)) {
    if (r.flags & flags::kFullPath) {
      EXPECT_FALSE(r.path_text.ends_with('\\')) << r.path_text;
      if (r.path_text == kSandboxFolders) found_folder_of_sandbox = true;
    }
  }
  EXPECT_TRUE(found_folder_of_sandbox);  // "C:\" joined with the name, one backslash
}

}  // namespace
}  // namespace cvn::snapshot
