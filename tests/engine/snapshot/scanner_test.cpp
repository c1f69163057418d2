// The scanners on the in-memory platform. The registry scanner: the records of
// both forms, closed subtrees, keys that cannot be opened, values of any size
// and stops, and the bulk read against the walk. The file-system scanner: targets, the records and their data,
// exclusions, folders that cannot be listed, and stops.
#include "engine/snapshot/filesystem_scanner.h"
#include "engine/snapshot/registry_scanner.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/snapshot/load_snapshot.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {

using threads::RunToEnd;
using threads::ScanControl;
namespace {

using platform::RootKey;
using test::ChildNamed;
using test::Names;
using test::Records;
using Strings = std::vector<std::string>;

constexpr RootKey kHKLM = RootKey::kLocalMachine;
constexpr char kFolder[] = "C:\\Corvane";
const std::vector<uint8_t> kDword1 = {1, 0, 0, 0};

class RegistryScannerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  std::unique_ptr<platform::RegKey> Key(std::string_view path, RootKey root = kHKLM) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(root, path, platform::KeyAccess::kReadWrite, &key).ok());
    return key;
  }
  void Set(std::string_view path, std::string_view name, uint32_t type,
           const std::vector<uint8_t>& data, RootKey root = kHKLM) {
    ASSERT_TRUE(registry_.SetValue(*Key(path, root), name, type, data).ok());
  }
  // The store form's bytes for `path` below `root`.
  std::vector<uint8_t> StoreBytes(RootKey root, const std::string& path = "",
                                  ScanControl* control = nullptr) {
    SnapshotStore store = SnapshotStore::CreateNew(fs_, kFolder, "HKLM");
    RegistryScanner(registry_, settings_, control ? *control : to_end_)
        .ScanRegKey(root, path, store);
    store.Save();
    return {store.Bytes().begin(), store.Bytes().end()};
  }
  SnapshotTree ScanToTree(RootKey root, ScanControl* control = nullptr) {
    SnapshotTree tree;
    tree.SetRoot(RegistryScanner(registry_, settings_, control ? *control : to_end_)
                     .ScanRegKeyToTree(root, "", "", tree));
    return tree;
  }
  // Both forms must record the same (the store loaded back); returns the tree form.
  SnapshotTree ScanBothForms(RootKey root) {
    StoreBytes(root);
    SnapshotTree tree = ScanToTree(root);
    EXPECT_EQ(test::Dump(LoadSnapshot(fs_, kFolder, "HKLM", to_end_).Root()),
              test::Dump(tree.Root()));
    return tree;
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  settings::Settings settings_;
  RunToEnd to_end_;
};

TEST_F(RegistryScannerTest, RecordsComeStraightFromTheRegistryByteForByte) {
  Set("A", "x", 4, kDword1);
  Key("A\\B");
  EXPECT_EQ(cvn::test::Hex(StoreBytes(kHKLM)), cvn::test::Hex(Records({{0x11101, 0, 0},
                                                                       {0x11101, 1, 0, "A"},
                                                                       {0, 1, 4, "", "x", kDword1},
                                                                       {0x11110, 1, 0, "B"}})));
  // The default value has no name, an empty value no data.
  Set("K", "", 1, {'a', 0});
  Set("K", "empty", 3, {});
  EXPECT_EQ(StoreBytes(kHKLM, "K"), Records({{0x11101, 1, 0, "K"},
                                             {0x100, 1, 1, "", "", {'a', 0}},
                                             {0x1000, 1, 3, "", "empty"}}));
}

TEST_F(RegistryScannerTest, KeysAreWrittenDepthFirstInEnumerationOrderAndLinkedAtTheHead) {
  Key("B\\Y");
  Key("A\\X\\Deep");
  Key("A\\W");
  Set("B", "first", 4, kDword1);
  Set("B", "second", 4, kDword1);
  StoreBytes(kHKLM);
  SnapshotStore read = SnapshotStore::Open(fs_, kFolder, "HKLM");
  EXPECT_EQ(test::RecordPaths(read),
            (Strings{"", "A", "A\\W", "A\\X", "A\\X\\Deep", "B", "B|first", "B|second", "B\\Y"}));
  SnapshotTree tree = ScanBothForms(kHKLM);
  EXPECT_EQ(Names(ChildNamed(tree.Root(), "B")->values), (Strings{"second", "first"}));
  EXPECT_EQ(Names(tree.Root()->child), (Strings{"B", "A"}));
}

