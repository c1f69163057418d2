// The uninstall engine on the in-memory platform: its phases, the action
// and outcome of every kind, and the end of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "tests/uninstall/uninstall_test_util.h"

namespace cvn::uninstall::test {
namespace {

using changes::nkFileAdded;
using changes::nkFolderAdded;
using changes::nkKeyAdded;
using changes::nkKeyDeleted;
using changes::nkValueAdded;
using changes::nkValueChanged;
using changes::nkValueDeleted;
using platform::regtype::kBinary;
using platform::regtype::kDword;
using platform::regtype::kSz;

const char kSummary[] = "Uninstall complete without errors";

class DezinstalerTest : public UninstallTest {};

TEST_F(DezinstalerTest, PhasesRunInTheirFixedOrder) {
  SaveArchive();
  Run();
  EXPECT_EQ(view.statuses,
            Strings("Deleting registry values...", "Deleting registry keys...",
                    "Restoring registry values...", "Creating registry keys...",
                    "Creating registry values...", "Deleting files...",
                    "Updating shared files counters...", "Deleting unused shared files...",
                    "Deleting folders...", "Uninstall complete."));
  EXPECT_EQ(view.Texts(), Strings(kSummary));
  EXPECT_EQ(view.lines[0].color, LogClassColor(lcSummary));
}

TEST_F(DezinstalerTest, EverySettingOffRunsNoPhaseAndStillStampsTheArchive) {
  MakeKey(RootKey::kCurrentUser, "Software\\App");
  SetValue(RootKey::kCurrentUser, "Software\\Other", "v", kSz, SzData("new"));
  AddFile("C:\\App\\a.txt");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "App");
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\Other", "v", kSz, {}, SzData("new"));
  AddValue(nkValueChanged, RootKey::kCurrentUser, "Software\\Other", "v", kSz, SzData("old"),
           SzData("new"));
  AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software", "Gone");
  AddValue(nkValueDeleted, RootKey::kCurrentUser, "Software\\Other", "w", kSz, SzData("w"), {});
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(nkFileAdded, "C:\\App", "a.txt");
  AddCounter("C:\\App\\a.txt", kDword, DwordData(1));
  SaveArchive();
  settings.DeleteValues = settings.DeleteKey = settings.RestoreValues = settings.CreateKey =
      settings.CreateValues = settings.DeleteFiles = settings.DecSharedCounter =
          settings.DeleteFolders = false;

  EXPECT_EQ(Run(), snapshot::psIdle);

  EXPECT_EQ(view.statuses, Strings("Uninstall complete."));
  EXPECT_EQ(view.progress_max, 0u);
  EXPECT_EQ(view.steps, 0);
  EXPECT_EQ(view.Texts(), Strings(kSummary));
  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software\\App"));
  EXPECT_FALSE(KeyExists(RootKey::kCurrentUser, "Software\\Gone"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\Other", "v").data, SzData("new"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\Other", "w").type, platform::regtype::kNone);
  EXPECT_TRUE(fs.Exists("C:\\App\\a.txt"));
  EXPECT_EQ(Header().uses, 1u);
  EXPECT_EQ(Header().last_used, clock.now);
  EXPECT_EQ(context.ProgramState, snapshot::psUninstalled);
}

TEST_F(DezinstalerTest, EachPhaseFollowsItsOwnSetting) {
  SetValue(RootKey::kCurrentUser, "Software\\X", "added", kSz, SzData("a"));
  SetValue(RootKey::kCurrentUser, "Software\\X", "changed", kSz, SzData("after"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "added", kSz, {}, SzData("a"));
  AddValue(nkValueChanged, RootKey::kCurrentUser, "Software\\X", "changed", kSz, SzData("before"),
           SzData("after"));
  SaveArchive();
  settings.DeleteValues = false;

  Run();

  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "added").data, SzData("a"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "changed").data, SzData("before"));
  EXPECT_EQ(view.statuses.front(), "Deleting registry keys...");
  EXPECT_EQ(view.Texts(),
            Strings("RESTORING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\changed ... Ok",
                    kSummary));
}

