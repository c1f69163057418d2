// Shared files: counters given back by type, the files whose counter drops
// to zero or below offered for removal, and shared files kept out of the
// files phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
    SetValue(kHklm, kSharedDlls, path, kDword, DwordData(count));
  }
  platform::RegValue Counter(const std::string& path) { return Value(kHklm, kSharedDlls, path); }
  bool HasCounter(const std::string& path) {
    return Counter(path).type != platform::regtype::kNone;
  }
};

TEST_F(SharedFilesTest, CreatedSharedFileIsLeftToItsCounterAndOfferedWhenUnused) {
  SharedFile("C:\\App\\s.dll", 1);
  AddItem(nkFileAdded, "C:\\App", "s.dll");
  AddCounter("C:\\App\\s.dll", kDword, DwordData(1));
  SaveArchive();

  Run();

  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0].file_name, "s.dll");
  EXPECT_EQ(view.questions[0].folder, "C:\\App\\");
  EXPECT_EQ(shell.Recycled(), Strings("C:\\App\\s.dll"));
  EXPECT_FALSE(HasCounter("C:\\App\\s.dll"));
  // The files phase leaves the shared file alone and says nothing of it.
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\App\\s.dll ... Ok",
                                  "DELETE SHARED FILE: C:\\App\\s.dll ... Ok", kSummary));
}

// The answers given in turn (Yes once they run out), and what follows.
struct AnswersCase {
  const char* name;
  std::vector<RemoveAnswer> answers;
  size_t questions;
  std::vector<std::string> recycled;  // of a.dll to d.dll
};

const auto kAll = Strings("C:\\S\\a.dll", "C:\\S\\b.dll", "C:\\S\\c.dll", "C:\\S\\d.dll");

class AnswersTest : public SharedFilesTest, public ::testing::WithParamInterface<AnswersCase> {};

// Counters of both types that drop to zero (a, b) and below (c, d) lose
// their value, whatever the answer; counters still in use are written back
// in their type and not offered.
TEST_P(AnswersTest, EveryUnusedCounterGoesAndItsFileFollowsTheAnswer) {
  const AnswersCase& c = GetParam();
  // Path, type, counter now and the increment recorded.
  const std::tuple<std::string, uint32_t, std::vector<uint8_t>, std::vector<uint8_t>> counters[] = {
      {kAll[0], kDword, DwordData(2), DwordData(2)},
      {kAll[1], kSz, SzData("1"), SzData("1")},
      {kAll[2], kDword, DwordData(1), DwordData(3)},
      {kAll[3], kSz, SzData("1"), SzData("2")},
      {"C:\\S\\used.dll", kDword, DwordData(300), DwordData(1)},
      {"C:\\S\\text.dll", kSz, SzData("12"), SzData("2")}};
  for (const auto& [path, type, now, increment] : counters) {
    AddFile(path);
    SetValue(kHklm, kSharedDlls, path, type, now);
    AddCounter(path, type, increment);
  }
  SaveArchive();
  view.answers.assign(c.answers.begin(), c.answers.end());

  Run();

  EXPECT_EQ(view.questions.size(), c.questions);
  EXPECT_EQ(shell.Recycled(), c.recycled);
  for (const std::string& path : kAll) {
    SCOPED_TRACE(path);
    EXPECT_EQ(fs.Exists(path), std::count(c.recycled.begin(), c.recycled.end(), path) == 0);
    EXPECT_FALSE(HasCounter(path));
  }
  EXPECT_EQ(Counter("C:\\S\\used.dll").data, DwordData(299));
  EXPECT_EQ(Counter("C:\\S\\text.dll").data, SzData("10"));
  EXPECT_EQ(Counter("C:\\S\\text.dll").type, kSz);
  EXPECT_EQ(LinesEndingWith("Ok (Skipped)").size(), 4 - c.recycled.size());
  EXPECT_EQ(view.Texts().back(), kSummary);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswersTest,
    ::testing::Values(AnswersCase{"YesToEach", {}, 4, kAll},
                      AnswersCase{"YesToAll", {raYesToAll}, 1, kAll},
                      AnswersCase{"NoToEach", {raNo, raNo, raNo, raNo}, 4, {}},
                      AnswersCase{"NoToAll", {raNoToAll}, 1, {}},
                      AnswersCase{"NoYesThenNoToAll", {raNo, raYes, raNoToAll}, 3, {kAll[1]}},
                      // Any other answer keeps the file, and the next is asked.
                      AnswersCase{"OtherThenYesToAll",
                                  {static_cast<RemoveAnswer>(2), raNo, raYesToAll},
                                  3,
                                  {kAll[2], kAll[3]}}),
    [](const auto& info) { return std::string(info.param.name); });

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
}

