// The uninstall engine on the real registry and drive C: under Wine: a
// scripted installation recorded as a monitoring records it, its archive
// saved and loaded back, and an uninstall with every phase on that returns
// the scratch areas to their state before the installation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "changes/load_check_tree.h"
#include "engine/snapshot/scan_control.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/windows_api.h"
#include "tests/uninstall/uninstall_test_util.h"

namespace cvn::uninstall::test {
namespace {

using changes::nkCounterIncremented;
using changes::nkFileAdded;
using changes::nkFolderAdded;
using changes::nkKeyAdded;
using changes::nkKeyDeleted;
using changes::nkValueAdded;
using changes::nkValueChanged;
using changes::nkValueDeleted;
using platform::regtype::kBinary;
using platform::regtype::kDword;
using platform::regtype::kExpandSz;
using platform::regtype::kSz;

std::string Hex(const std::vector<uint8_t>& data) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : data) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// Each test owns HKEY_CURRENT_USER\Software\CorvaneTest\<suite>.<test>,
// the folder C:\CorvaneTest\<suite>.<test> and a program folder beside it,
// removed before and after it, with the counters of its files.
class UninstallWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    key_ = "Software\\CorvaneTest\\" + name;
    folder_ = "C:\\CorvaneTest\\" + name;
    context_.program_folder = folder_ + ".program";
    Clean();
    ASSERT_TRUE(fs_.CreateFolder("C:\\CorvaneTest").ok() || fs_.GetAttributes("C:\\CorvaneTest"));
    ASSERT_TRUE(fs_.CreateFolder(folder_).ok());
    ASSERT_TRUE(fs_.CreateFolder(context_.program_folder).ok());
    settings_.LogLevel = 7;
    tree_.Reset();
    tree_.SetUninstallMode(true);
  }
  void TearDown() override { Clean(); }

  void Clean() {
    std::unique_ptr<RegKey> parent;
    if (registry_
            .OpenKey(RootKey::kCurrentUser, "Software\\CorvaneTest", KeyAccess::kReadWrite, &parent)
            .ok()) {
      platform::DeleteKeyTree(registry_, *parent, key_.substr(key_.rfind('\\') + 1));
    }
    std::unique_ptr<RegKey> counters;
    if (registry_.OpenKey(RootKey::kLocalMachine, kSharedDlls, KeyAccess::kReadWrite, &counters)
            .ok()) {
      for (const std::string& file : shared_files_) registry_.DeleteValue(*counters, file);
    }
    RemoveTree(folder_);
    RemoveTree(context_.program_folder);
  }

  void RemoveTree(const std::string& folder) {
    std::unique_ptr<platform::FolderListing> listing;
    if (!fs_.ListFolder(folder, &listing).ok()) return;
    std::vector<platform::FindEntry> entries;
    platform::FindEntry entry;
    while (listing->Next(&entry).ok()) entries.push_back(entry);
    listing.reset();
    for (const auto& e : entries) {
      if (e.name == "." || e.name == "..") continue;
      const std::string path = folder + "\\" + e.name;
      fs_.SetAttributes(path, e.attributes & platform::attr::kDirectory);
      if (e.attributes & platform::attr::kDirectory) {
        RemoveTree(path);
      } else {
        fs_.DeleteFile(path);
      }
    }
    fs_.RemoveFolder(folder);
  }

  // Everything below the scratch key and in the scratch folder, and the
  // counters of the scratch files, as comparable text.
  std::map<std::string, std::string> State() {
    std::map<std::string, std::string> state;
    KeyState(key_, "", state);
    FolderState(folder_, "", state);
    std::unique_ptr<RegKey> counters;
    if (registry_.OpenKey(RootKey::kLocalMachine, kSharedDlls, KeyAccess::kRead, &counters).ok()) {
      for (const std::string& file : shared_files_) {
        platform::RegValue value;
        if (registry_.QueryValue(*counters, file, &value).ok())
          state["counter " + file] = std::to_string(value.type) + ":" + Hex(value.data);
      }
    }
    return state;
  }
  void KeyState(const std::string& path, const std::string& relative,
                std::map<std::string, std::string>& state) {
    std::unique_ptr<RegKey> key;
    if (!registry_.OpenKey(RootKey::kCurrentUser, path, KeyAccess::kRead, &key).ok()) return;
    state["key " + relative] = "";
    platform::RegValue value;
    for (uint32_t i = 0; registry_.EnumValue(*key, i, platform::Registry::kUnlimited, &value).ok();
         ++i) {
      state["value " + relative + "|" + value.name] =
          std::to_string(value.type) + ":" + Hex(value.data);
    }
    std::vector<std::string> subkeys;
    std::string name;
    for (uint32_t i = 0; registry_.EnumKey(*key, i, &name).ok(); ++i) subkeys.push_back(name);
    for (const std::string& sub : subkeys)
      KeyState(path + "\\" + sub, relative + "\\" + sub, state);
  }
  void FolderState(const std::string& path, const std::string& relative,
                   std::map<std::string, std::string>& state) {
    std::unique_ptr<platform::FolderListing> listing;
    if (!fs_.ListFolder(path, &listing).ok()) return;
    platform::FindEntry entry;
    std::vector<platform::FindEntry> entries;
    while (listing->Next(&entry).ok()) entries.push_back(entry);
    for (const auto& e : entries) {
      if (e.name == "." || e.name == "..") continue;
      const uint32_t kept = platform::attr::kReadOnly | platform::attr::kHidden |
                            platform::attr::kSystem | platform::attr::kDirectory;
      const std::string item = relative + "\\" + e.name;
      if (e.attributes & platform::attr::kDirectory) {
        state["folder " + item] = std::to_string(e.attributes & kept);
        FolderState(path + "\\" + e.name, item, state);
      } else {
        std::vector<uint8_t> data;
        fs_.ReadFile(path + "\\" + e.name, &data);
        state["file " + item] = std::to_string(e.attributes & kept) + ":" + Hex(data);
      }
    }
  }

  // Changes made on the system and recorded as a monitoring records them.
  void SetValue(RootKey root, const std::string& key, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data) {
    std::unique_ptr<RegKey> k;
    ASSERT_TRUE(registry_.CreateKey(root, key, KeyAccess::kReadWrite, &k).ok()) << key;
    ASSERT_TRUE(registry_.SetValue(*k, name, type, data).ok()) << key << "|" << name;
  }
  void DeleteValue(const std::string& key, const std::string& name) {
    std::unique_ptr<RegKey> k;
    ASSERT_TRUE(registry_.OpenKey(RootKey::kCurrentUser, key, KeyAccess::kReadWrite, &k).ok());
    ASSERT_TRUE(registry_.DeleteValue(*k, name).ok());
  }
  void Record(int32_t kind, RootKey root, const std::string& path, const std::string& name,
              uint32_t type = 0, const std::vector<uint8_t>& before = {},
              const std::vector<uint8_t>& after = {}) {
    TNodeData tmpl = RegistryRecord(kind, root, path, type, before, after);
    tree_.AddToTree(std::string(platform::RootKeyName(root)) + "\\" + path, name, tmpl);
  }
  void RecordFile(int32_t kind, const std::string& folder, const std::string& name) {
    TNodeData tmpl;
    tmpl.Kind = kind;
    tmpl.Path = folder;
    if (kind == nkFileAdded) {
      tmpl.After = changes::TextBuffer("12:00 01/01/24 4");
      tmpl.AfterSize = 17;
    }
    tree_.AddToTree(folder, name, tmpl);
  }
  void WriteFile(const std::string& path, std::string_view text, uint32_t attributes = 0) {
    ASSERT_TRUE(fs_.WriteFile(path, Bytes(text)).ok()) << path;
    if (attributes != 0) {
      ASSERT_TRUE(fs_.SetAttributes(path, attributes).ok()) << path;
    }
  }

  // Saves the tree as the archive and loads it back as the wizard does.
  void SaveAndLoad() {
    changes::SaveChangesTree(tree_, fs_, context_.program_folder, "App", clock_);
    tree_.Reset();
    changes::TChgArchive archive(fs_, context_.program_folder + "\\App", clock_);
    ASSERT_TRUE(archive.Open());
    snapshot::RunToEnd control;
    context_.loaded_change_counts.Reset();
    ASSERT_TRUE(changes::LoadChangeRecords(archive, tree_, context_.loaded_change_counts, control,
                                           nullptr));
  }

  void Run() {
    bool ended = false;
    auto* engine = new TDezinstaler(context_, tree_, {registry_, fs_, shell_}, log_, view_, clock_,
                                    dispatcher_, "App");
    engine->SetOnTerminate([&](snapshot::TSafeThread&) {
      EXPECT_TRUE(WriteLogFile({context_, fs_, clock_}, log_, view_).ok());
      ended = true;
    });
    engine->Start();
    for (int i = 0; i < 60000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_TRUE(ended);
  }

  // The files in the XDG trash of the test prefix.
  size_t TrashCount() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home == nullptr) return 0;
    std::string folder = std::string("Z:") + data_home + "/Trash/files";
    for (char& c : folder) c = c == '/' ? '\\' : c;
    std::unique_ptr<platform::FolderListing> listing;
    if (!fs_.ListFolder(folder, &listing).ok()) return 0;
    size_t count = 0;
    platform::FindEntry entry;
    while (listing->Next(&entry).ok()) count += entry.name != "." && entry.name != "..";
    return count;
  }

  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  platform::win32::Win32Shell shell_;
  settings::Settings settings_;
  snapshot::WorkerContext context_{settings_};
  changes::ChangeTree tree_{settings_};
  RecordingView view_;
  TUninstallLog log_{settings_, view_};
  FixedClock clock_;
  snapshot::QueueDispatcher dispatcher_;
  std::string key_;
  std::string folder_;
  std::vector<std::string> shared_files_;
};

