// What every Registry implementation promises the scanner, the comparison
// and the uninstaller. The same tests run on each implementation, through
// MakePlatformUnderTest().
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"

namespace cvn::test {
namespace {

using platform::KeyAccess;
using platform::RegKey;
using platform::RegValue;
using platform::Status;
namespace regtype = platform::regtype;
using Data = std::vector<uint8_t>;

// `count` copies of `piece`, then one terminating zero: REG_SZ data.
Data RepeatedText(std::string_view piece, size_t count) {
  Data data;
  for (size_t i = 0; i < count; ++i) data.insert(data.end(), piece.begin(), piece.end());
  data.push_back(0);
  return data;
}

constexpr auto kRoot = platform::RootKey::kCurrentUser;

// Each test works in its own empty key.
class RegistryContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_STATUS(kOk, reg().OpenKey(kRoot, path_, KeyAccess::kReadWrite, &sandbox_));
  }

  platform::Registry& reg() { return platform_->registry(); }
  RegKey& sandbox() { return *sandbox_; }

  // Creates `path` below the sandbox (with every missing level).
  std::unique_ptr<RegKey> MakeKey(std::string_view path) {
    std::unique_ptr<RegKey> key;
    EXPECT_STATUS(
        kOk, reg().CreateKey(kRoot, path_ + "\\" + std::string(path), KeyAccess::kReadWrite, &key));
    return key;
  }
  Status Open(std::string_view below, std::unique_ptr<RegKey>* key = nullptr) {
    std::unique_ptr<RegKey> ignored;
    return reg().OpenSubKey(sandbox(), below, KeyAccess::kReadWrite, key ? key : &ignored);
  }

  // Every subkey name, sorted; the enumeration must end with kNoMoreItems.
  std::vector<std::string> SubkeyNames(RegKey& key, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::vector<std::string> names;
    for (std::string name;; names.push_back(name)) {
      const Status s = reg().EnumKey(key, static_cast<uint32_t>(names.size()), &name);
      if (s.ok()) continue;
      EXPECT_STATUS(kNoMoreItems, s);
      std::sort(names.begin(), names.end());
      return names;
    }
  }

  // Every value by name as type:hex, enumerated with `capacity`.
  // A value that does not fit is asked for again with the size given and
  // listed in `too_big`. The enumeration must end with kNoMoreItems.
  std::map<std::string, std::string> AllValues(size_t capacity = platform::Registry::kUnlimited,
                                               std::vector<std::string>* too_big = nullptr,
                                               Where where = Where::current()) {
    TRACE_CALLER(where);
    std::map<std::string, std::string> values;
    for (uint32_t index = 0;; ++index) {
      RegValue value;
      size_t needed = 0;
      Status s = reg().EnumValue(sandbox(), index, capacity, &value, &needed);
      if (s.code() == platform::StatusCode::kMoreData && too_big) {
        too_big->push_back(value.name);
        s = reg().EnumValue(sandbox(), index, needed, &value, &needed);
        EXPECT_STATUS(kOk, s) << "asking again with the size given";
      }
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        return values;
      }
      values[value.name] = Show(value.type, value.data);
    }
  }
  static std::string Show(uint32_t type, const Data& data) {
    return std::to_string(type) + ":" + Hex(data);
  }

  std::unique_ptr<PlatformUnderTest> platform_ = MakePlatformUnderTest();
  const std::string path_ = platform_->key;  // below the root
  std::unique_ptr<RegKey> sandbox_;
};

// Creating a key that is there opens it.
TEST_F(RegistryContractTest, CreateKeyMakesEveryMissingLevel) {
  for (const char* path : {"A\\B\\C", "A\\B\\C", "A\\B\\D"}) EXPECT_NE(MakeKey(path), nullptr);
  EXPECT_EQ(SubkeyNames(sandbox()), std::vector<std::string>{"A"});
  std::unique_ptr<RegKey> b;
  ASSERT_STATUS(kOk, Open("A\\B", &b));
  EXPECT_EQ(SubkeyNames(*b), (std::vector<std::string>{"C", "D"}));
}

