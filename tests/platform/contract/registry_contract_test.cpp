// What every Registry implementation promises the scanner, the comparison
// and the uninstaller. The same tests run on each implementation, through
// MakePlatformUnderTest().
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "tests/platform/contract/platform_under_test.h"
#include "tests/platform/status_assertions.h"

namespace cvn::test {
namespace {

using platform::KeyAccess;
using platform::Registry;
using platform::RegKey;
using platform::RegKeyInfo;
using platform::RegValue;
using platform::RootKey;
using platform::Status;
using platform::StatusCode;
namespace regtype = platform::regtype;

using test::Where;

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

// `count` copies of `piece`, then one terminating zero: REG_SZ data.
std::vector<uint8_t> RepeatedText(std::string_view piece, size_t count) {
  std::vector<uint8_t> data;
  for (size_t i = 0; i < count; ++i) data.insert(data.end(), piece.begin(), piece.end());
  data.push_back(0);
  return data;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 % 251);
  return data;
}

constexpr RootKey kRoot = RootKey::kCurrentUser;
constexpr std::string_view kSandboxParent = "Software\\CorvaneTest";

// Each test works in its own key, "<suite>.<test>" below
// HKEY_CURRENT_USER\Software\CorvaneTest, removed before and after the test.
class RegistryContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = MakePlatformUnderTest();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    sandbox_path_ =
        std::string(kSandboxParent) + "\\" + info->test_suite_name() + "." + info->name();
    RemoveSandbox();
    ASSERT_STATUS(kOk, reg().CreateKey(kRoot, sandbox_path_, KeyAccess::kReadWrite, &sandbox_));
  }

  void TearDown() override {
    sandbox_.reset();
    RemoveSandbox();
  }

  Registry& reg() { return platform_->registry(); }
  RegKey& sandbox() { return *sandbox_; }
  std::string SandboxPath(std::string_view below) {
    return sandbox_path_ + "\\" + std::string(below);
  }

  // Creates `path` below the sandbox (with every missing level).
  std::unique_ptr<RegKey> MakeKey(std::string_view path, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::unique_ptr<RegKey> key;
    EXPECT_STATUS(kOk, reg().CreateKey(kRoot, SandboxPath(path), KeyAccess::kReadWrite, &key));
    return key;
  }

  std::unique_ptr<RegKey> OpenBelowSandbox(std::string_view path, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::unique_ptr<RegKey> key;
    EXPECT_STATUS(kOk, reg().OpenSubKey(sandbox(), path, KeyAccess::kReadWrite, &key));
    return key;
  }

  void Set(RegKey& key, std::string_view name, uint32_t type, const std::vector<uint8_t>& data,
           Where where = Where::current()) {
    TRACE_CALLER(where);
    EXPECT_STATUS(kOk, reg().SetValue(key, name, type, data));
  }

  // Every subkey name, in enumeration order; the enumeration must end with kNoMoreItems.
  std::vector<std::string> SubkeyNames(RegKey& key, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::vector<std::string> names;
    for (uint32_t index = 0;; ++index) {
      std::string name;
      const Status s = reg().EnumKey(key, index, &name);
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        return names;
      }
      names.push_back(name);
    }
  }

  // Every value, by name, enumerated with unlimited capacity; the
  // enumeration must end with kNoMoreItems.
  std::map<std::string, RegValue> AllValues(RegKey& key, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::map<std::string, RegValue> values;
    for (uint32_t index = 0;; ++index) {
      RegValue value;
      const Status s = reg().EnumValue(key, index, Registry::kUnlimited, &value);
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        return values;
      }
      EXPECT_EQ(values.count(value.name), 0u) << "enumerated twice: " << value.name;
      values[value.name] = value;
    }
  }

  // Sets a value, then reads it back by name and by enumeration.
  void ExpectRoundTrip(uint32_t type, const std::vector<uint8_t>& data,
                       Where where = Where::current()) {
    TRACE_CALLER(where);
    auto key = MakeKey("RoundTrip");
    ASSERT_NE(key, nullptr);
    ASSERT_STATUS(kOk, reg().SetValue(*key, "Value", type, data));

    RegValue queried;
    ASSERT_STATUS(kOk, reg().QueryValue(*key, "Value", &queried));
    EXPECT_EQ(queried.type, type);
    EXPECT_EQ(queried.data, data);

    const auto values = AllValues(*key);
    ASSERT_EQ(values.count("Value"), 1u);
    EXPECT_EQ(values.at("Value").type, type);
    EXPECT_EQ(values.at("Value").data, data);

    key.reset();
    EXPECT_STATUS(kOk, platform::DeleteKeyTree(reg(), sandbox(), "RoundTrip"));
  }

 private:
  void RemoveSandbox() {
    std::unique_ptr<RegKey> parent;
    if (!reg().OpenKey(kRoot, kSandboxParent, KeyAccess::kReadWrite, &parent).ok()) return;
    const std::string name = sandbox_path_.substr(kSandboxParent.size() + 1);
    const Status s = platform::DeleteKeyTree(reg(), *parent, name);
    ASSERT_TRUE(s.ok() || s.code() == StatusCode::kNotFound) << s.ToString();
  }

  std::unique_ptr<PlatformUnderTest> platform_;
  std::unique_ptr<RegKey> sandbox_;

 protected:
  std::string sandbox_path_;  // below the root
};

