// Change detection: the file-system and registry comparisons (what each pass
// reports, in which order, with which paths, data and file info texts, and the
// shared-file counters) and the pairing of moved files on the changes tree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "changes/change_tree.h"
#include "engine/compare/compare_fs.h"
#include "engine/compare/compare_reg.h"
#include "engine/compare/detect_moved.h"
#include "engine/compare/file_info.h"
#include "platform/memory/memory_filesystem.h"
#include "tests/support/bytes.h"
#include "tests/support/stop_after.h"

namespace cvn::compare {

using changes::NodeKind;
namespace {

using namespace changes;
using cvn::test::DwordData;
using cvn::test::StopAfter;
using cvn::test::SzData;
using platform::RootKey;
using Calls = std::vector<std::string>;
using Data = std::vector<uint8_t>;

// Appends every node and entry at the end of its list, so lists keep the
// order of the calls.
class TreeBuilder {
 public:
  snapshot::SnapshotNode* Node(snapshot::SnapshotNode* parent, std::string_view name) {
    snapshot::SnapshotNode* node = tree_.NewNode(name);
    snapshot::SnapshotNode*& tail = child_tails_[parent];
    if (tail != nullptr)
      tail->next = node;
    else if (parent != nullptr)
      parent->child = node;
    else
      tree_.SetRoot(node);
    return tail = node;
  }
  snapshot::SnapshotNode* Top(std::string_view name) { return Node(nullptr, name); }
  void Value(snapshot::SnapshotNode* node, std::string_view name, uint32_t type,
             const std::vector<uint8_t>& data) {
    snapshot::SnapshotValue* value = tree_.NewValue(name, type, data);
    snapshot::SnapshotValue*& tail = value_tails_[node];
    (tail == nullptr ? node->values : tail->next) = value;
    tail = value;
  }
  void Text(snapshot::SnapshotNode* node, std::string_view name, std::string_view text,
            uint32_t type = 1) {
    Value(node, name, type, SzData(text));
  }
  void Dword(snapshot::SnapshotNode* node, std::string_view name, uint32_t v) {
    Value(node, name, 4, DwordData(v));
  }
  // A file entry: DOS date-time, then size.
  void File(snapshot::SnapshotNode* folder, std::string_view name, uint32_t dos_time,
            uint32_t size) {
    std::vector<uint8_t> data = DwordData(dos_time), s = DwordData(size);
    data.insert(data.end(), s.begin(), s.end());
    Value(folder, name, 3, data);
  }
  const snapshot::SnapshotNode* Root() const { return tree_.Root(); }

 private:
  snapshot::SnapshotTree tree_;
  std::unordered_map<snapshot::SnapshotNode*, snapshot::SnapshotNode*> child_tails_;
  std::unordered_map<snapshot::SnapshotNode*, snapshot::SnapshotValue*> value_tails_;
};

// DOS date-time of a local time, date in the high half.
constexpr uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day) << 16 |
         static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
}

// One AddToTree call as the tree sees it: "path|name|kind|Path|type|root|
// before|after", a side as "size:hex", or "-" when it has no buffer.
inline std::string Call(std::string_view path, std::string_view name, NodeKind kind,
                        std::string_view field, uint32_t type, uint32_t root,
                        const std::vector<uint8_t>* before, const std::vector<uint8_t>* after) {
  const auto side = [](const std::vector<uint8_t>* d) {
    return d ? std::to_string(d->size()) + ":" + cvn::test::Hex(*d) : std::string("-");
  };
  return std::string(path) + "|" + std::string(name) + "|" +
         std::to_string(static_cast<int>(kind)) + "|" + std::string(field) + "|" +
         std::to_string(type) + "|" + std::to_string(root) + "|" + side(before) + "|" + side(after);
}

class RecordingSink : public changes::ChangeSink {
 public:
  void AddToTree(std::string_view path, std::string_view name, changes::ChangeRecord& t) override {
    const auto b = t.BeforeBytes(), a = t.AfterBytes();
    const std::vector<uint8_t> before(b.begin(), b.end()), after(a.begin(), a.end());
    calls.push_back(Call(path, name, t.kind, t.path, t.value_type, t.root_key,
                         t.before ? &before : nullptr, t.after ? &after : nullptr));
    t.before.reset();
    t.after.reset();
  }
  std::vector<std::string> calls;
};

