// The settings store on a registry under test (in memory, or the real one
// under Wine). Every test starts and ends without the settings key.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

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
  void SetUp() override {
    registry_ = MakeRegistryUnderTest();
    RemoveSettingsKey();
  }
  void TearDown() override { RemoveSettingsKey(); }

  void RemoveSettingsKey() {
    std::unique_ptr<RegKey> parent;
    if (registry_->OpenKey(RootKey::kCurrentUser, "Software", KeyAccess::kReadWrite, &parent).ok())
      platform::DeleteKeyTree(*registry_, *parent, "Helmwick");
  }

  std::unique_ptr<RegKey> SettingsKey() {
    std::unique_ptr<RegKey> key;
    EXPECT_TRUE(registry_->CreateKey(RootKey::kCurrentUser, settings::kSettingsKey,
                                     KeyAccess::kReadWrite, &key).ok());
    return key;
  }

  // Every stored value of the settings key by name.
  std::map<std::string, RegValue> StoredValues() {
    std::map<std::string, RegValue> values;
    std::unique_ptr<RegKey> key;
    if (!registry_->OpenKey(RootKey::kCurrentUser, settings::kSettingsKey, KeyAccess::kRead, &key).ok())
      return values;
    RegValue value;
    for (uint32_t i = 0; registry_->EnumValue(*key, i, platform::Registry::kUnlimited, &value).ok(); ++i)
      values[value.name] = value;
    return values;
  }

  void Store(std::string_view name, uint32_t type, std::string_view bytes) {
    auto key = SettingsKey();
    ASSERT_TRUE(registry_->SetValue(*key, name, type,
                                    std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
                    .ok());
  }
  void StoreDword(std::string_view name, uint32_t n) {
    auto key = SettingsKey();
    ASSERT_TRUE(platform::SetDword(*registry_, *key, name, n).ok());
  }

  static Settings Defaults() {
    Settings s;
    s.ProgramFolder = kProgramFolder;
    return s;
  }

  static std::string Bytes(const RegValue& v) { return std::string(v.data.begin(), v.data.end()); }

  std::unique_ptr<platform::Registry> registry_;
};

TEST_F(SettingsStoreTest, FirstRunCreatesTheKeyAndRunsOnDefaults) {
  Settings s = Defaults();
  settings::LoadSettings(*registry_, s);

  std::unique_ptr<RegKey> key;
  EXPECT_TRUE(registry_->OpenKey(RootKey::kCurrentUser, settings::kSettingsKey, KeyAccess::kRead, &key).ok());
  EXPECT_TRUE(StoredValues().empty());
  Settings expected = Defaults();
  expected.ExcludedFolders.Add(kProgramFolder);
  EXPECT_EQ(s, expected);
}

TEST_F(SettingsStoreTest, SaveWritesEveryValueWithItsType) {
  Settings s = Defaults();
  settings::LoadSettings(*registry_, s);
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));

  const std::map<std::string, uint32_t> expected = {
      {"DeleteValues", regtype::kDword},  {"DeleteKey", regtype::kDword},
      {"DeleteFiles", regtype::kDword},   {"DeleteFolders", regtype::kDword},
      {"RestoreValues", regtype::kDword}, {"DecSharedCounter", regtype::kDword},
      {"CreateKey", regtype::kDword},     {"CreateValues", regtype::kDword},
      {"UseRecycled", regtype::kDword},   {"ScanHKCR", regtype::kDword},
      {"ScanHKLM", regtype::kDword},      {"ScanHKCU", regtype::kDword},
      {"ScanHKUS", regtype::kDword},      {"ScanHKCC", regtype::kDword},
      {"ScanWin", regtype::kDword},       {"ScanProg", regtype::kDword},
      {"ScanEntire", regtype::kDword},    {"ScanOthers", regtype::kDword},
      {"ScanOtherPaths", regtype::kSz},   {"LastAppRunPath", regtype::kSz},
      {"LogLevel", regtype::kDword},      {"BinaryHexa", regtype::kDword},
      {"ChangesTreeFont", regtype::kSz},  {"ChangesTreeFontSize", regtype::kDword},
      {"Viewer", regtype::kSz},           {"Language", regtype::kSz},
      {"AutoDelCvn", regtype::kDword},    {"ShowBckgrd", regtype::kDword},
      {"ExcludedFolders", regtype::kBinary}, {"IgnoredFiles", regtype::kBinary},
      {"IgnoredKeys", regtype::kBinary}};
  const auto stored = StoredValues();
  ASSERT_EQ(stored.size(), expected.size());
  for (const auto& [name, type] : expected) {
    SCOPED_TRACE(name);
    auto it = stored.find(name);
    ASSERT_NE(it, stored.end());
    EXPECT_EQ(it->second.type, type);
  }
  EXPECT_EQ(Bytes(stored.at("ChangesTreeFont")), std::string("Tahoma\0", 7));
  EXPECT_EQ(Bytes(stored.at("LogLevel")), std::string("\1\0\0\0", 4));
  EXPECT_EQ(Bytes(stored.at("ScanHKUS")), std::string("\0\0\0\0", 4));
}