// --- Opening and creating keys ---

TEST_F(RegistryContractTest, OpeningAMissingKeyGivesNotFoundAndNoKey) {
  auto key = OpenBelowSandbox("");  // a key in hand, which a failed open must drop
  ASSERT_NE(key, nullptr);
  EXPECT_STATUS(kNotFound, reg().OpenKey(kRoot, SandboxPath("Missing"), KeyAccess::kRead, &key));
  EXPECT_EQ(key, nullptr);

  key = OpenBelowSandbox("");
  EXPECT_STATUS(kNotFound, reg().OpenSubKey(sandbox(), "Missing\\Deeper", KeyAccess::kRead, &key));
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryContractTest, CreateKeyMakesEveryMissingLevelAndReportsWhetherTheLastWasNew) {
  std::unique_ptr<RegKey> key;
  bool created = false;
  ASSERT_STATUS(
      kOk, reg().CreateKey(kRoot, SandboxPath("A\\B\\C"), KeyAccess::kReadWrite, &key, &created));
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(created);
  EXPECT_STATUS(kOk, platform::SetDword(reg(), *key, "InNewKey", 7));

  EXPECT_EQ(SubkeyNames(sandbox()), std::vector<std::string>{"A"});
  auto a = OpenBelowSandbox("A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(SubkeyNames(*a), std::vector<std::string>{"B"});
  auto c = OpenBelowSandbox("A\\B\\C");
  ASSERT_NE(c, nullptr);
  RegValue value;
  EXPECT_STATUS(kOk, reg().QueryValue(*c, "InNewKey", &value));

  key.reset();
  created = true;
  ASSERT_STATUS(
      kOk, reg().CreateKey(kRoot, SandboxPath("A\\B\\C"), KeyAccess::kReadWrite, &key, &created));
  EXPECT_NE(key, nullptr);
  EXPECT_FALSE(created);

  created = false;
  ASSERT_STATUS(
      kOk, reg().CreateKey(kRoot, SandboxPath("A\\B\\D"), KeyAccess::kReadWrite, &key, &created));
  EXPECT_TRUE(created) << "only the last level is new, and it counts";
}

TEST_F(RegistryContractTest, EveryRootOpensWithTheEmptyPath) {
  for (RootKey root : {RootKey::kClassesRoot, RootKey::kCurrentUser, RootKey::kLocalMachine,
                       RootKey::kUsers, RootKey::kCurrentConfig}) {
    SCOPED_TRACE(platform::RootKeyName(root));
    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, platform::OpenRoot(reg(), root, KeyAccess::kRead, &key));
    ASSERT_NE(key, nullptr);
    RegKeyInfo info;
    EXPECT_STATUS(kOk, reg().QueryInfoKey(*key, &info));
  }
}

