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

using platform::DosDateTime;
using platform::MakeFileTime;
using platform::MemoryFileSystem;
using platform::MemoryRegistry;
using test::Bytes;
using test::CountingControl;

constexpr char kProgramFolder[] = "C:\\Corvane";
const uint64_t kNoon = MakeFileTime(2024, 5, 6, 12, 30, 10);
// 2024-05-06 12:30:10 as a DOS date-time (date in the high 16 bits).
constexpr uint32_t kNoonDos = ((44u << 9 | 5u << 5 | 6u) << 16) | (12u << 11 | 30u << 5 | 5u);

std::string Info(uint32_t dos, uint32_t size) {
  std::string s;
  for (uint32_t v : {dos, size})
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  return s;
}

class FileSystemScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders(kProgramFolder).ok());
    settings_.ProgramFolder = kProgramFolder;
    settings_.ExcludedFolders.Add(kProgramFolder);
    OnlyOthers("");
  }

  // Scans only the other folders of `paths`.
  void OnlyOthers(std::string paths) {
    settings_.ScanEntire = settings_.ScanWin = settings_.ScanProg = false;
    settings_.ScanOthers = true;
    settings_.ScanOtherPaths = std::move(paths);
  }
  void AddFile(std::string_view path, std::string_view data = "") {
    ASSERT_TRUE(fs_.AddFile(path, data, kNoon).ok()) << path;
  }
  void Folder(std::string_view path) { ASSERT_TRUE(fs_.CreateFolders(path).ok()) << path; }

  void Scan(ScanControl& control) {
    FileSystemScanner(fs_, registry_, settings_, control)
        .ScanFileSystem(fs_.WindowsFolder(), kProgramFolder);
  }
  void Scan() {
    RunToEnd control;
    Scan(control);
  }
  std::vector<uint8_t> SnapshotBytes() {
    std::vector<uint8_t> data;
    EXPECT_TRUE(fs_.ReadFile("C:\\Corvane\\FIS2.sns", &data).ok());
    return data;
  }
  // The records of FIS2.sns as "full path" for folders, "path|name" for files.
  std::vector<std::string> Records() {
    TDBTree store = TDBTree::Open(fs_, kProgramFolder, "FIS2");
    std::vector<std::string> out;
    std::string path;
    SnapshotRecord r;
    while (store.ReadRecord(&r)) {
      if (r.flags & flags::kFullPath) path = std::string(r.path_text);
      if (r.flags & flags::kRelativePath) path += "\\" + std::string(r.path_text);
      out.push_back((r.flags & flags::kContainer) ? path : path + "|" + std::string(r.name));
    }
    return out;
  }
  // The recorded DOS date-time of the file `name` below C:\Data, read from
  // the snapshot tree `tree`.
  static uint32_t RecordedTime(const SnapshotTree& tree, std::string_view name) {
    const TValori* v = test::ValueNamed(test::ChildNamed(tree.Root(), "Data"), name);
    if (v == nullptr || v->Size != 8) {
      ADD_FAILURE() << "no file " << name;
      return 0;
    }
    return v->Data[0] | v->Data[1] << 8 | v->Data[2] << 16 | static_cast<uint32_t>(v->Data[3]) << 24;
  }
  SnapshotTree Load() {
    RunToEnd control;
    return LoadSnapshot(fs_, kProgramFolder, "FIS2", control);
  }

  MemoryFileSystem fs_;
  MemoryRegistry registry_;
  settings::Settings settings_;
};

TEST_F(FileSystemScannerTest, DataFolderExampleIsWrittenByteForByte) {
  AddFile("C:\\Data\\a.txt", "hello");
  Folder("C:\\Data\\Sub");
  AddFile("C:\\Data\\Sub\\b.txt", "0123456789");
  OnlyOthers("C:\\Data");
  Scan();
  const std::string a = Info(kNoonDos, 5), b = Info(kNoonDos, 10);
  EXPECT_EQ(SnapshotBytes(), Bytes()
                                 .U32(0x1).U32(7).U32(3).Text("C:\\Data").U32(5).Text("a.txt")
                                 .U32(8).Text(a)
                                 .U32(0x11110).U32(3).U32(0).Text("Sub")
                                 .U32(0).U32(11).U32(3).U32(5).Text("b.txt").U32(8).Text(b)
                                 .vec());
}