TEST_F(RegistryScannerTest, ClassesBelowLocalMachineAreClosedWhileClassesRootIsScanned) {
  Set("SOFTWARE\\Classes\\.txt", "", 1, {'t', 0});
  Set("SOFTWARE\\Vendor", "v", 4, kDword1);
  for (bool hkcr : {true, false}) {
    settings_.scan_hkcr = hkcr;
    SnapshotTree tree = ScanBothForms(kHKLM);
    const SnapshotNode* software = ChildNamed(tree.Root(), "SOFTWARE");
    ASSERT_NE(ChildNamed(software, "Classes"), nullptr);
    EXPECT_EQ(Names(ChildNamed(software, "Classes")->child), hkcr ? Strings{} : Strings{".txt"});
    EXPECT_EQ(Names(ChildNamed(software, "Vendor")->values), Strings{"v"});
  }
}

// The registry shows some keys under two names; each value is recorded once,
// under the name a user knows, and the program's own settings never. Windows
// merges the user's classes hive into HKEY_CLASSES_ROOT (the double shows it
// in both, and links HKEY_CURRENT_USER\Software\Classes to it); Wine does not.
TEST_F(RegistryScannerTest, EachLocationIsScannedOnceUnderTheNameAUserKnows) {
  constexpr char kSid[] = "S-1-5-21-7";
  const struct {
    bool merged, hkcr, hkcu, hku;
    Strings values;  // "ROOT\path|name" of every value recorded, sorted
  } kRows[] = {
      {true,
       true,
       true,
       true,
       {"HKCR\\.cvt|", "HKCR\\.txt|", "HKCU\\Software\\App|user", "HKLM\\Software\\Shared|v",
        "HKU\\.DEFAULT\\Software\\App|default"}},
      {true,
       false,
       true,
       true,
       {"HKCU\\Software\\App|user", "HKCU\\Software\\Classes\\.cvt|",
        "HKLM\\Software\\Classes\\.txt|", "HKLM\\Software\\Shared|v",
        "HKU\\.DEFAULT\\Software\\App|default"}},
      {true,
       true,
       false,
       true,
       {"HKCR\\.cvt|", "HKCR\\.txt|", "HKLM\\Software\\Shared|v",
        "HKU\\.DEFAULT\\Software\\App|default", "HKU\\S-1-5-21-7\\Software\\App|user"}},
      {true,
       false,
       false,
       true,
       {"HKLM\\Software\\Classes\\.txt|", "HKLM\\Software\\Shared|v",
        "HKU\\.DEFAULT\\Software\\App|default", "HKU\\S-1-5-21-7\\Software\\App|user",
        "HKU\\S-1-5-21-7_Classes\\.cvt|"}},
      {false,
       true,
       true,
       true,
       {"HKCR\\.txt|", "HKCU\\Software\\App|user", "HKCU\\Software\\Classes\\.cvt|",
        "HKLM\\Software\\Shared|v", "HKU\\.DEFAULT\\Software\\App|default"}},
  };
  const std::vector<uint8_t> text = cvn::test::SzData("x");
  for (const auto& r : kRows) {
    SCOPED_TRACE(::testing::Message() << r.merged << r.hkcr << r.hkcu << r.hku);
    registry_.~MemoryRegistry();
    new (&registry_) platform::MemoryRegistry();
    registry_.SetCurrentUserHive(kSid);
    Set("Software\\App", "user", 1, text, RootKey::kCurrentUser);
    Set("SOFTWARE\\helmwick\\corvane", "ScanHKLM", 4, kDword1, RootKey::kCurrentUser);
    Set(".DEFAULT\\Software\\App", "default", 1, text, RootKey::kUsers);
    Set(".DEFAULT\\Software\\Helmwick\\Corvane", "ScanHKLM", 4, kDword1, RootKey::kUsers);
    Set("Software\\Wine\\Fonts", "Codepages", 1, text, RootKey::kCurrentUser);
    Set("Software\\Classes\\.txt", "", 1, text);
    Set(".txt", "", 1, text, RootKey::kClassesRoot);
    Set("Software\\Shared", "v", 1, text);
    registry_.AddLink(kHKLM, "Software\\Wow6432Node\\Shared", kHKLM, "Software\\Shared");
    if (r.merged) {
      Set(std::string(kSid) + "_Classes\\.cvt", "", 1, text, RootKey::kUsers);
      registry_.AddLink(RootKey::kCurrentUser, "Software\\Classes", RootKey::kUsers,
                        std::string(kSid) + "_Classes");
      Set(".cvt", "", 1, text, RootKey::kClassesRoot);
    } else {
      Set("Software\\Classes\\.cvt", "", 1, text, RootKey::kCurrentUser);
    }
    settings_.scan_hkcr = r.hkcr;
    settings_.scan_hkcu = r.hkcu;
    settings_.scan_hku = r.hku;
    settings_.scan_hklm = true;
    Strings values;
    for (const Hive& hive : kHives) {
      if (!(settings_.*hive.setting)) continue;
      const std::string root(hive.base_name == "HKUS" ? "HKU" : hive.base_name);
      for (const std::string& line : test::Dump(ScanBothForms(hive.root).Root())) {
        const size_t name_end = line.find('|', line.find('|') + 1);
        if (name_end != std::string::npos) values.push_back(root + "\\" + line.substr(0, name_end));
      }
    }
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, r.values);
  }
}