TEST_F(RegistryContractTest, ARootKeyStaysUsableAfterAKeyOpenedOnItIsClosed) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::unique_ptr<RegKey> root;
    ASSERT_STATUS(kOk, platform::OpenRoot(reg(), kRoot, KeyAccess::kReadWrite, &root));
    std::unique_ptr<RegKey> below;
    EXPECT_STATUS(kOk, reg().OpenSubKey(*root, sandbox_path_, KeyAccess::kRead, &below));
    const auto names = SubkeyNames(*root);
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string& n) {
      return n == "Software";
    })) << "the root's own subkeys are listed";
  }
  // The sandbox, opened on the root before, still works.
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "After", 1));
}

TEST_F(RegistryContractTest, AKeyOpenedForReadingCannotBeChanged) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Kept", 1));
  std::unique_ptr<RegKey> reader;
  ASSERT_STATUS(kOk, reg().OpenKey(kRoot, sandbox_path_, KeyAccess::kRead, &reader));

  EXPECT_STATUS(kAccessDenied, platform::SetDword(reg(), *reader, "New", 2));
  EXPECT_STATUS(kAccessDenied, reg().DeleteValue(*reader, "Kept"));

  EXPECT_EQ(AllValues(sandbox()).size(), 1u);
}

// --- Enumeration ---

TEST_F(RegistryContractTest, EnumKeyGivesEveryDirectSubkeyOnceThenNoMoreItems) {
  EXPECT_STATUS(kNoMoreItems, [&] {
    std::string name;
    return reg().EnumKey(sandbox(), 0, &name);
  }());
  MakeKey("alpha");
  MakeKey("Beta");
  MakeKey("gamma\\child");

  auto names = SubkeyNames(sandbox());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Beta", "alpha", "gamma"}));

  std::string name;
  EXPECT_STATUS(kNoMoreItems, reg().EnumKey(sandbox(), 1000, &name));
}

TEST_F(RegistryContractTest, EnumValueGivesNameTypeAndDataOfEveryValueThenNoMoreItems) {
  EXPECT_STATUS(kNoMoreItems, [&] {
    RegValue value;
    return reg().EnumValue(sandbox(), 0, Registry::kUnlimited, &value);
  }());
  Set(sandbox(), "Text", regtype::kSz, Bytes(std::string_view("text\0", 5)));
  Set(sandbox(), "Number", regtype::kDword, {1, 0, 0, 0});
  Set(sandbox(), "Blob", regtype::kBinary, {9, 8, 7});
  MakeKey("SubkeyValuesAreNotListed");

  const auto values = AllValues(sandbox());
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values.at("Text").type, regtype::kSz);
  EXPECT_EQ(values.at("Text").data, Bytes(std::string_view("text\0", 5)));
  EXPECT_EQ(values.at("Number").type, regtype::kDword);
  EXPECT_EQ(values.at("Number").data, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(values.at("Blob").type, regtype::kBinary);
  EXPECT_EQ(values.at("Blob").data, (std::vector<uint8_t>{9, 8, 7}));
}

TEST_F(RegistryContractTest, TheDefaultValueHasTheEmptyName) {
  RegValue value;
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "", &value)) << "a new key has none";

  Set(sandbox(), "", regtype::kSz, Bytes(std::string_view("default\0", 8)));
  Set(sandbox(), "Named", regtype::kDword, {2, 0, 0, 0});

  ASSERT_STATUS(kOk, reg().QueryValue(sandbox(), "", &value));
  EXPECT_EQ(value.data, Bytes(std::string_view("default\0", 8)));
  const auto values = AllValues(sandbox());
  ASSERT_EQ(values.size(), 2u);
  ASSERT_EQ(values.count(""), 1u);
  EXPECT_EQ(values.at("").type, regtype::kSz);
  EXPECT_EQ(values.at("").data, Bytes(std::string_view("default\0", 8)));

  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), ""));
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "", &value));
}

