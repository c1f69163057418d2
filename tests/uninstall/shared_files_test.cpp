// Shared files: counters given back by type, the files whose counter drops
// to zero or below offered for removal, and shared files kept out of the
// files phase.
#include <gtest/gtest.h>

#include "tests/uninstall/uninstall_test_util.h"
#include "uninstall/shared_counter.h"

namespace cvn::uninstall::test {
namespace {

using changes::nkFileAdded;
using platform::regtype::kBinary;
using platform::regtype::kDword;
using platform::regtype::kSz;

class SharedFilesTest : public UninstallTest {
 protected:
  // A shared file that exists, with its counter now at `count`.
  void SharedFile(const std::string& path, uint32_t count) {
    AddFile(path);
    SetValue(RootKey::kLocalMachine, kSharedDlls, path, kDword, DwordData(count));
  }
  platform::RegValue Counter(const std::string& path) {
    return Value(RootKey::kLocalMachine, kSharedDlls, path);
  }
  bool HasCounter(const std::string& path) {
    return Counter(path).type != platform::regtype::kNone;
  }
};

TEST_F(SharedFilesTest, CreatedCounterOfOneIsOfferedAndYesRecyclesTheFile) {
  SharedFile("C:\\App\\s.dll", 1);
  AddItem(nkFileAdded, "C:\\App", "s.dll");
  AddCounter("C:\\App\\s.dll", kDword, DwordData(1));
  SaveArchive();
  view.answers = {raYes};

  Run();

  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0].file_name, "s.dll");
  EXPECT_EQ(view.questions[0].folder, "C:\\App\\");
  EXPECT_EQ(shell.Recycled(), Strings("C:\\App\\s.dll"));
  EXPECT_FALSE(HasCounter("C:\\App\\s.dll"));
  // The files phase leaves the shared file alone and says nothing of it.
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\App\\s.dll ... Ok",
                                  "DELETE SHARED FILE: C:\\App\\s.dll ... Ok",
                                  "Uninstall complete without errors"));
}

TEST_F(SharedFilesTest, NoKeepsTheFileButTheCounterGoes) {
  SharedFile("C:\\App\\s.dll", 1);
  AddCounter("C:\\App\\s.dll", kDword, DwordData(1));
  SaveArchive();
  view.answers = {raNo};

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\s.dll"));
  EXPECT_FALSE(HasCounter("C:\\App\\s.dll"));
  EXPECT_EQ(LinesEndingWith("Ok (Skipped)"),
            Strings("DELETE SHARED FILE: C:\\App\\s.dll ... Ok (Skipped)"));
  EXPECT_EQ(view.lines[1].color, LogClassColor(lcSuccess));
}

TEST_F(SharedFilesTest, CounterStillInUseIsWrittenBackAndNotOffered) {
  SharedFile("C:\\Shared\\a.dll", 3);  // 2 before the installation, 3 after
  SharedFile("C:\\Shared\\b.dll", 300);
  AddCounter("C:\\Shared\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\Shared\\b.dll", kDword, DwordData(1));
  SaveArchive();

  Run();

  EXPECT_EQ(Counter("C:\\Shared\\a.dll").data, DwordData(2));
  EXPECT_EQ(Counter("C:\\Shared\\b.dll").data, DwordData(299));
  EXPECT_TRUE(view.questions.empty());
  EXPECT_TRUE(fs.Exists("C:\\Shared\\a.dll"));
}

TEST_F(SharedFilesTest, YesToAllDeletesEveryLaterFileWithoutAsking) {
  for (const char* name : {"a", "b", "c"}) {
    const std::string path = std::string("C:\\S\\") + name + ".dll";
    SharedFile(path, 1);
    AddCounter(path, kDword, DwordData(1));
  }
  SaveArchive();
  view.answers = {raYesToAll};

  Run();

  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(shell.Recycled(), Strings("C:\\S\\a.dll", "C:\\S\\b.dll", "C:\\S\\c.dll"));
  EXPECT_FALSE(HasCounter("C:\\S\\c.dll"));
}