TEST_F(FileSystemScannerTest, EntireDriveRecordsRootFilesWithTheDriveAlone) {
  settings_.ScanEntire = true;
  settings_.ScanWin = settings_.ScanProg = true;  // kept set by the wizard; no second walk
  settings_.ScanOthers = false;
  AddFile("C:\\boot.ini");
  AddFile("C:\\Windows\\win.ini");
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Windows", "C:\\Windows|win.ini",
                                                 "C:\\Corvane", "C:|boot.ini"}));
}

TEST_F(FileSystemScannerTest, WindowsAndProgramFilesFolders) {
  settings_.ScanOthers = false;
  settings_.ScanWin = settings_.ScanProg = true;
  AddFile("C:\\Windows\\win.ini");
  AddFile("C:\\Program Files\\App\\app.exe");
  AddFile("C:\\outside.txt");
  std::unique_ptr<platform::RegKey> key;
  ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                                  platform::KeyAccess::kReadWrite, &key).ok());
  ASSERT_TRUE(platform::SetString(registry_, *key, "ProgramFilesDir", "C:\\Program Files").ok());
  EXPECT_EQ(GetProgramFilesDir(registry_), "C:\\Program Files");
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Windows|win.ini", "C:\\Program Files\\App",
                                                 "C:\\Program Files\\App|app.exe"}));
}

TEST_F(FileSystemScannerTest, MissingProgramFilesDirSkipsThatTarget) {
  settings_.ScanOthers = false;
  settings_.ScanWin = settings_.ScanProg = true;
  AddFile("C:\\Windows\\win.ini");
  AddFile("C:\\Program Files\\app.exe");
  EXPECT_EQ(GetProgramFilesDir(registry_), "");  // no key
  std::unique_ptr<platform::RegKey> key;
  ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                                  platform::KeyAccess::kReadWrite, &key).ok());
  EXPECT_EQ(GetProgramFilesDir(registry_), "");  // key without the value
  Scan();
  EXPECT_EQ(Records(), std::vector<std::string>{"C:\\Windows|win.ini"});
}

TEST_F(FileSystemScannerTest, OtherFoldersStopAtTheFirstUnusableEntry) {
  fs_.AddDrive("D:");
  fs_.AddDrive("E:");
  AddFile("D:\\Apps\\d.txt");
  AddFile("E:\\Data\\e.txt");
  OnlyOthers("D:\\Apps;X:\\Missing;E:\\Data");
  Scan();
  EXPECT_EQ(Records(), std::vector<std::string>{"D:\\Apps|d.txt"});
}

TEST_F(FileSystemScannerTest, OtherFoldersStopAtTheFirstEmptyEntry) {
  AddFile("C:\\A\\a.txt");
  AddFile("C:\\B\\b.txt");
  OnlyOthers("C:\\A;;C:\\B");
  Scan();
  EXPECT_EQ(Records(), std::vector<std::string>{"C:\\A|a.txt"});
}

TEST_F(FileSystemScannerTest, TargetsAreRecordedLikeTheFolderTheyName) {
  fs_.AddDrive("D:");
  AddFile("D:\\root.txt");
  AddFile("C:\\Apps\\x.txt");
  OnlyOthers("C:\\Apps\\;D:\\");  // as the wizard stores them
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Apps|x.txt", "D:|root.txt"}));
}

TEST_F(FileSystemScannerTest, OverlappingTargetsAreRecordedOncePerTarget) {
  AddFile("C:\\Windows\\Fonts\\f.ttf");
  OnlyOthers("C:\\Windows\\Fonts");
  settings_.ScanWin = true;
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Windows\\Fonts", "C:\\Windows\\Fonts|f.ttf",
                                                 "C:\\Windows\\Fonts|f.ttf"}));
}

