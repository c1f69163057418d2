// The uninstall engine on the in-memory platform: its phases, the action
// and outcome of every kind, and the end of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "tests/uninstall/uninstall_test_util.h"

namespace cvn::uninstall::test {

using changes::NodeKind;
namespace {

using settings::Settings;

// The phases in their order, each with its setting and status.
struct Phase {
  bool Settings::*setting;
  const char* status;
};
const Phase kPhases[] = {
    {&Settings::delete_values, "Deleting registry values..."},
    {&Settings::delete_keys, "Deleting registry keys..."},
    {&Settings::restore_values, "Restoring registry values..."},
    {&Settings::recreate_keys, "Creating registry keys..."},
    {&Settings::recreate_values, "Creating registry values..."},
    {&Settings::delete_files, "Deleting files..."},
    {&Settings::decrement_shared_counters, "Updating shared files counters..."},
    {&Settings::delete_folders, "Deleting folders..."},
};

class DezinstalerTest : public UninstallTest {
 protected:
  // One change of each kind a phase undoes, in phase order, and one of a
  // kind no phase acts on.
  void OneOfEach() {
    SetValue(kHkcu, "Software\\X", "changed", kSz, SzData("new"));
    MakeKey(kHkcu, "Software\\App");
    ASSERT_TRUE(fs.CreateFolders("C:\\Empty").ok());
    SetValue(kHklm, kSharedDlls, "C:\\Shared\\s.dll", kDword, DwordData(3));
    CreatedValue(kHkcu, "Software\\X", "added");
    AddValue(NodeKind::kKeyAdded, kHkcu, "Software", "App");
    AddValue(NodeKind::kValueChanged, kHkcu, "Software\\X", "changed", kSz, SzData("old"),
             SzData("new"));
    AddValue(NodeKind::kKeyDeleted, kHkcu, "Software", "Gone");
    AddValue(NodeKind::kValueDeleted, kHkcu, "Software\\X", "w", kSz, SzData("w"), {});
    Created("C:\\App\\a.txt");
    AddCounter("C:\\Shared\\s.dll", kDword, DwordData(1));
    AddItem(NodeKind::kFolderAdded, "C:", "Empty");
    // Changes of other kinds are never acted on, checked or not.
    AddFile("C:\\App\\changed.txt");
    AddFile("C:\\App\\moved.txt");
    ASSERT_TRUE(fs.CreateFolders("C:\\App\\OldDir").ok());
    AddItem(changes::NodeKind::kFileChanged, "C:\\App", "changed.txt");
    AddItem(changes::NodeKind::kFileMovedTo, "C:\\App", "moved.txt");
    AddItem(changes::NodeKind::kFolderDeleted, "C:\\App", "OldDir");
    AddItem(changes::NodeKind::kFileDeleted, "C:\\App", "deleted.txt");
    SaveArchive();
    for (NodeId n = tree.Top(); n != changes::kNoNode; n = tree.NextInSubtree(n, tree.Top()))
      tree.SetCheckState(n, true);
  }
  // Which of the changes of OneOfEach are undone.
  std::vector<bool> Undone() {
    return {Value(kHkcu, "Software\\X", "added").type == kNone,
            !KeyExists(kHkcu, "Software\\App"),
            Value(kHkcu, "Software\\X", "changed").data == SzData("old"),
            KeyExists(kHkcu, "Software\\Gone"),
            Value(kHkcu, "Software\\X", "w").data == SzData("w"),
            !fs.Exists("C:\\App\\a.txt"),
            Value(kHklm, kSharedDlls, "C:\\Shared\\s.dll").data == DwordData(2),
            !fs.Exists("C:\\Empty")};
  }
};

// The phase switched off: none (-1), one of the eight, or all of them (8).
class PhaseSettingTest : public DezinstalerTest, public ::testing::WithParamInterface<int> {};

TEST_P(PhaseSettingTest, PhasesSwitchedOnRunInOrderAndCountTheirProgress) {
  OneOfEach();
  std::vector<bool> on;
  std::vector<std::string> statuses;
  for (const Phase& phase : kPhases) {
    on.push_back(GetParam() != static_cast<int>(on.size()) && GetParam() != 8);
    settings.*phase.setting = on.back();
    if (on.back()) statuses.push_back(phase.status);
    if (phase.setting == &Settings::decrement_shared_counters && on[5] && on[6])
      statuses.push_back("Deleting unused shared files...");
  }
  statuses.push_back("Uninstall complete.");

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  EXPECT_EQ(Undone(), on);
  for (const char* path : {"C:\\App\\changed.txt", "C:\\App\\moved.txt", "C:\\App\\OldDir"})
    EXPECT_TRUE(fs.Exists(path)) << path;
  EXPECT_FALSE(fs.Exists("C:\\App\\deleted.txt"));
  EXPECT_EQ(view.statuses, statuses);
  const auto phases_on = static_cast<uint32_t>(std::count(on.begin(), on.end(), true));
  EXPECT_EQ(view.progress_max, phases_on);
  EXPECT_EQ(view.steps, static_cast<int>(phases_on));
  EXPECT_EQ(LinesEndingWith("... Ok").size(), phases_on);
  EXPECT_EQ(view.texts.back(), kSummary);
  EXPECT_EQ(view.colors.back(), LogClassColor(LogClass::kSummary));
  EXPECT_EQ(context.program_state, threads::ProgramState::kUninstalled);
  EXPECT_EQ(view.ended, 1);
  EXPECT_EQ(view.exit_caption, "E&xit");
}

INSTANTIATE_TEST_SUITE_P(NoneEachOrAllOff, PhaseSettingTest, ::testing::Range(-1, 9));

// Created values go; created keys go subkeys first and only when nothing
// is below them.
TEST_F(DezinstalerTest, CreatedValuesAndKeysGoAndMissingOnesAreWarnings) {
  SetValue(kHkcu, "Software\\X", "named", kDword, DwordData(5));
  SetValue(kHkcu, "Software\\X", "", kSz, SzData("default"));
  AddValue(NodeKind::kValueAdded, kHkcu, "Software\\X", "named", kDword, {}, DwordData(5));
  AddValue(NodeKind::kValueAdded, kHkcu, "Software\\X", "", kSz, {}, SzData("default"));
  AddValue(NodeKind::kValueAdded, kHkcu, "Software\\X", "gone", kSz, {}, SzData("g"));
  AddValue(NodeKind::kValueAdded, kHkcu, "Software\\Missing", "v", kSz, {}, SzData("m"));
  MakeKey(kHkcu, "Software\\App\\Sub");
  SetValue(kHkcu, "Software\\App", "v", kSz, SzData("x"));
  MakeKey(kHkcu, "Software\\Kept\\Later");  // created after the monitoring
  MakeKey(kHkcu, "Software\\Locked");
  registry.DenyOpen(kHkcu, "Software\\Locked");  // an error, not an absence
  AddValue(NodeKind::kKeyAdded, kHkcu, "Software", "App");
  AddValue(NodeKind::kKeyAdded, kHkcu, "Software\\App", "Sub");
  for (const char* name : {"Kept", "Gone", "Locked"})
    AddValue(NodeKind::kKeyAdded, kHkcu, "Software", name);
  SaveArchive();
  registry.FailChanges(1);  // the second deletion fails: an error, not an absence

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  const std::string value = "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\";
  const std::string key = "DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\";
  EXPECT_EQ(view.texts, Strings(value + "X\\named ... Ok", value + "X\\(Default) ... ERROR",
                                value + "X\\gone ... FAILS (not found)",
                                value + "Missing\\v ... FAILS (not found)", key + "App\\Sub ... Ok",
                                key + "App ... Ok", key + "Kept ... ERROR (has sub-keys)",
                                key + "Gone ... FAILS (not found)", key + "Locked ... ERROR"));
  EXPECT_EQ(view.colors[1], LogClassColor(LogClass::kError));
  EXPECT_EQ(view.colors[2], LogClassColor(LogClass::kWarning));
  EXPECT_EQ(view.colors[6], LogClassColor(LogClass::kError));
  EXPECT_EQ(Value(kHkcu, "Software\\X", "named").type, kNone);
  EXPECT_EQ(Value(kHkcu, "Software\\X", "").type, kSz);
  EXPECT_TRUE(KeyExists(kHkcu, "Software\\X"));
  EXPECT_FALSE(KeyExists(kHkcu, "Software\\App"));
  EXPECT_TRUE(KeyExists(kHkcu, "Software\\Kept\\Later"));
}

// Changed values get their data and type back unless deleted since;
// deleted keys and values are created again.
TEST_F(DezinstalerTest, ChangedAndDeletedRegistryItemsAreRestored) {
  SetValue(kHklm, "Software\\X", "v", kSz, SzData("after"));
  SetValue(kHklm, "Software\\X", "", kDword, DwordData(9));
  AddValue(NodeKind::kValueChanged, kHklm, "Software\\X", "v", kBinary, {1, 0, 2}, SzData("after"));
  AddValue(NodeKind::kValueChanged, kHklm, "Software\\X", "", kSz, SzData("old"), DwordData(9));
  AddValue(NodeKind::kValueChanged, kHklm, "Software\\X", "gone", kSz, SzData("old"),
           SzData("new"));
  AddValue(NodeKind::kValueChanged, kHklm, "Software\\NoKey", "v", kSz, SzData("old"),
           SzData("new"));
  MakeKey(kHkcu, "Software");
  AddValue(NodeKind::kKeyDeleted, kHkcu, "Software", "Old");
  AddValue(NodeKind::kKeyDeleted, kHkcu, "Software\\Old", "Inner");
  AddValue(NodeKind::kValueDeleted, kHkcu, "Software\\Old\\Inner", "x", kDword, DwordData(7), {});
  AddValue(NodeKind::kValueDeleted, kHkcu, "Software\\Old", "", kSz, SzData("d"), {});
  AddValue(NodeKind::kKeyDeleted, kHkcu, "Software\\Deep\\Path", "Key");
  SaveArchive();

  Run();

  EXPECT_EQ(Value(kHklm, "Software\\X", "v").type, kBinary);
  EXPECT_EQ(Value(kHklm, "Software\\X", "v").data, (std::vector<uint8_t>{1, 0, 2}));
  EXPECT_EQ(Value(kHklm, "Software\\X", "").data, SzData("old"));
  EXPECT_EQ(Value(kHklm, "Software\\X", "gone").type, kNone);
  EXPECT_FALSE(KeyExists(kHklm, "Software\\NoKey"));
  EXPECT_TRUE(KeyExists(kHkcu, "Software\\Deep\\Path\\Key"));
  EXPECT_EQ(Value(kHkcu, "Software\\Old\\Inner", "x").type, kDword);
  EXPECT_EQ(Value(kHkcu, "Software\\Old\\Inner", "x").data, DwordData(7));
  EXPECT_EQ(Value(kHkcu, "Software\\Old", "").data, SzData("d"));
  const std::string restore = "RESTORING REGISTRY VALUE: HKEY_LOCAL_MACHINE\\Software\\";
  const std::string key = "CREATING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\";
  const std::string value = "CREATING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\";
  EXPECT_EQ(
      view.texts,
      Strings(restore + "X\\v ... Ok", restore + "X\\(Default) ... Ok",
              restore + "X\\gone ... FAILS (not found)", restore + "NoKey\\v ... FAILS (not found)",
              key + "Old\\Inner ... Ok", key + "Old ... Ok", key + "Deep\\Path\\Key ... Ok",
              value + "Old\\Inner\\x ... Ok", value + "Old\\(Default) ... Ok", kSummary));
}

// With the Recycle Bin (true) or without it.
class CreatedFilesTest : public DezinstalerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CreatedFilesTest, GoWhateverTheirAttributesUnlessInUse) {
  settings.use_recycle_bin = GetParam();
  AddItem(NodeKind::kFolderAdded, "C:", "App");
  for (const char* name : {"a.txt", "readonly.txt", "used.dll"}) {
    const std::string path = std::string("C:\\App\\") + name;
    Created(path);
    if (*name != 'a') {
      ASSERT_TRUE(fs.SetAttributes(path, platform::attr::kReadOnly).ok());
    }
  }
  AddItem(NodeKind::kFileAdded, "C:\\App", "missing.txt");
  SaveArchive();
  // In use since the monitoring: a fingerprint that cannot be compared is
  // an error, not a change.
  fs.LockFile("C:\\App\\used.dll");

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  const auto gone = Strings("C:\\App\\a.txt", "C:\\App\\readonly.txt");
  for (const std::string& path : gone) EXPECT_FALSE(fs.Exists(path)) << path;
  EXPECT_EQ(shell.Recycled(), GetParam() ? gone : Strings());
  // The file in use stays as it was, and so does its folder.
  EXPECT_EQ(fs.GetAttributes("C:\\App\\used.dll"), platform::attr::kReadOnly);
  EXPECT_EQ(view.texts, Strings("DELETING FILE: C:\\App\\a.txt ... Ok",
                                "DELETING FILE: C:\\App\\readonly.txt ... Ok",
                                "DELETING FILE: C:\\App\\used.dll ... ERROR (in use)",
                                "DELETING FILE: C:\\App\\missing.txt ... FAILS (not found)",
                                "DELETING FOLDER: C:\\App ... ERROR (not empty)"));
}

// Many files are removed a batch at a time: their backup entries in a few
// flushed writes, and with the Recycle Bin in a few shell operations. Each
// still gets its own line with its own outcome, in the tree's order.
TEST_P(CreatedFilesTest, GoInBatchesAndKeepTheirOwnLines) {
  settings.use_recycle_bin = GetParam();
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    const std::string path = "C:\\App\\f" + std::to_string(1000 + i) + ".txt";
    Created(path);
    expected.push_back("DELETING FILE: " + path + (i == 280 ? " ... ERROR (in use)" : " ... Ok"));
  }
  fs.LockFile("C:\\App\\f1280.txt");
  SaveArchive();

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  EXPECT_EQ(view.texts, expected);
  EXPECT_LT(counting_fs.flushes, 10);
  EXPECT_EQ(shell.Recycled().size(), GetParam() ? 299u : 0u);
  EXPECT_LE(shell.Operations(), 3);
}

