// The file-system scanner on the in-memory file system: targets, the records
// and their data, exclusions, folders that cannot be listed, and stops.
#include "engine/snapshot/filesystem_scanner.h"

#include <gtest/gtest.h>

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
  void SetProgramFilesDir() {
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_
                    .CreateKey(platform::RootKey::kLocalMachine, kCurrentVersionKey,
                               platform::KeyAccess::kReadWrite, &key)
                    .ok());
    ASSERT_TRUE(platform::SetString(registry_, *key, "ProgramFilesDir", "C:\\Program Files").ok());
  }

  platform::MemoryFileSystem fs_;
  platform::MemoryRegistry registry_;
  settings::Settings settings_;
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
        "E:\\Data\\e.txt", "C:\\Corvane\\Log.txt"})
    AddFile(file);
  ASSERT_TRUE(fs_.CreateFolders("C:\\Data\\Empty").ok());
  fs_.DenyList("C:\\Data\\Locked");
  settings_.ExcludedFolders.Add("c:\\DATA\\temp");
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
      // The other folders end at the first entry that is unusable or empty.
      {"", "D:\\Apps;X:\\Missing;E:\\Data", "D:\\Apps|d.txt"},
      {"", "D:\\Apps\\;E:\\", "D:\\Apps|d.txt, E:\\Data, E:\\Data|e.txt"},  // as the wizard stores
      {"W", "C:\\Windows", "C:\\Windows|win.ini, C:\\Windows|win.ini"},     // once per target
      // An excluded folder is an empty folder record, as is an empty folder; a
      // folder that cannot be listed is skipped silently.
      {"", "C:\\Data", "C:\\Data\\Temp, C:\\Data\\Empty"},
      {"", "C:\\Corvane", ""},  // the program folder never appears
      // An empty target is recorded so that it is not taken for a created
      // folder later; a target with contents is known by its contents alone.
      {"", "C:\\Data\\Empty;D:\\Apps", "C:\\Data\\Empty, D:\\Apps|d.txt"},
      {"", "C:\\Data\\Locked;D:\\Apps", ""},  // one that cannot be listed ends the others
  };
  for (const auto& r : kRows) {
    const std::string_view targets = r.targets;
    SCOPED_TRACE(std::string(targets) + " " + (r.others ? r.others : ""));
    if (targets.find('R') != std::string_view::npos) SetProgramFilesDir();
    settings_.ScanEntire = targets.find('E') != std::string_view::npos;
    settings_.ScanWin = targets.find('W') != std::string_view::npos;
    settings_.ScanProg = targets.find('P') != std::string_view::npos;
    settings_.ScanOthers = r.others != nullptr;
    settings_.ScanOtherPaths = r.others ? r.others : "";
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
