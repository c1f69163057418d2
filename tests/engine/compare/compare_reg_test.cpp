// The registry comparison: created and deleted keys and values, changed
// values, and the shared-file counters.
#include "engine/compare/compare_reg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compare_test_util.h"
#include "platform/memory/memory_filesystem.h"

namespace cvn::compare {
namespace {

using changes::nkCounterIncremented;
using changes::nkKeyAdded;
using changes::nkKeyDeleted;
using changes::nkValueAdded;
using changes::nkValueChanged;
using changes::nkValueDeleted;
using platform::RootKey;
using test::Call;
using test::RecordingSink;
using test::TreeBuilder;

constexpr uint32_t kHklm = 0x80000002;
constexpr uint32_t kHkcu = 0x80000001;
constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4;
const std::string kShared =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kSharedPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kDll = "C:\\Windows\\System32\\shared.dll";

std::vector<uint8_t> Bytes(std::string_view text) {
  return test::Z(text);
}
std::vector<uint8_t> Le(uint32_t v) {
  return TreeBuilder::LittleEndian(v);
}

Call KeyCall(std::string path, std::string name, int32_t kind, std::string path_field,
             uint32_t root = kHklm) {
  Call c;
  c.path = std::move(path);
  c.name = std::move(name);
  c.kind = kind;
  c.path_field = std::move(path_field);
  c.root_key = root;
  return c;
}

Call ValueCall(std::string path, std::string name, int32_t kind, std::string path_field,
               uint32_t type, std::vector<uint8_t> before, std::vector<uint8_t> after,
               bool has_before, bool has_after, uint32_t root = kHklm) {
  Call c = KeyCall(std::move(path), std::move(name), kind, std::move(path_field), root);
  c.value_type = type;
  c.has_before = has_before;
  c.has_after = has_after;
  c.before_size = static_cast<int32_t>(before.size());
  c.after_size = static_cast<int32_t>(after.size());
  c.before = std::move(before);
  c.after = std::move(after);
  return c;
}
Call Added(std::string path, std::string name, std::string field, uint32_t type,
           std::vector<uint8_t> data, int32_t kind = nkValueAdded) {
  const bool has_after = !data.empty();  // no bytes, no buffer
  return ValueCall(std::move(path), std::move(name), kind, std::move(field), type, {},
                   std::move(data), false, has_after);
}
Call Deleted(std::string path, std::string name, std::string field, uint32_t type,
             std::vector<uint8_t> data) {
  return ValueCall(std::move(path), std::move(name), nkValueDeleted, std::move(field), type,
                   std::move(data), {}, true, false);
}
Call Changed(std::string path, std::string name, std::string field, uint32_t type,
             std::vector<uint8_t> before, std::vector<uint8_t> after,
             int32_t kind = nkValueChanged) {
  return ValueCall(std::move(path), std::move(name), kind, std::move(field), type,
                   std::move(before), std::move(after), true, true);
}

class CompareRegTest : public ::testing::Test {
 protected:
  CompareRegTest() { fs_.AddFile(kDll, "MZ"); }

  std::vector<Call> Pass(const TreeBuilder& a, const TreeBuilder& b, bool deleted,
                         RootKey root = RootKey::kLocalMachine) {
    snapshot::RunToEnd run;
    RecordingSink sink;
    RegistryComparer(run, sink, fs_, root).CompareReg(a.Root(), b.Root(), "", deleted);
    return sink.calls;
  }
  std::vector<Call> FirstPass(RootKey root = RootKey::kLocalMachine) {
    return Pass(after_, before_, false, root);
  }
  std::vector<Call> SecondPass() { return Pass(before_, after_, true); }

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
  auto* software = after_.Node(after_.Top(""), "Software");
  auto* app = after_.Node(software, "App");
  after_.Text(app, "Path", "C:\\App");
  after_.Dword(app, "Count", 7);
  auto* sub = after_.Node(app, "Sub");
  after_.Text(sub, "", "x");