TEST_F(UninstallWin32Test, UninstallReturnsTheScratchAreasToTheirStateBeforeTheInstallation) {
  const RootKey hkcu = RootKey::kCurrentUser;
  const RootKey hklm = RootKey::kLocalMachine;
  shared_files_ = {folder_ + "\\Common\\shared.dll", folder_ + "\\Common\\new.dll"};
  // Before the installation.
  SetValue(hkcu, key_ + "\\Existing", "V", kDword, DwordData(1));
  SetValue(hkcu, key_ + "\\Existing", "Gone", kSz, SzData("bye"));
  SetValue(hkcu, key_ + "\\Existing", "", kSz, SzData("old default"));
  SetValue(hkcu, key_ + "\\Existing", "Bin", kBinary, {1, 2, 0, 3});
  SetValue(hkcu, key_ + "\\OldKey\\Inner", "x", kExpandSz, SzData("%TEMP%\\1"));
  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\Common").ok());
  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\Kept").ok());
  WriteFile(folder_ + "\\Kept\\old.txt", "old", platform::attr::kReadOnly);
  WriteFile(shared_files_[0], "dll1");
  SetValue(hklm, kSharedDlls, shared_files_[0], kDword, DwordData(1));
  const std::map<std::string, std::string> before = State();

  // The installation, recorded as the monitoring would record it.
  SetValue(hkcu, key_ + "\\App\\Sub", "s", kSz, SzData("sub"));
  SetValue(hkcu, key_ + "\\App", "v", kDword, DwordData(9));
  Record(nkKeyAdded, hkcu, key_, "App");
  Record(nkValueAdded, hkcu, key_ + "\\App", "v", kDword, {}, DwordData(9));
  Record(nkKeyAdded, hkcu, key_ + "\\App", "Sub");
  Record(nkValueAdded, hkcu, key_ + "\\App\\Sub", "s", kSz, {}, SzData("sub"));
  SetValue(hkcu, key_ + "\\Existing", "New", kSz, SzData("new"));
  Record(nkValueAdded, hkcu, key_ + "\\Existing", "New", kSz, {}, SzData("new"));
  SetValue(hkcu, key_ + "\\Existing", "V", kDword, DwordData(2));
  Record(nkValueChanged, hkcu, key_ + "\\Existing", "V", kDword, DwordData(1), DwordData(2));
  SetValue(hkcu, key_ + "\\Existing", "", kSz, SzData("new default"));
  Record(nkValueChanged, hkcu, key_ + "\\Existing", "", kSz, SzData("old default"),
         SzData("new default"));
  SetValue(hkcu, key_ + "\\Existing", "Bin", kDword, DwordData(4));
  Record(nkValueChanged, hkcu, key_ + "\\Existing", "Bin", kBinary, {1, 2, 0, 3}, DwordData(4));
  DeleteValue(key_ + "\\Existing", "Gone");
  Record(nkValueDeleted, hkcu, key_ + "\\Existing", "Gone", kSz, SzData("bye"));
  {
    std::unique_ptr<RegKey> parent;
    ASSERT_TRUE(registry_.OpenKey(hkcu, key_, KeyAccess::kReadWrite, &parent).ok());
    ASSERT_TRUE(platform::DeleteKeyTree(registry_, *parent, "OldKey").ok());
  }
  Record(nkKeyDeleted, hkcu, key_, "OldKey");
  Record(nkKeyDeleted, hkcu, key_ + "\\OldKey", "Inner");
  Record(nkValueDeleted, hkcu, key_ + "\\OldKey\\Inner", "x", kExpandSz, SzData("%TEMP%\\1"));

  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\App").ok());
  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\App\\bin").ok());
  WriteFile(folder_ + "\\App\\readme.txt", "read me", platform::attr::kReadOnly);
  WriteFile(folder_ + "\\App\\bin\\tool.dll", "tool", platform::attr::kHidden);
  WriteFile(folder_ + "\\Kept\\added.txt", "added");
  WriteFile(shared_files_[1], "dll2");
  RecordFile(nkFolderAdded, folder_, "App");
  RecordFile(nkFileAdded, folder_ + "\\App", "readme.txt");
  RecordFile(nkFolderAdded, folder_ + "\\App", "bin");
  RecordFile(nkFileAdded, folder_ + "\\App\\bin", "tool.dll");
  RecordFile(nkFileAdded, folder_ + "\\Kept", "added.txt");
  RecordFile(nkFileAdded, folder_ + "\\Common", "new.dll");
  SetValue(hklm, kSharedDlls, shared_files_[0], kDword, DwordData(2));
  SetValue(hklm, kSharedDlls, shared_files_[1], kDword, DwordData(1));
  Record(nkCounterIncremented, hklm, kSharedDlls, shared_files_[0], kDword, {}, DwordData(1));
  Record(nkCounterIncremented, hklm, kSharedDlls, shared_files_[1], kDword, {}, DwordData(1));
  ASSERT_NE(State(), before);

  SaveAndLoad();
  const size_t trash_before = TrashCount();
  view_.answers = {raYes};
  Run();

  EXPECT_EQ(State(), before);
  EXPECT_EQ(view_.Texts().back(), "Uninstall complete without errors");
  EXPECT_EQ(view_.questions.size(), 1u);
  EXPECT_EQ(TrashCount(), trash_before + 4);  // three created files and the unused shared one
  std::vector<uint8_t> log_text;
  ASSERT_TRUE(fs_.ReadFile(context_.program_folder + "\\Log.txt", &log_text).ok());
  // The run's heading carries the date in the user's own format.
  const std::string heading = "App " + changes::FormatDateTime(clock_.Now(), platform::UserDateTimeFormat());
  EXPECT_NE(std::string(log_text.begin(), log_text.end()).find(heading), std::string::npos) << heading;
}