TEST_F(DezinstalerTest, CreatedValuesAreDeletedAndMissingOnesAreWarnings) {
  SetValue(RootKey::kCurrentUser, "Software\\X", "named", kDword, DwordData(5));
  SetValue(RootKey::kCurrentUser, "Software\\X", "", kSz, SzData("default"));
  MakeKey(RootKey::kCurrentUser, "Software\\Y");  // no default value set
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "named", kDword, {}, DwordData(5));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "", kSz, {}, SzData("default"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "gone", kSz, {}, SzData("g"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\Y", "", kSz, {}, SzData("d"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\Missing", "v", kSz, {}, SzData("m"));
  SaveArchive();

  Run();

  EXPECT_EQ(
      view.Texts(),
      Strings(
          "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\named ... Ok",
          "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\(Default) ... Ok",
          "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\gone ... FAILS (not found)",
          "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\Y\\(Default) ... FAILS (not "
          "found)",
          "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\Missing\\v ... FAILS (not found)",
          kSummary));
  EXPECT_EQ(view.lines[2].color, LogClassColor(lcWarning));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "named").type, platform::regtype::kNone);
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "").type, platform::regtype::kNone);
  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software\\X"));
}

TEST_F(DezinstalerTest, CreatedKeysGoSubkeysFirst) {
  MakeKey(RootKey::kCurrentUser, "Software\\App\\Sub");
  SetValue(RootKey::kCurrentUser, "Software\\App", "v", kSz, SzData("x"));
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "App");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software\\App", "Sub");
  SaveArchive();

  Run();

  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App\\Sub ... Ok",
                    "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App ... Ok", kSummary));
  EXPECT_FALSE(KeyExists(RootKey::kCurrentUser, "Software\\App"));
  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software"));
}

TEST_F(DezinstalerTest, KeyWithASubkeyCreatedAfterMonitoringStays) {
  MakeKey(RootKey::kCurrentUser, "Software\\App\\Later");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "App");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "Gone");
  SaveArchive();

  EXPECT_EQ(Run(), snapshot::psIdle);

  EXPECT_EQ(
      view.Texts(),
      Strings("DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App ... ERROR (has sub-keys)",
              "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Gone ... FAILS (not found)"));
  EXPECT_EQ(view.lines[0].color, LogClassColor(lcError));
  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software\\App\\Later"));
  EXPECT_EQ(Header().uses, 1u);
}

TEST_F(DezinstalerTest, KeyThatCannotBeOpenedIsAnErrorNotAnAbsence) {
  MakeKey(RootKey::kCurrentUser, "Software\\Locked");
  registry.DenyOpen(RootKey::kCurrentUser, "Software\\Locked");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "Locked");
  SaveArchive();

  Run();

  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Locked ... ERROR"));
}

TEST_F(DezinstalerTest, ChangedValuesGetTheirDataAndTypeBack) {
  SetValue(RootKey::kLocalMachine, "Software\\X", "v", kSz, SzData("after"));
  SetValue(RootKey::kLocalMachine, "Software\\X", "", kDword, DwordData(9));
  AddValue(nkValueChanged, RootKey::kLocalMachine, "Software\\X", "v", kBinary, {1, 0, 2},
           SzData("after"));
  AddValue(nkValueChanged, RootKey::kLocalMachine, "Software\\X", "", kSz, SzData("old"),
           DwordData(9));
  SaveArchive();

  Run();

  const platform::RegValue v = Value(RootKey::kLocalMachine, "Software\\X", "v");
  EXPECT_EQ(v.type, kBinary);
  EXPECT_EQ(v.data, (std::vector<uint8_t>{1, 0, 2}));
  EXPECT_EQ(Value(RootKey::kLocalMachine, "Software\\X", "").data, SzData("old"));
  EXPECT_EQ(view.Texts(),
            Strings("RESTORING REGISTRY VALUE: HKEY_LOCAL_MACHINE\\Software\\X\\v ... Ok",
                    "RESTORING REGISTRY VALUE: HKEY_LOCAL_MACHINE\\Software\\X\\(Default) ... Ok",
                    kSummary));
}