TEST_F(FileSystemScannerTest, ExcludedFolderBelowATargetIsAnEmptyFolderRecord) {
  AddFile("C:\\Data\\Temp\\t.txt");
  AddFile("C:\\Data\\Temp2\\u.txt");
  settings_.ExcludedFolders.Add("c:\\DATA\\temp");
  OnlyOthers("C:\\Data");
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Data\\Temp", "C:\\Data\\Temp2",
                                                 "C:\\Data\\Temp2|u.txt"}));
}

TEST_F(FileSystemScannerTest, ProgramFolderNeverAppearsAndAnExcludedTargetRecordsNothing) {
  AddFile("C:\\Corvane\\Log.txt");
  OnlyOthers("C:\\Corvane");
  Scan();
  EXPECT_TRUE(Records().empty());
}

TEST_F(FileSystemScannerTest, EmptyFolderAndEmptyTargetAreTheirFolderRecords) {
  Folder("C:\\Data\\Empty");
  Folder("C:\\Nothing");
  OnlyOthers("C:\\Nothing;C:\\Data");
  Scan();
  // The empty target is recorded too, so that it is not taken for a created
  // folder once something is put in it. A target with contents is known by
  // its contents' paths alone.
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Nothing", "C:\\Data\\Empty"}));
}

TEST_F(FileSystemScannerTest, FolderThatCannotBeListedIsSkippedSilently) {
  AddFile("C:\\Data\\Locked\\secret.txt");
  AddFile("C:\\Data\\Open\\o.txt");
  fs_.DenyList("C:\\Data\\Locked");
  OnlyOthers("C:\\Data");
  Scan();
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Data\\Open", "C:\\Data\\Open|o.txt"}));
}

TEST_F(FileSystemScannerTest, TargetThatCannotBeListedEndsTheOtherFolders) {
  AddFile("C:\\Locked\\secret.txt");
  AddFile("C:\\Open\\o.txt");
  fs_.DenyList("C:\\Locked");
  OnlyOthers("C:\\Locked;C:\\Open");
  Scan();
  EXPECT_TRUE(Records().empty());
}

TEST_F(FileSystemScannerTest, FileOfFiveGigabytesRecordsTheLow32BitsOfItsSize) {
  const uint64_t size = (5ull << 30) + 123;
  ASSERT_TRUE(fs_.AddSizedFile("C:\\Data\\big.iso", size, kNoon).ok());
  OnlyOthers("C:\\Data");
  Scan();
  const std::vector<uint8_t> bytes = SnapshotBytes();
  const std::vector<uint8_t> size_field(bytes.end() - 4, bytes.end());
  EXPECT_EQ(size_field, (std::vector<uint8_t>{123, 0, 0, 0x40}));  // 0x4000007B
}

TEST_F(FileSystemScannerTest, TimeIsLocal) {
  fs_.SetUtcOffsetMinutes(120);
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\late.txt", "", MakeFileTime(2024, 1, 1, 23, 30, 0)).ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\edge.txt", "", MakeFileTime(1979, 12, 31, 23, 0, 0)).ok());
  OnlyOthers("C:\\Data");
  Scan();
  const SnapshotTree tree = Load();
  EXPECT_EQ(RecordedTime(tree, "late.txt"),
            ((44u << 9 | 1u << 5 | 2u) << 16) | (1u << 11 | 30u << 5));
  EXPECT_EQ(RecordedTime(tree, "edge.txt"), ((0u << 9 | 1u << 5 | 1u) << 16) | (1u << 11));
}

