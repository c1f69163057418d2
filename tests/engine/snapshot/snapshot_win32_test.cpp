// The scanners on the real registry and file system (under Wine): what they
// record and load back is what the platform shows, with names outside the
// ANSI code page, the attributes the real file system lists and the whole
// of HKEY_CURRENT_USER read from its root; and the bulk read against the walk.

// Before <windows.h>, whose macros rename DeleteFile and friends.
#include "platform/platform_wrappers.h"

#include <gtest/gtest.h>

#include "engine/snapshot/filesystem_scanner.h"
#include "engine/snapshot/load_snapshot.h"
#include "engine/snapshot/registry_scanner.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "tests/engine/snapshot/snapshot_test_util.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"
#include "tests/support/platform_win32_sandbox.h"
#include "tests/engine/snapshot/record_lines.h"
#include "tests/engine/snapshot/registry_generator.h"

#include <cstdlib>

namespace cvn::snapshot {

using threads::RunToEnd;
namespace {

using cvn::test::Hex;
using platform::KeyAccess;
using platform::RootKey;
using test::Dump;
namespace attr = platform::attr;
using cvn::test::Where;

// What the registry shows below `path` of HKEY_CURRENT_USER, in the form of
// test::Dump, the key named `label`.
void ShowKey(platform::Registry& registry, const std::string& path, const std::string& label,
             std::vector<std::string>& out) {
  out.push_back(label);
  std::unique_ptr<platform::RegKey> key;
  ASSERT_TRUE(registry.OpenKey(RootKey::kCurrentUser, path, KeyAccess::kRead, &key).ok()) << path;
  platform::RegValue v;
  for (uint32_t i = 0; registry.EnumValue(*key, i, platform::Registry::kUnlimited, &v).ok(); ++i)
    out.push_back(label + "|" + v.name + "|" + std::to_string(v.type) + "|" + Hex(v.data));
  std::string name;
  for (uint32_t i = 0; registry.EnumKey(*key, i, &name).ok(); ++i)
    ShowKey(registry, path + "\\" + name, label + "\\" + name, out);
}

// What the file system shows below `folder`, in the form of test::Dump: a
// file's data is its DOS time and date and its size.
void ShowFolder(platform::FileSystem& fs, const std::string& folder,
                std::vector<std::string>& out) {
  out.push_back(folder);
  std::unique_ptr<platform::FolderListing> listing;
  ASSERT_TRUE(fs.ListFolder(folder, &listing).ok()) << folder;
  for (platform::FindEntry e; listing->Next(&e).ok();) {
    if (e.name == "." || e.name == "..") continue;
    if (e.attributes & attr::kDirectory) {
      ShowFolder(fs, folder + "\\" + e.name, out);
      continue;
    }
    const platform::DosDateTime dos = fs.ToLocalDosDateTime(e.last_write).value();
    std::vector<uint8_t> data = cvn::test::DwordData(dos.time | uint32_t{dos.date} << 16);
    const auto size = cvn::test::DwordData(static_cast<uint32_t>(e.size));
    data.insert(data.end(), size.begin(), size.end());
    out.push_back(folder + "|" + e.name + "|3|" + Hex(data));
  }
}

class SnapshotWin32Test : public ::testing::Test {
 protected:
  void Set(const std::string& below, std::string_view name, uint32_t type, std::string_view data,
           Where where = Where::current()) {
    TRACE_CALLER(where);
    std::unique_ptr<platform::RegKey> key;
    ASSERT_STATUS(kOk, registry_.CreateKey(RootKey::kCurrentUser, box_.key + "\\" + below,
                                           KeyAccess::kReadWrite, &key));
    EXPECT_STATUS(kOk, registry_.SetValue(*key, name, type, cvn::test::Bytes(data)));
  }
  // A file below the sandbox, or a folder when `data` is null.
  void Add(const std::string& below, const char* data, uint32_t attributes = 0,
           Where where = Where::current()) {
    TRACE_CALLER(where);
    const std::string path = box_.folder + "\\" + below;
    EXPECT_STATUS(kOk, data ? fs_.WriteFile(path, cvn::test::Bytes(data)) : fs_.CreateFolder(path));
    if (attributes) {
      EXPECT_STATUS(kOk, fs_.SetAttributes(path, attributes));
    }
  }
  // Only the paths given in ScanOtherPaths are scanned.
  void ScanOnly(const std::string& paths) {
    settings_.scan_system_partition = settings_.scan_windows_folder = settings_.scan_program_files =
        false;
    settings_.scan_other_folders = true;
    settings_.other_folders = paths;
  }

