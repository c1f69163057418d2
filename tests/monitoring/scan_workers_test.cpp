// The scan workers on the in-memory platform: their steps, status texts,
// progress steps and ProgramState values, stops and errors, and a whole
// monitoring from the first scan to the changes tree.
#include "monitoring/scan_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "changes/change_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/text.h"
#include "tests/support/bytes.h"

namespace cvn::snapshot {

using monitoring::EnabledTargetCount;
using monitoring::FirstScanWorker;
using monitoring::ScanObserver;
using monitoring::ScanWorker;
using monitoring::SecondScanWorker;
using threads::ProgramState;
using threads::QueueDispatcher;
using threads::WorkerContext;
using threads::WorkerThread;
namespace {

using cvn::test::DwordData;
using cvn::test::SzData;
using platform::RootKey;
using Strings = std::vector<std::string>;

constexpr char kProgramFolder[] = "C:\\Cvn";
const std::string kKey = "Software\\CorvaneTest\\Mon";  // below HKEY_CURRENT_USER
const std::string kBox = "C:\\Scratch\\Mon";            // scanned as an other-folder target
const std::string kSharedDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The main window's side of a scan: records what it is shown.
class Window : public ScanObserver {
 public:
  void UpdateStatus(const std::string& text) override {
    EXPECT_EQ(std::this_thread::get_id(), main_thread_);
    statuses.push_back(text);
  }
  void StepProgress() override {
    EXPECT_EQ(std::this_thread::get_id(), main_thread_);
    ++steps;
  }
  Strings statuses;
  int steps = 0;

 private:
  std::thread::id main_thread_ = std::this_thread::get_id();
};

// A change as "<where>|kind", the sandbox key shown as <K> and its folder as
// <F>; a counter with its amount in hex.
std::string Describe(const changes::ChangeTree& tree, changes::NodeId n) {
  const changes::ChangeRecord& d = tree.Data(n);
  std::string where = tree.PathFromBranchRoot(n);
  if (d.kind == changes::NodeKind::kCounterIncremented ||
      where.find("\\SharedDLLs\\") != std::string::npos)
    where = "<SharedDLLs>\\" + d.name;
  for (const auto& [area, label] :
       {std::pair{"HKEY_CURRENT_USER\\" + kKey, "<K>"}, std::pair{kBox, "<F>"}}) {
    const size_t at = text::ToUpper(where).find(text::ToUpper(area));
    if (at != std::string::npos) where.replace(at, area.size(), label);
  }
  return where + "|" + std::to_string(static_cast<int>(d.kind)) +
         (d.kind == changes::NodeKind::kCounterIncremented ? "|" + cvn::test::Hex(d.AfterBytes())
                                                           : "");
}
// A list of changes written as one text, ", " between them, sorted.
Strings Sorted(std::string_view list) {
  Strings out;
  for (size_t at = 0, end = 0; at < list.size(); at = end + 2) {
    end = std::min(list.find(", ", at), list.size());
    out.emplace_back(list.substr(at, end - at));
  }
  std::sort(out.begin(), out.end());
  return out;
}
// Every change of the tree, sorted.
Strings AllChanges(const changes::ChangeTree& tree) {
  Strings out;
  const changes::NodeId top = tree.Top();
  for (changes::NodeId n = tree.NextInSubtree(top, top); n != changes::kNoNode;
       n = tree.NextInSubtree(n, top))
    if (changes::IsChangeKind(tree.Data(n).kind)) out.push_back(Describe(tree, n));
  std::sort(out.begin(), out.end());
  return out;
}

class ScanWorkersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.scan_hkcr = settings_.scan_windows_folder = settings_.scan_program_files =
        settings_.scan_system_partition = false;
    settings_.scan_hklm = settings_.scan_hkcu = settings_.scan_other_folders = true;
    settings_.other_folders = kBox;
    context_.program_folder = kProgramFolder;
    context_.windows_folder = "C:\\Windows";
    context_.current_identifier = "App";
    ASSERT_TRUE(fs_.CreateFolders(kProgramFolder).ok());
    // The state before the installation.
    User("Existing", "V", 4, DwordData(1));
    User("Existing", "Gone", 1, SzData("bye"));
    User("OldKey\\Inner", "x", 1, SzData("1"));
    Counter("shared.dll", 1);
    ASSERT_TRUE(fs_.CreateFolders(kBox + "\\Sub").ok());
    ASSERT_TRUE(fs_.CreateFolders(kBox + "\\OldDir").ok());
    for (const char* name :
         {"keep.txt", "del.txt", "mv.txt", "shared.dll", "Sub\\stay.txt", "OldDir\\o.txt"})
      WriteFile(kBox + "\\" + name, name);
  }
  // Opens (creating) a key; sets a value when `type` is not 0.
  std::unique_ptr<platform::RegKey> Set(RootKey root, const std::string& path,
                                        std::string_view name = "", uint32_t type = 0,
                                        const std::vector<uint8_t>& data = {}) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(root, path, platform::KeyAccess::kReadWrite, &key).ok());
    if (type != 0) {
      EXPECT_TRUE(registry_.SetValue(*key, name, type, data).ok()) << name;
    }
    return key;
  }
  // A value below the sandbox key, and a shared-file counter of a file in the box.
  void User(const std::string& sub, std::string_view name, uint32_t type,
            const std::vector<uint8_t>& data) {
    Set(RootKey::kCurrentUser, kKey + "\\" + sub, name, type, data);
  }
  void Counter(const std::string& file, uint32_t count) {
    Set(RootKey::kLocalMachine, kSharedDlls, kBox + "\\" + file, 4, DwordData(count));
  }
  void WriteFile(const std::string& path, std::string_view text) {
    ASSERT_TRUE(fs_.WriteFile(path, cvn::test::Bytes(text)).ok()) << path;
  }
  // What an installer does.
  void MakeInstallerChanges() {
    User("NewKey", "", 1, SzData("hello"));
    User("Existing", "V", 4, DwordData(2));
    ASSERT_TRUE(
        registry_.DeleteValue(*Set(RootKey::kCurrentUser, kKey + "\\Existing"), "Gone").ok());
    ASSERT_TRUE(
        platform::DeleteKeyTree(registry_, *Set(RootKey::kCurrentUser, kKey), "OldKey").ok());
    Counter("shared.dll", 2);
    WriteFile(kBox + "\\new.dll", "new dll");
    Counter("new.dll", 1);
    ASSERT_TRUE(fs_.CreateFolder(kBox + "\\NewDir").ok());
    WriteFile(kBox + "\\NewDir\\a.txt", "new file");
    WriteFile(kBox + "\\keep.txt", "keep.txt, longer");
    ASSERT_TRUE(fs_.DeleteFile(kBox + "\\del.txt").ok());
    ASSERT_TRUE(fs_.MoveFile(kBox + "\\mv.txt", kBox + "\\Sub\\mv.txt").ok());
    ASSERT_TRUE(fs_.DeleteFile(kBox + "\\OldDir\\o.txt").ok());
    ASSERT_TRUE(fs_.RemoveFolder(kBox + "\\OldDir").ok());
  }

  // Starts a worker as the window does and pumps the main thread until its
  // end notification; returns ProgramState as the end handler sees it.
  // `while_running` runs on the main thread between two pumps.
  ProgramState Run(ScanWorker* worker, const std::function<void(ScanWorker&)>& while_running = {}) {
    bool ended = false;
    ProgramState state = ProgramState::kIdle;
    worker->SetOnTerminate([&](WorkerThread&) {
      ended = true;
      state = context_.program_state;
    });
    worker->Start();
    for (int i = 0; i < 60000 && !ended; ++i) {
      dispatcher_.WaitAndProcess(10);
      if (!ended && while_running) while_running(*worker);
    }
    EXPECT_TRUE(ended) << "the worker did not end";
    return state;
  }
  ProgramState FirstScan(const std::function<void(ScanWorker&)>& while_running = {}) {
    return Run(new FirstScanWorker(context_, fs_, registry_, dispatcher_, window_), while_running);
  }
  SecondScanWorker* NewSecondScan() {
    return new SecondScanWorker(context_, fs_, registry_, dispatcher_, window_, tree_);
  }
  bool SnapshotExists(std::string_view name) {
    return fs_.Exists(std::string(kProgramFolder) + "\\" + std::string(name));
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  settings::Settings settings_;
  WorkerContext context_{settings_};
  QueueDispatcher dispatcher_;
  Window window_;
  changes::ChangeTree tree_{settings_};
};