TEST_F(DezinstalerTest, ChangedValueDeletedSinceIsNotRecreated) {
  MakeKey(RootKey::kCurrentUser, "Software\\X");
  AddValue(nkValueChanged, RootKey::kCurrentUser, "Software\\X", "v", kSz, SzData("old"),
           SzData("new"));
  AddValue(nkValueChanged, RootKey::kCurrentUser, "Software\\NoKey", "v", kSz, SzData("old"),
           SzData("new"));
  SaveArchive();

  Run();

  EXPECT_EQ(
      view.Texts(),
      Strings(
          "RESTORING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\v ... FAILS (not found)",
          "RESTORING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\NoKey\\v ... FAILS (not found)",
          kSummary));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "v").type, platform::regtype::kNone);
  EXPECT_FALSE(KeyExists(RootKey::kCurrentUser, "Software\\NoKey"));
}

TEST_F(DezinstalerTest, DeletedKeysAndValuesAreRecreated) {
  MakeKey(RootKey::kCurrentUser, "Software");
  AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software", "Old");
  AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software\\Old", "Inner");
  AddValue(nkValueDeleted, RootKey::kCurrentUser, "Software\\Old\\Inner", "x", kDword, DwordData(7),
           {});
  AddValue(nkValueDeleted, RootKey::kCurrentUser, "Software\\Old", "", kSz, SzData("d"), {});
  AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software\\Deep\\Path", "Key");
  SaveArchive();

  Run();

  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software\\Deep\\Path\\Key"));
  const platform::RegValue x = Value(RootKey::kCurrentUser, "Software\\Old\\Inner", "x");
  EXPECT_EQ(x.type, kDword);
  EXPECT_EQ(x.data, DwordData(7));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\Old", "").data, SzData("d"));
  EXPECT_EQ(view.Texts(),
            Strings("CREATING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Old\\Inner ... Ok",
                    "CREATING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Old ... Ok",
                    "CREATING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Deep\\Path\\Key ... Ok",
                    "CREATING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\Old\\Inner\\x ... Ok",
                    "CREATING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\Old\\(Default) ... Ok",
                    kSummary));
}

TEST_F(DezinstalerTest, RegistryWriteFailuresAreErrors) {
  MakeKey(RootKey::kCurrentUser, "Software\\X");
  AddValue(nkValueDeleted, RootKey::kCurrentUser, "Software\\X", "v", kSz, SzData("v"), {});
  AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software", "K");
  SaveArchive();
  registry.FailChanges(0, 2);

  Run();

  EXPECT_EQ(view.Texts(),
            Strings("CREATING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\K ... ERROR",
                    "CREATING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\v ... ERROR"));
}

TEST_F(DezinstalerTest, CreatedFilesGoToTheRecycleBin) {
  AddFile("C:\\App\\a.txt");
  AddFile("C:\\App\\hidden.txt");
  AddFile("C:\\App\\readonly.txt");
  ASSERT_TRUE(
      fs.SetAttributes("C:\\App\\hidden.txt", platform::attr::kHidden | platform::attr::kSystem)
          .ok());
  ASSERT_TRUE(fs.SetAttributes("C:\\App\\readonly.txt", platform::attr::kReadOnly).ok());
  AddItem(nkFileAdded, "C:\\App", "a.txt");
  AddItem(nkFileAdded, "C:\\App", "hidden.txt");
  AddItem(nkFileAdded, "C:\\App", "readonly.txt");
  AddItem(nkFileAdded, "C:\\App", "missing.txt");
  SaveArchive();

  Run();

  EXPECT_EQ(shell.Recycled(),
            Strings("C:\\App\\a.txt", "C:\\App\\hidden.txt", "C:\\App\\readonly.txt"));
  EXPECT_EQ(
      view.Texts(),
      Strings("DELETING FILE: C:\\App\\a.txt ... Ok", "DELETING FILE: C:\\App\\hidden.txt ... Ok",
              "DELETING FILE: C:\\App\\readonly.txt ... Ok",
              "DELETING FILE: C:\\App\\missing.txt ... FAILS (not found)", kSummary));
}

TEST_F(DezinstalerTest, WithoutTheRecycleBinFilesAreDeleted) {
  AddFile("C:\\App\\readonly.txt");
  ASSERT_TRUE(fs.SetAttributes("C:\\App\\readonly.txt", platform::attr::kReadOnly).ok());
  AddItem(nkFileAdded, "C:\\App", "readonly.txt");
  SaveArchive();
  settings.UseRecycled = false;

  Run();

  EXPECT_FALSE(fs.Exists("C:\\App\\readonly.txt"));
  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(view.Texts(), Strings("DELETING FILE: C:\\App\\readonly.txt ... Ok", kSummary));
}

