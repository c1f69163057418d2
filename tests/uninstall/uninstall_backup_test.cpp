// Nothing lost: files changed since installation kept, the backup of every
// run put back by a restore, a run cut short after any of its platform
// changes finished or rolled back from its journal, and the dry run.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/platform_wrappers.h"
#include "tests/uninstall/uninstall_test_util.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_plan.h"

namespace cvn::uninstall::test {
namespace {

using platform::FileSystem;
using platform::Registry;
using platform::Status;

// The file system (the program folder left out) and the two hives as text.
std::string Dump(FileSystem& fs, Registry& registry) {
  std::string out;
  std::function<void(const std::string&)> folder = [&](const std::string& path) {
    std::unique_ptr<platform::FolderListing> listing;
    if (!fs.ListFolder(path, &listing).ok()) return;
    for (platform::FindEntry e; listing->Next(&e).ok();) {
      const std::string child = path + "\\" + e.name;
      if (e.name == "." || e.name == ".." || child == "C:\\Corvane") continue;
      if (e.attributes & platform::attr::kDirectory) {
        out += "D " + child + "\n";
        folder(child);
      } else {
        std::vector<uint8_t> data;
        fs.ReadFile(child, &data);
        out += "F " + child + " " + std::to_string(e.attributes) + " " +
               std::string(data.begin(), data.end()) + "\n";
      }
    }
  };
  folder("C:");
  std::function<void(RegKey&, const std::string&)> key = [&](RegKey& k, const std::string& path) {
    for (uint32_t i = 0;; ++i) {
      platform::RegValue v;
      if (!registry.EnumValue(k, i, Registry::kUnlimited, &v).ok()) break;
      out += "V " + path + "|" + v.name + " " + std::to_string(v.type) + " " +
             std::string(v.data.begin(), v.data.end()) + "\n";
    }
    for (uint32_t i = 0;; ++i) {
      std::string name;
      if (!registry.EnumKey(k, i, &name).ok()) break;
      std::unique_ptr<RegKey> sub;
      if (!registry.OpenSubKey(k, name, KeyAccess::kRead, &sub).ok()) continue;
      out += "K " + path + "\\" + name + "\n";
      key(*sub, path + "\\" + name);
    }
  };
  for (RootKey root : {RootKey::kCurrentUser, RootKey::kLocalMachine}) {
    std::unique_ptr<RegKey> k;
    if (platform::OpenRoot(registry, root, KeyAccess::kRead, &k).ok())
      key(*k, std::string(platform::RootKeyName(root)));
  }
  // Put back items come last in their folder: the order is not compared.
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(out.substr(at, end - at + 1));
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line;
  return sorted;
}

// Lets `budget` changes of the platform through, then none: the state a
// crash or a power cut at that point leaves.
struct Cut {
  size_t budget = SIZE_MAX;
  size_t used = 0;
  Status Take() {
    if (used == budget) return Status(platform::StatusCode::kIoError);
    ++used;
    return Status::Ok();
  }
};
#define CUT_THEN(call) \
  if (Status s = cut_.Take(); !s.ok()) return s; \
  return call
class CutFileSystem final : public platform::FileSystemWrapper {
 public:
  CutFileSystem(FileSystem& fs, Cut& cut) : FileSystemWrapper(fs), cut_(cut) {}
  Status SetAttributes(std::string_view p, uint32_t a) override {
    CUT_THEN(FileSystemWrapper::SetAttributes(p, a));
  }
  Status CreateFolder(std::string_view p) override { CUT_THEN(FileSystemWrapper::CreateFolder(p)); }
  Status RemoveFolder(std::string_view p) override { CUT_THEN(FileSystemWrapper::RemoveFolder(p)); }
  Status DeleteFile(std::string_view p) override { CUT_THEN(FileSystemWrapper::DeleteFile(p)); }
  Status MoveFile(std::string_view f, std::string_view t, bool r = false) override {
    CUT_THEN(FileSystemWrapper::MoveFile(f, t, r));
  }
  Status LinkFile(std::string_view f, std::string_view t) override {
    CUT_THEN(FileSystemWrapper::LinkFile(f, t));
  }
  Status WriteFile(std::string_view p, std::span<const uint8_t> d) override {
    CUT_THEN(FileSystemWrapper::WriteFile(p, d));
  }
  Status AppendFile(std::string_view p, std::span<const uint8_t> d, bool f) override {
    CUT_THEN(FileSystemWrapper::AppendFile(p, d, f));
  }

