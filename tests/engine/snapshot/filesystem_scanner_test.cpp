// The file-system scanner on the in-memory file system: targets, the records
// and their data, exclusions, folders that cannot be listed, and stops.
#include "engine/snapshot/filesystem_scanner.h"

#include <gtest/gtest.h>

#include "engine/snapshot/load_snapshot.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using platform::MakeFileTime;
using Strings = std::vector<std::string>;

constexpr char kProgramFolder[] = "C:\\Corvane";
const uint64_t kNoon = MakeFileTime(2024, 5, 6, 12, 30, 10);
// 2024-05-06 12:30:10 as a DOS date-time (date in the high 16 bits).
constexpr uint32_t kNoonDos = ((44u << 9 | 5u << 5 | 6u) << 16) | (12u << 11 | 30u << 5 | 5u);

class FileSystemScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders(kProgramFolder).ok());
    fs_.AddDrive("D:");
    fs_.AddDrive("E:");
    settings_.ProgramFolder = kProgramFolder;
    settings_.ExcludedFolders.Add(kProgramFolder);
    OnlyOthers("C:\\Data");
  }
  // Scans only the other folders of `paths`.
  void OnlyOthers(std::string paths) {
    settings_.ScanEntire = settings_.ScanWin = settings_.ScanProg = false;
    settings_.ScanOthers = true;
    settings_.ScanOtherPaths = std::move(paths);
  }
  void AddFile(std::string_view path, std::string_view data = "", uint64_t time = kNoon) {
    ASSERT_TRUE(fs_.AddFile(path, data, time).ok()) << path;
  }
  void Scan(ScanControl* control = nullptr) {
    RunToEnd to_end;
    FileSystemScanner(fs_, registry_, settings_, control ? *control : to_end)
        .ScanFileSystem(fs_.WindowsFolder(), kProgramFolder);
  }
  // The records of FIS2.sns as "full path" for folders, "path|name" for files.
  Strings Records() {
    TDBTree store = TDBTree::Open(fs_, kProgramFolder, "FIS2");
    return test::RecordPaths(store);
  }
  SnapshotTree Load() {
    RunToEnd control;
    return LoadSnapshot(fs_, kProgramFolder, "FIS2", control);
  }
  void SetProgramFilesDir() {
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                                    platform::KeyAccess::kReadWrite, &key).ok());
    ASSERT_TRUE(platform::SetString(registry_, *key, "ProgramFilesDir", "C:\\Program Files").ok());
  }

  platform::MemoryFileSystem fs_;
  platform::MemoryRegistry registry_;
  settings::Settings settings_;
};

TEST_F(FileSystemScannerTest, DataFolderIsWrittenByteForByte) {
  AddFile("C:\\Data\\a.txt", "hello");
  AddFile("C:\\Data\\Sub\\b.txt", "0123456789");
  Scan();
  std::vector<uint8_t> data;
  ASSERT_TRUE(fs_.ReadFile("C:\\Corvane\\FIS2.sns", &data).ok());
  EXPECT_EQ(cvn::test::Hex(data),
            cvn::test::Hex(test::Golden()
                               .U32(0x1).U32(7).U32(3).Text("C:\\Data").U32(5).Text("a.txt")
                               .U32(8).U32(kNoonDos).U32(5)
                               .U32(0x11110).U32(3).U32(0).Text("Sub")
                               .U32(0).U32(11).U32(3).U32(5).Text("b.txt").U32(8).U32(kNoonDos).U32(10)));
}

struct Targets {
  const char* what;
  bool entire, win, prog, program_files_dir;
  const char* others;  // null: no other folders
  Strings records;
};
void PrintTo(const Targets& t, std::ostream* os) { *os << t.what; }
const Targets kTargets[] = {
    // The wizard keeps Windows and Program Files set with the entire drive: no second walk.
    {"entire drive", true, true, true, true, nullptr,
     {"C:\\Windows", "C:\\Windows|win.ini", "C:\\Corvane", "C:|boot.ini", "C:\\Program Files",
      "C:\\Program Files\\App", "C:\\Program Files\\App|app.exe", "C:\\Data", "C:\\Data\\Temp",
      "C:\\Data\\Empty"}},
    {"windows and program files", false, true, true, true, nullptr,
     {"C:\\Windows|win.ini", "C:\\Program Files\\App", "C:\\Program Files\\App|app.exe"}},
    {"no program files dir", false, true, true, false, nullptr, {"C:\\Windows|win.ini"}},
    {"others end at the first unusable entry", false, false, false, false, "D:\\Apps;X:\\Missing;E:\\Data",
     {"D:\\Apps|d.txt"}},
    {"others end at the first empty entry", false, false, false, false, "D:\\Apps;;E:\\Data",
     {"D:\\Apps|d.txt"}},
    {"targets as the wizard stores them", false, false, false, false, "D:\\Apps\\;E:\\",
     {"D:\\Apps|d.txt", "E:\\Data", "E:\\Data|e.txt"}},
    {"overlapping targets: once per target", false, true, false, false, "C:\\Windows",
     {"C:\\Windows|win.ini", "C:\\Windows|win.ini"}},
    // An excluded folder is an empty folder record, as is an empty folder; a
    // folder that cannot be listed is skipped silently.
    {"exclusions, locks and empty folders", false, false, false, false, "C:\\Data",
     {"C:\\Data\\Temp", "C:\\Data\\Empty"}},
    {"the program folder never appears", false, false, false, false, "C:\\Corvane", {}},
    // An empty target is recorded so that it is not taken for a created
    // folder later; a target with contents is known by its contents alone.
    {"an empty target", false, false, false, false, "C:\\Data\\Empty;D:\\Apps",
     {"C:\\Data\\Empty", "D:\\Apps|d.txt"}},
    {"a target that cannot be listed ends the others", false, false, false, false,
     "C:\\Data\\Locked;D:\\Apps", {}},
};