TEST_F(SharedFilesTest, UncheckedCounterLeavesItsCreatedSharedFileAlone) {
  SharedFile("C:\\App\\s.dll", 1);
  AddItem(nkFileAdded, "C:\\App", "s.dll");
  tree.SetCheckState(AddCounter("C:\\App\\s.dll", kDword, DwordData(1)), false);
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\s.dll"));
  EXPECT_EQ(Counter("C:\\App\\s.dll").data, DwordData(1));
  EXPECT_EQ(view.Texts(), Strings(kSummary));
}

// Short (8.3) folder names are checked on the real file system.
TEST_F(SharedFilesTest, SharedFileListedInOtherCaseIsNotDeleted) {
  for (const char* name : {"t.dll", "own.dll"}) {
    AddFile(std::string("C:\\App\\") + name);
    AddItem(nkFileAdded, "C:\\App", name);
  }
  SetValue(kHklm, kSharedDlls, "c:\\app\\T.DLL", kDword, DwordData(1));
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\t.dll"));
  EXPECT_EQ(view.Texts(), Strings("DELETING FILE: C:\\App\\own.dll ... Ok", kSummary));
}

// Nothing more is done after a stop, the question about unused files included.
TEST_F(SharedFilesTest, StopDuringTheCountersOffersNoFile) {
  SharedFile("C:\\S\\a.dll", 1);
  SharedFile("C:\\S\\b.dll", 1);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\b.dll", kDword, DwordData(1));
  SaveArchive();
  StopAtStep(1);

  Run();

  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(Counter("C:\\S\\a.dll").data, DwordData(0));
  EXPECT_EQ(Counter("C:\\S\\b.dll").data, DwordData(1));
  EXPECT_TRUE(fs.Exists("C:\\S\\a.dll"));
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok"));
}

enum class CounterKey { kMissing, kDenied, kEndsInError };

class CounterKeyTest : public SharedFilesTest, public ::testing::WithParamInterface<CounterKey> {};

// No counter key means no shared files; a key that cannot be read to its
// end might list any created file, so then none is deleted.
TEST_P(CounterKeyTest, CreatedFilesGoOnlyWhenEveryCounterIsKnown) {
  AddFile("C:\\App\\b.dll");
  AddItem(nkFileAdded, "C:\\App", "b.dll");
  SaveArchive();
  if (GetParam() != CounterKey::kMissing)
    SetValue(kHklm, kSharedDlls, "C:\\Other\\x.dll", kDword, DwordData(1));
  if (GetParam() == CounterKey::kDenied) registry.DenyOpen(kHklm, kSharedDlls);
  if (GetParam() == CounterKey::kEndsInError) registry.FailValueEnumFrom(kHklm, kSharedDlls, 1);

  Run();

  const bool known = GetParam() == CounterKey::kMissing;
  EXPECT_EQ(fs.Exists("C:\\App\\b.dll"), !known);
  EXPECT_EQ(view.Texts().front(),
            std::string("DELETING FILE: C:\\App\\b.dll ... ") + (known ? "Ok" : "ERROR"));
}

INSTANTIATE_TEST_SUITE_P(Keys, CounterKeyTest,
                         ::testing::Values(CounterKey::kMissing, CounterKey::kDenied,
                                           CounterKey::kEndsInError));

// A counter of another type than recorded, or of a type that is no number,
// is not ours to change.
TEST_F(SharedFilesTest, CounterOfAnotherTypeIsLeftAlone) {
  AddFile("C:\\S\\a.dll");
  AddFile("C:\\S\\b.dll");
  SetValue(kHklm, kSharedDlls, "C:\\S\\a.dll", kSz, SzData("3"));
  SetValue(kHklm, kSharedDlls, "C:\\S\\b.dll", kBinary, {1});
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\b.dll", kBinary, {1});
  SaveArchive();

  Run();

  EXPECT_EQ(Counter("C:\\S\\a.dll").data, SzData("3"));
  EXPECT_EQ(Counter("C:\\S\\b.dll").data, std::vector<uint8_t>{1});
  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(view.Texts(), Strings("UPDATING SHARED FILE COUNTER: C:\\S\\a.dll ... Ok",
                                  "UPDATING SHARED FILE COUNTER: C:\\S\\b.dll ... Ok", kSummary));
}