TEST_F(RegistryContractTest, AValueWithoutDataHasZeroLength) {
  Set(sandbox(), "EmptyBinary", regtype::kBinary, {});
  Set(sandbox(), "EmptyText", regtype::kSz, {});

  for (const char* name : {"EmptyBinary", "EmptyText"}) {
    SCOPED_TRACE(name);
    RegValue value;
    ASSERT_STATUS(kOk, reg().QueryValue(sandbox(), name, &value));
    EXPECT_TRUE(value.data.empty());
  }
  // No data fits any capacity, even none.
  for (uint32_t index = 0; index < 2; ++index) {
    RegValue value;
    size_t needed = 99;
    ASSERT_STATUS(kOk, reg().EnumValue(sandbox(), index, 0, &value, &needed));
    EXPECT_TRUE(value.data.empty()) << value.name;
    EXPECT_EQ(value.type, value.name == "EmptyText" ? regtype::kSz : regtype::kBinary);
  }
}

// The scanner reads values with a fixed capacity and must learn, not lose,
// the ones that do not fit, and then go on with the rest.
TEST_F(RegistryContractTest, AValueLargerThanTheCapacityGivesMoreDataAndTheRestStillFollow) {
  const std::vector<uint8_t> big = Pattern(100 * 1024);
  Set(sandbox(), "Big", regtype::kBinary, big);
  Set(sandbox(), "After1", regtype::kDword, {1, 0, 0, 0});
  Set(sandbox(), "After2", regtype::kSz, Bytes(std::string_view("after\0", 6)));

  constexpr size_t kCapacity = 8192;
  std::map<std::string, std::vector<uint8_t>> seen;
  int more_data_results = 0;
  for (uint32_t index = 0;; ++index) {
    RegValue value;
    size_t needed = 0;
    Status s = reg().EnumValue(sandbox(), index, kCapacity, &value, &needed);
    if (s.code() == StatusCode::kMoreData) {
      ++more_data_results;
      EXPECT_EQ(value.name, "Big");
      EXPECT_GE(needed, big.size());
      s = reg().EnumValue(sandbox(), index, needed, &value, &needed);
      EXPECT_STATUS(kOk, s) << "asking again with the size given";
    }
    if (!s.ok()) {
      EXPECT_STATUS(kNoMoreItems, s);
      break;
    }
    seen[value.name] = value.data;
  }
  EXPECT_EQ(more_data_results, 1);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen["Big"], big);
  EXPECT_EQ(seen["After1"], (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(seen["After2"], Bytes(std::string_view("after\0", 6)));
}

// Text is delivered as UTF-8, and the capacity counts those bytes, whatever
// form the system keeps it in.
TEST_F(RegistryContractTest, TheCapacityCountsTextInItsDeliveredForm) {
  const std::vector<uint8_t> ascii = RepeatedText("x", 6000);   // 6,001 bytes
  const std::vector<uint8_t> kanji = RepeatedText("日", 3000);  // 9,001 bytes
  Set(sandbox(), "Ascii", regtype::kSz, ascii);
  Set(sandbox(), "Kanji", regtype::kSz, kanji);

  constexpr size_t kCapacity = 8192;
  for (uint32_t index = 0; index < 2; ++index) {
    RegValue value;
    size_t needed = 0;
    const Status s = reg().EnumValue(sandbox(), index, kCapacity, &value, &needed);
    SCOPED_TRACE(value.name);
    if (value.name == "Ascii") {
      ASSERT_STATUS(kOk, s);
      EXPECT_EQ(value.data, ascii);
    } else {
      ASSERT_EQ(value.name, "Kanji");
      ASSERT_STATUS(kMoreData, s);
      EXPECT_GE(needed, kanji.size());
      ASSERT_STATUS(kOk, reg().EnumValue(sandbox(), index, kanji.size(), &value, &needed));
      EXPECT_EQ(value.data, kanji);
    }
  }
}

// --- Reading values ---

TEST_F(RegistryContractTest, QueryValueGivesTheDataWhole) {
  const std::vector<uint8_t> big = Pattern(100 * 1024);
  const std::vector<uint8_t> long_text = RepeatedText("Grüße ", 20000);
  Set(sandbox(), "Big", regtype::kBinary, big);
  Set(sandbox(), "LongText", regtype::kExpandSz, long_text);

  RegValue value;
  ASSERT_STATUS(kOk, reg().QueryValue(sandbox(), "Big", &value));
  EXPECT_EQ(value.type, regtype::kBinary);
  EXPECT_EQ(value.data, big);
  ASSERT_STATUS(kOk, reg().QueryValue(sandbox(), "LongText", &value));
  EXPECT_EQ(value.type, regtype::kExpandSz);
  EXPECT_EQ(value.data, long_text);

  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "Missing", &value));
}