  const std::string app_path = "HKEY_LOCAL_MACHINE\\Software\\App";
  EXPECT_EQ(FirstPass(), (std::vector<Call>{
                             KeyCall("HKEY_LOCAL_MACHINE\\Software", "App", nkKeyAdded, "Software"),
                             Added(app_path, "Path", "Software\\App", kSz, Bytes("C:\\App")),
                             Added(app_path, "Count", "Software\\App", kDword, Le(7)),
                             KeyCall(app_path, "Sub", nkKeyAdded, "Software\\App"),
                             Added(app_path + "\\Sub", "", "Software\\App\\Sub", kSz, Bytes("x")),
                         }));
  EXPECT_TRUE(SecondPass().empty());
}

TEST_F(CompareRegTest, TopLevelKeysAndRootValuesUseTheRootKeyName) {
  auto* root = after_.Top("");
  after_.Text(root, "rootval", "r");
  after_.Node(root, "Top");
  before_.Top("");
  EXPECT_EQ(FirstPass(RootKey::kCurrentUser),
            (std::vector<Call>{
                ValueCall("HKEY_CURRENT_USER\\", "rootval", nkValueAdded, "", kSz, {}, Bytes("r"),
                          false, true, kHkcu),
                KeyCall("HKEY_CURRENT_USER", "Top", nkKeyAdded, "", kHkcu),
            }));
}

TEST_F(CompareRegTest, DeletedKeyIsReportedInTheSecondPassWithItsValuesBefore) {
  auto* old = before_.Node(before_.Node(before_.Top(""), "Software"), "Old");
  before_.Text(old, "a", "1");
  before_.Node(old, "Sub");
  after_.Node(after_.Top(""), "Software");
  EXPECT_TRUE(FirstPass().empty());
  const std::string old_path = "HKEY_LOCAL_MACHINE\\Software\\Old";
  EXPECT_EQ(SecondPass(),
            (std::vector<Call>{
                KeyCall("HKEY_LOCAL_MACHINE\\Software", "Old", nkKeyDeleted, "Software"),
                Deleted(old_path, "a", "Software\\Old", kSz, Bytes("1")),
                KeyCall(old_path, "Sub", nkKeyDeleted, "Software\\Old"),
            }));
}

TEST_F(CompareRegTest, ValuesCreatedChangedAndDeletedInAKeyPresentOnBothSides) {
  auto* b = before_.Node(before_.Top(""), "K");
  before_.Text(b, "", "a");
  before_.Text(b, "gone", "g");
  before_.Text(b, "same", "s");
  before_.Text(b, "type", "t", kSz);
  auto* a = after_.Node(after_.Top(""), "k");
  after_.Text(a, "", "b");
  after_.Text(a, "SAME", "s");
  after_.Text(a, "type", "t", kExpandSz);
  after_.Value(a, "new", kBinary, {});

  const std::string k = "HKEY_LOCAL_MACHINE\\k";
  EXPECT_EQ(FirstPass(), (std::vector<Call>{
                             Changed(k, "", "k", kSz, Bytes("a"), Bytes("b")),
                             // A type change alone is a change; the record shows the type before.
                             Changed(k, "type", "k", kSz, Bytes("t"), Bytes("t")),
                             Added(k, "new", "k", kBinary, {}),
                         }));
  EXPECT_EQ(SecondPass(),
            (std::vector<Call>{Deleted("HKEY_LOCAL_MACHINE\\K", "gone", "K", kSz, Bytes("g"))}));
}

TEST_F(CompareRegTest, SizeDifferenceWithEqualPrefixIsAChange) {
  before_.Value(before_.Top(""), "v", kBinary, {1, 2});
  after_.Value(after_.Top(""), "v", kBinary, {1, 2, 0});
  ASSERT_EQ(FirstPass().size(), 1u);
  EXPECT_EQ(FirstPass()[0].kind, nkValueChanged);
}

TEST_F(CompareRegTest, RaisedDwordCounterRecordsTheIncrease) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 1);
  after_.Dword(a, kDll, 3);
  EXPECT_EQ(FirstPass(), (std::vector<Call>{Changed(kShared, kDll, kSharedPath, kDword, Le(1),
                                                    Le(2), nkCounterIncremented)}));
  EXPECT_TRUE(SecondPass().empty());
}

TEST_F(CompareRegTest, RaisedTextCounterRecordsTheIncreaseAsADword) {
  auto [b, a] = SharedKeys();
  before_.Text(b, kDll, "1");
  after_.Text(a, kDll, "3");
  EXPECT_EQ(FirstPass(), (std::vector<Call>{Changed(kShared, kDll, kSharedPath, kDword, Bytes("1"),
                                                    Le(2), nkCounterIncremented)}));
}