INSTANTIATE_TEST_SUITE_P(RecycledOrDeleted, CreatedFilesTest, ::testing::Bool());

// The values of one key are handled through one open key, and their backup
// entries written a batch at a time; a key of the same path under another
// root is not that key.
TEST_F(DezinstalerTest, ValuesAreChangedInBatchesEachInItsOwnKey) {
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.push_back("v" + std::to_string(1000 + i));
  for (RootKey root : {kHkcu, kHklm}) {
    for (const std::string& name : names) CreatedValue(root, "Software\\X", name);
  }
  SaveArchive();

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  for (RootKey root : {kHkcu, kHklm}) {
    for (const std::string& name : names) {
      EXPECT_EQ(Value(root, "Software\\X", name).type, kNone) << name;
    }
  }
  EXPECT_EQ(LinesEndingWith("... Ok").size(), 300u);
  EXPECT_LT(counting_fs.flushes, 10);
}

// A created file replaced by a folder since is not that file (sending it to
// the Recycle Bin would take the folder's contents along), nor the other
// way round. Names a scan never records, as a damaged archive could hold
// them, would name the folder itself or the one above it.
TEST_F(DezinstalerTest, ItemsThatAreNotWhatWasCreatedAreNotFound) {
  AddFile("C:\\App\\data\\keep.txt");
  AddFile("C:\\App\\file");
  ASSERT_TRUE(fs.CreateFolders("C:\\Empty\\Inner").ok());
  AddItem(NodeKind::kFileAdded, "C:\\App", "data");
  AddItem(NodeKind::kFolderAdded, "C:\\App", "file");
  for (const char* name : {"..", "", "."})
    AddItem(NodeKind::kFolderAdded, "C:\\Empty\\Inner", name);
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\data\\keep.txt"));
  EXPECT_TRUE(fs.Exists("C:\\App\\file"));
  EXPECT_TRUE(fs.Exists("C:\\Empty\\Inner"));
  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(LinesEndingWith("FAILS (not found)").size(), 5u);
  EXPECT_EQ(view.texts.back(), kSummary);
}