TEST_F(SharedFilesTest, NoToAllKeepsEveryLaterFileWithoutAsking) {
  for (const char* name : {"a", "b", "c"}) {
    const std::string path = std::string("C:\\S\\") + name + ".dll";
    SharedFile(path, 1);
    AddCounter(path, kDword, DwordData(1));
  }
  SaveArchive();
  view.answers = {raNoToAll};

  Run();

  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_TRUE(shell.Recycled().empty());
  EXPECT_EQ(LinesEndingWith("Ok (Skipped)").size(), 3u);
  EXPECT_FALSE(HasCounter("C:\\S\\b.dll"));
  EXPECT_TRUE(fs.Exists("C:\\S\\c.dll"));
}

TEST_F(SharedFilesTest, YesAndNoAskAgainUntilAnAnswerForAll) {
  for (const char* name : {"a", "b", "c", "d"}) {
    const std::string path = std::string("C:\\S\\") + name + ".dll";
    SharedFile(path, 1);
    AddCounter(path, kDword, DwordData(1));
  }
  SaveArchive();
  view.answers = {raNo, raYes, raNoToAll};

  Run();

  EXPECT_EQ(view.questions.size(), 3u);
  EXPECT_EQ(shell.Recycled(), Strings("C:\\S\\b.dll"));
  EXPECT_EQ(LinesEndingWith("Ok (Skipped)"),
            Strings("DELETE SHARED FILE: C:\\S\\a.dll ... Ok (Skipped)",
                    "DELETE SHARED FILE: C:\\S\\c.dll ... Ok (Skipped)",
                    "DELETE SHARED FILE: C:\\S\\d.dll ... Ok (Skipped)"));
}

TEST_F(SharedFilesTest, CountersBelowZeroAreOfferedToo) {
  SharedFile("C:\\S\\a.dll", 1);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(2));
  SaveArchive();
  view.answers = {raYes};

  Run();

  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_FALSE(fs.Exists("C:\\S\\a.dll"));
}

TEST_F(SharedFilesTest, WithoutDeleteFilesCountersAreWrittenDownToZeroAndBelow) {
  SharedFile("C:\\S\\zero.dll", 1);
  SharedFile("C:\\S\\below.dll", 1);
  AddItem(nkFileAdded, "C:\\S", "zero.dll");
  AddCounter("C:\\S\\zero.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\below.dll", kDword, DwordData(2));
  SaveArchive();
  settings.DeleteFiles = false;

  Run();

  EXPECT_EQ(Counter("C:\\S\\zero.dll").data, DwordData(0));
  EXPECT_EQ(Counter("C:\\S\\below.dll").data, DwordData(0xFFFFFFFFu));
  EXPECT_TRUE(view.questions.empty());
  EXPECT_TRUE(fs.Exists("C:\\S\\zero.dll"));
  EXPECT_TRUE(fs.Exists("C:\\S\\below.dll"));
  EXPECT_EQ(
      std::count(view.statuses.begin(), view.statuses.end(), "Deleting unused shared files..."), 0);
}

TEST_F(SharedFilesTest, UncheckedCounterLeavesItsCreatedSharedFileAlone) {
  SharedFile("C:\\App\\s.dll", 1);
  AddItem(nkFileAdded, "C:\\App", "s.dll");
  const NodeId counter = AddCounter("C:\\App\\s.dll", kDword, DwordData(1));
  SaveArchive();
  tree.SetCheckState(counter, false);

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\s.dll"));
  EXPECT_EQ(Counter("C:\\App\\s.dll").data, DwordData(1));
  EXPECT_EQ(view.Texts(), Strings("Uninstall complete without errors"));
}

