// The settings store on a registry under test (in memory, or the real one
// under Wine). Every test starts and ends without the settings key.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

#include "platform/registry.h"
#include "settings/settings.h"
#include "tests/settings/registry_under_test.h"

namespace cvn::test {
namespace {

using platform::KeyAccess;
using platform::RegKey;
using platform::RegValue;
using platform::RootKey;
using settings::PathList;
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
    s.ProgramFolder = kProgramFolder;
    return s;
  }
  Settings Loaded() {
    Settings s = Defaults();
    settings::LoadSettings(*registry_, s);
    return s;
  }

  std::unique_ptr<platform::Registry> registry_ = MakeRegistryUnderTest();
};

TEST_F(SettingsStoreTest, FirstRunCreatesTheKeyAndRunsOnDefaults) {
  Settings expected = Defaults();
  expected.ExcludedFolders.Add(kProgramFolder);
  EXPECT_EQ(Loaded(), expected);
  std::unique_ptr<RegKey> key;
  EXPECT_TRUE(
      registry_->OpenKey(RootKey::kCurrentUser, settings::kSettingsKey, KeyAccess::kRead, &key)
          .ok());
  EXPECT_TRUE(Stored().empty());
}

TEST_F(SettingsStoreTest, SaveWritesEveryValueWithItsType) {
  ASSERT_TRUE(settings::SaveSettings(*registry_, Loaded()));
  // The names of each type, space-separated.
  const std::pair<uint32_t, std::string> names[] = {
      {regtype::kDword,
       "DeleteValues DeleteKey DeleteFiles DeleteFolders RestoreValues DecSharedCounter CreateKey "
       "CreateValues UseRecycled ScanHKCR ScanHKLM ScanHKCU ScanHKUS ScanHKCC ScanWin ScanProg "
       "ScanEntire ScanOthers LogLevel BinaryHexa ChangesTreeFontSize AutoDelCvn ShowBckgrd"},
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
  EXPECT_EQ(stored.at("ChangesTreeFont").second, std::string("Tahoma\0", 7));
  EXPECT_EQ(stored.at("LogLevel").second, std::string("\1\0\0\0", 4));
  EXPECT_EQ(stored.at("ScanHKUS").second, std::string("\0\0\0\0", 4));
}

TEST_F(SettingsStoreTest, EveryValueRoundTrips) {
  Settings s = Defaults();
  s.DeleteValues = s.DeleteKey = s.DeleteFiles = s.DeleteFolders = false;
  s.RestoreValues = s.DecSharedCounter = s.CreateKey = s.CreateValues = s.UseRecycled = false;
  s.ScanHKCR = s.ScanHKLM = s.ScanHKCU = s.ScanWin = s.ScanProg = s.ScanEntire = false;
  s.ScanHKUS = s.ScanHKCC = s.ScanOthers = s.BinaryHexa = s.AutoDelCvn = true;
  s.ShowBckgrd = false;
  s.ScanOtherPaths = "D:\\;E:\\Data";
  s.LastAppRunPath = "C:\\Downloads\\Überprüfung\\";
  s.LogLevel = 5;
  s.ChangesTreeFont = "Courier New";
  s.ChangesTreeFontSize = 12;
  s.Viewer = "C:\\Tools\\view.exe";
  s.Language = "Deutsch";
  s.ExcludedFolders.Add("D:\\Temp");
  s.ExcludedFolders.Add(kProgramFolder);
  s.IgnoredFiles.Add("C:\\pagefile.sys");
  s.IgnoredKeys.Add("HKEY_LOCAL_MACHINE\\SOFTWARE\\日本語");
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  EXPECT_EQ(Loaded(), s);
}

TEST_F(SettingsStoreTest, StoredExcludedFoldersNeverHoldTheProgramFolder) {
  Settings s = Defaults();
  s.ExcludedFolders.Add("D:\\Temp");
  settings::LoadSettings(*registry_, s);  // adds the program folder
  ASSERT_TRUE(s.ExcludedFolders.Contains(kProgramFolder));
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  EXPECT_EQ(Stored().at("ExcludedFolders").second, "D:\\Temp\r\n");
  EXPECT_TRUE(s.ExcludedFolders.Contains(kProgramFolder));

  // Stored by hand in upper case, the program folder is still dropped on save.
  Store("ExcludedFolders", regtype::kBinary, "C:\\PROGRAM FILES\\CORVANE\r\nD:\\Temp\r\n");
  Settings again = Loaded();
  ASSERT_EQ(again.ExcludedFolders.size(), 2u);
  ASSERT_TRUE(settings::SaveSettings(*registry_, again));
  EXPECT_EQ(Stored().at("ExcludedFolders").second, "D:\\Temp\r\n");
}

TEST_F(SettingsStoreTest, ListsAreReadFromAnyTypeAndSavedAsBinary) {
  Store("ExcludedFolders", regtype::kSz, std::string("D:\\Zeta\r\nD:\\Alpha\0", 18));
  Store("IgnoredKeys", regtype::kMultiSz,
        std::string("HKEY_USERS\\B\nHKEY_USERS\\A\rHKEY_USERS\\a\0\0", 40));
  Store("IgnoredFiles", regtype::kBinary, "");
  Settings s = Defaults();
  s.IgnoredFiles.Add("C:\\left-over.txt");  // a stored list replaces what memory held
  settings::LoadSettings(*registry_, s);
  EXPECT_EQ(s.ExcludedFolders.entries(),
            (std::vector<std::string>{"C:\\Program Files\\Corvane", "D:\\Alpha", "D:\\Zeta"}));
  EXPECT_EQ(s.IgnoredKeys.entries(), (std::vector<std::string>{"HKEY_USERS\\A", "HKEY_USERS\\B"}));
  EXPECT_TRUE(s.IgnoredFiles.empty());

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
      {"ScanHKLM", regtype::kSz, std::string("1\0", 2)},
      {"LogLevel", regtype::kBinary, std::string("\5\0\0\0", 4)},
      {"ChangesTreeFontSize", regtype::kDword, std::string("\x0c\0", 2)},  // short data
      {"Viewer", regtype::kDword, std::string("\1\0\0\0", 4)},
      {"Viewer", regtype::kMultiSz, std::string("a\0\0", 3)},
      {"ShowBckgrd", regtype::kQword, std::string(8, '\0')},
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
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos);
    }
  }
}