// A link opens as its target, by its own path and by paths through it; the
// scan's open shows the link itself.
TEST_F(RegistryContractTest, ALinkOpensAsItsTargetExceptWhenAskedForTheLinkItself) {
  MakeKey("Target\\Below");
  ASSERT_TRUE(platform_->MakeLink("Link", "Target"));
  std::unique_ptr<RegKey> key;
  ASSERT_STATUS(kOk, Open("Link", &key));
  EXPECT_EQ(SubkeyNames(*key), std::vector<std::string>{"Below"});
  EXPECT_STATUS(kOk, Open("Link\\Below"));
  bool is_link = false;
  ASSERT_STATUS(kOk, reg().OpenSubKeyOrLink(sandbox(), "Link", &key, &is_link));
  EXPECT_TRUE(is_link);
  ASSERT_STATUS(kOk, reg().OpenSubKeyOrLink(sandbox(), "Target", &key, &is_link));
  EXPECT_FALSE(is_link);
  EXPECT_EQ(SubkeyNames(*key), std::vector<std::string>{"Below"});
  EXPECT_STATUS(kNotFound, reg().OpenSubKeyOrLink(sandbox(), "Missing", &key, &is_link));
}

// HKEY_CURRENT_USER is the current user's hive below HKEY_USERS.
TEST_F(RegistryContractTest, TheCurrentUsersHiveShowsTheSameKeysAsCurrentUser) {
  const std::string hive = reg().CurrentUserHiveName();
  ASSERT_TRUE(hive.starts_with("S-1-5-")) << hive;
  MakeKey("Seen");
  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kOk, reg().OpenKey(platform::RootKey::kUsers, hive + "\\" + path_ + "\\Seen",
                                   KeyAccess::kRead, &key));
}

// Closing a key opened on a root must leave the root open for the next one.
TEST_F(RegistryContractTest, ARootOutlivesTheKeysOpenedOnIt) {
  for (int round = 0; round < 2; ++round) {  // the second finds the root still open
    std::unique_ptr<RegKey> root, below;
    ASSERT_STATUS(kOk, platform::OpenRoot(reg(), kRoot, KeyAccess::kReadWrite, &root));
    EXPECT_STATUS(kOk, reg().OpenSubKey(*root, path_, KeyAccess::kRead, &below));
    below.reset();
    const auto names = SubkeyNames(*root);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Software"), 1) << round;
  }
}

// Text is stored as UTF-8 with its terminators; every other type byte for
// byte. Each value reads back the same by name and by enumeration.
TEST_F(RegistryContractTest, EveryValueReadsBackByNameAndByEnumeration) {
  const std::map<std::string, std::pair<uint32_t, Data>> rows = {
      {"", {regtype::kSz, Bytes({"default\0", 8})}},  // the default value
      {"LongText", {regtype::kExpandSz, RepeatedText("Grüße ", 20000)}},
      {"LooksWide", {regtype::kBinary, {'a', 0, 'b', 0, 0, 0}}},  // only text is converted
      {"Qword", {regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 0x80}}},
      {"EmptyText", {regtype::kSz, {}}},
  };
  RegValue value;
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "", &value)) << "a new key has no default";
  std::map<std::string, std::string> expected;
  for (const auto& [name, stored] : rows) {
    EXPECT_STATUS(kOk, reg().SetValue(sandbox(), name, stored.first, stored.second));
    expected[name] = Show(stored.first, stored.second);
  }
  EXPECT_STATUS(kOk, platform::SetDword(reg(), *MakeKey("Sub"), "NotListedAbove", 1));
  EXPECT_EQ(AllValues(), expected);
  for (const auto& [name, shown] : expected) {
    EXPECT_STATUS(kOk, reg().QueryValue(sandbox(), name, &value));
    EXPECT_EQ(Show(value.type, value.data), shown) << "value '" << name << "'";
  }
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "Missing", &value));
}

// The scanner reads values with a fixed capacity and must learn, not lose,
// the ones that do not fit, and then go on with the rest. Text is delivered
// as UTF-8 and the capacity counts those bytes, whatever form the system
// keeps it in; no data fits any capacity, even none.
TEST_F(RegistryContractTest, AValueLargerThanTheCapacityGivesMoreDataAndTheRestStillFollow) {
  Data big(100 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 % 251);
  const std::map<std::string, std::pair<uint32_t, Data>> rows = {
      {"Big", {regtype::kBinary, big}},
      {"Ascii", {regtype::kSz, RepeatedText("x", 6000)}},   // 6,001 bytes
      {"Kanji", {regtype::kSz, RepeatedText("日", 3000)}},  // 9,001 bytes
      {"Empty", {regtype::kBinary, {}}}};
  std::map<std::string, std::string> expected;
  for (const auto& [name, stored] : rows) {
    EXPECT_STATUS(kOk, reg().SetValue(sandbox(), name, stored.first, stored.second));
    expected[name] = Show(stored.first, stored.second);
  }
  std::vector<std::string> too_big;
  EXPECT_EQ(AllValues(8192, &too_big), expected);
  std::sort(too_big.begin(), too_big.end());
  EXPECT_EQ(too_big, (std::vector<std::string>{"Big", "Kanji"}));
}