TEST_F(SharedFilesTest, MissingCounterAndFailedWriteAreErrors) {
  MakeKey(kHklm, kSharedDlls);
  SharedFile("C:\\S\\c.dll", 3);
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\c.dll", kDword, DwordData(1));
  AddValue(changes::nkCounterIncremented, kHklm, "Software\\NoSuchKey", "C:\\S\\b.dll", kDword, {},
           DwordData(1));
  SaveArchive();
  registry.FailChanges(0);

  Run();

  const std::string item = "UPDATING SHARED FILE COUNTER: C:\\S\\";
  const std::string gone =
      " ... ERROR (counter already deleted -> application is already uninstalled?)";
  EXPECT_EQ(view.Texts(),
            Strings(item + "a.dll" + gone, item + "c.dll ... ERROR", item + "b.dll" + gone));
  EXPECT_EQ(view.lines[0].color, LogClassColor(lcError));
  EXPECT_EQ(Counter("C:\\S\\c.dll").data, DwordData(3));
}

TEST_F(SharedFilesTest, UnusedFileGoneOrInUseIsAnErrorAndLosesItsCounter) {
  SetValue(kHklm, kSharedDlls, "C:\\S\\gone.dll", kDword, DwordData(1));
  SharedFile("C:\\S\\used.dll", 1);
  ASSERT_TRUE(fs.SetAttributes("C:\\S\\used.dll", platform::attr::kHidden).ok());
  fs.LockFile("C:\\S\\used.dll");
  AddCounter("C:\\S\\gone.dll", kDword, DwordData(1));
  AddCounter("C:\\S\\used.dll", kDword, DwordData(1));
  SaveArchive();
  settings.UseRecycled = false;  // unused shared files go to the Recycle Bin all the same

  Run();

  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_FALSE(HasCounter("C:\\S\\gone.dll"));
  EXPECT_FALSE(HasCounter("C:\\S\\used.dll"));
  EXPECT_EQ(fs.GetAttributes("C:\\S\\used.dll"), platform::attr::kHidden);
  EXPECT_EQ(LinesEndingWith("?)"), Strings("DELETE SHARED FILE: C:\\S\\gone.dll ... ERROR (shared "
                                           "file already deleted -> application is already "
                                           "uninstalled?)"));
  EXPECT_EQ(LinesEndingWith("ERROR (in use)"),
            Strings("DELETE SHARED FILE: C:\\S\\used.dll ... ERROR (in use)"));
}

TEST(SharedCounterTest, TextCountersReadAsDecimalNumbers) {
  const std::pair<std::vector<uint8_t>, int64_t> cases[] = {
      {SzData("12"), 12},
      {SzData("-3"), -3},
      {SzData("+4"), 4},
      {Bytes("7"), 7},  // without its terminating zero
      {Bytes({"5\0009", 3}), 5},
      {SzData("1x"), 0},
      {SzData(""), 0},
      {SzData("-"), 0},
      {SzData("2147483647"), 2147483647},
      {SzData("2147483648"), 0},  // beyond any counter
      {SzData("99999999999999999999"), 0}};
  for (const auto& [data, number] : cases)
    EXPECT_EQ(ParseCounterText(data), number) << cvn::test::Hex(data);
}

TEST(SharedCounterTest, IncrementsAreGivenBackByType) {
  struct Case {
    uint32_t type;
    std::vector<uint8_t> current, increment;
    std::optional<int64_t> count;
  };
  const Case cases[] = {
      {kDword, DwordData(300), DwordData(1), 299},
      {kDword, DwordData(1), DwordData(0xFFFFFFFFu), 2},  // it went down
      {kDword, DwordData(1), DwordData(3), -2},
      {kDword, {1, 1}, DwordData(1), 256},  // missing bytes count as 0
      {kSz, SzData("5"), SzData("2"), 3},
      {kBinary, {5}, {1}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(cvn::test::Hex(c.current) + " - " + cvn::test::Hex(c.increment));
    EXPECT_EQ(GiveBackIncrement(c.type, c.current, c.increment), c.count);
  }
  EXPECT_EQ(EncodeCounter(kDword, -1), DwordData(0xFFFFFFFFu));
  EXPECT_EQ(EncodeCounter(kDword, 299), DwordData(299));
  EXPECT_EQ(EncodeCounter(kSz, -2), SzData("-2"));
}

}  // namespace
}  // namespace cvn::uninstall::test
