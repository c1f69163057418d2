// Shared files: counters given back by type, the files whose counter drops
// to zero or below offered for removal, and shared files kept out of the
// files phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "tests/uninstall/uninstall_test_util.h"
#include "uninstall/shared_counter.h"

namespace cvn::uninstall::test {

using changes::NodeKind;
namespace {

class SharedFilesTest : public UninstallTest {
 protected:
  // A shared file that exists, with its counter now at `count`, raised by
  // one by the monitored program.
  NodeId Counted(const std::string& path, uint32_t count) {
    AddFile(path);
    SetValue(kHklm, kSharedDlls, path, kDword, DwordData(count));
    return AddCounter(path, kDword, DwordData(1));
  }
  platform::RegValue Counter(const std::string& path) { return Value(kHklm, kSharedDlls, path); }
};

TEST_F(SharedFilesTest, CreatedSharedFileIsLeftToItsCounterAndOfferedWhenUnused) {
  Counted("C:\\App\\s.dll", 1);
  AddItem(NodeKind::kFileAdded, "C:\\App", "s.dll");
  SaveArchive();

  Run();

  EXPECT_EQ(view.questions, Strings("C:\\App\\|s.dll"));
  EXPECT_EQ(shell.Recycled(), Strings("C:\\App\\s.dll"));
  EXPECT_EQ(Counter("C:\\App\\s.dll").type, kNone);
  // The files phase leaves the shared file alone and says nothing of it.
  EXPECT_EQ(view.texts, Strings("UPDATING SHARED FILE COUNTER: C:\\App\\s.dll ... Ok",
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
    EXPECT_EQ(Counter(path).type, kNone);
  }
  EXPECT_EQ(Counter("C:\\S\\used.dll").data, DwordData(299));
  EXPECT_EQ(Counter("C:\\S\\text.dll").data, SzData("10"));
  EXPECT_EQ(Counter("C:\\S\\text.dll").type, kSz);
  EXPECT_EQ(LinesEndingWith("Ok (Skipped)").size(), 4 - c.recycled.size());
  EXPECT_EQ(view.texts.back(), kSummary);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AnswersTest,
    ::testing::Values(AnswersCase{"YesToEach", {}, 4, kAll},
                      AnswersCase{"YesToAll", {RemoveAnswer::kYesToAll}, 1, kAll},
                      AnswersCase{"NoToAll", {RemoveAnswer::kNoToAll}, 1, {}},
                      AnswersCase{"NoYesThenNoToAll",
                                  {RemoveAnswer::kNo, RemoveAnswer::kYes, RemoveAnswer::kNoToAll},
                                  3,
                                  {kAll[1]}},
                      // Any other answer keeps the file, and the next is asked.
                      AnswersCase{"OtherThenYesToAll",
                                  {static_cast<RemoveAnswer>(2), RemoveAnswer::kNo,
                                   RemoveAnswer::kYesToAll},
                                  3,
                                  {kAll[2], kAll[3]}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SharedFilesTest, UncheckedCounterLeavesItsCreatedSharedFileAlone) {
  tree.SetCheckState(Counted("C:\\App\\s.dll", 1), false);
  AddItem(NodeKind::kFileAdded, "C:\\App", "s.dll");
  SaveArchive();

  Run();

  EXPECT_TRUE(fs.Exists("C:\\App\\s.dll"));
  EXPECT_EQ(Counter("C:\\App\\s.dll").data, DwordData(1));
  EXPECT_EQ(view.texts, Strings(kSummary));
}

enum class CounterKey { kMissing, kDenied, kEndsInError };

class CounterKeyTest : public SharedFilesTest, public ::testing::WithParamInterface<CounterKey> {};

// No counter key means no shared files; a key that cannot be read to its
// end might list any created file, so then none is deleted.
TEST_P(CounterKeyTest, CreatedFilesGoOnlyWhenEveryCounterIsKnown) {
  Created("C:\\App\\b.dll");
  SaveArchive();
  if (GetParam() != CounterKey::kMissing)
    SetValue(kHklm, kSharedDlls, "C:\\Other\\x.dll", kDword, DwordData(1));
  if (GetParam() == CounterKey::kDenied) registry.DenyOpen(kHklm, kSharedDlls);
  if (GetParam() == CounterKey::kEndsInError) registry.FailValueEnumFrom(kHklm, kSharedDlls, 1);

  Run();

  const bool known = GetParam() == CounterKey::kMissing;
  EXPECT_EQ(fs.Exists("C:\\App\\b.dll"), !known);
  EXPECT_EQ(view.texts.front(),
            std::string("DELETING FILE: C:\\App\\b.dll ... ") + (known ? "Ok" : "ERROR"));
}

INSTANTIATE_TEST_SUITE_P(Keys, CounterKeyTest,
                         ::testing::Values(CounterKey::kMissing, CounterKey::kDenied,
                                           CounterKey::kEndsInError));

TEST_F(SharedFilesTest, MissingCounterAndFailedWritesAreErrors) {
  MakeKey(kHklm, kSharedDlls);
  MakeKey(kHkcu, "Software\\X");
  AddValue(NodeKind::kValueDeleted, kHkcu, "Software\\X", "v", kSz, SzData("v"), {});
  AddCounter("C:\\S\\a.dll", kDword, DwordData(1));
  Counted("C:\\S\\c.dll", 3);
  SaveArchive();
  registry.FailChanges(0, 2);

  Run();

  const std::string item = "UPDATING SHARED FILE COUNTER: C:\\S\\";
  const std::string gone =
      " ... ERROR (counter already deleted -> application is already uninstalled?)";
  EXPECT_EQ(view.texts,
            Strings("CREATING REGISTRY VALUE: HKEY_CURRENT_USER\\Software\\X\\v ... ERROR",
                    item + "a.dll" + gone, item + "c.dll ... ERROR"));
  EXPECT_EQ(view.colors[0], LogClassColor(LogClass::kError));
  EXPECT_EQ(Counter("C:\\S\\c.dll").data, DwordData(3));
}

TEST(SharedCounterTest, TextCountersReadAsDecimalNumbers) {
  const std::pair<std::vector<uint8_t>, int64_t> cases[] = {
      {SzData("-3"), -3},
      {SzData("+4"), 4},
      {Bytes("7"), 7},  // without its terminating zero
      {Bytes({"5\0009", 3}), 5},
      {SzData("1x"), 0},
      {SzData("-"), 0},
      {SzData("2147483647"), 2147483647},
      {SzData("2147483648"), 0},  // beyond any counter
      {SzData("99999999999999999999"), 0}};
  for (const auto& [data, number] : cases)
    EXPECT_EQ(ParseCounterText(data), number) << cvn::test::Hex(data);
}

TEST(SharedCounterTest, IncrementsAreGivenBackByType) {
  using Data = std::vector<uint8_t>;
  EXPECT_EQ(GiveBackIncrement(kDword, DwordData(1), DwordData(0xFFFFFFFFu)), 2);  // it went down
  EXPECT_EQ(GiveBackIncrement(kDword, Data{1, 1}, DwordData(1)), 256);  // missing bytes count as 0
  EXPECT_EQ(GiveBackIncrement(kBinary, Data{5}, Data{1}), std::nullopt);
  EXPECT_EQ(EncodeCounter(kDword, -1), DwordData(0xFFFFFFFFu));
  EXPECT_EQ(EncodeCounter(kSz, -2), SzData("-2"));
}

}  // namespace
}  // namespace cvn::uninstall::test