// A key or value named again in any case is the same, and keeps its name.
TEST_F(RegistryContractTest, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
  MakeKey("MixedCase");
  MakeKey("Ärger");
  EXPECT_STATUS(kOk, Open("äRGER"));
  MakeKey("mixedCASE");
  EXPECT_EQ(SubkeyNames(sandbox()), (std::vector<std::string>{"MixedCase", "Ärger"}));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "MIXEDcase"));
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Gone", 1));
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Setting", 1));
  EXPECT_STATUS(kOk, platform::SetString(reg(), sandbox(), "SETTING", "now text"));
  EXPECT_STATUS(kOk, platform::SetString(reg(), sandbox(), "", "default"));
  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), "gONE"));
  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), ""));
  EXPECT_STATUS(kNotFound, reg().DeleteValue(sandbox(), "Gone"));
  const std::map<std::string, std::string> expected = {
      {"Setting", Show(regtype::kSz, SzData("now text"))}};
  EXPECT_EQ(AllValues(), expected);
}

// The uninstaller counts what a key holds before it deletes the key.
TEST_F(RegistryContractTest, DeleteKeyRemovesOnlyAKeyWithoutSubkeys) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), *MakeKey("Leaf"), "Value", 1));
  MakeKey("Parent\\Child");
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Counted", 1));
  platform::RegKeyInfo info;
  ASSERT_STATUS(kOk, reg().QueryInfoKey(sandbox(), &info));
  EXPECT_EQ(info.subkey_count, 2u) << "only the direct subkeys";
  EXPECT_EQ(info.value_count, 1u);

  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Leaf"));
  EXPECT_STATUS(kNotFound, reg().DeleteKey(sandbox(), "Leaf"));
  EXPECT_STATUS(kNotFound, Open("Leaf\\Deeper"));
  EXPECT_STATUS(kNotEmpty, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_STATUS(kOk, Open("Parent\\Child")) << "nothing was deleted";
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent\\Child"));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_TRUE(SubkeyNames(sandbox()).empty()) << "and no key is listed after it";
}

}  // namespace
}  // namespace cvn::test

namespace cvn::test {
namespace {

// What the scanner's bulk path asks of the registry: how many subkeys each
// subkey has (a link its own, none), and the key saved to bytes in one of
// the two saved forms.
TEST_F(RegistryContractTest, SubkeyCountsAndSavedKeysForTheBulkRead) {
  MakeKey("A\\One");
  MakeKey("A\\Two");
  MakeKey("B");
  MakeKey("Target\\Below");
  ASSERT_TRUE(platform_->MakeLink("Link", "Target"));
  std::vector<std::string> names;
  std::vector<uint32_t> counts;
  for (uint32_t i = 0;; ++i) {
    uint32_t count = 99;
    const Status s = reg().EnumKeySubkeyCount(sandbox(), i, &count);
    if (!s.ok()) {
      EXPECT_STATUS(kNoMoreItems, s);
      break;
    }
    std::string name;
    ASSERT_STATUS(kOk, reg().EnumKey(sandbox(), i, &name));
    names.push_back(name);
    counts.push_back(count);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "Link", "Target"}));
  EXPECT_EQ(counts, (std::vector<uint32_t>{2, 0, 0, 1}));

  std::vector<uint8_t> saved = {1};
  EXPECT_STATUS(kNotFound, reg().SaveKey(kRoot, path_ + "\\Missing", &saved));
  EXPECT_TRUE(saved.empty());
  ASSERT_STATUS(kOk, reg().SaveKey(kRoot, path_, &saved));
  const std::string head(saved.begin(), saved.begin() + std::min<size_t>(saved.size(), 23));
  EXPECT_TRUE(head.starts_with("regf") || head == "WINE REGISTRY Version 2") << head;
}

}  // namespace
}  // namespace cvn::test