const platform::DateTimeSeparators kColonSlash{":", "/"};
constexpr uint32_t kNoon = Dos(2006, 12, 3, 12, 0, 0), kLater = Dos(2007, 1, 2, 9, 30, 0);

// A folder record; `path` is the containing path with its trailing backslash.
std::string Folder(std::string path, std::string name, NodeKind kind) {
  return Call(path, name, kind, path.substr(0, path.empty() ? 0 : path.size() - 1), 0, 0, nullptr,
              nullptr);
}
// A file record with its info texts before and after ("" when absent).
std::string File(std::string folder, std::string name, NodeKind kind, std::string before,
                 std::string after) {
  const Data b = SzData(before), a = SzData(after);
  return Call(folder, name, kind, folder, 0, 0, before.empty() ? nullptr : &b,
              after.empty() ? nullptr : &a);
}

// The first pass (created and changed) or the second (deleted).
Calls Pass(const TreeBuilder& before, const TreeBuilder& after, bool second) {
  threads::RunToEnd run;
  RecordingSink sink;
  FileSystemComparer c(run, sink, kColonSlash);
  second ? c.CompareFS(before.Root(), after.Root(), "", true)
         : c.CompareFS(after.Root(), before.Root(), "", false);
  return sink.calls;
}

TEST(FileInfoTextTest, TimeThenSizeAsStored) {
  const struct {
    uint32_t dos, size;
    platform::DateTimeSeparators sep;
    const char* text;
  } kRows[] = {
      {Dos(2006, 12, 3, 14, 5, 36), 1024, kColonSlash, "14:05 03/12/06 1024"},
      {Dos(2107, 12, 31, 23, 59, 58), 7, {"h", ". "}, "23h59 31. 12. 07 7"},
      {kNoon, 0x80000000u, kColonSlash, "12:00 03/12/06 -2147483648"},  // low 32 bits, signed
      {0x00001FFFu | (31u << 11), 3, kColonSlash, "31:63 00/00/80 3"},  // damaged: shown as stored
  };
  for (const auto& r : kRows) EXPECT_EQ(FileInfoText(r.dos, r.size, r.sep), r.text);
  // Short entry data reads as zeros past its end.
  EXPECT_EQ(FileInfoText(std::vector<uint8_t>{0x00, 0x60, 0x83, 0x35, 0x05}, kColonSlash),
            "12:00 03/12/06 5");
  EXPECT_EQ(FileInfoText(std::span<const uint8_t>(), kColonSlash), "00:00 00/00/80 0");
}

// Created things in the first pass, deleted ones (with the old info texts)
// in the second, each folder with everything in it, nested in order.
TEST(CompareFsTest, CreatedAndRemovedFoldersAreReportedWithEverythingInThem) {
  TreeBuilder before, after;
  auto* c = before.Top("C:");
  before.Node(c, "Windows");
  auto* old = before.Node(c, "Old");
  before.File(old, "x.dll", kNoon, 5);
  before.File(before.Node(old, "Deep"), "y.dll", kLater, 6);
  before.File(c, "boot.ini", kNoon, 1);  // in the drive root: the drive is its folder
  c = after.Top("C:");
  after.Node(c, "Windows");
  auto* app = after.Node(c, "App");
  after.File(app, "a.txt", kNoon, 10);
  after.File(after.Node(app, "Sub"), "c.txt", kLater, 30);
  after.File(after.Top("D:"), "f", kNoon, 1);  // a new drive: no containing path
  EXPECT_EQ(Pass(before, after, false),
            (Calls{Folder("C:\\", "App", NodeKind::kFolderAdded),
                   File("C:\\App", "a.txt", NodeKind::kFileAdded, "", "12:00 03/12/06 10"),
                   Folder("C:\\App\\", "Sub", NodeKind::kFolderAdded),
                   File("C:\\App\\Sub", "c.txt", NodeKind::kFileAdded, "", "09:30 02/01/07 30"),
                   Folder("", "D:", NodeKind::kFolderAdded),
                   File("D:", "f", NodeKind::kFileAdded, "", "12:00 03/12/06 1")}));
  EXPECT_EQ(
      Pass(before, after, true),
      (Calls{File("C:", "boot.ini", NodeKind::kFileDeleted, "12:00 03/12/06 1", ""),
             Folder("C:\\", "Old", NodeKind::kFolderDeleted),
             File("C:\\Old", "x.dll", NodeKind::kFileDeleted, "12:00 03/12/06 5", ""),
             Folder("C:\\Old\\", "Deep", NodeKind::kFolderDeleted),
             File("C:\\Old\\Deep", "y.dll", NodeKind::kFileDeleted, "09:30 02/01/07 6", "")}));
}