TEST_F(SharedFilesTest, SharedFileListedUnderItsShortNameIsNotDeleted) {
  fs.AddAlias("C:\\PROGRA~1", "C:\\Program Files");
  AddFile("C:\\Program Files\\App\\s.dll");
  AddFile("C:\\Program Files\\App\\t.dll");
  AddFile("C:\\Program Files\\App\\own.dll");
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\PROGRA~1\\App\\s.dll", kDword, DwordData(1));
  SetValue(RootKey::kLocalMachine, kSharedDlls, "c:\\program files\\APP\\T.DLL", kDword,
           DwordData(1));
  for (const char* name : {"s.dll", "t.dll", "own.dll"})
    AddItem(nkFileAdded, "C:\\Program Files\\App", name);
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\Program Files\\App\\s.dll"));
  EXPECT_TRUE(fs.Exists("C:\\Program Files\\App\\t.dll"));
  EXPECT_EQ(view.Texts(), Strings("DELETING FILE: C:\\Program Files\\App\\own.dll ... Ok",
                                  "Uninstall complete without errors"));
}

// A stop asked for while counters are given back also spares the question
// about unused files: nothing more is done after a stop.
TEST_F(SharedFilesTest, StopDuringTheCountersOffersNoFile) {
  SharedFile("C:\\S\\a.dll", 1);
  SharedFile("C:\\S\\b.dll", 1);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\b.dll", kDword, DwordData(1));
  SaveArchive();
  bool stop_wanted = false;
  view.on_step = [&](int step) { stop_wanted = step == 1; };

  Run([&](TDezinstaler& engine) {
    if (!stop_wanted) return;
    stop_wanted = false;
    ASSERT_TRUE(engine.SafeSuspend());
    context.ProgramState = snapshot::psStopRequested;
    engine.Terminate();
    engine.Resume();
  });

  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(Counter("C:\\S\\a.dll").data, DwordData(0));
  EXPECT_EQ(Counter("C:\\S\\b.dll").data, DwordData(1));
  EXPECT_TRUE(fs.Exists("C:\\S\\a.dll"));
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok"));
}

// Without the whole list of counters any created file might be shared.
TEST_F(SharedFilesTest, UnreadableCounterKeyKeepsEveryCreatedFile) {
  SharedFile("C:\\App\\a.dll", 1);
  AddFile("C:\\App\\b.dll");
  AddItem(nkFileAdded, "C:\\App", "a.dll");
  AddItem(nkFileAdded, "C:\\App", "b.dll");
  SaveArchive();
  settings.DecSharedCounter = false;

  registry.DenyOpen(RootKey::kLocalMachine, kSharedDlls);
  Run();
  EXPECT_TRUE(fs.Exists("C:\\App\\a.dll"));
  EXPECT_TRUE(fs.Exists("C:\\App\\b.dll"));
  EXPECT_EQ(view.Texts(), Strings("DELETING FILE: C:\\App\\a.dll ... ERROR",
                                  "DELETING FILE: C:\\App\\b.dll ... ERROR"));
}

TEST_F(SharedFilesTest, CounterListEndingInAnErrorKeepsEveryCreatedFile) {
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\Other\\x.dll", kDword, DwordData(1));
  SharedFile("C:\\App\\a.dll", 1);
  AddFile("C:\\App\\b.dll");
  AddItem(nkFileAdded, "C:\\App", "a.dll");
  AddItem(nkFileAdded, "C:\\App", "b.dll");
  SaveArchive();
  settings.DecSharedCounter = false;
  registry.FailValueEnumFrom(RootKey::kLocalMachine, kSharedDlls, 1);

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\a.dll"));
  EXPECT_TRUE(fs.Exists("C:\\App\\b.dll"));
  EXPECT_EQ(LinesEndingWith("ERROR").size(), 2u);
}

TEST_F(SharedFilesTest, NoCounterKeyMeansNoSharedFiles) {
  AddFile("C:\\App\\b.dll");
  AddItem(nkFileAdded, "C:\\App", "b.dll");
  SaveArchive();

  Run();

  EXPECT_FALSE(fs.Exists("C:\\App\\b.dll"));
}

TEST_F(SharedFilesTest, GrownTextCounterRecordedAsNumberIsLeftAlone) {
  AddFile("C:\\S\\a.dll");
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\S\\a.dll", kSz, SzData("3"));
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  SaveArchive();

  Run();

  EXPECT_EQ(Counter("C:\\S\\a.dll").data, SzData("3"));
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok",
                                  "Uninstall complete without errors"));
}