TEST_F(DezinstalerTest, FileInUseStaysWithItsAttributesAndKeepsItsFolder) {
  AddFile("C:\\App\\used.dll");
  AddFile("C:\\App\\free.txt");
  ASSERT_TRUE(fs.SetAttributes("C:\\App\\used.dll", platform::attr::kReadOnly).ok());
  fs.LockFile("C:\\App\\used.dll");
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(nkFileAdded, "C:\\App", "used.dll");
  AddItem(nkFileAdded, "C:\\App", "free.txt");
  SaveArchive();

  for (bool recycle : {true, false}) {
    SCOPED_TRACE(recycle ? "recycled" : "deleted");
    settings.UseRecycled = recycle;
    Run();
    EXPECT_TRUE(fs.Exists("C:\\App\\used.dll"));
    EXPECT_EQ(fs.GetAttributes("C:\\App\\used.dll"), platform::attr::kReadOnly);
    EXPECT_FALSE(fs.Exists("C:\\App\\free.txt"));
    EXPECT_EQ(LinesEndingWith("ERROR (in use)"),
              Strings("DELETING FILE: C:\\App\\used.dll ... ERROR (in use)"));
    EXPECT_EQ(LinesEndingWith("ERROR (not empty)"),
              Strings("DELETING FOLDER: C:\\App ... ERROR (not empty)"));
    EXPECT_EQ(LinesEndingWith(kSummary), Strings());
  }
}

TEST_F(DezinstalerTest, CreatedFoldersGoAfterTheirFiles) {
  AddFile("C:\\App\\Sub\\a.txt");
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(nkFolderAdded, "C:\\App", "Sub");
  AddItem(nkFileAdded, "C:\\App\\Sub", "a.txt");
  AddItem(nkFolderAdded, "C:", "Never");
  SaveArchive();

  Run();

  EXPECT_FALSE(fs.Exists("C:\\App"));
  EXPECT_TRUE(fs.Exists("C:\\Windows"));
  EXPECT_EQ(view.Texts(),
            Strings("DELETING FILE: C:\\App\\Sub\\a.txt ... Ok",
                    "DELETING FOLDER: C:\\App\\Sub ... Ok", "DELETING FOLDER: C:\\App ... Ok",
                    "DELETING FOLDER: C:\\Never ... FAILS (not found)", kSummary));
}

TEST_F(DezinstalerTest, FolderHoldingAFileMadeAfterMonitoringStays) {
  AddFile("C:\\App\\mine.txt");
  AddItem(nkFolderAdded, "C:", "App");
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\mine.txt"));
  EXPECT_EQ(view.Texts(), Strings("DELETING FOLDER: C:\\App ... ERROR (not empty)"));
}

// A created file replaced by a folder since: the folder is not the file,
// and sending it to the Recycle Bin would take its contents along.
TEST_F(DezinstalerTest, FolderInTheFilesPlaceIsNotDeleted) {
  AddFile("C:\\App\\data\\keep.txt");
  AddFile("C:\\App\\file");
  AddItem(nkFileAdded, "C:\\App", "data");
  AddItem(nkFolderAdded, "C:\\App", "file");
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\data\\keep.txt"));
  EXPECT_TRUE(fs.Exists("C:\\App\\file"));
  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(view.Texts(),
            Strings("DELETING FILE: C:\\App\\data ... FAILS (not found)",
                    "DELETING FOLDER: C:\\App\\file ... FAILS (not found)", kSummary));
}

// Names a scan never records, as a damaged archive could hold them, would
// name the folder itself or the one above it.
TEST_F(DezinstalerTest, NamesThatPointOutsideTheirFolderAreNotFollowed) {
  ASSERT_TRUE(fs.CreateFolders("C:\\Empty\\Inner").ok());
  AddItem(nkFolderAdded, "C:\\Empty\\Inner", "..");
  AddItem(nkFolderAdded, "C:\\Empty\\Inner", "");
  AddItem(nkFolderAdded, "C:\\Empty\\Inner", ".");
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\Empty\\Inner"));
  EXPECT_EQ(LinesEndingWith("FAILS (not found)").size(), 3u);
}