TEST_F(SettingsStoreTest, EveryValueRoundTrips) {
  Settings s = Defaults();
  s.DeleteValues = s.DeleteKey = s.DeleteFiles = s.DeleteFolders = false;
  s.RestoreValues = s.DecSharedCounter = s.CreateKey = s.CreateValues = s.UseRecycled = false;
  s.ScanHKCR = s.ScanHKLM = s.ScanHKCU = false;
  s.ScanHKUS = s.ScanHKCC = true;
  s.ScanWin = s.ScanProg = s.ScanEntire = false;
  s.ScanOthers = true;
  s.ScanOtherPaths = "D:\\;E:\\Data";
  s.LastAppRunPath = "C:\\Downloads\\Überprüfung\\";
  s.LogLevel = 5;
  s.BinaryHexa = true;
  s.ChangesTreeFont = "Courier New";
  s.ChangesTreeFontSize = 12;
  s.Viewer = "C:\\Tools\\view.exe";
  s.Language = "Deutsch";
  s.AutoDelCvn = true;
  s.ShowBckgrd = false;
  s.ExcludedFolders.Add("D:\\Temp");
  s.ExcludedFolders.Add(kProgramFolder);
  s.IgnoredFiles.Add("C:\\pagefile.sys");
  s.IgnoredKeys.Add("HKEY_LOCAL_MACHINE\\SOFTWARE\\日本語");
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));

  Settings loaded = Defaults();
  settings::LoadSettings(*registry_, loaded);
  EXPECT_EQ(loaded, s);
}

TEST_F(SettingsStoreTest, StoredExcludedFoldersNeverHoldTheProgramFolder) {
  Settings s = Defaults();
  s.ExcludedFolders.Add("D:\\Temp");
  settings::LoadSettings(*registry_, s);  // adds the program folder
  s.ExcludedFolders.Add("C:\\PROGRAM FILES\\CORVANE");  // the same folder in other case: no second entry
  ASSERT_TRUE(s.ExcludedFolders.Contains(kProgramFolder));
  ASSERT_EQ(s.ExcludedFolders.size(), 2u);
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));

  EXPECT_EQ(Bytes(StoredValues().at("ExcludedFolders")), "D:\\Temp\r\n");
  EXPECT_TRUE(s.ExcludedFolders.Contains(kProgramFolder));

  // Stored by hand in upper case, the program folder is still dropped on save.
  Store("ExcludedFolders", regtype::kBinary, "C:\\PROGRAM FILES\\CORVANE\r\nD:\\Temp\r\n");
  Settings again = Defaults();
  settings::LoadSettings(*registry_, again);
  ASSERT_EQ(again.ExcludedFolders.size(), 2u);
  ASSERT_TRUE(settings::SaveSettings(*registry_, again));
  EXPECT_EQ(Bytes(StoredValues().at("ExcludedFolders")), "D:\\Temp\r\n");
}