TEST_F(ScanWorkersTest, WholeMonitoringFindsExactlyTheInstallersChanges) {
  ASSERT_EQ(FirstScan(), ProgramState::kScanned);
  EXPECT_EQ(window_.steps, 3);
  MakeInstallerChanges();
  window_.statuses.clear();
  EXPECT_EQ(Run(NewSecondScan()), ProgramState::kIdle);
  EXPECT_EQ(
      window_.statuses,
      (Strings{"Scanning registry category: HKEY_LOCAL_MACHINE...",
               "Searching changes from category: HKEY_LOCAL_MACHINE...",
               "Scanning registry category: HKEY_CURRENT_USER...",
               "Searching changes from category: HKEY_CURRENT_USER...", "Scanning file system...",
               "Scanning file system... C:\\Scratch\\Mon", "Searching changes from file system...", "Detecting moved files..."}));
  EXPECT_EQ(window_.steps, 5 * EnabledTargetCount(settings_));  // both scans fill the bar
  EXPECT_EQ(AllChanges(tree_),
            Sorted("<K>\\NewKey|1, <K>\\NewKey\\|3, <K>\\Existing\\V|4, "
                   "<K>\\Existing\\Gone|5, <K>\\OldKey|2, <K>\\OldKey\\Inner|2, "
                   "<K>\\OldKey\\Inner\\x|5, <SharedDLLs>\\<F>\\shared.dll|6|01000000, "
                   "<SharedDLLs>\\<F>\\new.dll|6|01000000, <F>\\NewDir|7, <F>\\NewDir\\a.txt|9, "
                   "<F>\\new.dll|9, <F>\\keep.txt|10, <F>\\del.txt|11, <F>\\mv.txt|12, "
                   "<F>\\Sub\\mv.txt|13, <F>\\OldDir|8, <F>\\OldDir\\o.txt|11"));
  for (const char* name : {"HKLM.sns", "HKCU.sns", "FIS1.sns", "FIS2.sns"})
    EXPECT_FALSE(SnapshotExists(name)) << name;
}