TEST_F(DezinstalerTest, OnlyCheckedNodesAreActedOn) {
  MakeKey(RootKey::kCurrentUser, "Software\\A");
  MakeKey(RootKey::kCurrentUser, "Software\\B");
  SetValue(RootKey::kCurrentUser, "Software\\V", "a", kSz, SzData("1"));
  SetValue(RootKey::kCurrentUser, "Software\\V", "b", kSz, SzData("2"));
  SetValue(RootKey::kCurrentUser, "Software\\V", "c", kSz, SzData("new"));
  AddFile("C:\\App\\keep.txt");
  AddFile("C:\\App\\go.txt");
  AddFile("C:\\Other\\keep.txt");
  const NodeId key_a = AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "A");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "B");
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\V", "a", kSz, {}, SzData("1"));
  const NodeId value_b =
      AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\V", "b", kSz, {}, SzData("2"));
  const NodeId value_c = AddValue(nkValueChanged, RootKey::kCurrentUser, "Software\\V", "c", kSz,
                                  SzData("old"), SzData("new"));
  const NodeId deleted = AddKey(nkKeyDeleted, RootKey::kCurrentUser, "Software", "WasThere");
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(nkFileAdded, "C:\\App", "go.txt");
  const NodeId keep = AddItem(nkFileAdded, "C:\\App", "keep.txt");
  const NodeId other = AddItem(nkFileAdded, "C:\\Other", "keep.txt");
  SaveArchive();
  tree.SetCheckState(key_a, false);
  tree.SetCheckState(value_b, false);
  tree.SetCheckState(value_c, false);
  tree.SetCheckState(deleted, false);
  tree.SetCheckState(other, false);
  tree.SetCheckState(keep, false);  // unchecks the folder App too
  ASSERT_FALSE(tree.IsChecked(tree.Parent(keep)));

  Run();

  EXPECT_TRUE(KeyExists(RootKey::kCurrentUser, "Software\\A"));
  EXPECT_FALSE(KeyExists(RootKey::kCurrentUser, "Software\\B"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\V", "a").type, platform::regtype::kNone);
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\V", "b").data, SzData("2"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\V", "c").data, SzData("new"));
  EXPECT_FALSE(KeyExists(RootKey::kCurrentUser, "Software\\WasThere"));
  EXPECT_TRUE(fs.Exists("C:\\App\\keep.txt"));
  EXPECT_FALSE(fs.Exists("C:\\App\\go.txt"));
  EXPECT_TRUE(fs.Exists("C:\\Other\\keep.txt"));
  EXPECT_EQ(shell.Recycled(), Strings("C:\\App\\go.txt"));
  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\V\\a ... Ok",
                    "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\B ... Ok",
                    "DELETING FILE: C:\\App\\go.txt ... Ok", kSummary));
  // Unchecked nodes still count as progress.
  EXPECT_EQ(view.steps, 10);
  EXPECT_EQ(view.progress_max, 10u);
}

TEST_F(DezinstalerTest, ChangesOfOtherKindsAreNeverActedOn) {
  AddFile("C:\\App\\changed.txt");
  AddFile("C:\\App\\moved.txt");
  ASSERT_TRUE(fs.CreateFolders("C:\\App\\OldDir").ok());
  AddItem(changes::nkFileChanged, "C:\\App", "changed.txt");
  AddItem(changes::nkFileMovedTo, "C:\\App", "moved.txt");
  AddItem(changes::nkFolderDeleted, "C:\\App", "OldDir");
  AddItem(changes::nkFileDeleted, "C:\\App", "deleted.txt");
  SaveArchive();
  for (NodeId n = tree.Top(); n != changes::kNoNode; n = tree.NextInSubtree(n, tree.Top()))
    tree.SetCheckState(n, true);

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\changed.txt"));
  EXPECT_TRUE(fs.Exists("C:\\App\\moved.txt"));
  EXPECT_TRUE(fs.Exists("C:\\App\\OldDir"));
  EXPECT_FALSE(fs.Exists("C:\\App\\deleted.txt"));
  EXPECT_EQ(view.Texts(), Strings(kSummary));
}

