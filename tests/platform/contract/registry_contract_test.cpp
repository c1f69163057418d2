// What every Registry implementation promises the scanner, the comparison
// and the uninstaller. The same tests run on each implementation, through
// MakePlatformUnderTest().
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
using platform::RootKey;
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

Data Pattern(size_t size) {
  Data data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 % 251);
  return data;
}

constexpr RootKey kRoot = RootKey::kCurrentUser;

// Each test works in its own empty key.
class RegistryContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_STATUS(kOk, reg().OpenKey(kRoot, path_, KeyAccess::kReadWrite, &sandbox_));
  }

  platform::Registry& reg() { return platform_->registry(); }
  RegKey& sandbox() { return *sandbox_; }
  std::string SandboxPath(std::string_view below) { return path_ + "\\" + std::string(below); }

  // Creates `path` below the sandbox (with every missing level).
  std::unique_ptr<RegKey> MakeKey(std::string_view path, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::unique_ptr<RegKey> key;
    EXPECT_STATUS(kOk, reg().CreateKey(kRoot, SandboxPath(path), KeyAccess::kReadWrite, &key));
    return key;
  }
  Status Open(std::string_view below, std::unique_ptr<RegKey>* key = nullptr) {
    std::unique_ptr<RegKey> ignored;
    return reg().OpenSubKey(sandbox(), below, KeyAccess::kReadWrite, key ? key : &ignored);
  }
  void Set(RegKey& key, std::string_view name, uint32_t type, const Data& data,
           Where where = Where::current()) {
    TRACE_CALLER(where);
    EXPECT_STATUS(kOk, reg().SetValue(key, name, type, data));
  }

  // Every subkey name, sorted; the enumeration must end with kNoMoreItems.
  std::vector<std::string> SubkeyNames(RegKey& key, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::vector<std::string> names;
    for (uint32_t index = 0;; ++index) {
      std::string name;
      const Status s = reg().EnumKey(key, index, &name);
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        std::sort(names.begin(), names.end());
        return names;
      }
      names.push_back(name);
    }
  }

  // Every value by name, enumerated with unlimited capacity; each once, and
  // the enumeration must end with kNoMoreItems.
  std::map<std::string, RegValue> AllValues(RegKey& key, Where where = Where::current()) {
    TRACE_CALLER(where);
    std::map<std::string, RegValue> values;
    for (uint32_t index = 0;; ++index) {
      RegValue value;
      const Status s = reg().EnumValue(key, index, platform::Registry::kUnlimited, &value);
      if (!s.ok()) {
        EXPECT_STATUS(kNoMoreItems, s);
        return values;
      }
      EXPECT_EQ(values.count(value.name), 0u) << "enumerated twice: " << value.name;
      values[value.name] = value;
    }
  }

  std::unique_ptr<PlatformUnderTest> platform_ = MakePlatformUnderTest();
  const std::string path_ = platform_->key;  // below the root
  std::unique_ptr<RegKey> sandbox_;
};

// --- Keys ---

TEST_F(RegistryContractTest, OpeningAMissingKeyGivesNotFoundAndNoKey) {
  for (const char* missing : {"Missing", "Missing\\Deeper"}) {
    SCOPED_TRACE(missing);
    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, Open("", &key));  // a key in hand, which a failed open must drop
    EXPECT_STATUS(kNotFound, reg().OpenKey(kRoot, SandboxPath(missing), KeyAccess::kRead, &key));
    EXPECT_EQ(key, nullptr);
    ASSERT_STATUS(kOk, Open("", &key));
    EXPECT_STATUS(kNotFound, Open(missing, &key));
    EXPECT_EQ(key, nullptr);
  }
}

TEST_F(RegistryContractTest, CreateKeyMakesEveryMissingLevelAndReportsWhetherTheLastWasNew) {
  struct Row {
    const char* path;
    bool created;
  };
  // Only the last level counts: D is new though A and B are not.
  for (const Row& row : {Row{"A\\B\\C", true}, Row{"A\\B\\C", false}, Row{"A\\B\\D", true}}) {
    SCOPED_TRACE(row.path);
    std::unique_ptr<RegKey> key;
    bool created = !row.created;
    ASSERT_STATUS(
        kOk, reg().CreateKey(kRoot, SandboxPath(row.path), KeyAccess::kReadWrite, &key, &created));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(created, row.created);
    EXPECT_STATUS(kOk, platform::SetDword(reg(), *key, "InKey", 7));
  }
  EXPECT_EQ(SubkeyNames(sandbox()), std::vector<std::string>{"A"});
  std::unique_ptr<RegKey> b;
  ASSERT_STATUS(kOk, Open("A\\B", &b));
  EXPECT_EQ(SubkeyNames(*b), (std::vector<std::string>{"C", "D"}));
  ASSERT_STATUS(kOk, Open("A\\B\\C", &b));
  EXPECT_EQ(AllValues(*b).count("InKey"), 1u);
}