TEST_F(SettingsStoreTest, ValuesBeforeTheMismatchAreReadAndLaterOnesKeepTheirDefaults) {
  Store("DeleteValues", regtype::kDword, std::string(4, '\0'));
  Store("ScanHKUS", regtype::kDword, "\xFF\xFF\xFF\xFF");  // any number but 0 is true
  Store("ScanHKCC", regtype::kDword, std::string("\2\0\0\0", 4));
  Store("LogLevel", regtype::kDword, std::string("\5\0\0\0", 4));
  Store("BinaryHexa", regtype::kSz, std::string("1\0", 2));
  Store("ChangesTreeFont", regtype::kSz, std::string("Arial\0", 6));
  Store("AutoDelCvn", regtype::kDword, std::string("\1\0\0\0", 4));
  Settings s = Defaults();
  EXPECT_THROW(settings::LoadSettings(*registry_, s), settings::SettingsError);
  EXPECT_FALSE(s.DeleteValues);
  EXPECT_TRUE(s.ScanHKUS);
  EXPECT_TRUE(s.ScanHKCC);
  EXPECT_EQ(s.LogLevel, 5);
  EXPECT_EQ(s.ChangesTreeFont, "Tahoma");
  EXPECT_FALSE(s.AutoDelCvn);
  EXPECT_FALSE(s.ExcludedFolders.Contains(kProgramFolder));  // the load stopped before the lists
}

TEST_F(SettingsStoreTest, WindowPlacement) {
  const std::string path = settings::PlacementKeyPath("Corvane", "TfrmCvnMain");
  EXPECT_EQ(path, "Software\\Helmwick\\Corvane\\CvnMain");
  EXPECT_EQ(settings::PlacementKeyPath("", "TfrmCvnMain"), "Software\\Helmwick\\CvnMain");

  // Loading never creates the subkey.
  EXPECT_FALSE(settings::LoadWindowPlacement(*registry_, path));
  std::unique_ptr<RegKey> key;
  EXPECT_FALSE(registry_->OpenKey(RootKey::kCurrentUser, path, KeyAccess::kRead, &key).ok());

  // Negative positions (a window on a monitor left of the primary) survive.
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {false, 700, 450, -1200, -5}));
  auto loaded = settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded->maximized);
  EXPECT_EQ(std::make_tuple(loaded->width, loaded->height, loaded->left, loaded->top),
            std::make_tuple(700, 450, -1200, -5));

  // A maximized window keeps the last normal bounds stored, and they are not read.
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {true, 1, 2, 3, 4}));
  loaded = settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(loaded->maximized);
  EXPECT_FALSE(loaded->width);
}

TEST_F(SettingsStoreTest, ColumnWidthsLiveBesideTheSettings) {
  EXPECT_FALSE(settings::LoadColumnWidths(*registry_).change);
  ASSERT_TRUE(settings::SaveColumnWidths(*registry_, 300, 120));
  // They are not part of load and save.
  ASSERT_TRUE(settings::SaveSettings(*registry_, Loaded()));
  const settings::ColumnWidths widths = settings::LoadColumnWidths(*registry_);
  EXPECT_EQ(widths.change, 300);
  EXPECT_EQ(widths.before, 120);
}

TEST(PathListTest, StaysSortedAndDropsDuplicatesInAnyCase) {
  PathList list;
  EXPECT_TRUE(list.Add("C:\\b"));
  EXPECT_TRUE(list.Add("C:\\A"));
  EXPECT_FALSE(list.Add("c:\\B"));
  EXPECT_FALSE(list.Add("C:\\a"));
  EXPECT_TRUE(list.Add("C:\\Über"));
  EXPECT_FALSE(list.Add("C:\\üBER"));
  EXPECT_EQ(list.Text(), "C:\\A\r\nC:\\b\r\nC:\\Über\r\n");
  EXPECT_TRUE(list.Remove("c:\\über"));
  EXPECT_FALSE(list.Remove("C:\\missing"));
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"C:\\A", "C:\\b"}));
  list.SetText("x\r\ny\rz\nw\r\n\r\n");  // any line break
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"w", "x", "y", "z"}));
  list.SetText("only");
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"only"}));
}

TEST(IsPathInListTest, EntryCoversItselfAndWhatIsBelowIt) {
  PathList list;
  list.Add("C:\\Temp");
  list.Add("HKEY_LOCAL_MACHINE\\Software\\Überprüfung");
  const std::pair<const char*, bool> cases[] = {
      {"C:\\Temp", true},
      {"c:\\temp\\sub\\file.txt", true},
      {"C:\\Temp2", false},
      {"C:\\", false},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ÜBERPRÜFUNG\\x", true}};
  for (const auto& [path, covered] : cases)
    EXPECT_EQ(settings::IsPathInList(path, list), covered) << path;
  EXPECT_FALSE(settings::IsPathInList("C:\\Temp", PathList()));
}

}  // namespace
}  // namespace cvn::test
