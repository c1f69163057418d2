// The settings store on a registry under test (in memory, or the real one
// under Wine). Every test starts and ends without the settings key.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "platform/registry.h"
#include "settings/settings.h"
#include "tests/settings/registry_under_test.h"

namespace cvn::test {
namespace {

using platform::KeyAccess;
using platform::RegKey;
using platform::RegValue;
using platform::RootKey;
using settings::Settings;
namespace regtype = platform::regtype;

constexpr const char* kProgramFolder = "C:\\Program Files\\Corvane";

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveSettingsKey(); }
  void TearDown() override { RemoveSettingsKey(); }

  void RemoveSettingsKey() {
    std::unique_ptr<RegKey> parent;
    if (registry_->OpenKey(RootKey::kCurrentUser, "Software", KeyAccess::kReadWrite, &parent).ok())
      platform::DeleteKeyTree(*registry_, *parent, "Helmwick");
  }
  // Every stored value of the settings key by name, its data as text.
  std::map<std::string, std::pair<uint32_t, std::string>> Stored() {
    std::map<std::string, std::pair<uint32_t, std::string>> values;
    std::unique_ptr<RegKey> key;
    if (!registry_->OpenKey(RootKey::kCurrentUser, settings::kSettingsKey, KeyAccess::kRead, &key)
             .ok())
      return values;
    RegValue v;
    for (uint32_t i = 0; registry_->EnumValue(*key, i, platform::Registry::kUnlimited, &v).ok();
         ++i)
      values[v.name] = {v.type, std::string(v.data.begin(), v.data.end())};
    return values;
  }
  void Store(std::string_view name, uint32_t type, std::string_view bytes) {
    std::unique_ptr<RegKey> key;
    ASSERT_TRUE(
        registry_
            ->CreateKey(RootKey::kCurrentUser, settings::kSettingsKey, KeyAccess::kReadWrite, &key)
            .ok());
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    ASSERT_TRUE(registry_->SetValue(*key, name, type, {data, bytes.size()}).ok()) << name;
  }
  static Settings Defaults() {
    Settings s;
    s.program_folder = kProgramFolder;
    return s;
  }
  Settings Loaded() {
    Settings s = Defaults();
    settings::LoadSettings(*registry_, s);
    return s;
  }

  std::unique_ptr<platform::Registry> registry_ = MakeRegistryUnderTest();
};

TEST_F(SettingsStoreTest, FirstRunRunsOnDefaults) {
  Settings expected = Defaults();
  expected.excluded_folders.Add(kProgramFolder);
  EXPECT_EQ(Loaded(), expected);
  EXPECT_TRUE(Stored().empty());
}

// Every value is saved with its type and read back; the program folder is
// never stored among the excluded folders.
TEST_F(SettingsStoreTest, EveryValueRoundTrips) {
  Settings s = Defaults();
  s.delete_values = s.delete_keys = s.delete_files = s.delete_folders = false;
  s.restore_values = s.decrement_shared_counters = s.recreate_keys = s.recreate_values =
      s.use_recycle_bin = false;
  s.scan_hkcr = s.scan_hklm = s.scan_hkcu = s.scan_windows_folder = s.scan_program_files =
      s.scan_system_partition = false;
  s.scan_hku = s.scan_hkcc = s.scan_other_folders = s.binary_as_hex =
      s.delete_archive_after_uninstall = true;
  s.show_background = false;
  s.delete_changed = true;
  s.backup_days = 7;
  s.backup_max_megabytes = 100;
  s.other_folders = "D:\\;E:\\Data";
  s.last_setup_folder = "C:\\Downloads\\Überprüfung\\";
  s.log_level = 5;
  s.tree_font_name = "Courier New";
  s.tree_font_size = 12;
  s.viewer = "C:\\Tools\\view.exe";
  s.language = "Deutsch";
  s.excluded_folders.Add("D:\\Temp");
  s.excluded_folders.Add(kProgramFolder);
  s.ignored_files.Add("C:\\pagefile.sys");
  s.ignored_keys.Add("HKEY_LOCAL_MACHINE\\SOFTWARE\\日本語");
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  EXPECT_EQ(Loaded(), s);
  // The names of each type, space-separated.
  const std::pair<uint32_t, std::string> names[] = {
      {regtype::kDword,
       "DeleteValues DeleteKey DeleteFiles DeleteFolders RestoreValues DecSharedCounter CreateKey "
       "CreateValues UseRecycled ScanHKCR ScanHKLM ScanHKCU ScanHKUS ScanHKCC ScanWin ScanProg "
       "ScanEntire ScanOthers LogLevel BinaryHexa ChangesTreeFontSize AutoDelCvn ShowBckgrd "
       "DeleteChanged BackupDays BackupMaxSize"},
      {regtype::kSz, "ScanOtherPaths LastAppRunPath ChangesTreeFont Viewer Language"},
      {regtype::kBinary, "ExcludedFolders IgnoredFiles IgnoredKeys"}};
  std::map<std::string, uint32_t> expected;
  for (const auto& [type, list] : names) {
    std::istringstream words(list);
    for (std::string name; words >> name;) expected[name] = type;
  }
  std::map<std::string, uint32_t> types;
  const auto stored = Stored();
  for (const auto& [name, value] : stored) types[name] = value.first;
  EXPECT_EQ(types, expected);
  EXPECT_EQ(stored.at("ChangesTreeFont").second, std::string("Courier New\0", 12));
  EXPECT_EQ(stored.at("LogLevel").second, std::string("\5\0\0\0", 4));
  EXPECT_EQ(stored.at("ScanHKUS").second, std::string("\1\0\0\0", 4));
  EXPECT_EQ(stored.at("ExcludedFolders").second, "D:\\Temp\r\n");
}