TEST_F(DezinstalerTest, SecondRunGivesOnlyWarningsAndCountsAnotherUse) {
  MakeKey(RootKey::kCurrentUser, "Software\\App");
  SetValue(RootKey::kCurrentUser, "Software\\X", "v", kSz, SzData("x"));
  AddFile("C:\\App\\a.txt");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "App");
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "v", kSz, {}, SzData("x"));
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(nkFileAdded, "C:\\App", "a.txt");
  SaveArchive();

  Run();
  EXPECT_EQ(LinesEndingWith("... Ok").size(), 4u);
  EXPECT_EQ(Header().uses, 1u);

  clock.now += 1.5;
  Run();
  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\v ... FAILS "
                    "(not found)",
                    "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\App ... FAILS (not "
                    "found)",
                    "DELETING FILE: C:\\App\\a.txt ... FAILS (not found)",
                    "DELETING FOLDER: C:\\App ... FAILS (not found)", kSummary));
  EXPECT_EQ(Header().uses, 2u);
  EXPECT_EQ(Header().last_used, clock.now);
}

TEST_F(DezinstalerTest, ProgressCountsTheLoadedChangesOfPhasesThatAreOn) {
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "A");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "B");
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software", "v", kSz, {}, SzData("x"));
  AddItem(nkFileAdded, "C:\\App", "a.txt");
  AddItem(nkFolderAdded, "C:", "App");
  AddItem(changes::nkFileChanged, "C:\\App", "b.txt");
  SaveArchive();
  settings.DeleteKey = false;

  Run();

  EXPECT_EQ(view.progress_max, 3u);
  EXPECT_EQ(view.steps, 3);
}

TEST_F(DezinstalerTest, CleanRunWithAutoDelCvnSendsTheArchiveToTheRecycleBin) {
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "v", kSz, {}, SzData("x"));
  SaveArchive();
  settings.AutoDelCvn = true;

  Run();

  EXPECT_EQ(shell.Recycled(), Strings("C:\\Corvane\\App.cvn"));
  EXPECT_FALSE(fs.Exists("C:\\Corvane\\App.cvn"));
  EXPECT_EQ(context.CurrentIdentifier, "App");
}

TEST_F(DezinstalerTest, RunWithErrorsKeepsTheArchiveDespiteAutoDelCvn) {
  MakeKey(RootKey::kCurrentUser, "Software\\A\\Later");
  AddKey(nkKeyAdded, RootKey::kCurrentUser, "Software", "A");
  SaveArchive();
  settings.AutoDelCvn = true;

  Run();

  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(Header().uses, 1u);
}

TEST_F(DezinstalerTest, ArchiveThatCannotBeRecycledIsStampedInstead) {
  SaveArchive();
  settings.AutoDelCvn = true;
  fs.LockFile("C:\\Corvane\\App.cvn");

  Run();

  EXPECT_EQ(view.Texts(), Strings(kSummary));
  EXPECT_TRUE(fs.Exists("C:\\Corvane\\App.cvn"));
  EXPECT_EQ(context.ProgramState, snapshot::psUninstalled);
}

TEST_F(DezinstalerTest, MissingArchiveDoesNotSpoilTheRun) {
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "v", kSz, {}, SzData("x"));
  SetValue(RootKey::kCurrentUser, "Software\\X", "v", kSz, SzData("x"));

  EXPECT_EQ(Run(), snapshot::psIdle);

  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\v ... Ok", kSummary));
  EXPECT_FALSE(fs.Exists("C:\\Corvane\\App.cvn"));
}

