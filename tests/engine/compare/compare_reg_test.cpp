// The registry comparison: created and deleted keys and values, changed
// values, and the shared-file counters.
#include "engine/compare/compare_reg.h"

#include <gtest/gtest.h>

#include "compare_test_util.h"
#include "platform/memory/memory_filesystem.h"

namespace cvn::compare {
namespace {

using namespace changes;
using platform::RootKey;
using Calls = std::vector<std::string>;
using test::TreeBuilder;
using Data = std::vector<uint8_t>;

constexpr uint32_t kHklm = 0x80000002, kHkcu = 0x80000001;
constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4;
const std::string kSharedPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kShared = "HKEY_LOCAL_MACHINE\\" + kSharedPath;
const std::string kDll = "C:\\Windows\\System32\\shared.dll";
const auto Sz = test::SzData;
const auto Le = test::DwordData;

std::string Key(std::string path, std::string name, int32_t kind, std::string field,
                uint32_t root = kHklm) {
  return test::Call(path, name, kind, field, 0, root, nullptr, nullptr);
}
// A value record; a side without bytes has no buffer.
std::string Value(std::string path, std::string name, int32_t kind, std::string field,
                  uint32_t type, Data before, Data after, uint32_t root = kHklm) {
  const bool has_before = kind == nkValueDeleted || kind == nkValueChanged ||
                          (kind == nkCounterIncremented && !before.empty());
  return test::Call(path, name, kind, field, type, root, has_before ? &before : nullptr,
                    after.empty() ? nullptr : &after);
}

class CompareRegTest : public ::testing::Test {
 protected:
  CompareRegTest() { fs_.AddFile(kDll, "MZ"); }

  Calls Pass(bool second, RootKey root = RootKey::kLocalMachine) {
    snapshot::RunToEnd run;
    test::RecordingSink sink;
    RegistryComparer c(run, sink, fs_, root);
    if (second)
      c.CompareReg(before_.Root(), after_.Root(), "", true);
    else
      c.CompareReg(after_.Root(), before_.Root(), "", false);
    return sink.calls;
  }
  // The SharedDLLs key in both trees.
  std::pair<snapshot::TNode*, snapshot::TNode*> SharedKeys() {
    auto chain = [](TreeBuilder& t) {
      snapshot::TNode* n = t.Top("");
      for (const char* name : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "SharedDLLs"})
        n = t.Node(n, name);
      return n;
    };
    return {chain(before_), chain(after_)};
  }