TEST_F(SettingsStoreTest, ListStoredAsTextIsReadAndSavedAsBinary) {
  Store("ExcludedFolders", regtype::kSz, std::string("D:\\Zeta\r\nD:\\Alpha\0", 18));
  Store("IgnoredKeys", regtype::kMultiSz, std::string("HKEY_USERS\\B\nHKEY_USERS\\A\rHKEY_USERS\\a\0\0", 40));
  Settings s = Defaults();
  settings::LoadSettings(*registry_, s);
  EXPECT_EQ(s.ExcludedFolders.entries(),
            (std::vector<std::string>{"C:\\Program Files\\Corvane", "D:\\Alpha", "D:\\Zeta"}));
  EXPECT_EQ(s.IgnoredKeys.entries(), (std::vector<std::string>{"HKEY_USERS\\A", "HKEY_USERS\\B"}));

  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  const auto stored = StoredValues();
  EXPECT_EQ(stored.at("ExcludedFolders").type, regtype::kBinary);
  EXPECT_EQ(Bytes(stored.at("ExcludedFolders")), "D:\\Alpha\r\nD:\\Zeta\r\n");
  EXPECT_EQ(Bytes(stored.at("IgnoredKeys")), "HKEY_USERS\\A\r\nHKEY_USERS\\B\r\n");
}

TEST_F(SettingsStoreTest, EmptyListIsAZeroLengthBinaryValue) {
  Settings s = Defaults();
  s.IgnoredFiles.Add("C:\\x.txt");
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  s.IgnoredFiles.Clear();
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));

  const RegValue stored = StoredValues().at("IgnoredFiles");
  EXPECT_EQ(stored.type, regtype::kBinary);
  EXPECT_TRUE(stored.data.empty());
  Settings loaded = Defaults();
  loaded.IgnoredFiles.Add("C:\\left-over.txt");  // a stored list replaces what memory held
  settings::LoadSettings(*registry_, loaded);
  EXPECT_TRUE(loaded.IgnoredFiles.empty());
}

TEST_F(SettingsStoreTest, BooleanStoredAsTextStopsTheLoad) {
  StoreDword("DeleteValues", 0);  // read before the bad value
  Store("ScanHKLM", regtype::kSz, std::string("1\0", 2));
  StoreDword("ScanHKCU", 0);  // after it: keeps its default
  StoreDword("AutoDelCvn", 1);

  Settings s = Defaults();
  try {
    settings::LoadSettings(*registry_, s);
    FAIL() << "the load went past a boolean stored as text";
  } catch (const settings::SettingsError& e) {
    EXPECT_EQ(e.value_name(), "ScanHKLM");
    EXPECT_NE(std::string(e.what()).find("ScanHKLM"), std::string::npos);
  }
  EXPECT_FALSE(s.DeleteValues);
  EXPECT_TRUE(s.ScanHKLM);
  EXPECT_TRUE(s.ScanHKCU);
  EXPECT_FALSE(s.AutoDelCvn);
  EXPECT_FALSE(s.ExcludedFolders.Contains(kProgramFolder));  // the load stopped before the lists
}

TEST_F(SettingsStoreTest, OtherMismatchedTypesStopTheLoad) {
  struct Case {
    const char* name;
    uint32_t type;
    std::string bytes;
  };
  const Case cases[] = {
      {"LogLevel", regtype::kBinary, std::string("\5\0\0\0", 4)},
      {"ChangesTreeFontSize", regtype::kDword, std::string("\x0c\0", 2)},  // short data
      {"Viewer", regtype::kDword, std::string("\1\0\0\0", 4)},
      {"ShowBckgrd", regtype::kQword, std::string(8, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveSettingsKey();
    Store(c.name, c.type, c.bytes);
    Settings s = Defaults();
    EXPECT_THROW(settings::LoadSettings(*registry_, s), settings::SettingsError);
  }
}

TEST_F(SettingsStoreTest, AnyNonZeroNumberIsTrue) {
  StoreDword("ScanHKUS", 0xFFFFFFFF);
  StoreDword("ScanHKCC", 2);
  StoreDword("LogLevel", 5);
  Settings s = Defaults();
  settings::LoadSettings(*registry_, s);
  EXPECT_TRUE(s.ScanHKUS);
  EXPECT_TRUE(s.ScanHKCC);
  EXPECT_EQ(s.LogLevel, 5);
}

TEST_F(SettingsStoreTest, WindowPlacement) {
  const std::string path = settings::PlacementKeyPath("Corvane", "TfrmCvnMain");
  EXPECT_EQ(path, "Software\\Helmwick\\Corvane\\CvnMain");
  EXPECT_EQ(settings::PlacementKeyPath("", "TfrmCvnMain"), "Software\\Helmwick\\CvnMain");

  // Loading never creates the subkey.
  EXPECT_FALSE(settings::LoadWindowPlacement(*registry_, path));
  std::unique_ptr<RegKey> key;
  EXPECT_FALSE(registry_->OpenKey(RootKey::kCurrentUser, path, KeyAccess::kRead, &key).ok());

  settings::WindowPlacement normal{false, 700, 450, 30, 40};
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, normal));
  auto loaded = settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded->maximized);
  EXPECT_EQ(loaded->width, 700);
  EXPECT_EQ(loaded->height, 450);
  EXPECT_EQ(loaded->left, 30);
  EXPECT_EQ(loaded->top, 40);

  // A maximized window keeps the last normal bounds stored, and they are not read.
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {true, 1, 2, 3, 4}));
  loaded = settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(loaded->maximized);
  EXPECT_FALSE(loaded->width);
  ASSERT_TRUE(registry_->OpenKey(RootKey::kCurrentUser, path, KeyAccess::kRead, &key).ok());
  RegValue width;
  ASSERT_TRUE(registry_->QueryValue(*key, "Width", &width).ok());
  EXPECT_EQ(Bytes(width), std::string("\xBC\x02\0\0", 4));  // still 700

  // Negative positions (a window on a monitor left of the primary) survive.
  ASSERT_TRUE(settings::SaveWindowPlacement(*registry_, path, {false, 700, 450, -1200, -5}));
  loaded = settings::LoadWindowPlacement(*registry_, path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->left, -1200);
  EXPECT_EQ(loaded->top, -5);
}