// The window's placement and the tree's column widths are kept beside the
// settings; a maximised window is restored maximised.
TEST_F(SettingsStoreTest, PlacementAndColumnWidthsRoundTrip) {
  const std::string path = settings::PlacementKeyPath(settings::kAppTitle, "TfrmCvnMain");
  EXPECT_FALSE(settings::LoadWindowPlacement(*registry_, path));
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {false, 700, 500, -8, 20}));
  const std::optional<settings::WindowPlacement> p =
      settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(p);
  EXPECT_TRUE(!p->maximized && p->width == 700 && p->height == 500 && p->left == -8 &&
              p->top == 20);
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {true, 1, 1, 1, 1}));
  EXPECT_TRUE(settings::LoadWindowPlacement(*registry_, path)->maximized);
  ASSERT_TRUE(settings::SaveColumnWidths(*registry_, 300, 120));
  const settings::ColumnWidths widths = settings::LoadColumnWidths(*registry_);
  EXPECT_TRUE(widths.change == 300 && widths.before == 120);
}

TEST_F(SettingsStoreTest, ListsAreReadFromAnyTypeAndSavedAsBinary) {
  Store("ExcludedFolders", regtype::kSz, std::string("D:\\Zeta\r\nD:\\Alpha\0", 18));
  Store("IgnoredKeys", regtype::kMultiSz,
        std::string("HKEY_USERS\\B\nHKEY_USERS\\A\rHKEY_USERS\\a\0\0", 40));
  Store("IgnoredFiles", regtype::kBinary, "");
  Settings s = Defaults();
  s.ignored_files.Add("C:\\left-over.txt");  // a stored list replaces what memory held
  settings::LoadSettings(*registry_, s);
  EXPECT_EQ(s.excluded_folders.entries(),
            (std::vector<std::string>{"C:\\Program Files\\Corvane", "D:\\Alpha", "D:\\Zeta"}));
  EXPECT_EQ(s.ignored_keys.entries(), (std::vector<std::string>{"HKEY_USERS\\A", "HKEY_USERS\\B"}));
  EXPECT_TRUE(s.ignored_files.empty());
  EXPECT_FALSE(s.ignored_keys.Remove("HKEY_USERS\\C"));

  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  const auto stored = Stored();
  EXPECT_EQ(stored.at("ExcludedFolders"),
            std::make_pair(regtype::kBinary, std::string("D:\\Alpha\r\nD:\\Zeta\r\n")));
  EXPECT_EQ(stored.at("IgnoredKeys").second, "HKEY_USERS\\A\r\nHKEY_USERS\\B\r\n");
  EXPECT_EQ(stored.at("IgnoredFiles"), std::make_pair(regtype::kBinary, std::string()));
}

TEST_F(SettingsStoreTest, ValueOfAMismatchedTypeStopsTheLoad) {
  struct Case {
    const char* name;
    uint32_t type;
    std::string bytes;
  };
  const Case cases[] = {
      {"LogLevel", regtype::kBinary, std::string("\5\0\0\0", 4)},
      {"ChangesTreeFontSize", regtype::kDword, std::string("\x0c\0", 2)},  // short data
      {"Viewer", regtype::kDword, std::string("\1\0\0\0", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveSettingsKey();
    Store(c.name, c.type, c.bytes);
    try {
      Loaded();
      ADD_FAILURE() << "the load went past a value of the wrong type";
    } catch (const settings::SettingsError& e) {
      EXPECT_EQ(e.value_name(), c.name);
    }
  }
}

}  // namespace
}  // namespace cvn::test