  platform::MemoryFileSystem fs_;
  TreeBuilder before_, after_;
};

TEST_F(CompareRegTest, CreatedKeyIsReportedWithItsValuesAndSubkeysNestedInOrder) {
  before_.Node(before_.Top(""), "Software");
  auto* app = after_.Node(after_.Node(after_.Top(""), "Software"), "App");
  after_.Text(app, "Path", "C:\\App");
  after_.Dword(app, "Count", 7);
  after_.Text(after_.Node(app, "Sub"), "", "x");
  const std::string p = "HKEY_LOCAL_MACHINE\\Software\\App";
  EXPECT_EQ(Pass(false),
            (Calls{Key("HKEY_LOCAL_MACHINE\\Software", "App", nkKeyAdded, "Software"),
                   Value(p, "Path", nkValueAdded, "Software\\App", kSz, {}, Sz("C:\\App")),
                   Value(p, "Count", nkValueAdded, "Software\\App", kDword, {}, Le(7)),
                   Key(p, "Sub", nkKeyAdded, "Software\\App"),
                   Value(p + "\\Sub", "", nkValueAdded, "Software\\App\\Sub", kSz, {}, Sz("x"))}));
  EXPECT_TRUE(Pass(true).empty());
}

TEST_F(CompareRegTest, DeletedKeyIsReportedInTheSecondPassWithItsValuesBefore) {
  auto* old = before_.Node(before_.Node(before_.Top(""), "Software"), "Old");
  before_.Text(old, "a", "1");
  before_.Node(old, "Sub");
  after_.Node(after_.Top(""), "Software");
  EXPECT_TRUE(Pass(false).empty());
  const std::string p = "HKEY_LOCAL_MACHINE\\Software\\Old";
  EXPECT_EQ(Pass(true), (Calls{Key("HKEY_LOCAL_MACHINE\\Software", "Old", nkKeyDeleted, "Software"),
                               Value(p, "a", nkValueDeleted, "Software\\Old", kSz, Sz("1"), {}),
                               Key(p, "Sub", nkKeyDeleted, "Software\\Old")}));
}

TEST_F(CompareRegTest, ValuesCreatedChangedAndDeletedInAKeyPresentOnBothSides) {
  auto* b = before_.Node(before_.Top(""), "K");
  before_.Text(b, "", "a");
  before_.Text(b, "gone", "g");
  before_.Text(b, "same", "s");
  before_.Text(b, "type", "t", kSz);
  before_.Value(b, "size", kBinary, {1, 2});
  auto* a = after_.Node(after_.Top(""), "k");
  after_.Text(a, "", "b");
  after_.Text(a, "SAME", "s");
  after_.Text(a, "type", "t", kExpandSz);
  after_.Value(a, "size", kBinary, {1, 2, 0});  // an equal prefix, another size
  after_.Value(a, "new", kBinary, {});
  const std::string k = "HKEY_LOCAL_MACHINE\\k";
  EXPECT_EQ(Pass(false),
            (Calls{Value(k, "", nkValueChanged, "k", kSz, Sz("a"), Sz("b")),
                   // A type change alone is a change; the record shows the type before.
                   Value(k, "type", nkValueChanged, "k", kSz, Sz("t"), Sz("t")),
                   Value(k, "size", nkValueChanged, "k", kBinary, {1, 2}, {1, 2, 0}),
                   Value(k, "new", nkValueAdded, "k", kBinary, {}, {})}));
  EXPECT_EQ(Pass(true),
            (Calls{Value("HKEY_LOCAL_MACHINE\\K", "gone", nkValueDeleted, "K", kSz, Sz("g"), {})}));
}

TEST_F(CompareRegTest, ChangedCountersRecordTheIncreaseAsADword) {
  const struct {
    const char* what;
    uint32_t t0;
    Data d0;
    uint32_t t1;
    Data d1;
    int32_t kind;
    uint32_t type;
    Data after;
  } kRows[] = {
      {"dword", kDword, Le(1), kDword, Le(3), nkCounterIncremented, kDword, Le(2)},
      {"text", kSz, Sz("1"), kSz, Sz("3"), nkCounterIncremented, kDword, Le(2)},
      {"lowered", kDword, Le(3), kDword, Le(1), nkCounterIncremented, kDword, Le(uint32_t(-2))},
      {"wraps", kDword, Le(0xFFFFFFFFu), kDword, Le(1), nkCounterIncremented, kDword, Le(2)},
      // The type before decides: four bytes that are no number as text read 0.
      {"type before", kSz, Sz("1"), kDword, Le(5), nkCounterIncremented, kDword, Le(uint32_t(-1))},
      {"short dword", kDword, {1, 0}, kDword, Le(5), nkCounterIncremented, kDword, Le(4)},
      {"binary", kBinary, {1}, kBinary, {2}, nkValueChanged, kBinary, {2}},
  };
  for (const auto& r : kRows) {
    SCOPED_TRACE(r.what);
    before_ = TreeBuilder();
    after_ = TreeBuilder();
    auto [b, a] = SharedKeys();
    before_.Value(b, kDll, r.t0, r.d0);
    after_.Value(a, kDll, r.t1, r.d1);
    EXPECT_EQ(Pass(false),
              (Calls{Value(kShared, kDll, r.kind, kSharedPath, r.type, r.d0, r.after)}));
    EXPECT_TRUE(Pass(true).empty());
  }
}

TEST_F(CompareRegTest, NewCounterOfAnExistingFileKeepsItsOwnDataAndType) {
  auto [b, a] = SharedKeys();
  const std::string text = "C:\\Windows\\System32\\text.dll",
                    missing = "C:\\Windows\\System32\\missing.dll";
  fs_.AddFile(text, "MZ");
  after_.Dword(a, kDll, 1);
  after_.Text(a, text, "1");
  after_.Dword(a, missing, 1);
  before_.Dword(b, missing + "2", 1);  // changed, for a file that is missing: a plain change
  after_.Dword(a, missing + "2", 2);
  EXPECT_EQ(
      Pass(false),
      (Calls{Value(kShared, kDll, nkCounterIncremented, kSharedPath, kDword, {}, Le(1)),
             Value(kShared, text, nkCounterIncremented, kSharedPath, kSz, {}, Sz("1")),
             Value(kShared, missing, nkValueAdded, kSharedPath, kDword, {}, Le(1)),
             Value(kShared, missing + "2", nkValueChanged, kSharedPath, kDword, Le(1), Le(2))}));
}

TEST_F(CompareRegTest, CounterRulesHoldOnlyInTheSharedDllsKeyOfTheLocalMachine) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 1);
  after_.Dword(a, kDll, 2);
  EXPECT_EQ(Pass(false, RootKey::kCurrentUser),
            Calls{Value("HKEY_CURRENT_USER\\" + kSharedPath, kDll, nkValueChanged, kSharedPath,
                        kDword, Le(1), Le(2), kHkcu)});
  before_.Dword(before_.Node(b, "Sub"), kDll, 1);  // a deeper key is not the counter key
  after_.Dword(after_.Node(a, "Sub"), kDll, 2);
  EXPECT_EQ(Pass(false),
            (Calls{Value(kShared, kDll, nkCounterIncremented, kSharedPath, kDword, Le(1), Le(1)),
                   Value(kShared + "\\Sub", kDll, nkValueChanged, kSharedPath + "\\Sub", kDword,
                         Le(1), Le(2))}));
}

TEST_F(CompareRegTest, StopRequestEndsThePassAtTheNextKey) {
  before_.Top("");
  auto* root = after_.Top("");
  after_.Text(after_.Node(root, "A"), "a", "1");
  after_.Text(after_.Node(root, "B"), "b", "2");
  test::StopAfter stop(2);  // the value of A, then A itself
  test::RecordingSink sink;
  RegistryComparer(stop, sink, fs_, RootKey::kLocalMachine)
      .CompareHive(before_.Root(), after_.Root());
  EXPECT_EQ(sink.calls,
            (Calls{Key("HKEY_LOCAL_MACHINE", "A", nkKeyAdded, ""),
                   Value("HKEY_LOCAL_MACHINE\\A", "a", nkValueAdded, "A", kSz, {}, Sz("1"))}));
}

TEST(CounterTextValueTest, DecimalIntegersWithOptionalBlanksAndSignElseZero) {
  const std::pair<const char*, int32_t> kRows[] = {{"12", 12},
                                                   {"  12", 12},
                                                   {"-3", -3},
                                                   {"+4", 4},
                                                   {"2147483647", 2147483647},
                                                   {"-2147483648", INT32_MIN},
                                                   {"2147483648", 0},
                                                   {"12a", 0},
                                                   {"", 0},
                                                   {"-", 0}};
  for (const auto& [text, value] : kRows) EXPECT_EQ(CounterTextValue(text), value) << text;
}

}  // namespace
}  // namespace cvn::compare