TEST_F(SharedFilesTest, CreatedTextCounterIsCountedDownAsText) {
  AddFile("C:\\S\\a.dll");
  AddFile("C:\\S\\b.dll");
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\S\\a.dll", kSz, SzData("1"));
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\S\\b.dll", kSz, SzData("12"));
  AddCounter("C:\\S\\a.dll", kSz, SzData("1"));
  AddCounter("C:\\S\\b.dll", kSz, SzData("2"));
  SaveArchive();
  view.answers = {raNo};

  Run();

  EXPECT_EQ(Counter("C:\\S\\b.dll").data, SzData("10"));
  EXPECT_EQ(Counter("C:\\S\\b.dll").type, kSz);
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0].file_name, "a.dll");
  EXPECT_FALSE(HasCounter("C:\\S\\a.dll"));
}

TEST_F(SharedFilesTest, CounterOfAnotherTypeIsNeverWritten) {
  AddFile("C:\\S\\a.dll");
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\S\\a.dll", kBinary, {1});
  AddCounter("C:\\S\\a.dll", kBinary, {1});
  SaveArchive();

  Run();

  EXPECT_EQ(Counter("C:\\S\\a.dll").data, std::vector<uint8_t>{1});
  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(view.Texts().front(), "UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok");
}

TEST_F(SharedFilesTest, MissingCounterIsAnError) {
  MakeKey(RootKey::kLocalMachine, kSharedDlls);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  AddValue(changes::nkCounterIncremented, RootKey::kLocalMachine, "Software\\NoSuchKey",
           "C:\\S\\b.dll", kDword, {}, DwordData(1));
  SaveArchive();

  Run();

  EXPECT_EQ(view.Texts(),
            Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... ERROR (counter already deleted "
                    "-> application is already uninstalled?)",
                    "UPDATING SHARED FILE COUNTER: C:\\S\\b.dll ... ERROR (counter already deleted "
                    "-> application is already uninstalled?)"));
  EXPECT_EQ(view.lines[0].color, LogClassColor(lcError));
}

TEST_F(SharedFilesTest, CounterWriteFailureIsAnError) {
  SharedFile("C:\\S\\a.dll", 3);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  SaveArchive();
  registry.FailChanges(0);

  Run();

  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... ERROR"));
  EXPECT_EQ(Counter("C:\\S\\a.dll").data, DwordData(3));
}

TEST_F(SharedFilesTest, UnusedFileAlreadyGoneIsAnErrorAndLosesItsCounter) {
  SetValue(RootKey::kLocalMachine, kSharedDlls, "C:\\S\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  SaveArchive();

  Run();

  EXPECT_TRUE(view.questions.empty());
  EXPECT_FALSE(HasCounter("C:\\S\\a.dll"));
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok",
                                  "DELETE SHARED FILE: C:\\S\\a.dll ... ERROR (shared file already "
                                  "deleted -> application is already uninstalled?)"));
}

TEST_F(SharedFilesTest, UnusedFileInUseStaysAsItWas) {
  SharedFile("C:\\S\\a.dll", 1);
  ASSERT_TRUE(fs.SetAttributes("C:\\S\\a.dll", platform::attr::kHidden).ok());
  fs.LockFile("C:\\S\\a.dll");
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  SaveArchive();
  settings.UseRecycled = false;  // unused shared files go to the Recycle Bin all the same

  Run();

  EXPECT_TRUE(fs.Exists("C:\\S\\a.dll"));
  EXPECT_EQ(fs.GetAttributes("C:\\S\\a.dll"), platform::attr::kHidden);
  EXPECT_FALSE(HasCounter("C:\\S\\a.dll"));
  EXPECT_EQ(LinesEndingWith("ERROR (in use)"),
            Strings("DELETE SHARED FILE: C:\\S\\a.dll ... ERROR (in use)"));
}

// Counters of either type that drop to zero and below, with each answer.
struct CounterCase {
  uint32_t type;
  RemoveAnswer answer;
};