// A time stamp outside the DOS range (zero, or far in the future) is
// recorded as the nearest valid date, never as an invalid one.
TEST_F(FileSystemScannerTest, TimeOutsideTheDosRangeIsClampedToItsNearestEnd) {
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\zero.txt", "").ok());
  ASSERT_TRUE(fs_.SetLastWrite("C:\\Data\\zero.txt", 0).ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\old.txt", "", MakeFileTime(1979, 12, 31, 23, 59, 59)).ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\future.txt", "", MakeFileTime(2108, 1, 1)).ok());
  ASSERT_TRUE(fs_.AddFile("C:\\Data\\far.txt", "", MakeFileTime(9999, 12, 31)).ok());
  OnlyOthers("C:\\Data");
  Scan();
  const SnapshotTree tree = Load();
  const uint32_t earliest = 0x0021u << 16;             // 1980-01-01 00:00:00
  const uint32_t latest = 0xFF9Fu << 16 | 0xBF7Du;     // 2107-12-31 23:59:58
  EXPECT_EQ(RecordedTime(tree, "zero.txt"), earliest);
  EXPECT_EQ(RecordedTime(tree, "old.txt"), earliest);
  EXPECT_EQ(RecordedTime(tree, "future.txt"), latest);
  EXPECT_EQ(RecordedTime(tree, "far.txt"), latest);
  EXPECT_EQ(fs_.ToLocalDosDateTime(MakeFileTime(2107, 12, 31, 23, 59, 58)),
            (DosDateTime{0xFF9F, 0xBF7D}));  // the clamp is the last valid value
}

TEST_F(FileSystemScannerTest, PausePointAfterEveryEntry) {
  AddFile("C:\\Data\\a.txt");
  Folder("C:\\Data\\Sub");
  AddFile("C:\\Data\\Sub\\b.txt");
  fs_.DenyList("C:\\Data\\Sub");
  Folder("C:\\Data\\Other");
  OnlyOthers("C:\\Data");
  CountingControl control;
  Scan(control);
  EXPECT_EQ(control.pauses(), 3);  // a.txt, Sub (not entered), Other
}

TEST_F(FileSystemScannerTest, StopEndsTheWalkAtOnceAndStillSavesThePartialSnapshot) {
  AddFile("C:\\Data\\a.txt");
  AddFile("C:\\Data\\Sub\\b.txt");
  AddFile("C:\\Data\\Sub\\c.txt");
  AddFile("C:\\Data\\z.txt");
  AddFile("C:\\More\\m.txt");
  OnlyOthers("C:\\Data;C:\\More");
  CountingControl control(/*stop_after=*/2);
  Scan(control);
  EXPECT_EQ(Records(), (std::vector<std::string>{"C:\\Data|a.txt", "C:\\Data\\Sub",
                                                 "C:\\Data\\Sub|b.txt"}));
}

TEST_F(FileSystemScannerTest, SnapshotThatCannotBeSavedThrows) {
  AddFile("C:\\Data\\a.txt");
  OnlyOthers("C:\\Data");
  RunToEnd control;
  FileSystemScanner scanner(fs_, registry_, settings_, control);
  EXPECT_THROW(scanner.ScanFileSystem(fs_.WindowsFolder(), "C:\\NoSuchFolder"), SnapshotFileError);
}

TEST_F(FileSystemScannerTest, ScanThenLoadGivesTheFoldersAndFiles) {
  AddFile("C:\\Data\\a.txt", "aa");
  AddFile("C:\\Data\\Sub\\Deeper\\b.txt", "b");
  Folder("C:\\Data\\Empty");
  OnlyOthers("C:\\Data");
  Scan();
  RunToEnd control;
  SnapshotTree tree = LoadSnapshot(fs_, kProgramFolder, "FIS2", control);
  EXPECT_EQ(test::Dump(tree.Root()),
            (std::vector<std::string>{"C:", "C:\\Data", "C:\\Data\\Empty", "C:\\Data\\Sub",
                                      "C:\\Data\\Sub\\Deeper",
                                      "C:\\Data\\Sub\\Deeper|b.txt|3|" "c563a658" "01000000",
                                      "C:\\Data|a.txt|3|c563a658" "02000000"}));
  EXPECT_FALSE(fs_.Exists("C:\\Corvane\\FIS2.sns"));
}

}  // namespace
}  // namespace cvn::snapshot