TEST(CompareFsTest, ChangedTimeOrSizeIsReportedInTheFirstPassOnly) {
  TreeBuilder before, after;
  auto* b = before.Top("C:");
  auto* a = after.Top("C:");
  const struct {
    const char* name;
    uint32_t t0, s0, t1, s1;
  } kFiles[] = {
      {"time.txt", kNoon, 1, Dos(2006, 12, 3, 12, 0, 2), 1},  // same text to the minute
      {"size.txt", kNoon, 1, kNoon, 2},
      {"same.txt", kNoon, 1, kNoon, 1},
  };
  for (const auto& f : kFiles) {
    before.File(b, f.name, f.t0, f.s0);
    after.File(a, f.name, f.t1, f.s1);
  }
  EXPECT_EQ(
      Pass(before, after, false),
      (Calls{
          File("C:", "time.txt", NodeKind::kFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 1"),
          File("C:", "size.txt", NodeKind::kFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2")}));
  EXPECT_TRUE(Pass(before, after, true).empty());
}

TEST(CompareFsTest, TheFirstOfSeveralNamesEqualInCaseIsTheMatch) {
  for (int fillers : {0, 20}) {  // a short list is scanned, a long one indexed
    SCOPED_TRACE(fillers);
    TreeBuilder before, after;
    auto* b = before.Top("C:");
    auto* a = after.Top("C:");
    for (int i = 0; i < fillers; ++i) {
      before.Node(b, "filler" + std::to_string(i));
      after.Node(a, "FILLER" + std::to_string(i));
    }
    before.Node(b, "app");                              // first: empty
    before.File(before.Node(b, "APP"), "x", kNoon, 1);  // second: holds x
    after.File(after.Node(a, "App"), "x", kNoon, 1);
    before.File(b, "f", kNoon, 1);
    before.File(b, "F", kNoon, 2);
    after.File(a, "f", kNoon, 2);
    EXPECT_EQ(
        Pass(before, after, false),
        (Calls{// Compared with the first "f" (size 1), not the equal "F".
               File("C:", "f", NodeKind::kFileChanged, "12:00 03/12/06 1", "12:00 03/12/06 2"),
               File("C:\\App", "x", NodeKind::kFileAdded, "", "12:00 03/12/06 1")}));
    // The second pass matches both before-folders with the one after-folder.
    EXPECT_TRUE(Pass(before, after, true).empty());
  }
}

TEST(CompareFsTest, StopRequestEndsBothPassesAtTheNextFolder) {
  TreeBuilder before, after;
  before.Top("C:");
  auto* c = after.Top("C:");
  after.File(after.Node(c, "A"), "1", kNoon, 1);
  after.File(after.Node(c, "B"), "2", kNoon, 1);
  const Calls a_only = {Folder("C:\\", "A", NodeKind::kFolderAdded),
                        File("C:\\A", "1", NodeKind::kFileAdded, "", "12:00 03/12/06 1")};
  // Stopped from the start: nothing; after A's pause point: B is never reached.
  for (long limit : {0L, 1L}) {
    StopAfter stop(limit);
    RecordingSink sink;
    FileSystemComparer(stop, sink, kColonSlash).CompareTrees(before.Root(), after.Root());
    EXPECT_EQ(sink.calls, limit == 0 ? Calls{} : a_only) << limit;
  }
}

constexpr uint32_t kHklm = 0x80000002;
constexpr uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4;
const std::string kSharedPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kShared = "HKEY_LOCAL_MACHINE\\" + kSharedPath;
const std::string kDll = "C:\\Windows\\System32\\shared.dll";
const auto Sz = SzData;
const auto Le = DwordData;

std::string Key(std::string path, std::string name, NodeKind kind, std::string field,
                uint32_t root = kHklm) {
  return Call(path, name, kind, field, 0, root, nullptr, nullptr);
}
// A value record; a side without bytes has no buffer.
std::string Value(std::string path, std::string name, NodeKind kind, std::string field,
                  uint32_t type, Data before, Data after, uint32_t root = kHklm) {
  const bool has_before = kind == NodeKind::kValueDeleted || kind == NodeKind::kValueChanged ||
                          (kind == NodeKind::kCounterIncremented && !before.empty());
  return Call(path, name, kind, field, type, root, has_before ? &before : nullptr,
              after.empty() ? nullptr : &after);
}

class CompareRegTest : public ::testing::Test {
 protected:
  CompareRegTest() { fs_.AddFile(kDll, "MZ"); }

  Calls Pass(bool second, RootKey root = RootKey::kLocalMachine) {
    threads::RunToEnd run;
    RecordingSink sink;
    RegistryComparer c(run, sink, fs_, root);
    second ? c.CompareReg(before_.Root(), after_.Root(), "", true)
           : c.CompareReg(after_.Root(), before_.Root(), "", false);
    return sink.calls;
  }
  // The SharedDLLs key in both trees.
  std::pair<snapshot::SnapshotNode*, snapshot::SnapshotNode*> SharedKeys() {
    auto chain = [](TreeBuilder& t) {
      snapshot::SnapshotNode* n = t.Top("");
      for (const char* name : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "SharedDLLs"})
        n = t.Node(n, name);
      return n;
    };
    return {chain(before_), chain(after_)};
  }

  platform::MemoryFileSystem fs_;
  TreeBuilder before_, after_;
};

// Created keys in the first pass, deleted ones (with the values before) in
// the second, each with its values and subkeys nested in order.
TEST_F(CompareRegTest, CreatedAndDeletedKeysAreReportedWithTheirValuesAndSubkeys) {
  auto* old = before_.Node(before_.Node(before_.Top(""), "Software"), "Old");
  before_.Text(old, "a", "1");
  before_.Node(old, "Sub");
  auto* app = after_.Node(after_.Node(after_.Top(""), "Software"), "App");
  after_.Text(app, "Path", "C:\\App");
  after_.Dword(app, "Count", 7);
  after_.Text(after_.Node(app, "Sub"), "", "x");
  const std::string sw = "HKEY_LOCAL_MACHINE\\Software", p = sw + "\\App", o = sw + "\\Old";
  threads::RunToEnd run;
  RecordingSink sink;
  RegistryComparer(run, sink, fs_, RootKey::kLocalMachine)
      .CompareHive(before_.Root(), after_.Root());
  EXPECT_EQ(
      sink.calls,
      (Calls{Key(sw, "App", NodeKind::kKeyAdded, "Software"),
             Value(p, "Path", NodeKind::kValueAdded, "Software\\App", kSz, {}, Sz("C:\\App")),
             Value(p, "Count", NodeKind::kValueAdded, "Software\\App", kDword, {}, Le(7)),
             Key(p, "Sub", NodeKind::kKeyAdded, "Software\\App"),
             Value(p + "\\Sub", "", NodeKind::kValueAdded, "Software\\App\\Sub", kSz, {}, Sz("x")),
             Key(sw, "Old", NodeKind::kKeyDeleted, "Software"),
             Value(o, "a", NodeKind::kValueDeleted, "Software\\Old", kSz, Sz("1"), {}),
             Key(o, "Sub", NodeKind::kKeyDeleted, "Software\\Old")}));
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
            (Calls{Value(k, "", NodeKind::kValueChanged, "k", kSz, Sz("a"), Sz("b")),
                   // A type change alone is a change; the record shows the type before.
                   Value(k, "type", NodeKind::kValueChanged, "k", kSz, Sz("t"), Sz("t")),
                   Value(k, "size", NodeKind::kValueChanged, "k", kBinary, {1, 2}, {1, 2, 0}),
                   Value(k, "new", NodeKind::kValueAdded, "k", kBinary, {}, {})}));
  EXPECT_EQ(Pass(true), (Calls{Value("HKEY_LOCAL_MACHINE\\K", "gone", NodeKind::kValueDeleted, "K",
                                     kSz, Sz("g"), {})}));
}

TEST_F(CompareRegTest, ChangedCountersRecordTheIncreaseAsADword) {
  const struct {
    const char* what;
    uint32_t t0;
    Data d0;
    uint32_t t1;
    Data d1;
    NodeKind kind;
    uint32_t type;
    Data after;
  } kRows[] = {
      {"dword", kDword, Le(1), kDword, Le(3), NodeKind::kCounterIncremented, kDword, Le(2)},
      {"text", kSz, Sz("1"), kSz, Sz("3"), NodeKind::kCounterIncremented, kDword, Le(2)},
      {"lowered", kDword, Le(3), kDword, Le(1), NodeKind::kCounterIncremented, kDword,
       Le(uint32_t(-2))},
      // The type before decides: four bytes that are no number as text read 0.
      {"type before", kSz, Sz("1"), kDword, Le(5), NodeKind::kCounterIncremented, kDword,
       Le(uint32_t(-1))},
      {"short dword", kDword, {1, 0}, kDword, Le(5), NodeKind::kCounterIncremented, kDword, Le(4)},
      {"binary", kBinary, {1}, kBinary, {2}, NodeKind::kValueChanged, kBinary, {2}},
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
      (Calls{Value(kShared, kDll, NodeKind::kCounterIncremented, kSharedPath, kDword, {}, Le(1)),
             Value(kShared, text, NodeKind::kCounterIncremented, kSharedPath, kSz, {}, Sz("1")),
             Value(kShared, missing, NodeKind::kValueAdded, kSharedPath, kDword, {}, Le(1)),
             Value(kShared, missing + "2", NodeKind::kValueChanged, kSharedPath, kDword, Le(1),
                   Le(2))}));
}

TEST(CounterTextValueTest, DecimalIntegersWithOptionalBlanksAndSignElseZero) {
  const std::pair<const char*, int32_t> kRows[] = {{"12", 12},
                                                   {"  19", 19},
                                                   {"-3", -3},
                                                   {"2147483647", 2147483647},
                                                   {"-2147483648", INT32_MIN},
                                                   {"2147483648", 0},
                                                   {"12a", 0},
                                                   {"", 0}};
  for (const auto& [text, value] : kRows) EXPECT_EQ(CounterTextValue(text), value) << text;
}

class DetectMovedTest : public ::testing::Test {
 protected:
  // A deleted (`deleted`) or created file with its info text.
  NodeId Add(bool deleted, std::string_view folder, std::string_view name, std::string_view info) {
    ChangeRecord record;
    record.kind = deleted ? NodeKind::kFileDeleted : NodeKind::kFileAdded;
    record.path = folder;
    (deleted ? record.before : record.after) = TextBuffer(info);
    (deleted ? record.before_size : record.after_size) = static_cast<int32_t>(info.size() + 1);
    tree_.AddToTree(folder, name, record);
    return tree_.LastInserted();
  }

  settings::Settings settings_;
  ChangeTree tree_{settings_};
};

// Many files with few names and info texts, so keys collide and repeat: each
// deleted file in tree order pairs with the first created twin not yet taken.
TEST_F(DetectMovedTest, ManyFilesPairAsAScanInTreeOrderPairsThem) {
  std::mt19937 rng(3);
  size_t moved = 0;
  for (int round = 0; round < 20; ++round) {
    tree_.Reset();
    struct Entry {
      bool deleted;
      std::string name, info;
      NodeId node;
    };
    std::vector<Entry> files(50 + rng() % 300);
    for (size_t i = 0; i < files.size(); ++i) {
      Entry& f = files[i];
      f.deleted = rng() % 2;
      f.name = std::string(1, "aAbBcdef"[rng() % 8]) + std::to_string(rng() % 6);
      f.info = "info " + std::to_string(rng() % 3);
      f.node = Add(f.deleted, "C:\\F" + std::to_string(i), f.name,
                   f.info);  // one folder each: tree order
    }
    std::vector<NodeKind> expected;
    for (const Entry& f : files)
      expected.push_back(f.deleted ? NodeKind::kFileDeleted : NodeKind::kFileAdded);
    for (size_t i = 0; i < files.size(); ++i) {
      if (!files[i].deleted) continue;
      for (size_t j = 0; j < files.size(); ++j) {
        if (files[j].deleted || expected[j] == NodeKind::kFileMovedTo ||
            files[j].name != files[i].name || files[j].info != files[i].info)
          continue;
        expected[i] = NodeKind::kFileMovedFrom;
        expected[j] = NodeKind::kFileMovedTo;
        break;
      }
    }
    threads::RunToEnd run;
    DetectMovedFiles(run, tree_);
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_EQ(tree_.Data(files[i].node).kind, expected[i]) << "round " << round << ", file " << i;
      moved += expected[i] == NodeKind::kFileMovedTo;
    }
  }
  EXPECT_GT(moved, 500u);
}

}  // namespace
}  // namespace cvn::compare