TEST_F(RegistryContractTest, StringDataRoundTripsAsUtf8WithItsTerminators) {
  ExpectRoundTrip(regtype::kSz, Bytes(std::string_view("hello\0", 6)));
  ExpectRoundTrip(regtype::kSz, Bytes(std::string_view("Grüße, 日本\0", 17)));
  ExpectRoundTrip(regtype::kExpandSz, Bytes(std::string_view("%SystemRoot%\\x\0", 15)));
  ExpectRoundTrip(regtype::kMultiSz, Bytes(std::string_view("one\0two\0\0", 9)));
}

TEST_F(RegistryContractTest, OtherDataRoundTripsByteForByte) {
  ExpectRoundTrip(regtype::kBinary, {0x00, 0xFF, 0x10, 0x00, 0x7F});
  // Looks like UTF-16 text, but only the string types are converted.
  ExpectRoundTrip(regtype::kBinary, {'a', 0, 'b', 0, 0, 0});
  ExpectRoundTrip(regtype::kDword, {0x78, 0x56, 0x34, 0x12});
  ExpectRoundTrip(regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 0x80});
  ExpectRoundTrip(regtype::kNone, {1, 2, 3});
}

TEST_F(RegistryContractTest, QueryInfoKeyCountsDirectSubkeysAndValues) {
  RegKeyInfo info;
  ASSERT_STATUS(kOk, reg().QueryInfoKey(sandbox(), &info));
  EXPECT_EQ(info.subkey_count, 0u);
  EXPECT_EQ(info.value_count, 0u);

  MakeKey("One\\NotCounted");
  MakeKey("Two");
  Set(sandbox(), "Small", regtype::kDword, {1, 0, 0, 0});
  Set(sandbox(), "Blob", regtype::kBinary, Pattern(3000));
  // 9,001 bytes as delivered: the largest value, though not the longest in characters.
  Set(sandbox(), "Kanji", regtype::kSz, RepeatedText("日", 3000));

  ASSERT_STATUS(kOk, reg().QueryInfoKey(sandbox(), &info));
  EXPECT_EQ(info.subkey_count, 2u);
  EXPECT_EQ(info.value_count, 3u);
  EXPECT_GE(info.max_value_data_size, 9001u) << "room for every value's data as delivered";
}

// --- Changing values ---

TEST_F(RegistryContractTest, SetValueReplacesTheValueOfTheSameName) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Setting", 1));
  EXPECT_STATUS(kOk, platform::SetString(reg(), sandbox(), "SETTING", "now text"));

  const auto values = AllValues(sandbox());
  ASSERT_EQ(values.size(), 1u);
  const RegValue& value = values.begin()->second;
  EXPECT_EQ(value.type, regtype::kSz);
  EXPECT_EQ(platform::DataAsText(value.data), "now text");
}