class UnusedCounterTest : public SharedFilesTest,
                          public ::testing::WithParamInterface<CounterCase> {
 protected:
  std::vector<uint8_t> Data(uint32_t count) {
    return GetParam().type == kDword ? DwordData(count) : SzData(std::to_string(count));
  }
};

TEST_P(UnusedCounterTest, CounterGoesAndTheFileFollowsTheAnswer) {
  const auto [type, answer] = GetParam();
  const std::string zero = "C:\\S\\zero.dll", below = "C:\\S\\below.dll", used = "C:\\S\\used.dll";
  AddFile(zero);
  AddFile(below);
  AddFile(used);
  SetValue(RootKey::kLocalMachine, kSharedDlls, zero, type, Data(2));
  SetValue(RootKey::kLocalMachine, kSharedDlls, below, type, Data(1));
  SetValue(RootKey::kLocalMachine, kSharedDlls, used, type, Data(5));
  AddCounter(zero, type, Data(2));
  AddCounter(below, type, Data(3));
  AddCounter(used, type, Data(1));
  SaveArchive();
  view.answers = {answer, answer};

  Run();

  const bool for_all = answer == raYesToAll || answer == raNoToAll;
  const bool removed = answer == raYes || answer == raYesToAll;
  EXPECT_EQ(view.questions.size(), for_all ? 1u : 2u);
  EXPECT_EQ(fs.Exists(zero), !removed);
  EXPECT_EQ(fs.Exists(below), !removed);
  EXPECT_TRUE(fs.Exists(used));
  EXPECT_FALSE(HasCounter(zero));
  EXPECT_FALSE(HasCounter(below));
  EXPECT_EQ(Counter(used).data, Data(4));
  EXPECT_EQ(Counter(used).type, type);
  EXPECT_EQ(LinesEndingWith(removed ? "... Ok" : "Ok (Skipped)").size(), removed ? 5u : 2u);
  EXPECT_EQ(view.Texts().back(), "Uninstall complete without errors");
}

INSTANTIATE_TEST_SUITE_P(BothTypesEveryAnswer, UnusedCounterTest,
                         ::testing::Values(CounterCase{kDword, raYes},
                                           CounterCase{kDword, raYesToAll},
                                           CounterCase{kDword, raNo},
                                           CounterCase{kDword, raNoToAll}, CounterCase{kSz, raYes},
                                           CounterCase{kSz, raYesToAll}, CounterCase{kSz, raNo},
                                           CounterCase{kSz, raNoToAll}));

TEST(SharedCounterTest, TextCountersReadAsDecimalNumbers) {
  EXPECT_EQ(ParseCounterText(SzData("12")), 12);
  EXPECT_EQ(ParseCounterText(SzData("-3")), -3);
  EXPECT_EQ(ParseCounterText(Bytes("7")), 7);  // without its terminating zero
  EXPECT_EQ(ParseCounterText(SzData("1x")), 0);
  EXPECT_EQ(ParseCounterText(SzData("")), 0);
  EXPECT_EQ(ParseCounterText(SzData("-")), 0);
  EXPECT_EQ(ParseCounterText(SzData("99999999999999999999")), 0);
}

TEST(SharedCounterTest, IncrementsAreGivenBackByType) {
  EXPECT_EQ(GiveBackIncrement(kDword, DwordData(300), DwordData(1)), 299);
  EXPECT_EQ(GiveBackIncrement(kDword, DwordData(1), DwordData(0xFFFFFFFFu)), 2);  // it went down
  EXPECT_EQ(GiveBackIncrement(kDword, DwordData(1), DwordData(3)), -2);
  EXPECT_EQ(GiveBackIncrement(kSz, SzData("5"), SzData("2")), 3);
  const std::vector<uint8_t> five{5}, one{1};
  EXPECT_EQ(GiveBackIncrement(kBinary, five, one), std::nullopt);
  EXPECT_EQ(EncodeCounter(kDword, -1), DwordData(0xFFFFFFFFu));
  EXPECT_EQ(EncodeCounter(kSz, -2), SzData("-2"));
}

}  // namespace
}  // namespace cvn::uninstall::test