struct ArchiveCase {
  const char* name;
  bool error;   // the run meets an error
  bool locked;  // the archive cannot go to the Recycle Bin
  bool recycled;
};

class AutoDelCvnTest : public DezinstalerTest, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(AutoDelCvnTest, OnlyACleanRunSendsTheArchiveToTheRecycleBin) {
  const ArchiveCase& c = GetParam();
  MakeKey(kHkcu, c.error ? "Software\\A\\Later" : "Software\\A");
  AddValue(NodeKind::kKeyAdded, kHkcu, "Software", "A");
  SaveArchive();
  settings.delete_archive_after_uninstall = true;
  if (c.locked) fs.LockFile("C:\\Corvane\\App.cvn");

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  EXPECT_EQ(shell.Recycled(), c.recycled ? Strings("C:\\Corvane\\App.cvn") : Strings());
  EXPECT_EQ(fs.Exists("C:\\Corvane\\App.cvn"), !c.recycled);
  if (c.error) {
    EXPECT_EQ(Header().uses, 1u);  // stamped instead
  }
  EXPECT_EQ(LinesEndingWith(kSummary).size(), c.error ? 0u : 1u);
  EXPECT_EQ(LinesEndingWith("... Ok").size(), c.error ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Runs, AutoDelCvnTest,
                         ::testing::Values(ArchiveCase{"Clean", false, false, true},
                                           ArchiveCase{"WithErrors", true, false, false},
                                           ArchiveCase{"ArchiveLocked", false, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DezinstalerTest, StopEndsTheRunAfterTheCurrentItemWithoutSummaryAndStillStamps) {
  for (const char* name : {"a", "b", "c", "d"}) CreatedValue(kHkcu, "Software\\X", name);
  Created("C:\\App\\a.txt");
  SaveArchive();
  StopAfterDeletedValues(2);

  EXPECT_EQ(Run(), threads::ProgramState::kStopRequested);

  const std::string item = "DELETING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\";
  EXPECT_EQ(view.texts, Strings(item + "a ... Ok", item + "b ... Ok"));
  EXPECT_EQ(view.statuses, Strings("Deleting registry values...", "Uninstall stopped."));
  EXPECT_EQ(Header().uses, 1u);
  // Log.txt gets the run's block all the same, without the summary.
  EXPECT_TRUE(LogText().ends_with("-\r\n" + item + "a ... Ok\r\n" + item + "b ... Ok\r\n\r\n"));
  EXPECT_EQ(context.program_state, threads::ProgramState::kUninstalled);
}

TEST_F(DezinstalerTest, UnexpectedFailureEndsTheRunAsIncomplete) {
  for (const char* name : {"a", "b"}) CreatedValue(kHkcu, "Software\\X", name);
  SaveArchive();
  settings.delete_archive_after_uninstall = true;
  hooked_registry.after_delete = [](int) { throw std::runtime_error("out of memory"); };

  EXPECT_EQ(Run(), threads::ProgramState::kIdle);

  EXPECT_EQ(view.texts, Strings());
  EXPECT_EQ(Value(kHkcu, "Software\\X", "b").data, SzData("b"));
  EXPECT_EQ(shell.Recycled(), Strings());
  EXPECT_EQ(Header().uses, 1u);
}

}  // namespace
}  // namespace cvn::uninstall::test