class TargetsTest : public FileSystemScannerTest, public ::testing::WithParamInterface<Targets> {};

TEST_P(TargetsTest, RecordWhatEachTargetHolds) {
  const Targets& r = GetParam();
  for (const char* file : {"C:\\boot.ini", "C:\\Windows\\win.ini", "C:\\Program Files\\App\\app.exe",
                           "C:\\Data\\Temp\\t.txt", "C:\\Data\\Locked\\secret.txt", "D:\\Apps\\d.txt",
                           "E:\\Data\\e.txt", "C:\\Corvane\\Log.txt"})
    AddFile(file);
  ASSERT_TRUE(fs_.CreateFolders("C:\\Data\\Empty").ok());
  fs_.DenyList("C:\\Data\\Locked");
  settings_.ExcludedFolders.Add("c:\\DATA\\temp");
  if (r.program_files_dir) SetProgramFilesDir();
  settings_.ScanEntire = r.entire;
  settings_.ScanWin = r.win;
  settings_.ScanProg = r.prog;
  settings_.ScanOthers = r.others != nullptr;
  settings_.ScanOtherPaths = r.others ? r.others : "";
  Scan();
  EXPECT_EQ(Records(), r.records);
}
INSTANTIATE_TEST_SUITE_P(FileSystemScanner, TargetsTest, ::testing::ValuesIn(kTargets));

TEST_F(FileSystemScannerTest, ProgramFilesDirIsReadFromTheRegistry) {
  EXPECT_EQ(GetProgramFilesDir(registry_), "");  // no key
  std::unique_ptr<platform::RegKey> key;
  ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                                  platform::KeyAccess::kReadWrite, &key).ok());
  EXPECT_EQ(GetProgramFilesDir(registry_), "");  // key without the value
  SetProgramFilesDir();
  EXPECT_EQ(GetProgramFilesDir(registry_), "C:\\Program Files");
}

TEST_F(FileSystemScannerTest, FileDataIsTheLocalDosTimeClampedAndTheLow32BitsOfTheSize) {
  fs_.SetUtcOffsetMinutes(120);
  AddFile("C:\\Data\\late.txt", "", MakeFileTime(2024, 1, 1, 23, 30, 0));
  AddFile("C:\\Data\\edge.txt", "", MakeFileTime(1979, 12, 31, 23, 0, 0));
  AddFile("C:\\Data\\zero.txt");
  ASSERT_TRUE(fs_.SetLastWrite("C:\\Data\\zero.txt", 0).ok());
  AddFile("C:\\Data\\old.txt", "", MakeFileTime(1979, 12, 31, 21, 59, 59));
  AddFile("C:\\Data\\future.txt", "", MakeFileTime(2108, 1, 1));
  AddFile("C:\\Data\\far.txt", "", MakeFileTime(9999, 12, 31));
  ASSERT_TRUE(fs_.AddSizedFile("C:\\Data\\big.iso", (5ull << 30) + 123, kNoon).ok());
  Scan();
  const SnapshotTree tree = Load();
  const std::string earliest = "00002100", latest = "7dbf9fff";  // 1980-01-01, 2107-12-31 23:59:58
  const std::pair<const char*, std::string> kRows[] = {
      {"late.txt", cvn::test::Hex(cvn::test::DwordData(((44u << 9 | 1u << 5 | 2u) << 16) | (1u << 11 | 30u << 5)))},
      {"edge.txt", cvn::test::Hex(cvn::test::DwordData(((0u << 9 | 1u << 5 | 1u) << 16) | (1u << 11)))},
      {"zero.txt", earliest}, {"old.txt", earliest}, {"future.txt", latest}, {"far.txt", latest}};
  const TNode* data = test::ChildNamed(tree.Root(), "Data");
  for (const auto& [name, time] : kRows) {
    const TValori* v = test::ValueNamed(data, name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(cvn::test::Hex(test::DataOf(v)), time + "00000000") << name;
  }
  const TValori* big = test::ValueNamed(data, "big.iso");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(cvn::test::Hex(big->Bytes().subspan(4)), "7b000040");  // 0x4000007B
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

TEST_F(FileSystemScannerTest, SnapshotThatCannotBeSavedThrows) {
  AddFile("C:\\Data\\a.txt");
  RunToEnd control;
  FileSystemScanner scanner(fs_, registry_, settings_, control);
  EXPECT_THROW(scanner.ScanFileSystem(fs_.WindowsFolder(), "C:\\NoSuchFolder"), SnapshotFileError);
}

TEST_F(FileSystemScannerTest, ScanThenLoadGivesTheFoldersAndFiles) {
  AddFile("C:\\Data\\a.txt", "aa");
  AddFile("C:\\Data\\Sub\\Deeper\\b.txt", "b");
  ASSERT_TRUE(fs_.CreateFolders("C:\\Data\\Empty").ok());
  Scan();
  EXPECT_EQ(test::Dump(Load().Root()),
            (Strings{"C:", "C:\\Data", "C:\\Data\\Empty", "C:\\Data\\Sub", "C:\\Data\\Sub\\Deeper",
                     "C:\\Data\\Sub\\Deeper|b.txt|3|c563a65801000000", "C:\\Data|a.txt|3|c563a65802000000"}));
  EXPECT_FALSE(fs_.Exists("C:\\Corvane\\FIS2.sns"));
}

}  // namespace
}  // namespace cvn::snapshot
