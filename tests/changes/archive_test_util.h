// Helpers for the changes archive's tests: expected bytes, a tree holding one
// change of every kind, and a fixture with the archive folder C:\Cvn.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"
#include "changes/save_changes_tree.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/changes/change_tree_test_util.h"
#include "tests/support/fixed_clock.h"

namespace cvn::changes::test {

using namespace std::string_view_literals;

// Expected archive bytes, written field by field.
class Fields {
 public:
  Fields& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Fields& Str(std::string_view text) { return U32(static_cast<uint32_t>(text.size())).Raw(text); }
  Fields& Raw(std::string_view raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  Fields& Double(double d) { return Raw({reinterpret_cast<const char*>(&d), 8}); }
  const std::vector<uint8_t>& vec() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// The header CreateHeader writes at `created`.
inline Fields HeaderBytes(double created, uint32_t version = 200, double last_used = 0.0,
                          uint32_t uses = 0) {
  Fields b;
  b.Raw("\nC V N file\0"sv).U32(version).Double(created).Double(last_used).U32(uses);
  b.Raw(std::string(20, '\0'));
  return b;
}

// One change of every kind, as a comparison would insert them (holding
// only what an archive keeps, so that a round trip gives them back). Texts
// are held with their terminating zero, as the tree keeps them.
inline void FillEveryKind(ChangeTree& tree) {
  constexpr uint32_t cu = kHkcu, lm = kHklm;
  const std::string_view dlls = "HKEY_LOCAL_MACHINE\\S\\SharedDLLs";
  Add(tree, "HKEY_CURRENT_USER", "NewKey", NodeKind::kKeyAdded, cu);
  Add(tree, "HKEY_CURRENT_USER\\NewKey", "", NodeKind::kValueAdded, cu, 1, "", "ab\0"sv, "NewKey");
  Add(tree, "HKEY_CURRENT_USER\\NewKey", "Sub", NodeKind::kKeyAdded, cu, 0, "", "", "NewKey");
  Add(tree, "HKEY_CURRENT_USER\\Old\\Key", "Gone", NodeKind::kKeyDeleted, cu, 0, "", "",
      "Old\\Key");
  Add(tree, "HKEY_CURRENT_USER\\App", "Bin", NodeKind::kValueChanged, cu, 3, "\x01\x02",
      "\x03\x04\x05", "App");
  Add(tree, "HKEY_CURRENT_USER\\App", "Was", NodeKind::kValueDeleted, cu, 4, "\x07\0\0\0"sv, "",
      "App");
  Add(tree, "HKEY_CURRENT_USER", "RootValue", NodeKind::kValueAdded, cu, 3, "", "\x09", "");
  Add(tree, dlls, "C:\\x.dll", NodeKind::kCounterIncremented, lm, 4, "", "\x01\0\0\0"sv,
      "S\\SharedDLLs");
  Add(tree, dlls, "C:\\y.dll", NodeKind::kCounterIncremented, lm, 1, "", "3\0"sv, "S\\SharedDLLs");
  Add(tree, dlls, "C:\\z.dll", NodeKind::kCounterIncremented, lm, 3, "", "", "S\\SharedDLLs");
  Add(tree, "C:", "NewDir", NodeKind::kFolderAdded, 0, 0, "", "", "C:");
  Add(tree, "C:\\NewDir", "a.txt", NodeKind::kFileAdded, 0, 0, "", "10:00 01/02/24 5\0"sv,
      "C:\\NewDir");
  Add(tree, "C:\\Data", "old.txt", NodeKind::kFileDeleted, 0, 0, "09:00 01/01/24 7\0"sv, "",
      "C:\\Data");
  Add(tree, "C:\\Data", "chg.txt", NodeKind::kFileChanged, 0, 0, "09:00 01/01/24 1\0"sv,
      "10:00 01/02/24 2\0"sv, "C:\\Data");
  Add(tree, "C:\\Data", "OldSub", NodeKind::kFolderDeleted, 0, 0, "", "", "C:\\Data");
  Add(tree, "C:\\Data", "m.bin", NodeKind::kFileMovedFrom, 0, 0, "08:00 01/01/24 9\0"sv, "",
      "C:\\Data");
  Add(tree, "D:\\Else", "m.bin", NodeKind::kFileMovedTo, 0, 0, "", "08:00 01/01/24 9\0"sv,
      "D:\\Else");
}

// The archive folder C:\Cvn on an in-memory file system; App.cvn its archive.
class ArchiveFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders("C:\\Cvn").ok()); }
  void Put(const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(fs_.WriteFile("C:\\Cvn\\App.cvn", bytes).ok());
  }
  std::vector<uint8_t> FileBytes() {
    std::vector<uint8_t> data;
    EXPECT_TRUE(fs_.ReadFile("C:\\Cvn\\App.cvn", &data).ok());
    return data;
  }
  void Save(const ChangeTree& tree) { SaveChangesTree(tree, fs_, "C:\\Cvn", "App", clock_); }

  platform::MemoryFileSystem fs_;
  cvn::test::FixedClock clock_;
  settings::Settings settings_;
};

}  // namespace cvn::changes::test