TEST_F(RegistryContractTest, EveryRootOpensWithTheEmptyPathAndOutlivesTheKeysOpenedOnIt) {
  for (RootKey root : {RootKey::kClassesRoot, RootKey::kCurrentUser, RootKey::kLocalMachine,
                       RootKey::kUsers, RootKey::kCurrentConfig}) {
    SCOPED_TRACE(platform::RootKeyName(root));
    std::unique_ptr<RegKey> key;
    ASSERT_STATUS(kOk, platform::OpenRoot(reg(), root, KeyAccess::kRead, &key));
    platform::RegKeyInfo info;
    EXPECT_STATUS(kOk, reg().QueryInfoKey(*key, &info));
  }
  for (int round = 0; round < 2; ++round) {  // the second finds the root still open
    std::unique_ptr<RegKey> root, below;
    ASSERT_STATUS(kOk, platform::OpenRoot(reg(), kRoot, KeyAccess::kReadWrite, &root));
    EXPECT_STATUS(kOk, reg().OpenSubKey(*root, path_, KeyAccess::kRead, &below));
    below.reset();
    const auto names = SubkeyNames(*root);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Software"), 1) << round;
  }
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "After", 1))
      << "opened on the root before";
}

TEST_F(RegistryContractTest, AKeyOpenedForReadingCannotBeChanged) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Kept", 1));
  std::unique_ptr<RegKey> reader;
  ASSERT_STATUS(kOk, reg().OpenKey(kRoot, path_, KeyAccess::kRead, &reader));
  EXPECT_STATUS(kAccessDenied, platform::SetDword(reg(), *reader, "New", 2));
  EXPECT_STATUS(kAccessDenied, reg().DeleteValue(*reader, "Kept"));
  EXPECT_EQ(AllValues(sandbox()).size(), 1u);
}

TEST_F(RegistryContractTest, QueryInfoKeyCountsDirectSubkeysAndValues) {
  MakeKey("One\\NotCounted");
  MakeKey("Two");
  Set(sandbox(), "Small", regtype::kDword, DwordData(1));
  platform::RegKeyInfo info;
  ASSERT_STATUS(kOk, reg().QueryInfoKey(sandbox(), &info));
  EXPECT_EQ(info.subkey_count, 2u);
  EXPECT_EQ(info.value_count, 1u);
}

// --- Values ---

// Text is stored as UTF-8 with its terminators; every other type byte for
// byte. Each value reads back the same by name and by enumeration.
TEST_F(RegistryContractTest, EveryValueReadsBackByNameAndByEnumeration) {
  struct Row {
    const char* name;
    uint32_t type;
    Data data;
  };
  const std::vector<Row> rows = {
      {"", regtype::kSz, Bytes({"default\0", 8})},  // the default value
      {"LongText", regtype::kExpandSz, RepeatedText("Grüße ", 20000)},
      {"LooksWide", regtype::kBinary, {'a', 0, 'b', 0, 0, 0}},  // only string types are converted
      {"Qword", regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 0x80}},
      {"None", regtype::kNone, {1, 2, 3}},
      {"EmptyText", regtype::kSz, {}},
  };
  RegValue value;
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "", &value)) << "a new key has no default";
  for (const Row& row : rows) Set(sandbox(), row.name, row.type, row.data);
  Set(*MakeKey("Sub"), "NotListedAbove", regtype::kDword, DwordData(1));

  auto values = AllValues(sandbox());
  EXPECT_EQ(values.size(), rows.size());
  const auto show = [](uint32_t type, const Data& data) {
    return std::to_string(type) + ":" + Hex(data);
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("value '") + row.name + "'");
    EXPECT_STATUS(kOk, reg().QueryValue(sandbox(), row.name, &value));
    EXPECT_EQ(show(value.type, value.data), show(row.type, row.data));
    EXPECT_EQ(show(values[row.name].type, values[row.name].data), show(row.type, row.data));
  }
  EXPECT_STATUS(kNotFound, reg().QueryValue(sandbox(), "Missing", &value));
}