TEST_F(CompareRegTest, LoweredCountersRecordANegativeDelta) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 3);
  after_.Dword(a, kDll, 1);
  EXPECT_EQ(FirstPass()[0].after, Le(static_cast<uint32_t>(-2)));
  EXPECT_EQ(FirstPass()[0].kind, nkCounterIncremented);
}

TEST_F(CompareRegTest, DwordDeltasWrapAroundAt32Bits) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 0xFFFFFFFFu);
  after_.Dword(a, kDll, 1);
  fs_.AddFile("C:\\Windows\\System32\\other.dll", "MZ");
  before_.Dword(b, "c:\\windows\\system32\\OTHER.DLL", 0);
  after_.Dword(a, "c:\\windows\\system32\\OTHER.DLL", 0x80000000u);
  const std::vector<Call> calls = FirstPass();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].after, Le(2));
  EXPECT_EQ(calls[1].after, Le(0x80000000u));
}

TEST_F(CompareRegTest, CounterNamesMatchTheFirstValueEqualInCase) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 1);
  before_.Dword(b, "c:\\windows\\system32\\SHARED.DLL", 5);
  after_.Dword(a, "C:\\WINDOWS\\system32\\shared.dll", 4);
  const std::vector<Call> calls = FirstPass();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].after, Le(3));  // against the first, 1
}

TEST_F(CompareRegTest, TextCounterThatIsNotANumberCountsAsZero) {
  auto [b, a] = SharedKeys();
  before_.Text(b, kDll, "abc");
  after_.Text(a, kDll, "2");
  EXPECT_EQ(FirstPass()[0].after, Le(2));
}

TEST_F(CompareRegTest, TextCounterIsReadUpToItsFirstZero) {
  auto [b, a] = SharedKeys();
  before_.Value(b, kDll, kSz, {'5', 0, '9', 0});
  after_.Value(a, kDll, kSz, {'7', 0});
  EXPECT_EQ(FirstPass()[0].after, Le(2));
}

TEST_F(CompareRegTest, TheTypeBeforeDecidesHowACounterIsRead) {
  auto [b, a] = SharedKeys();
  before_.Text(b, kDll, "1");
  after_.Dword(a, kDll, 5);  // four bytes that are no number as text: 0
  const std::vector<Call> calls = FirstPass();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, nkCounterIncremented);
  EXPECT_EQ(calls[0].after, Le(static_cast<uint32_t>(-1)));
}

TEST_F(CompareRegTest, ShortDwordCounterDataReadsAsZerosPastItsEnd) {
  auto [b, a] = SharedKeys();
  before_.Value(b, kDll, kDword, {1, 0});
  after_.Dword(a, kDll, 5);
  const std::vector<Call> calls = FirstPass();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].after, Le(4));
  EXPECT_EQ(calls[0].before, (std::vector<uint8_t>{1, 0}));
}

TEST_F(CompareRegTest, NewCounterKeepsItsOwnDataAndType) {
  auto [b, a] = SharedKeys();
  (void)b;
  after_.Dword(a, kDll, 1);
  fs_.AddFile("C:\\Windows\\System32\\text.dll", "MZ");
  after_.Text(a, "C:\\Windows\\System32\\text.dll", "1");
  after_.Dword(a, "C:\\Windows\\System32\\missing.dll", 1);
  fs_.AddFile("C:\\Windows\\System32\\bin.dll", "MZ");
  after_.Value(a, "C:\\Windows\\System32\\bin.dll", kBinary, {1, 0, 0, 0});
  fs_.CreateFolders("C:\\Windows\\System32\\folder");
  after_.Dword(a, "C:\\Windows\\System32\\folder", 1);
  EXPECT_EQ(FirstPass(),
            (std::vector<Call>{
                Added(kShared, kDll, kSharedPath, kDword, Le(1), nkCounterIncremented),
                Added(kShared, "C:\\Windows\\System32\\text.dll", kSharedPath, kSz, Bytes("1"),
                      nkCounterIncremented),
                Added(kShared, "C:\\Windows\\System32\\missing.dll", kSharedPath, kDword, Le(1)),
                Added(kShared, "C:\\Windows\\System32\\bin.dll", kSharedPath, kBinary, Le(1)),
                Added(kShared, "C:\\Windows\\System32\\folder", kSharedPath, kDword, Le(1)),
            }));
}

