// The registry scanner on the in-memory registry: the records of both forms,
// closed subtrees, keys that cannot be opened, values of any size,
// enumerations that fail part-way, and stops.
#include "engine/snapshot/registry_scanner.h"

#include <gtest/gtest.h>

#include "engine/snapshot/load_snapshot.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/engine/snapshot/snapshot_test_util.h"

namespace cvn::snapshot {
namespace {

using platform::RootKey;
using test::ChildNamed;
using test::Names;
using test::Records;
using Strings = std::vector<std::string>;

constexpr RootKey kHKLM = RootKey::kLocalMachine;
constexpr char kFolder[] = "C:\\Corvane";
const std::vector<uint8_t> kDword1 = {1, 0, 0, 0};

class RegistryScannerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  std::unique_ptr<platform::RegKey> Key(std::string_view path, RootKey root = kHKLM) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(root, path, platform::KeyAccess::kReadWrite, &key).ok());
    return key;
  }
  void Set(std::string_view path, std::string_view name, uint32_t type,
           const std::vector<uint8_t>& data, RootKey root = kHKLM) {
    ASSERT_TRUE(registry_.SetValue(*Key(path, root), name, type, data).ok());
  }
  // The store form's bytes for `path` below `root`.
  std::vector<uint8_t> StoreBytes(RootKey root, const std::string& path = "",
                                  ScanControl* control = nullptr) {
    TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
    RegistryScanner(registry_, settings_, control ? *control : to_end_)
        .ScanRegKey(root, path, store);
    store.Save();
    return {store.Bytes().begin(), store.Bytes().end()};
  }
  SnapshotTree ScanToTree(RootKey root, ScanControl* control = nullptr) {
    SnapshotTree tree;
    tree.SetRoot(RegistryScanner(registry_, settings_, control ? *control : to_end_)
                     .ScanRegKeyToTree(root, "", "", tree));
    return tree;
  }
  // Both forms must record the same (the store loaded back); returns the tree form.
  SnapshotTree ScanBothForms(RootKey root) {
    StoreBytes(root);
    SnapshotTree tree = ScanToTree(root);
    EXPECT_EQ(test::Dump(LoadSnapshot(fs_, kFolder, "HKLM", to_end_).Root()),
              test::Dump(tree.Root()));
    return tree;
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  settings::Settings settings_;
  RunToEnd to_end_;
};

TEST_F(RegistryScannerTest, RecordsComeStraightFromTheRegistryByteForByte) {
  Set("A", "x", 4, kDword1);
  Key("A\\B");
  EXPECT_EQ(cvn::test::Hex(StoreBytes(kHKLM)), cvn::test::Hex(Records({{0x11101, 0, 0},
                                                                       {0x11101, 1, 0, "A"},
                                                                       {0, 1, 4, "", "x", kDword1},
                                                                       {0x11110, 1, 0, "B"}})));
  // The default value has no name, an empty value no data.
  Set("K", "", 1, {'a', 0});
  Set("K", "empty", 3, {});
  EXPECT_EQ(StoreBytes(kHKLM, "K"), Records({{0x11101, 1, 0, "K"},
                                             {0x100, 1, 1, "", "", {'a', 0}},
                                             {0x1000, 1, 3, "", "empty"}}));
}

TEST_F(RegistryScannerTest, KeysAreWrittenDepthFirstInEnumerationOrderAndLinkedAtTheHead) {
  Key("B\\Y");
  Key("A\\X\\Deep");
  Key("A\\W");
  Set("B", "first", 4, kDword1);
  Set("B", "second", 4, kDword1);
  StoreBytes(kHKLM);
  TDBTree read = TDBTree::Open(fs_, kFolder, "HKLM");
  EXPECT_EQ(test::RecordPaths(read),
            (Strings{"", "A", "A\\W", "A\\X", "A\\X\\Deep", "B", "B|first", "B|second", "B\\Y"}));
  SnapshotTree tree = ScanBothForms(kHKLM);
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(tree.Root()->Name, "");
  EXPECT_EQ(Names(ChildNamed(tree.Root(), "B")->Values), (Strings{"second", "first"}));
  EXPECT_EQ(Names(tree.Root()->Child), (Strings{"B", "A"}));
}

