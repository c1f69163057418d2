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

using platform::KeyAccess;
using platform::MemoryFileSystem;
using platform::MemoryRegistry;
using platform::RegKey;
using platform::RootKey;
using test::Bytes;
using test::ChildNamed;
using test::ChildNames;
using test::CountingControl;
using test::DataOf;
using test::Dump;
using test::ValueNamed;
using test::ValueNames;

constexpr RootKey kHKLM = RootKey::kLocalMachine;
constexpr char kFolder[] = "C:\\Corvane";

class RegistryScannerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs_.CreateFolders(kFolder).ok()); }

  std::unique_ptr<RegKey> Key(std::string_view path, RootKey root = kHKLM) {
    std::unique_ptr<RegKey> key;
    EXPECT_TRUE(registry_.CreateKey(root, path, KeyAccess::kReadWrite, &key).ok()) << path;
    return key;
  }
  void Set(std::string_view path, std::string_view name, uint32_t type,
           const std::vector<uint8_t>& data, RootKey root = kHKLM) {
    ASSERT_TRUE(registry_.SetValue(*Key(path, root), name, type, data).ok());
  }

  // The store form's bytes for `path` below `root`.
  std::vector<uint8_t> StoreBytes(RootKey root, const std::string& path, ScanControl& control) {
    TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
    RegistryScanner(registry_, settings_, control).ScanRegKey(root, path, store);
    return {store.Bytes().begin(), store.Bytes().end()};
  }
  std::vector<uint8_t> StoreBytes(RootKey root, const std::string& path = "") {
    RunToEnd control;
    return StoreBytes(root, path, control);
  }
  // The store form, saved and loaded back.
  SnapshotTree ScanThroughStore(RootKey root, ScanControl& control) {
    TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
    RegistryScanner(registry_, settings_, control).ScanRegKey(root, "", store);
    store.Save();
    RunToEnd load_control;
    return LoadSnapshot(fs_, kFolder, "HKLM", load_control);
  }
  SnapshotTree ScanThroughStore(RootKey root) {
    RunToEnd control;
    return ScanThroughStore(root, control);
  }
  // The tree form.
  SnapshotTree ScanToTree(RootKey root, ScanControl& control) {
    SnapshotTree tree;
    tree.SetRoot(RegistryScanner(registry_, settings_, control).ScanRegKeyToTree(root, "", "", tree));
    return tree;
  }
  SnapshotTree ScanToTree(RootKey root) {
    RunToEnd control;
    return ScanToTree(root, control);
  }
  // Both forms must record the same; returns the tree form.
  SnapshotTree ScanBothForms(RootKey root) {
    SnapshotTree tree = ScanToTree(root);
    EXPECT_EQ(Dump(ScanThroughStore(root).Root()), Dump(tree.Root()));
    return tree;
  }

  MemoryRegistry registry_;
  MemoryFileSystem fs_;
  settings::Settings settings_;
};

const std::vector<uint8_t> kDword1 = {1, 0, 0, 0};

TEST_F(RegistryScannerTest, FourRecordExampleComesStraightFromTheRegistry) {
  Set("A", "x", 4, kDword1);
  Key("A\\B");
  EXPECT_EQ(StoreBytes(kHKLM), Bytes()
                                   .U32(0x11101).U32(0).U32(0)
                                   .U32(0x11101).U32(1).U32(0).Text("A")
                                   .U32(0).U32(1).U32(4).U32(1).Text("x").U32(4).Raw({1, 0, 0, 0})
                                   .U32(0x11110).U32(1).U32(0).Text("B")
                                   .vec());
}

TEST_F(RegistryScannerTest, DefaultValueHasNoNameAndEmptyValueNoData) {
  Set("K", "", 1, {'a', 0});
  Set("K", "empty", 3, {});
  EXPECT_EQ(StoreBytes(kHKLM, "K"), Bytes()
                                        .U32(0x11101).U32(1).U32(0).Text("K")
                                        .U32(0x100).U32(1).U32(1).U32(2).Raw({'a', 0})
                                        .U32(0x1000).U32(1).U32(3).U32(5).Text("empty")
                                        .vec());
}

TEST_F(RegistryScannerTest, KeysAreWrittenDepthFirstInEnumerationOrder) {
  Key("B\\Y");
  Key("A\\X\\Deep");
  Key("A\\W");
  Set("B", "v", 4, kDword1);
  TDBTree store = TDBTree::CreateNew(fs_, kFolder, "HKLM");
  RunToEnd control;
  RegistryScanner(registry_, settings_, control).ScanRegKey(kHKLM, "", store);
  std::vector<std::string> order;
  SnapshotRecord r;
  store.Save();
  TDBTree read = TDBTree::Open(fs_, kFolder, "HKLM");
  std::string path;
  while (read.ReadRecord(&r)) {
    if (r.flags & flags::kFullPath) path = std::string(r.path_text);
    if (r.flags & flags::kRelativePath) path += "\\" + std::string(r.path_text);
    order.push_back(path + (r.name.empty() ? "" : "|" + std::string(r.name)));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"", "A", "A\\W", "A\\X", "A\\X\\Deep", "B", "B|v",
                                             "B\\Y"}));
}