TEST_F(UninstallWin32Test, FailuresOnTheRealSystemAreLoggedAsSuch) {
  const RootKey hkcu = RootKey::kCurrentUser;
  // A key with a subkey made after the monitoring, a folder with a file made
  // after it, and a created file held open by another handle.
  SetValue(hkcu, key_ + "\\App\\Later", "x", kSz, SzData("x"));
  Record(nkKeyAdded, hkcu, key_, "App");
  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\App").ok());
  WriteFile(folder_ + "\\App\\later.txt", "later");
  WriteFile(folder_ + "\\App\\used.txt", "used");
  RecordFile(nkFolderAdded, folder_, "App");
  RecordFile(nkFileAdded, folder_ + "\\App", "used.txt");
  RecordFile(nkFileAdded, folder_ + "\\App", "missing.txt");
  Record(nkValueChanged, hkcu, key_, "deleted since", kSz, SzData("a"), SzData("b"));
  SaveAndLoad();
  const std::wstring used = platform::win32::ToWide(folder_ + "\\App\\used.txt");
  HANDLE handle = CreateFileW(used.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  const std::string root = "HKEY_CURRENT_USER\\" + key_;
  for (bool recycle : {false, true}) {
    SCOPED_TRACE(recycle ? "to the Recycle Bin" : "deleted");
    settings_.UseRecycled = recycle;
    view_.lines.clear();
    log_.Clear();
    Run();
    EXPECT_EQ(view_.Texts(),
              Strings("DELETING REGISTRY KEY: " + root + "\\App ... ERROR (has sub-keys)",
                      "RESTORING REGISTRY VALUE: " + root + "\\deleted since ... FAILS (not found)",
                      "DELETING FILE: " + folder_ + "\\App\\used.txt ... ERROR (in use)",
                      "DELETING FILE: " + folder_ + "\\App\\missing.txt ... FAILS (not found)",
                      "DELETING FOLDER: " + folder_ + "\\App ... ERROR (not empty)"));
    EXPECT_TRUE(fs_.GetAttributes(folder_ + "\\App\\used.txt"));
    EXPECT_TRUE(fs_.GetAttributes(folder_ + "\\App\\later.txt"));
  }
  CloseHandle(handle);
}

TEST_F(UninstallWin32Test, SharedFileListedUnderItsShortNameIsKept) {
  ASSERT_TRUE(fs_.CreateFolder(folder_ + "\\Long Folder Name").ok());
  const std::string file = folder_ + "\\Long Folder Name\\shared library.dll";
  WriteFile(file, "dll");
  wchar_t short_path[MAX_PATH];
  const DWORD length =
      GetShortPathNameW(platform::win32::ToWide(file).c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::string short_name = platform::win32::ToUtf8(std::wstring(short_path, length));
  if (short_name == file) GTEST_SKIP() << "this file system gives no short names";
  shared_files_ = {short_name};
  SetValue(RootKey::kLocalMachine, kSharedDlls, short_name, kDword, DwordData(1));
  RecordFile(nkFileAdded, folder_ + "\\Long Folder Name", "shared library.dll");
  SaveAndLoad();

  Run();

  EXPECT_TRUE(fs_.GetAttributes(file));
  EXPECT_EQ(view_.Texts(), Strings("Uninstall complete without errors"));
}

}  // namespace
}  // namespace cvn::uninstall::test