TEST_F(SettingsStoreTest, ColumnWidths) {
  EXPECT_FALSE(settings::LoadColumnWidths(*registry_).change);
  ASSERT_TRUE(settings::SaveColumnWidths(*registry_, 300, 120));
  const settings::ColumnWidths widths = settings::LoadColumnWidths(*registry_);
  EXPECT_EQ(widths.change, 300);
  EXPECT_EQ(widths.before, 120);
  // They live beside the settings but are not part of load and save.
  Settings s = Defaults();
  settings::LoadSettings(*registry_, s);
  ASSERT_TRUE(settings::SaveSettings(*registry_, s));
  EXPECT_EQ(settings::LoadColumnWidths(*registry_).change, 300);
}

TEST(PathListTest, StaysSortedAndDropsDuplicatesInAnyCase) {
  PathList list;
  EXPECT_TRUE(list.Add("C:\\b"));
  EXPECT_TRUE(list.Add("C:\\A"));
  EXPECT_FALSE(list.Add("c:\\B"));
  EXPECT_FALSE(list.Add("C:\\a"));
  EXPECT_TRUE(list.Add("C:\\Über"));
  EXPECT_FALSE(list.Add("C:\\üBER"));
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"C:\\A", "C:\\b", "C:\\Über"}));
  EXPECT_EQ(list.Text(), "C:\\A\r\nC:\\b\r\nC:\\Über\r\n");
  EXPECT_TRUE(list.Remove("c:\\über"));
  EXPECT_FALSE(list.Remove("C:\\missing"));
  EXPECT_EQ(list.size(), 2u);
}

TEST(PathListTest, TextSplitsAtAnyLineBreak) {
  PathList list;
  list.SetText("x\r\ny\rz\nw\r\n\r\n");
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"w", "x", "y", "z"}));
  list.SetText("");
  EXPECT_TRUE(list.empty());
  list.SetText("only");
  EXPECT_EQ(list.entries(), (std::vector<std::string>{"only"}));
}

TEST(IsPathInListTest, EntryCoversItselfAndWhatIsBelowIt) {
  PathList list;
  list.Add("C:\\Temp");
  list.Add("HKEY_LOCAL_MACHINE\\Software\\Überprüfung");
  EXPECT_TRUE(settings::IsPathInList("C:\\Temp", list));
  EXPECT_TRUE(settings::IsPathInList("c:\\temp\\sub\\file.txt", list));
  EXPECT_FALSE(settings::IsPathInList("C:\\Temp2", list));
  EXPECT_FALSE(settings::IsPathInList("C:\\", list));
  EXPECT_TRUE(settings::IsPathInList("HKEY_LOCAL_MACHINE\\SOFTWARE\\ÜBERPRÜFUNG\\x", list));
  EXPECT_FALSE(settings::IsPathInList("C:\\Temp", PathList()));
}

}  // namespace
}  // namespace cvn::test