TEST_F(RegistryScannerTest, TreeFormLinksValuesAndChildrenAtTheHead) {
  Set("K", "first", 4, kDword1);
  Set("K", "second", 4, kDword1);
  Key("K\\A");
  Key("K\\B");
  SnapshotTree tree = ScanBothForms(kHKLM);
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(tree.Root()->Name, "");
  const TNode* k = ChildNamed(tree.Root(), "K");
  EXPECT_EQ(ValueNames(k), (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(ChildNames(k), (std::vector<std::string>{"B", "A"}));
}

TEST_F(RegistryScannerTest, ClassesBelowLocalMachineAreClosedWhileClassesRootIsScanned) {
  Set("SOFTWARE\\Classes\\.txt", "", 1, {'t', 0});
  Set("SOFTWARE\\Vendor", "v", 4, kDword1);
  settings_.ScanHKCR = true;
  SnapshotTree closed = ScanBothForms(kHKLM);
  const TNode* classes = ChildNamed(ChildNamed(closed.Root(), "SOFTWARE"), "Classes");
  ASSERT_NE(classes, nullptr);
  EXPECT_EQ(classes->Child, nullptr);
  EXPECT_NE(ChildNamed(ChildNamed(closed.Root(), "SOFTWARE"), "Vendor")->Values, nullptr);

  settings_.ScanHKCR = false;
  SnapshotTree open = ScanBothForms(kHKLM);
  EXPECT_EQ(ChildNames(ChildNamed(ChildNamed(open.Root(), "SOFTWARE"), "Classes")),
            std::vector<std::string>{".txt"});
}

TEST_F(RegistryScannerTest, OwnSettingsKeyIsClosedInAnyLetterCase) {
  Set("software\\helmwick\\CORVANE", "ScanHKLM", 4, kDword1, RootKey::kCurrentUser);
  Key("Software\\Helmwick\\Corvane\\CvnMain", RootKey::kCurrentUser);
  Set("Software\\Helmwick\\Other", "v", 4, kDword1, RootKey::kCurrentUser);
  EXPECT_EQ(StoreBytes(RootKey::kCurrentUser, "Software\\Helmwick"),
            Bytes()
                .U32(0x11101).U32(17).U32(0).Text("Software\\Helmwick")
                .U32(0x11110).U32(7).U32(0).Text("CORVANE")
                .U32(0x11101).U32(23).U32(0).Text("Software\\Helmwick\\Other")
                .U32(0).U32(23).U32(4).U32(1).Text("v").U32(4).Raw({1, 0, 0, 0})
                .vec());
}

TEST_F(RegistryScannerTest, OwnSettingsKeyIsClosedForTheDefaultUserOnly) {
  Set(".DEFAULT\\Software\\Helmwick\\Corvane", "a", 4, kDword1, RootKey::kUsers);
  Set("S-1-5-21-1\\Software\\Helmwick\\Corvane", "b", 4, kDword1, RootKey::kUsers);
  SnapshotTree tree = ScanBothForms(RootKey::kUsers);
  const auto own = [&](std::string_view user) {
    return ChildNamed(ChildNamed(ChildNamed(ChildNamed(tree.Root(), user), "Software"), "Helmwick"),
                      "Corvane");
  };
  ASSERT_NE(own(".DEFAULT"), nullptr);
  EXPECT_EQ(own(".DEFAULT")->Values, nullptr);
  ASSERT_NE(own("S-1-5-21-1"), nullptr);
  EXPECT_EQ(ValueNames(own("S-1-5-21-1")), std::vector<std::string>{"b"});
}

TEST_F(RegistryScannerTest, KeyThatCannotBeOpenedIsRecordedEmpty) {
  Set("Secret", "v", 4, kDword1);
  Key("Secret\\Below");
  Set("Visible", "w", 4, kDword1);
  registry_.DenyOpen(kHKLM, "Secret");
  EXPECT_EQ(StoreBytes(kHKLM), Bytes()
                                   .U32(0x11101).U32(0).U32(0)
                                   .U32(0x11101).U32(6).U32(0).Text("Secret")
                                   .U32(0x11101).U32(7).U32(0).Text("Visible")
                                   .U32(0).U32(7).U32(4).U32(1).Text("w").U32(4).Raw({1, 0, 0, 0})
                                   .vec());
  SnapshotTree tree = ScanBothForms(kHKLM);
  const TNode* secret = ChildNamed(tree.Root(), "Secret");
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret->Values, nullptr);
  EXPECT_EQ(secret->Child, nullptr);
}

TEST_F(RegistryScannerTest, HiveRootThatCannotBeOpenedIsAnEmptyRoot) {
  Key("A");
  registry_.DenyOpen(kHKLM, "");
  EXPECT_EQ(StoreBytes(kHKLM), Bytes().U32(0x11101).U32(0).U32(0).vec());
  SnapshotTree tree = ScanToTree(kHKLM);
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(tree.Root()->Child, nullptr);
}

// A value far larger than the first buffer is recorded whole, and so are the
// values enumerated after it.
TEST_F(RegistryScannerTest, ValueTooLargeForTheFirstBufferIsRecordedWholeWithTheValuesAfterIt) {
  std::vector<uint8_t> big(100 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  Set("Big", "before", 4, kDword1);
  Set("Big", "blob", 3, big);
  Set("Big", "after", 4, {2, 0, 0, 0});
  Set("Big", "exactly8192", 3, std::vector<uint8_t>(8192, 0xAB));
  Set("Big", "last", 1, {'z', 0});
  Key("Big\\Sub");
  SnapshotTree tree = ScanBothForms(kHKLM);
  const TNode* key = ChildNamed(tree.Root(), "Big");
  EXPECT_EQ(ValueNames(key),
            (std::vector<std::string>{"last", "exactly8192", "after", "blob", "before"}));
  EXPECT_EQ(DataOf(ValueNamed(key, "blob")), big);
  EXPECT_EQ(ValueNamed(key, "exactly8192")->Size, 8192u);
  EXPECT_EQ(DataOf(ValueNamed(key, "after")), (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_EQ(ChildNames(key), std::vector<std::string>{"Sub"});
}

TEST_F(RegistryScannerTest, ValueEnumerationFailingPartWayEndsTheValuesButNotTheSubkeys) {
  for (const char* name : {"a", "b", "c"}) Set("Perf", name, 4, kDword1);
  Key("Perf\\Child");
  registry_.FailValueEnumFrom(kHKLM, "Perf", 1);
  SnapshotTree tree = ScanBothForms(kHKLM);
  const TNode* perf = ChildNamed(tree.Root(), "Perf");
  EXPECT_EQ(ValueNames(perf), std::vector<std::string>{"a"});
  EXPECT_EQ(ChildNames(perf), std::vector<std::string>{"Child"});
}

TEST_F(RegistryScannerTest, SubkeyEnumerationFailingPartWayEndsTheSubkeys) {
  Key("Perf\\k1");
  Key("Perf\\k2");
  Key("Perf\\k3");
  Key("Zed");
  registry_.FailKeyEnumFrom(kHKLM, "Perf", 2, platform::Status(platform::StatusCode::kAccessDenied));
  SnapshotTree tree = ScanBothForms(kHKLM);
  EXPECT_EQ(ChildNames(ChildNamed(tree.Root(), "Perf")), (std::vector<std::string>{"k2", "k1"}));
  EXPECT_NE(ChildNamed(tree.Root(), "Zed"), nullptr);
}

TEST_F(RegistryScannerTest, PausePointAfterEveryValueAndKey) {
  Set("A", "x", 4, kDword1);
  Set("A", "y", 4, kDword1);
  Key("A\\B");
  Key("C");
  // Values x, y; keys A, A\B, C.
  CountingControl store_control, tree_control;
  StoreBytes(kHKLM, "", store_control);
  ScanToTree(kHKLM, tree_control);
  EXPECT_EQ(store_control.pauses(), 5);
  EXPECT_EQ(tree_control.pauses(), 5);
}

TEST_F(RegistryScannerTest, StopEndsTheLoopsAtOnceLeavingAPartialResult) {
  for (const char* name : {"a", "b", "c", "d"}) Set("K", name, 4, kDword1);
  Key("K\\Sub");
  Key("L");
  // Stops after the second value: nothing after it is read.
  CountingControl store_control(2);
  EXPECT_EQ(StoreBytes(kHKLM, "", store_control),
            Bytes()
                .U32(0x11101).U32(0).U32(0)
                .U32(0x11101).U32(1).U32(0).Text("K")
                .U32(0).U32(1).U32(4).U32(1).Text("a").U32(4).Raw({1, 0, 0, 0})
                .U32(0).U32(1).U32(4).U32(1).Text("b").U32(4).Raw({1, 0, 0, 0})
                .vec());
  CountingControl tree_control(2);
  SnapshotTree tree = ScanToTree(kHKLM, tree_control);
  EXPECT_EQ(ChildNames(tree.Root()), std::vector<std::string>{"K"});
  EXPECT_EQ(ValueNames(tree.Root()->Child), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(tree.Root()->Child->Child, nullptr);
}

TEST_F(RegistryScannerTest, HivesComeInTheirScanOrder) {
  std::vector<std::string> names;
  for (const Hive& hive : kHives) names.emplace_back(hive.base_name);
  EXPECT_EQ(names, (std::vector<std::string>{"HKCR", "HKLM", "HKUS", "HKCU", "HKCC"}));
  EXPECT_EQ(kHives[2].root, RootKey::kUsers);
  EXPECT_EQ(kHives[2].status_suffix, " HKEY_USERS...");
  settings::Settings s;
  s.ScanHKUS = true;
  s.ScanHKCC = false;
  EXPECT_TRUE(s.*kHives[2].setting);
  EXPECT_FALSE(s.*kHives[4].setting);
}

}  // namespace
}  // namespace cvn::snapshot