 private:
  Cut& cut_;
};
class CutRegistry final : public platform::RegistryWrapper {
 public:
  CutRegistry(Registry& r, Cut& cut) : RegistryWrapper(r), cut_(cut) {}
  Status CreateKey(RootKey root, std::string_view p, KeyAccess a, std::unique_ptr<RegKey>* out,
                   bool* created = nullptr) override {
    CUT_THEN(RegistryWrapper::CreateKey(root, p, a, out, created));
  }
  Status SetValue(RegKey& k, std::string_view n, uint32_t t, std::span<const uint8_t> d) override {
    CUT_THEN(RegistryWrapper::SetValue(k, n, t, d));
  }
  Status DeleteValue(RegKey& k, std::string_view n) override {
    CUT_THEN(RegistryWrapper::DeleteValue(k, n));
  }
  Status DeleteKey(RegKey& k, std::string_view p) override {
    CUT_THEN(RegistryWrapper::DeleteKey(k, p));
  }

 private:
  Cut& cut_;
};
class CutShell final : public platform::Shell {
 public:
  CutShell(platform::Shell& shell, Cut& cut) : shell_(shell), cut_(cut) {}
  Status RecycleFile(std::string_view p) override { CUT_THEN(shell_.RecycleFile(p)); }

 private:
  platform::Shell& shell_;
  Cut& cut_;
};

// An installation with a change of every kind an uninstall undoes.
class Installed : public UninstallTest {
 public:
  using UninstallTest::context, UninstallTest::fs, UninstallTest::kProgramFolder,
      UninstallTest::LinesEndingWith, UninstallTest::registry, UninstallTest::Run,
      UninstallTest::settings, UninstallTest::shell, UninstallTest::tree, UninstallTest::view;
  void TestBody() override {}
  Installed() {
    Created("C:\\App\\a.txt");
    Created("C:\\App\\Sub\\b.txt");
    AddItem(kFolderAdded, "C:\\App", "Sub");
    AddItem(kFolderAdded, "C:", "App");
    MakeKey(kHkcu, "Software\\App");
    CreatedValue(kHkcu, "Software\\App", "Name");
    // Written after the monitoring: it goes with its key, and comes back with it.
    SetValue(kHkcu, "Software\\App", "Later", kDword, DwordData(7));
    AddValue(kKeyAdded, kHkcu, "Software", "App");
    SetValue(kHkcu, "Software\\Old", "Setting", kSz, SzData("new"));
    AddValue(kValueChanged, kHkcu, "Software\\Old", "Setting", kSz, SzData("old"), SzData("new"));
    AddValue(kKeyDeleted, kHkcu, "Software", "Gone");
    AddValue(kValueDeleted, kHkcu, "Software\\Gone", "V", kBinary, Bytes("\1\2"), {});
    AddFile("C:\\Shared\\s.dll");
    SetValue(kHklm, kSharedDlls, "C:\\Shared\\s.dll", kDword, DwordData(1));
    AddCounter("C:\\Shared\\s.dll", kDword, DwordData(1));
    SaveArchive();
  }
  // Runs the engine on `p` as the wizard does; the item texts it logged.
  std::vector<std::string> RunOn(UninstallPlatform p, const std::string& continue_folder = {}) {
    view.texts.clear();
    bool ended = false;
    auto* engine = new Uninstaller(context, tree, p, log, view, clock, dispatcher, "App");
    if (!continue_folder.empty()) engine->ContinueBackup(continue_folder);
    engine->SetOnTerminate([&](threads::WorkerThread&) { ended = true; });
    engine->Start();
    while (!ended) dispatcher.WaitAndProcess(10);
    std::vector<std::string> items;
    for (const std::string& text : view.texts)
      if (text != kSummary) items.push_back(ItemOfLogLine(text));
    return items;
  }
  std::string State() { return Dump(fs, registry); }
};

TEST(UninstallBackupTest, RestorePutsBackWhatTheUninstallRemoved) {
  for (bool recycle : {false, true}) {
    SCOPED_TRACE(recycle ? "Recycle Bin" : "moved");
    Installed w;
    w.settings.use_recycle_bin = recycle;
    const std::string installed = w.State();
    w.Run();
    const std::string uninstalled = w.State();
    EXPECT_NE(uninstalled, installed);
    EXPECT_TRUE(HasUninstallBackup(w.fs, w.kProgramFolder, "App"));
    const RestoreReport report = RestoreLastUninstall(w.fs, w.registry, w.kProgramFolder, "App");
    EXPECT_TRUE(report.ok()) << ::testing::PrintToString(report.failures);
    EXPECT_EQ(w.State(), installed);
    EXPECT_FALSE(HasUninstallBackup(w.fs, w.kProgramFolder, "App"));
    EXPECT_FALSE(RestoreLastUninstall(w.fs, w.registry, w.kProgramFolder, "App").found);
  }
}

TEST(UninstallBackupTest, AFileChangedSinceInstallationIsKeptWithItsFolders) {
  for (int run = 0; run < 4; ++run) {
    const bool delete_changed = run & 1, recycle = run & 2;
    SCOPED_TRACE(std::string(delete_changed ? "changed files deleted" : "changed files kept") +
                 (recycle ? ", Recycle Bin" : ""));
    Installed w;
    w.settings.delete_changed = delete_changed;
    w.settings.use_recycle_bin = recycle;
    ASSERT_TRUE(w.fs.AddFile("C:\\App\\Sub\\b.txt", "edited").ok());
    w.Run();
    EXPECT_EQ(w.fs.Exists("C:\\App\\Sub\\b.txt"), !delete_changed);
    EXPECT_FALSE(w.fs.Exists("C:\\App\\a.txt"));
    const auto kept = w.LinesEndingWith("KEPT (changed since installation)");
    if (delete_changed) {
      EXPECT_TRUE(kept.empty());
      EXPECT_FALSE(w.fs.Exists("C:\\App"));
      EXPECT_TRUE(RestoreLastUninstall(w.fs, w.registry, w.kProgramFolder, "App").ok());
      std::vector<uint8_t> data;
      ASSERT_TRUE(w.fs.ReadFile("C:\\App\\Sub\\b.txt", &data).ok());
      EXPECT_EQ(data, Bytes("edited"));
      continue;
    }
    EXPECT_EQ(kept, Strings("DELETING FILE: C:\\App\\Sub\\b.txt ... KEPT (changed since installation)"));
    EXPECT_EQ(w.LinesEndingWith("KEPT (holds a file changed since installation)"),
              Strings("DELETING FOLDER: C:\\App\\Sub ... KEPT (holds a file changed since installation)",
                      "DELETING FOLDER: C:\\App ... KEPT (holds a file changed since installation)"));
    EXPECT_EQ(w.LinesEndingWith(kSummary).size(), 1u);  // kept files are no errors
  }
}

TEST(UninstallBackupTest, DryRunListsTheRealRunsItemsAndChangesNothing) {
  Installed w;
  const std::string installed = w.State();
  const std::vector<std::string> planned =
      ListUninstallActions(w.settings, w.context.loaded_change_counts, w.tree,
                           {w.registry, w.fs, w.shell}, w.kProgramFolder, "App");
  EXPECT_EQ(w.State(), installed);
  EXPECT_EQ(w.fs.Exists("C:\\Corvane\\Backups"), false);
  EXPECT_EQ(planned.size(), 11u);
  EXPECT_EQ(w.RunOn({w.registry, w.fs, w.shell}), planned);
}

// The run is cut after each of its platform changes in turn; finishing or
// rolling back from the journal then leaves the uninstalled or the installed
// state, and a finished run can still be restored whole.
TEST(UninstallBackupTest, ARunCutAnywhereIsFinishedOrRolledBack) {
  std::string installed, uninstalled;
  size_t changes = 0;
  {
    Installed w;
    installed = w.State();
    Cut cut;
    CutFileSystem fs(w.fs, cut);
    CutRegistry registry(w.registry, cut);
    CutShell shell(w.shell, cut);
    w.RunOn({registry, fs, shell});
    changes = cut.used;
    uninstalled = w.State();
  }
  ASSERT_GT(changes, 20u);
  for (size_t at = 0; at < changes; ++at) {
    for (bool finish : {true, false}) {
      SCOPED_TRACE("cut after " + std::to_string(at) + (finish ? ", finished" : ", rolled back"));
      Installed w;
      Cut cut{at};
      CutFileSystem fs(w.fs, cut);
      CutRegistry registry(w.registry, cut);
      CutShell shell(w.shell, cut);
      w.RunOn({registry, fs, shell});
      const std::vector<UnfinishedUninstall> unfinished =
          FindUnfinishedUninstalls(w.fs, w.kProgramFolder);
      ASSERT_LE(unfinished.size(), 1u);
      if (finish) {
        // A run cut after its end needs no finishing.
        if (!unfinished.empty() || !HasUninstallBackup(w.fs, w.kProgramFolder, "App"))
          w.RunOn({w.registry, w.fs, w.shell}, unfinished.empty() ? "" : unfinished[0].folder);
        EXPECT_EQ(w.State(), uninstalled);
        EXPECT_TRUE(FindUnfinishedUninstalls(w.fs, w.kProgramFolder).empty());
        // Everything removed, before the cut or after, is in the backup.
        EXPECT_TRUE(RestoreLastUninstall(w.fs, w.registry, w.kProgramFolder, "App").ok());
      } else if (!unfinished.empty()) {
        EXPECT_TRUE(PutBackAndRemove(w.fs, w.registry, unfinished[0].folder).ok());
      } else if (HasUninstallBackup(w.fs, w.kProgramFolder, "App")) {
        // Cut after its end: the run is undone as a whole.
        EXPECT_TRUE(RestoreLastUninstall(w.fs, w.registry, w.kProgramFolder, "App").ok());
      }
      EXPECT_EQ(w.State(), installed);
    }
  }
}

// A damaged line (data that is not hexadecimal digits) and a line cut short
// by a power cut are left out; the lines around them are read.
TEST(UninstallBackupTest, JournalIgnoresADamagedLineAndALineCutShort) {
  platform::MemoryFileSystem fs;
  auto backup = UninstallBackup::Create(fs, "C:\\P", "App", changes::MakeDateTime(2026, 1, 2));
  ASSERT_TRUE(backup);
  EXPECT_EQ(backup->Folder(), "C:\\P\\Backups\\App\\20260102-000000");
  platform::RegValue value{"a\tb%", kSz, SzData("x\ny")};
  const auto n = backup->SaveValue(0x80000001u, "Soft\\K", value.name, &value);
  ASSERT_TRUE(n);
  backup->Done(*n);
  ASSERT_TRUE(backup->SaveFolder("C:\\Dir"));
  const std::string torn =
      "value\t7\t2147483649\tSoft\\K\tw\t1\tZZ\nvalue\t8\t2147483649\tSoft\\K\tw\t1\t123\n"
      "folder\t3\tC:\\Cut";
  ASSERT_TRUE(fs.AppendFile(backup->Folder() + "\\manifest.txt",
                            std::span(reinterpret_cast<const uint8_t*>(torn.data()), torn.size()),
                            true)
                  .ok());
  Journal journal;
  ASSERT_TRUE(ReadJournal(fs, backup->Folder(), &journal));
  EXPECT_FALSE(journal.finished);
  ASSERT_EQ(journal.entries.size(), 2u);
  EXPECT_TRUE(journal.entries[0].done && journal.entries[0].name == value.name &&
              journal.entries[0].data == value.data && journal.entries[0].key == "Soft\\K");
  EXPECT_FALSE(journal.entries[1].done);
  EXPECT_EQ(journal.entries[1].path, "C:\\Dir");
}

TEST(UninstallBackupTest, PruningRemovesOldAndLargeBackupsButNeverTheNewest) {
  platform::MemoryFileSystem fs;
  for (int day : {1, 10, 20, 28}) {
    auto backup = UninstallBackup::Create(fs, "C:\\P", day % 20 ? "A" : "B",
                                          changes::MakeDateTime(2026, 1, day));
    ASSERT_TRUE(fs.AddFile(backup->Folder() + "\\files\\1", std::string(1000, 'x')).ok());
    backup->End();
  }
  const double now = changes::MakeDateTime(2026, 2, 1);
  auto remaining = [&] {
    return BackupFolders(fs, "C:\\P", "A").size() + BackupFolders(fs, "C:\\P", "B").size();
  };
  EXPECT_EQ(PruneBackups(fs, "C:\\P", now, 30, 1 << 20), 1u);  // the one of day 1
  EXPECT_EQ(PruneBackups(fs, "C:\\P", now, 30, 2500), 1u);     // day 10: 3000 bytes > 2500
  EXPECT_EQ(PruneBackups(fs, "C:\\P", now, 0, 0), 1u);         // day 20; day 28 is the newest
  EXPECT_EQ(remaining(), 1u);
  EXPECT_EQ(BackupFolders(fs, "C:\\P", "A").back(), "C:\\P\\Backups\\A\\20260128-000000");
}

}  // namespace
}  // namespace cvn::uninstall::test