  cvn::test::Win32Sandbox box_;
  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  settings::Settings settings_;
  RunToEnd control_;
};

// Both forms start at the hive's root, and the sandbox in each is what the
// registry shows. (Only the sandbox is compared: other test programs change
// the hive meanwhile.)
TEST_F(SnapshotWin32Test, WholeHiveInBothFormsFromTheHiveRoot) {
  Set("Box", "", platform::regtype::kSz, {"root default\0", 13});
  Set("Box\\日本語", "名前", platform::regtype::kSz, {"値\0", 4});
  Set("Box\\日本語\\Überprüfung\\Deep", "q", platform::regtype::kQword, "12345678");
  std::vector<std::string> shown;
  ShowKey(registry_, box_.key + "\\Box", "Box", shown);
  std::sort(shown.begin(), shown.end());
  ASSERT_EQ(shown.size(), 7u);

  RegistryScanner scanner(registry_, settings_, control_);
  SnapshotStore store = SnapshotStore::CreateNew(fs_, box_.folder, "HKCU");
  scanner.ScanRegKey(RootKey::kCurrentUser, "", store);
  store.Save();
  SnapshotTree loaded = LoadSnapshot(fs_, box_.folder, "HKCU", control_);
  SnapshotTree tree;
  tree.SetRoot(scanner.ScanRegKeyToTree(RootKey::kCurrentUser, "", "", tree));

  for (const SnapshotTree* form : {&loaded, &tree}) {
    SCOPED_TRACE(form == &tree ? "tree form" : "stored form");
    ASSERT_NE(form->Root(), nullptr);
    EXPECT_EQ(form->Root()->name, "");
    const SnapshotNode* sandbox = test::ChildNamed(
        test::ChildNamed(test::ChildNamed(form->Root(), "Software"), "CorvaneTest"), box_.name);
    ASSERT_NE(sandbox, nullptr);
    ASSERT_EQ(test::ChildNames(sandbox), std::vector<std::string>{"Box"});
    EXPECT_EQ(Dump(sandbox->child), shown);
  }
}

TEST_F(SnapshotWin32Test, FolderTreeLoadsBackAsTheFileSystemShowsIt) {
  Add("Überprüfung.txt", "ü");
  Add("日本語", nullptr);
  Add("日本語\\ファイル.dat", std::string(3000, 'x').c_str());
  Add("日本語\\Deeper", nullptr);
  Add("Empty", nullptr);
  Add("hidden.sys", "h", attr::kHidden | attr::kSystem | attr::kReadOnly);
  Add("Out", nullptr);  // where the snapshot goes, excluded like the program folder
  settings_.excluded_folders.Add(box_.folder + "\\Out");
  ScanOnly(box_.folder + "\\");

  FileSystemScanner(fs_, registry_, settings_, control_)
      .ScanFileSystem(fs_.WindowsFolder(), box_.folder + "\\Out");
  SnapshotTree loaded = LoadSnapshot(fs_, box_.folder + "\\Out", "FIS2", control_);

  std::vector<std::string> shown = {"C:", "C:\\CorvaneTest"};
  ShowFolder(fs_, box_.folder, shown);
  std::sort(shown.begin(), shown.end());
  ASSERT_EQ(shown.size(), 10u);
  EXPECT_EQ(Dump(loaded.Root()), shown);
  EXPECT_FALSE(fs_.GetAttributes(box_.folder + "\\Out\\FIS2.sns").has_value())
      << "deleted by loading";
}

// "C:\" joined with a name gives one backslash, and the files of the drive's
// root are recorded under "C:".
TEST_F(SnapshotWin32Test, DriveRootIsJoinedWithOneBackslash) {
  Add("marker.txt", "m");
  ScanOnly(box_.folder + ";C:\\");
  for (const char* folder : {"C:\\windows", "C:\\users", "C:\\ProgramData", "C:\\Program Files",
                             "C:\\Program Files (x86)"})
    settings_.excluded_folders.Add(folder);
  settings_.excluded_folders.Add(box_.folder);  // when met again below the drive root
  FileSystemScanner(fs_, registry_, settings_, control_)
      .ScanFileSystem(fs_.WindowsFolder(), box_.folder);
  SnapshotStore store = SnapshotStore::Open(fs_, box_.folder, "FIS2");
  bool found_sandbox_parent = false;
  for (SnapshotRecord r; store.ReadRecord(&r);) {
    if (!(r.flags & flags::kFullPath)) continue;
    EXPECT_FALSE(r.path_text.ends_with('\\')) << r.path_text;
    found_sandbox_parent |= r.path_text == "C:\\CorvaneTest";
  }
  EXPECT_TRUE(found_sandbox_parent);
}

TEST_F(SnapshotWin32Test, ProgramFilesDirIsAFolderThatCanBeListed) {
  const std::string program_files = GetProgramFilesDir(registry_);
  ASSERT_FALSE(program_files.empty());
  std::unique_ptr<platform::FolderListing> listing;
  EXPECT_TRUE(fs_.ListFolder(program_files, &listing).ok()) << "'" << program_files << "'";
}

// Counts the keys saved for the scanner.
class CountingRegistry final : public platform::RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  platform::Status SaveKey(RootKey root, std::string_view path,
                           std::vector<uint8_t>* contents) override {
    const platform::Status saved = target().SaveKey(root, path, contents);
    saves += saved.ok();
    return saved;
  }
  size_t saves = 0;
};

// The bulk read against the walk on the real registry, whole hives and the
// classes, with generated content below HKEY_LOCAL_MACHINE, its classes and
// HKEY_CURRENT_USER (names outside ASCII, every type, empty and large values,
// volatile keys, links): record for record the same. CVN_BULK_TEST_VALUES
// sets how many values are generated: by default 200,000, as on the large
// registry the bulk read is meant for (about 45 seconds here; 0 compares a
// fresh registry).
TEST_F(SnapshotWin32Test, BulkReadEqualsTheWalkRecordForRecord) {
  const char* asked = std::getenv("CVN_BULK_TEST_VALUES");
  const size_t count = asked != nullptr ? std::strtoul(asked, nullptr, 10) : 200'000;
  const std::wstring machine_key = L"Software\\CorvaneBulkTest";
  cvn::test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, machine_key);
  const auto made = cvn::test::GenerateRegistry(HKEY_LOCAL_MACHINE, machine_key, count,
                                                L"\\Registry\\Machine\\Software\\Wine");
  ASSERT_EQ(made.values, count);
  cvn::test::GenerateRegistry(HKEY_CURRENT_USER, cvn::test::AsciiToWide(box_.key) + L"\\Generated",
                              count / 10, L"\\Registry\\Machine\\Software\\Wine");
  const std::wstring classes_key = L"Software\\Classes\\CorvaneBulkTest";
  cvn::test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, classes_key);
  cvn::test::GenerateRegistry(HKEY_LOCAL_MACHINE, classes_key, count / 50,
                              L"\\Registry\\Machine\\Software\\Wine");
  settings_.scan_hku = true;

  CountingRegistry counting(registry_);
  // The test prefix's user has no classes of their own, so that
  // HKEY_CLASSES_ROOT is read from the machine's saved classes too.
  for (const RootKey root :
       {RootKey::kLocalMachine, RootKey::kUsers, RootKey::kCurrentUser, RootKey::kClassesRoot}) {
    SCOPED_TRACE(std::string(platform::RootKeyName(root)));
    std::vector<uint8_t> forms[2];
    std::vector<std::string> trees[2];
    std::vector<std::string> notices;
    for (const bool bulk : {false, true}) {
      settings_.bulk_registry_read = bulk;
      RegistryScanner scanner(counting, settings_, control_);
      scanner.on_notice = [&](const std::string& text) { notices.push_back(text); };
      SnapshotStore store = SnapshotStore::CreateNew(fs_, box_.folder, "HIVE");
      const size_t saves = counting.saves;
      scanner.ScanRegKey(root, "", store);
      EXPECT_EQ(counting.saves > saves, bulk);
      forms[bulk].assign(store.Bytes().begin(), store.Bytes().end());
      SnapshotTree tree;
      tree.SetRoot(scanner.ScanRegKeyToTree(root, "", "", tree));
      trees[bulk] = Dump(tree.Root());
    }
    EXPECT_EQ(notices, std::vector<std::string>{});
    EXPECT_TRUE(trees[0] == trees[1]) << "the tree forms differ";
    if (forms[0] == forms[1]) continue;
    const auto walked = cvn::test::RecordLines(fs_, box_.folder, forms[0]);
    const auto bulk = cvn::test::RecordLines(fs_, box_.folder, forms[1]);
    size_t i = 0;
    while (i < walked.size() && i < bulk.size() && walked[i] == bulk[i]) ++i;
    ADD_FAILURE() << "first difference at record " << i << " of " << walked.size() << ": walk "
                  << (i < walked.size() ? walked[i] : "(end)") << ", bulk "
                  << (i < bulk.size() ? bulk[i] : "(end)");
  }
  cvn::test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, machine_key);
  cvn::test::RemoveGeneratedRegistry(HKEY_LOCAL_MACHINE, classes_key);
}

// A scan leaves no saved file behind, finished or stopped.
TEST_F(SnapshotWin32Test, BulkReadLeavesNoTemporaryFile) {
  auto temporary_files = [] {
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    size_t n = 0;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((std::wstring(folder) + L"cvn*.tmp").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) ++n;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return n;
  };
  const size_t before = temporary_files();
  Set("Box", "x", platform::regtype::kDword, "1234");
  RegistryScanner scanner(registry_, settings_, control_);
  SnapshotTree tree;
  tree.SetRoot(scanner.ScanRegKeyToTree(RootKey::kCurrentUser, "", "", tree));
  EXPECT_NE(tree.Root(), nullptr);
  test::StopAfter stop(3);
  RegistryScanner stopped(registry_, settings_, stop);
  SnapshotTree partial;
  partial.SetRoot(stopped.ScanRegKeyToTree(RootKey::kCurrentUser, "", "", partial));
  EXPECT_EQ(temporary_files(), before);
}

}  // namespace
}  // namespace cvn::snapshot