TEST_F(RegistryScannerTest, ClassesBelowLocalMachineAreClosedWhileClassesRootIsScanned) {
  Set("SOFTWARE\\Classes\\.txt", "", 1, {'t', 0});
  Set("SOFTWARE\\Vendor", "v", 4, kDword1);
  for (bool hkcr : {true, false}) {
    settings_.ScanHKCR = hkcr;
    SnapshotTree tree = ScanBothForms(kHKLM);
    const TNode* software = ChildNamed(tree.Root(), "SOFTWARE");
    ASSERT_NE(ChildNamed(software, "Classes"), nullptr);
    EXPECT_EQ(Names(ChildNamed(software, "Classes")->Child), hkcr ? Strings{} : Strings{".txt"});
    EXPECT_EQ(Names(ChildNamed(software, "Vendor")->Values), Strings{"v"});
  }
}

TEST_F(RegistryScannerTest, OwnSettingsKeyIsClosedInAnyLetterCaseForTheDefaultUserOnly) {
  Set("software\\helmwick\\CORVANE", "ScanHKLM", 4, kDword1, RootKey::kCurrentUser);
  Key("Software\\Helmwick\\Corvane\\CvnMain", RootKey::kCurrentUser);
  Set("Software\\Helmwick\\Other", "v", 4, kDword1, RootKey::kCurrentUser);
  EXPECT_EQ(StoreBytes(RootKey::kCurrentUser, "Software\\Helmwick"),
            Records({{0x11101, 17, 0, "Software\\Helmwick"},
                     {0x11110, 7, 0, "CORVANE"},
                     {0x11101, 23, 0, "Software\\Helmwick\\Other"},
                     {0, 23, 4, "", "v", kDword1}}));
}

TEST_F(RegistryScannerTest, KeyThatCannotBeOpenedIsRecordedEmpty) {
  Set("Secret", "v", 4, kDword1);
  Key("Secret\\Below");
  Set("Visible", "w", 4, kDword1);
  registry_.DenyOpen(kHKLM, "Secret");
  EXPECT_EQ(StoreBytes(kHKLM), Records({{0x11101, 0, 0},
                                        {0x11101, 6, 0, "Secret"},
                                        {0x11101, 7, 0, "Visible"},
                                        {0, 7, 4, "", "w", kDword1}}));
  SnapshotTree tree = ScanBothForms(kHKLM);
  const TNode* secret = ChildNamed(tree.Root(), "Secret");
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret->Values, nullptr);
  EXPECT_EQ(secret->Child, nullptr);
}

// A value far larger than the first buffer is recorded whole, and so are the
// values enumerated after it.
TEST_F(RegistryScannerTest, ValueTooLargeForTheFirstBufferIsRecordedWholeWithTheValuesAfterIt) {
  std::vector<uint8_t> big(100 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  Set("Big", "blob", 3, big);
  Set("Big", "after", 4, {2, 0, 0, 0});
  Set("Big", "exactly8192", 3, std::vector<uint8_t>(8192, 0xAB));
  SnapshotTree tree = ScanBothForms(kHKLM);
  const TNode* key = ChildNamed(tree.Root(), "Big");
  EXPECT_EQ(Names(key->Values), (Strings{"exactly8192", "after", "blob"}));
  EXPECT_EQ(test::DataOf(test::ValueNamed(key, "blob")), big);
  EXPECT_EQ(test::ValueNamed(key, "exactly8192")->Size, 8192u);
}

TEST_F(RegistryScannerTest, PausePointAfterEveryValueAndKeyAndAStopEndsTheLoopsAtOnce) {
  for (const char* name : {"a", "b", "c", "d"}) Set("K", name, 4, kDword1);
  Key("K\\Sub");
  Key("L");
  test::StopAfter store_count, tree_count;
  StoreBytes(kHKLM, "", &store_count);
  ScanToTree(kHKLM, &tree_count);
  EXPECT_EQ(store_count.pauses(), 7);  // values a to d; keys K, K\Sub, L
  EXPECT_EQ(tree_count.pauses(), 7);
  // Stopped after the second value: nothing after it is read.
  test::StopAfter store_stop(2), tree_stop(2);
  EXPECT_EQ(StoreBytes(kHKLM, "", &store_stop), Records({{0x11101, 0, 0},
                                                         {0x11101, 1, 0, "K"},
                                                         {0, 1, 4, "", "a", kDword1},
                                                         {0, 1, 4, "", "b", kDword1}}));
  SnapshotTree tree = ScanToTree(kHKLM, &tree_stop);
  EXPECT_EQ(Names(tree.Root()->Child), Strings{"K"});
  EXPECT_EQ(Names(tree.Root()->Child->Values), (Strings{"b", "a"}));
  EXPECT_EQ(tree.Root()->Child->Child, nullptr);
}

}  // namespace
}  // namespace cvn::snapshot