// A hive whose saved copy cannot be read is walked instead, and the status
// line says so.
TEST_F(ScanWorkersTest, ASavedHiveThatCannotBeReadIsSaidAndWalked) {
  registry_.AppendToSavedFiles("\n[damaged");
  ASSERT_EQ(FirstScan(), ProgramState::kScanned);
  const auto said = [this] {
    return std::any_of(window_.statuses.begin(), window_.statuses.end(), [](const std::string& s) {
      return s.find("its saved copy cannot be read") != std::string::npos;
    });
  };
  EXPECT_TRUE(said());
  MakeInstallerChanges();
  window_.statuses.clear();
  EXPECT_EQ(Run(NewSecondScan()), ProgramState::kIdle);
  EXPECT_TRUE(said());
  const Strings changes = AllChanges(tree_);
  EXPECT_NE(std::find(changes.begin(), changes.end(), "<K>\\NewKey|1"), changes.end());
}

// The window saves its settings when it closes, in the middle of a
// monitoring; under the user's SID in HKEY_USERS that is still no change.
TEST_F(ScanWorkersTest, SavingTheSettingsDuringAMonitoringIsNoChange) {
  registry_.SetCurrentUserHive("S-1-5-21-9");
  settings_.scan_hku = true;
  settings_.scan_hkcu = false;
  ASSERT_TRUE(settings::SaveSettings(registry_, settings_));
  ASSERT_EQ(FirstScan(), ProgramState::kScanned);
  settings_.language = "Deutsch";
  settings_.other_folders += ";D:\\More";
  ASSERT_TRUE(settings::SaveSettings(registry_, settings_));
  settings_.other_folders = kBox;
  EXPECT_EQ(Run(NewSecondScan()), ProgramState::kIdle);
  EXPECT_EQ(AllChanges(tree_), Strings{});
}

// A target the installation creates shows as created with what it holds;
// the folders above it and the targets after it show nothing.
TEST_F(ScanWorkersTest, ATargetMissingBeforeTheInstallationIsTheOnlyThingCreated) {
  settings_.scan_hklm = settings_.scan_hkcu = false;
  settings_.other_folders = "C:\\Scratch\\New\\App;" + kBox;
  ASSERT_EQ(FirstScan(), ProgramState::kScanned);
  ASSERT_TRUE(fs_.CreateFolders("C:\\Scratch\\New\\App").ok());
  WriteFile("C:\\Scratch\\New\\App\\app.txt", "app");
  EXPECT_EQ(Run(NewSecondScan()), ProgramState::kIdle);
  EXPECT_EQ(AllChanges(tree_), Sorted("C:\\Scratch\\New|7, C:\\Scratch\\New\\App|7, "
                                      "C:\\Scratch\\New\\App\\app.txt|9"));
}

TEST_F(ScanWorkersTest, StopWhileTheFirstScanIsParked) {
  // The window's Stop once the first hive is under way: park the worker at
  // its next pause point, stop it and let it go. It cannot get past the
  // second hive's keys without reaching a pause point.
  bool asked = false;
  EXPECT_EQ(FirstScan([&](ScanWorker& worker) {
              if (asked || window_.statuses.empty()) return;
              asked = true;
              ASSERT_TRUE(worker.SafeSuspend());
              worker.RequestStop();
              worker.Resume();
            }),
            ProgramState::kStopRequested);
  EXPECT_TRUE(asked);
  EXPECT_LE(window_.steps, 1);  // a terminated thread makes no step
  EXPECT_LE(window_.statuses.size(), 2u);
  EXPECT_FALSE(SnapshotExists("FIS2.sns"));
}

// A "before" snapshot left over from an interrupted second scan gives way to
// the first scan's; comparing with it would report every file as created.
TEST_F(ScanWorkersTest, LeftoverBeforeSnapshotGivesWayToTheFirstScans) {
  ASSERT_EQ(FirstScan(), ProgramState::kScanned);
  WriteFile(std::string(kProgramFolder) + "\\FIS1.sns", "");
  EXPECT_EQ(Run(NewSecondScan()), ProgramState::kIdle);
  EXPECT_EQ(AllChanges(tree_), Strings{});
}

// Regression: a first scan that could not write a snapshot used to end as
// finished, sending the user on to install unmonitored.
TEST_F(ScanWorkersTest, FirstScanThatCannotSaveASnapshotFails) {
  fs_.FailNextWrite(3);
  EXPECT_EQ(FirstScan(), ProgramState::kFailed);
  ASSERT_FALSE(window_.statuses.empty());
  EXPECT_NE(window_.statuses.back().find("HKLM.sns"), std::string::npos) << window_.statuses.back();
  EXPECT_EQ(window_.steps, 0);
}

}  // namespace
}  // namespace cvn::snapshot