// The main window stops the engine as the wizard does: it parks the worker
// at its pause point, the user says Yes, and the worker is let go.
TEST_F(DezinstalerTest, StopInTheMiddleEndsWithoutSummaryAndStillStamps) {
  for (const char* name : {"a", "b", "c", "d"}) {
    SetValue(RootKey::kCurrentUser, "Software\\X", name, kSz, SzData(name));
    AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", name, kSz, {}, SzData(name));
  }
  AddFile("C:\\App\\a.txt");
  AddItem(nkFileAdded, "C:\\App", "a.txt");
  SaveArchive();
  bool stop_wanted = false;
  view.on_step = [&](int step) { stop_wanted = step == 2; };

  const uint8_t state = Run([&](TDezinstaler& engine) {
    if (!stop_wanted) return;
    stop_wanted = false;
    ASSERT_TRUE(engine.SafeSuspend());
    context.ProgramState = snapshot::psStopRequested;
    engine.Terminate();
    engine.Resume();
  });

  EXPECT_EQ(state, snapshot::psStopRequested);
  // The item whose step asked for the stop is finished; nothing after it.
  EXPECT_EQ(view.Texts(),
            Strings("DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\a ... Ok",
                    "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\b ... Ok"));
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "c").data, SzData("c"));
  EXPECT_TRUE(fs.Exists("C:\\App\\a.txt"));
  EXPECT_EQ(view.statuses.back(), "Uninstall stopped.");
  EXPECT_EQ(std::count(view.statuses.begin(), view.statuses.end(), "Deleting files..."), 0);
  EXPECT_EQ(Header().uses, 1u);
  EXPECT_EQ(context.ProgramState, snapshot::psUninstalled);
}

TEST_F(DezinstalerTest, UnexpectedFailureEndsTheRunAsIncomplete) {
  SetValue(RootKey::kCurrentUser, "Software\\X", "a", kSz, SzData("a"));
  SetValue(RootKey::kCurrentUser, "Software\\X", "b", kSz, SzData("b"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "a", kSz, {}, SzData("a"));
  AddValue(nkValueAdded, RootKey::kCurrentUser, "Software\\X", "b", kSz, {}, SzData("b"));
  SaveArchive();
  settings.AutoDelCvn = true;
  view.on_step = [](int) { throw std::runtime_error("the window is gone"); };

  EXPECT_EQ(Run(), snapshot::psIdle);

  EXPECT_EQ(view.Texts(), Strings());
  EXPECT_EQ(Value(RootKey::kCurrentUser, "Software\\X", "b").data, SzData("b"));
  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(Header().uses, 1u);
}

TEST_F(DezinstalerTest, EndOfRunGivesTheWindowItsControlsBack) {
  Run();
  EXPECT_EQ(view.ended, 1);
  EXPECT_EQ(view.exit_caption, "E&xit");
}

TEST(ExpandLongPathTest, GivesTheLongNameOrNothing) {
  platform::MemoryFileSystem fs;
  ASSERT_TRUE(fs.AddFile("C:\\Dir\\file.txt", "x").ok());
  EXPECT_EQ(ExpandLongPath(fs, "C:\\Dir\\file.txt"), "C:\\Dir\\file.txt");
  EXPECT_EQ(ExpandLongPath(fs, "C:\\Dir\\none.txt"), "");
}

TEST(RecycleFileTest, SucceedsOnlyForWhatExistedAndIsGone) {
  platform::MemoryFileSystem fs;
  platform::MemoryShell shell(fs);
  ASSERT_TRUE(fs.AddFile("C:\\Dir\\file.txt", "x").ok());
  ASSERT_TRUE(fs.AddFile("C:\\Dir\\used.txt", "x").ok());
  fs.LockFile("C:\\Dir\\used.txt");
  EXPECT_TRUE(RecycleFile(fs, shell, "C:\\Dir\\file.txt"));
  EXPECT_FALSE(RecycleFile(fs, shell, "C:\\Dir\\file.txt"));
  EXPECT_FALSE(RecycleFile(fs, shell, "C:\\Dir\\used.txt"));
  EXPECT_TRUE(fs.Exists("C:\\Dir\\used.txt"));
}

TEST(ToRootKeyTest, KnowsTheFiveRoots) {
  EXPECT_EQ(ToRootKey(0x80000002u), platform::RootKey::kLocalMachine);
  EXPECT_EQ(ToRootKey(0x80000005u), platform::RootKey::kCurrentConfig);
  EXPECT_EQ(ToRootKey(0x80000004u), std::nullopt);
  EXPECT_EQ(platform::RootKeyName(0x80000004u), "(error)");
}

}  // namespace
}  // namespace cvn::uninstall::test