TEST_F(RegistryScannerTest, KeyThatCannotBeOpenedIsRecordedEmpty) {
  Set("Secret", "v", 4, kDword1);
  Key("Secret\\Below");
  Set("Visible", "w", 4, kDword1);
  registry_.DenyOpen(kHKLM, "Secret");
  EXPECT_EQ(StoreBytes(kHKLM), Records({{0x11101, 0, 0},
                                        {0x11101, 6, 0, "Secret"},
                                        {0x11101, 7, 0, "Visible"},
                                        {0, 7, 4, "", "w", kDword1}}));
  ScanBothForms(kHKLM);
}

// A value far larger than the first buffer is recorded whole, and so are the
// values enumerated after it.
TEST_F(RegistryScannerTest, ValueTooLargeForTheFirstBufferIsRecordedWholeWithTheValuesAfterIt) {
  std::vector<uint8_t> big(100 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  Set("Big", "blob", 3, big);
  Set("Big", "after", 4, {2, 0, 0, 0});
  Set("Big", "exactly8192", 3, std::vector<uint8_t>(8192, 0xAB));
  SnapshotTree tree = ScanBothForms(kHKLM);
  const SnapshotNode* key = ChildNamed(tree.Root(), "Big");
  EXPECT_EQ(Names(key->values), (Strings{"exactly8192", "after", "blob"}));
  EXPECT_EQ(test::DataOf(test::ValueNamed(key, "blob")), big);
  EXPECT_EQ(test::ValueNamed(key, "exactly8192")->size, 8192u);
}

TEST_F(RegistryScannerTest, PausePointAfterEveryValueAndKeyAndAStopEndsTheLoopsAtOnce) {
  for (const char* name : {"a", "b", "c", "d"}) Set("K", name, 4, kDword1);
  Key("K\\Sub");
  Key("L");
  test::StopAfter store_count, tree_count;
  StoreBytes(kHKLM, "", &store_count);
  ScanToTree(kHKLM, &tree_count);
  EXPECT_EQ(store_count.pauses(), 7);  // values a to d; keys K, K\Sub, L
  EXPECT_EQ(tree_count.pauses(), 7);
  // Stopped after the second value: nothing after it is read.
  test::StopAfter store_stop(2);
  EXPECT_EQ(StoreBytes(kHKLM, "", &store_stop), Records({{0x11101, 0, 0},
                                                         {0x11101, 1, 0, "K"},
                                                         {0, 1, 4, "", "a", kDword1},
                                                         {0, 1, 4, "", "b", kDword1}}));
}

// ---- The bulk read: the same records as the walk ----

// What the walk records, read through saved files: names outside ASCII,
// every type, empty, odd and large data, volatile keys (left out of saved
// files), links (the one followed and others), closed keys, keys that cannot
// be opened.
class BulkReadTest : public RegistryScannerTest {
 protected:
  void SetUp() override {
    RegistryScannerTest::SetUp();
    registry_.SetCurrentUserHive("S-1-5-21-7");
    Key("S-1-5-21-7_Classes\\.txt", RootKey::kUsers);
    const std::vector<uint8_t> huge(20'000, 0x5A);
    const std::vector<std::vector<uint8_t>> data = {
        {}, kDword1, cvn::test::SzData("Wert ä € 日本 😀"), {'o', 'd', 'd'}, huge};
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 0x12345};
    for (RootKey root : {kHKLM, RootKey::kCurrentUser}) {
      for (uint32_t type : types)
        for (size_t d = 0; d < data.size(); ++d)
          Set("Software\\Ünïcödé\\日本語\\Type " + std::to_string(type),
              "v" + std::to_string(d) + (d % 2 ? " Ω" : ""), type, data[d], root);
      Set("Software\\Ünïcödé", "", 1, cvn::test::SzData("default"), root);
      Key("Software\\Empty", root);
      Set("System\\Volatile\\Inner", "x", 4, kDword1, root);
      registry_.MakeVolatile(root, "System\\Volatile");
      Set("System\\VolatileBelow\\V", "x", 4, kDword1, root);
      registry_.MakeVolatile(root, "System\\VolatileBelow\\V");
      Set("System\\ControlSet001\\Services\\S", "Start", 4, kDword1, root);
      Set("System\\Denied\\Inner", "x", 4, kDword1, root);
      registry_.DenyOpen(root, "System\\Denied");
    }
    registry_.AddLink(kHKLM, "System\\CurrentControlSet", kHKLM, "System\\ControlSet001");
    registry_.AddLink(RootKey::kCurrentUser, "Software\\Classes", RootKey::kUsers,
                      "S-1-5-21-7_Classes");
    Set(std::string(settings::kSettingsKey), "Own", 4, kDword1, RootKey::kCurrentUser);
    Set(".DEFAULT\\Software\\Default", "x", 1, cvn::test::SzData("y"), RootKey::kUsers);
  }

  struct Scans {
    std::vector<uint8_t> store;
    Strings tree;
  };
  // The first line where two dumps differ (they hold values too large to print whole).
  static std::string FirstDifference(const Strings& got, const Strings& expected) {
    for (size_t i = 0; i < std::min(got.size(), expected.size()); ++i)
      if (got[i] != expected[i])
        return "line " + std::to_string(i) + ": " + got[i].substr(0, 200) + " instead of " +
               expected[i].substr(0, 200);
    return got.size() == expected.size() ? "" : "lengths " + std::to_string(got.size()) + " and " +
                                                    std::to_string(expected.size());
  }
  Scans ScanBoth(RootKey root, bool bulk) {
    settings_.bulk_registry_read = bulk;
    Scans scans;
    scans.store = StoreBytes(root);
    scans.tree = test::Dump(ScanToTree(root).Root());
    return scans;
  }
};

TEST_F(BulkReadTest, RecordsEqualTheWalksWhateverCannotBeSaved) {
  const struct {
    const char* what;
    std::function<void(platform::MemoryRegistry&)> fault;
  } cases[] = {
      {"every key saved", [](platform::MemoryRegistry&) {}},
      {"roots that cannot be saved, read a level lower",
       [](platform::MemoryRegistry& r) {
         for (RootKey root : {kHKLM, RootKey::kUsers, RootKey::kCurrentUser}) r.FailSave(root, "");
         r.FailSave(kHKLM, "Software", platform::Status(platform::StatusCode::kAccessDenied));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.fault(registry_);
    for (RootKey root : {kHKLM, RootKey::kUsers, RootKey::kCurrentUser}) {
      SCOPED_TRACE(platform::RootKeyName(root));
      const Scans walked = ScanBoth(root, false);
      const size_t saves = registry_.SaveCount();
      const Scans bulk = ScanBoth(root, true);
      EXPECT_GT(registry_.SaveCount(), saves) << "no saved file read";
      EXPECT_EQ(FirstDifference(bulk.tree, walked.tree), "");
      EXPECT_TRUE(bulk.store == walked.store) << "the store forms differ";
    }
  }
}

// The damage is met after every other record of the file was written: they
// are dropped again, in both forms.
TEST_F(BulkReadTest, DamagedSavedFileIsToldAndTheKeyWalked) {
  const Scans walked = ScanBoth(kHKLM, false);
  registry_.AppendToSavedFiles("\n\"broken\"=hex:0g\n");
  Strings notices;
  auto scanner = [&] {
    RegistryScanner made(registry_, settings_, to_end_);
    made.on_notice = [&](const std::string& text) { notices.push_back(text); };
    return made;
  };
  settings_.bulk_registry_read = true;
  SnapshotTree tree;
  tree.SetRoot(scanner().ScanRegKeyToTree(kHKLM, "", "", tree));
  EXPECT_EQ(FirstDifference(test::Dump(tree.Root()), walked.tree), "");
  SnapshotStore store = SnapshotStore::CreateNew(fs_, kFolder, "HKLM");
  scanner().ScanRegKey(kHKLM, "", store);
  EXPECT_TRUE(std::vector<uint8_t>(store.Bytes().begin(), store.Bytes().end()) == walked.store);
  // One line for each saved file (a hive with a key that cannot be opened is
  // saved in parts).
  ASSERT_FALSE(notices.empty());
  for (const std::string& notice : notices) {
    EXPECT_TRUE(notice.starts_with("HKEY_LOCAL_MACHINE\\") &&
                notice.find(": its saved copy cannot be read (saved registry file damaged: ") !=
                    std::string::npos)
        << notice;
  }
}

// HKEY_CLASSES_ROOT is read from the machine's saved classes only while the
// user has none of their own; HKEY_CURRENT_CONFIG, a link, is always walked.
TEST_F(BulkReadTest, ClassesRootIsSavedOnlyWhileItShowsTheMachinesClassesAlone) {
  const auto txt = cvn::test::SzData("txtfile");
  Set("Software\\Classes\\.txt", "", 1, txt);
  Set(".txt", "", 1, txt, RootKey::kClassesRoot);
  // The view with the user's classes merged in (HKCU\Software\Classes\.txt).
  Set(".user", "", 1, cvn::test::SzData("userfile"), RootKey::kClassesRoot);
  const auto user_classes = [&] { return Key("S-1-5-21-7_Classes", RootKey::kUsers); };
  const struct {
    const char* what;
    std::function<void()> make;
    bool saved;
  } cases[] = {
      {"the user has classes", [] {}, false},
      {"the user has none",
       [&] {
         ASSERT_TRUE(platform::DeleteKeyTree(registry_, *user_classes(), ".txt").ok());
         std::unique_ptr<platform::RegKey> view;
         ASSERT_TRUE(
             registry_.OpenKey(RootKey::kClassesRoot, "", platform::KeyAccess::kReadWrite, &view)
                 .ok());
         ASSERT_TRUE(platform::DeleteKeyTree(registry_, *view, ".user").ok());
       },
       true},
      {"the user's classes cannot be read (empty or not)",
       [&] { registry_.DenyOpen(RootKey::kUsers, "S-1-5-21-7_Classes"); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.make();
    const Scans walked = ScanBoth(RootKey::kClassesRoot, false);
    const size_t saves = registry_.SaveCount();
    const Scans bulk = ScanBoth(RootKey::kClassesRoot, true);
    EXPECT_EQ(registry_.SaveCount() > saves, c.saved);
    EXPECT_EQ(FirstDifference(bulk.tree, walked.tree), "");
    EXPECT_TRUE(bulk.store == walked.store);
  }
  EXPECT_EQ(ScanBoth(RootKey::kCurrentConfig, true).store,
            ScanBoth(RootKey::kCurrentConfig, false).store);
  const size_t saves = registry_.SaveCount();
  ScanBoth(RootKey::kCurrentConfig, true);
  ScanBoth(kHKLM, false);
  EXPECT_EQ(registry_.SaveCount(), saves);
}

using platform::MakeFileTime;

const uint64_t kNoon = MakeFileTime(2024, 5, 6, 12, 30, 10);
// 2024-05-06 12:30:10 as a DOS date-time (date in the high 16 bits).
constexpr uint32_t kNoonDos = ((44u << 9 | 5u << 5 | 6u) << 16) | (12u << 11 | 30u << 5 | 5u);

class FileSystemScannerTest : public RegistryScannerTest {
 protected:
  void SetUp() override {
    RegistryScannerTest::SetUp();
    fs_.AddDrive("D:");
    fs_.AddDrive("E:");
    settings_.program_folder = kFolder;
    settings_.excluded_folders.Add(kFolder);
    OnlyOthers("C:\\Data");
  }
  // Scans only the other folders of `paths`.
  void OnlyOthers(std::string paths) {
    settings_.scan_system_partition = settings_.scan_windows_folder = settings_.scan_program_files =
        false;
    settings_.scan_other_folders = true;
    settings_.other_folders = std::move(paths);
  }
  void AddFile(std::string_view path, std::string_view data = "", uint64_t time = kNoon) {
    ASSERT_TRUE(fs_.AddFile(path, data, time).ok()) << path;
  }
  void Scan(ScanControl* control = nullptr) {
    FileSystemScanner(fs_, registry_, settings_, control ? *control : to_end_)
        .ScanFileSystem(fs_.WindowsFolder(), kFolder);
  }
  // The records of FIS2.sns as "full path" for folders, "path|name" for files.
  Strings Records() {
    SnapshotStore store = SnapshotStore::Open(fs_, kFolder, "FIS2");
    return test::RecordPaths(store);
  }
};

// A file record's data: DOS date-time, then size.
std::vector<uint8_t> Info(uint32_t dos, uint32_t size) {
  std::vector<uint8_t> data = cvn::test::DwordData(dos), s = cvn::test::DwordData(size);
  data.insert(data.end(), s.begin(), s.end());
  return data;
}

// A file's data is its local DOS date-time, clamped to 1980-01-01 and
// 2107-12-31 23:59:58, then the low 32 bits of its size.
TEST_F(FileSystemScannerTest, DataFolderIsWrittenByteForByte) {
  fs_.SetUtcOffsetMinutes(120);
  AddFile("C:\\Data\\a.txt", "hello", MakeFileTime(2024, 1, 1, 23, 30, 0));  // 01:30 the 2nd
  ASSERT_TRUE(fs_.AddSizedFile("C:\\Data\\big.iso", (5ull << 30) + 123, kNoon).ok());
  AddFile("C:\\Data\\Sub\\b.txt", "0123456789", MakeFileTime(1979, 12, 31, 21, 59, 59));
  AddFile("C:\\Data\\Sub\\c.txt", "", MakeFileTime(2108, 1, 1));
  Scan();
  std::vector<uint8_t> data;
  ASSERT_TRUE(fs_.ReadFile("C:\\Corvane\\FIS2.sns", &data).ok());
  EXPECT_EQ(cvn::test::Hex(data),
            cvn::test::Hex(
                test::Records({{0x1, 7, 3, "C:\\Data", "a.txt", Info(0x58220bc0, 5)},
                               {0, 7, 3, "", "big.iso", Info(kNoonDos + (2 << 11), 0x4000007B)},
                               {0x11110, 3, 0, "Sub"},
                               {0, 11, 3, "", "b.txt", Info(0x00210000, 10)},
                               {0, 11, 3, "", "c.txt", Info(0xff9fbf7d, 0)}})));
}

TEST_F(FileSystemScannerTest, RecordWhatEachTargetHolds) {
  for (const char* file :
       {"C:\\boot.ini", "C:\\Windows\\win.ini", "C:\\Program Files\\App\\app.exe",
        "C:\\Data\\Temp\\t.txt", "C:\\Data\\Locked\\secret.txt", "D:\\Apps\\d.txt",
        "E:\\Data\\e.txt", "C:\\Corvane\\Log.txt", "C:\\Data\\Temp\\Keep\\k.txt",
        "D:\\Apps2\\f.txt"})
    AddFile(file);
  ASSERT_TRUE(fs_.CreateFolders("C:\\Data\\Empty").ok());
  fs_.DenyList("C:\\Data\\Locked");
  settings_.excluded_folders.Add("c:\\DATA\\temp");
  // Targets: E entire drive, W Windows, P Program Files (R: its folder is
  // known), then the other folders (null: none); the records joined by ", ".
  const struct {
    const char* targets;
    const char* others;
    const char* records;
  } kRows[] = {
      {"WP", nullptr, "C:\\Windows|win.ini"},  // first: the folder is not known yet
      // The wizard keeps Windows and Program Files set with the entire drive: no second walk.
      {"EWPR", nullptr,
       "C:\\Windows, C:\\Windows|win.ini, C:\\Corvane, C:|boot.ini, C:\\Program Files, "
       "C:\\Program Files\\App, C:\\Program Files\\App|app.exe, C:\\Data, C:\\Data\\Temp, "
       "C:\\Data\\Empty"},
      {"WPR", nullptr,
       "C:\\Windows|win.ini, C:\\Program Files\\App, C:\\Program Files\\App|app.exe"},
      // An unusable entry is no reason to leave out those after it; one that
      // is missing or cannot be listed is known by the nearest folder on its way.
      {"", "D:\\Apps;X:\\Missing;;E:\\Data", "D:\\Apps|d.txt, E:\\Data|e.txt"},
      {"", "C:\\Data\\New\\Deeper;D:\\Apps", "C:\\Data, D:\\Apps|d.txt"},
      {"", "E:\\New", "E:"},
      {"", "D:\\Apps\\;E:\\", "D:\\Apps|d.txt, E:\\Data, E:\\Data|e.txt"},  // as the wizard stores
      // A target another one walks anyway is left out, whichever comes first
      // and whatever its letter case, unless an excluded folder cuts it off.
      {"W", "c:\\WINDOWS\\", "C:\\Windows|win.ini"},
      {"EWPR", "C:\\Data;D:\\Apps",
       "C:\\Windows, C:\\Windows|win.ini, C:\\Corvane, C:|boot.ini, C:\\Program Files, "
       "C:\\Program Files\\App, C:\\Program Files\\App|app.exe, C:\\Data, C:\\Data\\Temp, "
       "C:\\Data\\Empty, D:\\Apps|d.txt"},
      {"", "C:\\Data\\Empty;C:\\Data;D:\\Apps2;D:\\Apps",
       "C:\\Data\\Temp, C:\\Data\\Empty, D:\\Apps2|f.txt, D:\\Apps|d.txt"},
      {"", "C:\\Data;C:\\Data\\Temp\\Keep",
       "C:\\Data\\Temp, C:\\Data\\Empty, C:\\Data\\Temp\\Keep|k.txt"},
      // An excluded folder is an empty folder record, as is an empty folder; a
      // folder that cannot be listed is skipped silently.
      {"", "C:\\Data", "C:\\Data\\Temp, C:\\Data\\Empty"},
      // An empty target is recorded so that it is not taken for a created
      // folder later; a target with contents is known by its contents alone.
      {"", "C:\\Data\\Empty;D:\\Apps", "C:\\Data\\Empty, D:\\Apps|d.txt"},
      {"", "C:\\Data\\Locked;D:\\Apps", "C:\\Data\\Locked, D:\\Apps|d.txt"},
  };
  for (const auto& r : kRows) {
    const std::string_view targets = r.targets;
    SCOPED_TRACE(std::string(targets) + " " + (r.others ? r.others : ""));
    if (targets.find('R') != std::string_view::npos)
      Set(kCurrentVersionKey, "ProgramFilesDir", 1, cvn::test::SzData("C:\\Program Files"));
    settings_.scan_system_partition = targets.find('E') != std::string_view::npos;
    settings_.scan_windows_folder = targets.find('W') != std::string_view::npos;
    settings_.scan_program_files = targets.find('P') != std::string_view::npos;
    settings_.scan_other_folders = r.others != nullptr;
    settings_.other_folders = r.others ? r.others : "";
    Scan();
    std::string records;
    for (const std::string& record : Records()) records += (records.empty() ? "" : ", ") + record;
    EXPECT_EQ(records, r.records);
  }
}

TEST_F(FileSystemScannerTest, PausePointAfterEveryEntryAndAStopStillSavesThePartialSnapshot) {
  AddFile("C:\\Data\\a.txt");
  AddFile("C:\\Data\\Sub\\b.txt");
  AddFile("C:\\Data\\Sub\\c.txt");
  AddFile("C:\\Data\\Locked\\l.txt");
  fs_.DenyList("C:\\Data\\Locked");
  AddFile("C:\\More\\m.txt");
  OnlyOthers("C:\\Data;C:\\More");
  test::StopAfter count;
  Scan(&count);
  EXPECT_EQ(count.pauses(), 6);  // a.txt, Sub, b.txt, c.txt, Locked (not entered), m.txt
  test::StopAfter stop(2);
  Scan(&stop);
  EXPECT_EQ(Records(), (Strings{"C:\\Data|a.txt", "C:\\Data\\Sub", "C:\\Data\\Sub|b.txt"}));
}

}  // namespace
}  // namespace cvn::snapshot