TEST_F(CompareRegTest, ChangedCounterOfAMissingFileOrAnotherTypeIsAPlainChange) {
  auto [b, a] = SharedKeys();
  const std::string missing = "C:\\Windows\\System32\\missing.dll";
  before_.Dword(b, missing, 1);
  after_.Dword(a, missing, 2);
  before_.Value(b, kDll, kBinary, {1});
  after_.Value(a, kDll, kBinary, {2});
  EXPECT_EQ(FirstPass(),
            (std::vector<Call>{Changed(kShared, missing, kSharedPath, kDword, Le(1), Le(2)),
                               Changed(kShared, kDll, kSharedPath, kBinary, {1}, {2})}));
}

TEST_F(CompareRegTest, CounterRulesHoldOnlyInTheSharedDllsKeyOfTheLocalMachine) {
  auto [b, a] = SharedKeys();
  before_.Dword(b, kDll, 1);
  after_.Dword(a, kDll, 2);
  EXPECT_EQ(FirstPass(RootKey::kCurrentUser)[0].kind, nkValueChanged);
  // A deeper key below SharedDLLs is not the counter key.
  auto* deeper_b = before_.Node(b, "Sub");
  auto* deeper_a = after_.Node(a, "Sub");
  before_.Dword(deeper_b, kDll, 1);
  after_.Dword(deeper_a, kDll, 2);
  const std::vector<Call> calls = FirstPass();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, nkCounterIncremented);
  EXPECT_EQ(calls[1].kind, nkValueChanged);
}

TEST_F(CompareRegTest, ValuesOfANewSharedDllsKeyAreNotCounters) {
  auto* b = before_.Top("");
  before_.Node(b, "SOFTWARE");
  auto* a = after_.Top("");
  auto* n =
      after_.Node(after_.Node(after_.Node(after_.Node(a, "SOFTWARE"), "Microsoft"), "Windows"),
                  "CurrentVersion");
  after_.Dword(after_.Node(n, "SharedDLLs"), kDll, 1);
  const std::vector<Call> calls = FirstPass();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().kind, nkValueAdded);
  EXPECT_EQ(calls.back().name, kDll);
}

TEST_F(CompareRegTest, AnEmptyBeforeTreeMakesTheWholeHiveNew) {
  after_.Text(after_.Top(""), "v", "x");
  EXPECT_EQ(FirstPass(), (std::vector<Call>{
                             KeyCall("HKEY_LOCAL_MACHINE", "", nkKeyAdded, ""),
                             Added("HKEY_LOCAL_MACHINE\\", "v", "", kSz, Bytes("x")),
                         }));
}

TEST_F(CompareRegTest, StopRequestEndsThePassAtTheNextKey) {
  before_.Top("");
  auto* root = after_.Top("");
  after_.Text(after_.Node(root, "A"), "a", "1");
  after_.Text(after_.Node(root, "B"), "b", "2");
  test::StopAfter stop(2);  // the value of A, then A itself
  RecordingSink sink;
  RegistryComparer(stop, sink, fs_, RootKey::kLocalMachine)
      .CompareHive(before_.Root(), after_.Root());
  EXPECT_EQ(sink.calls, (std::vector<Call>{
                            KeyCall("HKEY_LOCAL_MACHINE", "A", nkKeyAdded, ""),
                            Added("HKEY_LOCAL_MACHINE\\A", "a", "A", kSz, Bytes("1")),
                        }));
}

TEST(CounterTextValueTest, DecimalIntegersWithOptionalBlanksAndSign) {
  EXPECT_EQ(CounterTextValue("12"), 12);
  EXPECT_EQ(CounterTextValue("  12"), 12);
  EXPECT_EQ(CounterTextValue("-3"), -3);
  EXPECT_EQ(CounterTextValue("+4"), 4);
  EXPECT_EQ(CounterTextValue("2147483647"), 2147483647);
  EXPECT_EQ(CounterTextValue("-2147483648"), INT32_MIN);
  EXPECT_EQ(CounterTextValue("2147483648"), 0);
  EXPECT_EQ(CounterTextValue("99999999999999999999"), 0);
  EXPECT_EQ(CounterTextValue("12a"), 0);
  EXPECT_EQ(CounterTextValue("1 "), 0);
  EXPECT_EQ(CounterTextValue(""), 0);
  EXPECT_EQ(CounterTextValue("-"), 0);
}

}  // namespace
}  // namespace cvn::compare