TEST_F(RegistryContractTest, DeleteValueRemovesItAndAMissingValueIsNotFound) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Gone", 1));
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Stays", 2));

  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), "Gone"));
  RegValue value;
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "Gone", &value));
  EXPECT_STATUS(kNotFound, reg().DeleteValue(sandbox(), "Gone"));
  EXPECT_STATUS(kNotFound, reg().DeleteValue(sandbox(), "NeverWas"));

  const auto values = AllValues(sandbox());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values.begin()->first, "Stays");
}

// --- Deleting keys ---

TEST_F(RegistryContractTest, DeleteKeyRemovesAKeyWithValuesButNoSubkeys) {
  auto leaf = MakeKey("Leaf");
  ASSERT_NE(leaf, nullptr);
  EXPECT_STATUS(kOk, platform::SetDword(reg(), *leaf, "Value", 1));
  leaf.reset();

  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Leaf"));
  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kNotFound, reg().OpenSubKey(sandbox(), "Leaf", KeyAccess::kRead, &key));
  EXPECT_STATUS(kNotFound, reg().DeleteKey(sandbox(), "Leaf"));
  EXPECT_STATUS(kNotFound, reg().DeleteKey(sandbox(), "Missing\\Deeper"));
}

TEST_F(RegistryContractTest, DeleteKeyRefusesAKeyWithSubkeys) {
  MakeKey("Parent\\Child");

  EXPECT_STATUS(kNotEmpty, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_NE(OpenBelowSandbox("Parent\\Child"), nullptr) << "nothing was deleted";

  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent\\Child"));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_TRUE(SubkeyNames(sandbox()).empty());
}

TEST_F(RegistryContractTest, DeleteKeyTreeRemovesEveryLevel) {
  for (const char* path : {"Tree\\A\\A1", "Tree\\A\\A2\\Deep", "Tree\\B"}) {
    auto key = MakeKey(path);
    ASSERT_NE(key, nullptr);
    EXPECT_STATUS(kOk, platform::SetDword(reg(), *key, "Value", 1));
  }
  MakeKey("Sibling");

  EXPECT_STATUS(kOk, platform::DeleteKeyTree(reg(), sandbox(), "Tree"));
  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kNotFound, reg().OpenSubKey(sandbox(), "Tree", KeyAccess::kRead, &key));
  EXPECT_EQ(SubkeyNames(sandbox()), std::vector<std::string>{"Sibling"});
}

// --- Names ---

TEST_F(RegistryContractTest, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
  MakeKey("MixedCase");
  MakeKey("Ärger");

  std::unique_ptr<RegKey> key;
  EXPECT_STATUS(kOk, reg().OpenSubKey(sandbox(), "MIXEDCASE", KeyAccess::kRead, &key));
  EXPECT_STATUS(kOk, reg().OpenSubKey(sandbox(), "äRGER", KeyAccess::kRead, &key));
  std::string upper_path = SandboxPath("mixedcase");
  std::transform(upper_path.begin(), upper_path.end(), upper_path.begin(), [](char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  });
  EXPECT_STATUS(kOk, reg().OpenKey(kRoot, upper_path, KeyAccess::kRead, &key));

  bool created = true;
  EXPECT_STATUS(
      kOk, reg().CreateKey(kRoot, SandboxPath("mixedCASE"), KeyAccess::kReadWrite, &key, &created));
  EXPECT_FALSE(created);
  auto names = SubkeyNames(sandbox());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"MixedCase", "Ärger"}));

  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "ValueName", 5));
  RegValue value;
  EXPECT_STATUS(kOk, reg().QueryValue(sandbox(), "VALUENAME", &value));
  EXPECT_EQ(AllValues(sandbox()).count("ValueName"), 1u);
  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), "valuename"));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "MIXEDcase"));
}

}  // namespace
}  // namespace cvn::test