// The scanner reads values with a fixed capacity and must learn, not lose,
// the ones that do not fit, and then go on with the rest. Text is delivered
// as UTF-8 and the capacity counts those bytes, whatever form the system
// keeps it in; no data fits any capacity, even none.
TEST_F(RegistryContractTest, AValueLargerThanTheCapacityGivesMoreDataAndTheRestStillFollow) {
  const std::map<std::string, Data> data = {{"Big", Pattern(100 * 1024)},
                                            {"Ascii", RepeatedText("x", 6000)},   // 6,001 bytes
                                            {"Kanji", RepeatedText("日", 3000)},  // 9,001 bytes
                                            {"Small", DwordData(1)},
                                            {"Empty", {}}};
  for (const auto& [name, bytes] : data) {
    const bool text = name == "Ascii" || name == "Kanji";
    Set(sandbox(), name, text ? regtype::kSz : regtype::kBinary, bytes);
  }
  constexpr size_t kCapacity = 8192;
  std::map<std::string, Data> seen;
  std::vector<std::string> too_big;
  for (uint32_t index = 0;; ++index) {
    RegValue value;
    size_t needed = 0;
    Status s = reg().EnumValue(sandbox(), index, kCapacity, &value, &needed);
    if (s.code() == platform::StatusCode::kMoreData) {
      too_big.push_back(value.name);
      EXPECT_GE(needed, data.at(value.name).size()) << value.name;
      s = reg().EnumValue(sandbox(), index, needed, &value, &needed);
      EXPECT_STATUS(kOk, s) << "asking again with the size given";
    }
    if (!s.ok()) {
      EXPECT_STATUS(kNoMoreItems, s);
      break;
    }
    seen[value.name] = value.data;
  }
  std::sort(too_big.begin(), too_big.end());
  EXPECT_EQ(too_big, (std::vector<std::string>{"Big", "Kanji"}));
  EXPECT_EQ(seen, data);
}

// A value set again under any case of its name is replaced, keeping the name.
TEST_F(RegistryContractTest, SetValueReplacesAndDeleteValueRemovesByName) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Gone", 1));
  EXPECT_STATUS(kOk, platform::SetDword(reg(), sandbox(), "Setting", 1));
  EXPECT_STATUS(kOk, platform::SetString(reg(), sandbox(), "SETTING", "now text"));
  Set(sandbox(), "", regtype::kSz, SzData("default"));
  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), "gONE"));
  EXPECT_STATUS(kOk, reg().DeleteValue(sandbox(), ""));
  EXPECT_STATUS(kNotFound, reg().DeleteValue(sandbox(), "Gone"));
  const auto values = AllValues(sandbox());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values.begin()->first, "Setting");
  EXPECT_EQ(values.begin()->second.type, regtype::kSz);
  EXPECT_EQ(platform::DataAsText(values.begin()->second.data), "now text");
}

// --- Deleting keys ---

TEST_F(RegistryContractTest, DeleteKeyRemovesOnlyAKeyWithoutSubkeys) {
  EXPECT_STATUS(kOk, platform::SetDword(reg(), *MakeKey("Leaf"), "Value", 1));
  MakeKey("Parent\\Child");

  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Leaf"));
  EXPECT_STATUS(kNotFound, reg().DeleteKey(sandbox(), "Leaf"));
  EXPECT_STATUS(kNotFound, reg().DeleteKey(sandbox(), "Missing\\Deeper"));

  EXPECT_STATUS(kNotEmpty, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_STATUS(kOk, Open("Parent\\Child")) << "nothing was deleted";
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent\\Child"));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "Parent"));
  EXPECT_TRUE(SubkeyNames(sandbox()).empty()) << "and no key is listed after it";
}

// --- Names ---

TEST_F(RegistryContractTest, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
  MakeKey("MixedCase");
  MakeKey("Ärger");
  EXPECT_STATUS(kOk, Open("äRGER"));
  std::unique_ptr<RegKey> key;
  std::string upper_path = SandboxPath("mixedcase");
  for (char& c : upper_path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_STATUS(kOk, reg().OpenKey(kRoot, upper_path, KeyAccess::kRead, &key));

  bool created = true;
  EXPECT_STATUS(
      kOk, reg().CreateKey(kRoot, SandboxPath("mixedCASE"), KeyAccess::kReadWrite, &key, &created));
  EXPECT_FALSE(created);
  EXPECT_EQ(SubkeyNames(sandbox()), (std::vector<std::string>{"MixedCase", "Ärger"}));
  EXPECT_STATUS(kOk, reg().DeleteKey(sandbox(), "MIXEDcase"));
}

}  // namespace
}  // namespace cvn::test
