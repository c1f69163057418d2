// Differential tests: random pairs of snapshot trees compared by the indexed
// implementations and by the literal ones of literal_compare.h must give the
// very same AddToTree calls in the very same order, and moved-file
// detection must relabel the very same nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "changes/change_tree.h"
#include "compare_test_util.h"
#include "engine/compare/compare_fs.h"
#include "engine/compare/compare_reg.h"
#include "engine/compare/detect_moved.h"
#include "literal_compare.h"
#include "platform/memory/memory_filesystem.h"

namespace cvn::compare {
namespace {

using test::Call;
using test::RecordingSink;
using test::TreeBuilder;

struct EntryShape {
  std::string name;
  uint32_t type;
  std::vector<uint8_t> data;
};
struct NodeShape {
  std::string name;
  std::vector<EntryShape> entries;
  std::vector<NodeShape> children;
};

// Random trees whose names often repeat in other letter cases, so that first
// matches and case-insensitive matches are exercised; lists are long enough
// now and then to be indexed.
class Generator {
 public:
  Generator(uint32_t seed, bool registry) : rng_(seed), registry_(registry) {}

  size_t Pick(size_t n) { return static_cast<size_t>(rng_() % n); }
  bool Chance(int percent) { return Pick(100) < static_cast<size_t>(percent); }

  std::string Name() {
    static const char* const kBases[] = {"app",  "data", "x", "setup.dll", "\xC3\xA9t\xC3\xA9",
                                         "Temp", "a",    "b"};
    std::string name = Chance(25) ? "n" + std::to_string(Pick(60)) : kBases[Pick(8)];
    const int casing = static_cast<int>(Pick(4));
    if (casing == 1) {
      std::transform(name.begin(), name.end(), name.begin(),
                     [](char c) { return (c >= 'a' && c <= 'z') ? c - 0x20 : c; });
    } else if (casing == 2 && !name.empty() && name[0] >= 'a' && name[0] <= 'z') {
      name[0] = static_cast<char>(name[0] - 0x20);
    }
    if (name == "\xC3\xA9t\xC3\xA9" && casing == 3) name = "\xC3\x89T\xC3\x89";
    return name;
  }

  EntryShape Entry() {
    if (!registry_) {
      static const uint32_t kTimes[] = {test::Dos(2006, 1, 1, 10, 0, 0),
                                        test::Dos(2006, 1, 1, 10, 0, 2),
                                        test::Dos(2007, 5, 6, 7, 8, 0)};
      std::vector<uint8_t> data = TreeBuilder::LittleEndian(kTimes[Pick(3)]);
      const std::vector<uint8_t> size = TreeBuilder::LittleEndian(static_cast<uint32_t>(Pick(3)));
      data.insert(data.end(), size.begin(), size.end());
      if (Chance(3)) data.resize(5);
      return {Name(), 3, data};
    }
    static const uint32_t kTypes[] = {1, 2, 3, 4, 7};
    const uint32_t type = kTypes[Pick(5)];
    std::vector<uint8_t> data;
    if (type == 1 && Chance(60)) {
      const std::string number = std::to_string(static_cast<int>(Pick(5)) - 1);
      data.assign(number.begin(), number.end());
      data.push_back(0);
    } else {
      data.resize(Pick(6));
      for (uint8_t& b : data) b = static_cast<uint8_t>(Pick(3) == 0 ? 0xFF : Pick(3));
    }
    return {registry_ && Chance(10) ? "" : Name(), type, data};
  }

  NodeShape Node(std::string name, int depth) {
    NodeShape node{std::move(name), {}, {}};
    const size_t entries = Chance(15) ? Pick(25) : Pick(6);
    for (size_t i = 0; i < entries; ++i) node.entries.push_back(Entry());
    if (depth > 0) {
      const size_t children = Chance(15) ? Pick(20) : Pick(5);
      for (size_t i = 0; i < children; ++i) node.children.push_back(Node(Name(), depth - 1));
    }
    return node;
  }

  // The "after" state: entries and subtrees dropped, changed, renamed in
  // case, added and moved elsewhere.
  NodeShape Mutate(const NodeShape& before, std::vector<EntryShape>& moving) {
    NodeShape after{before.name, {}, {}};
    if (Chance(10)) after.name = FlipCase(after.name);
    for (const EntryShape& e : before.entries) {
      if (Chance(12)) {
        if (Chance(50)) moving.push_back(e);
        continue;
      }
      EntryShape copy = e;
      if (Chance(10)) copy.data = Entry().data;
      if (Chance(5)) copy.type = copy.type == 1 ? 2 : 1;
      if (Chance(8)) copy.name = FlipCase(copy.name);
      after.entries.push_back(copy);
    }
    for (const NodeShape& child : before.children) {
      if (Chance(8)) continue;
      after.children.push_back(Mutate(child, moving));
    }
    while (Chance(20))
      after.entries.insert(after.entries.begin() + Pick(after.entries.size() + 1), Entry());
    if (!moving.empty() && Chance(30)) {
      after.entries.push_back(moving.back());
      moving.pop_back();
    }
    while (Chance(10)) {
      after.children.insert(after.children.begin() + Pick(after.children.size() + 1),
                            Node(Name(), static_cast<int>(Pick(3))));
    }
    return after;
  }

  std::string FlipCase(std::string name) {
    for (char& c : name) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 0x20);
      } else if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c + 0x20);
      }
    }
    return name;
  }

 private:
  std::mt19937 rng_;
  bool registry_;
};

void Build(TreeBuilder& builder, snapshot::TNode* parent, const NodeShape& shape) {
  snapshot::TNode* node =
      parent == nullptr ? builder.Top(shape.name) : builder.Node(parent, shape.name);
  for (const EntryShape& e : shape.entries) builder.Value(node, e.name, e.type, e.data);
  for (const NodeShape& child : shape.children) Build(builder, node, child);
}

TEST(CompareDifferentialTest, FileSystemComparisonMakesTheLiteralCalls) {
  const platform::DateTimeSeparators separators{":", "/"};
  size_t total_calls = 0;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed, false);
    std::vector<NodeShape> before_drives, after_drives;
    for (const char* drive : {"C:", "D:", "c:"}) {
      if (gen.Chance(70)) before_drives.push_back(gen.Node(drive, 3));
    }
    std::vector<EntryShape> moving;
    for (const NodeShape& d : before_drives) {
      if (gen.Chance(90)) after_drives.push_back(gen.Mutate(d, moving));
    }
    if (gen.Chance(30)) after_drives.push_back(gen.Node("E:", 2));
    TreeBuilder before, after;
    for (const NodeShape& d : before_drives) Build(before, nullptr, d);
    for (const NodeShape& d : after_drives) Build(after, nullptr, d);

    // To the end, and stopped after a random number of pause points.
    for (long stop_after : {-1L, static_cast<long>(gen.Pick(200))}) {
      test::StopAfter stop_indexed(stop_after < 0 ? LONG_MAX : stop_after);
      test::StopAfter stop_literal(stop_after < 0 ? LONG_MAX : stop_after);
      RecordingSink indexed, literal_sink;
      FileSystemComparer(stop_indexed, indexed, separators)
          .CompareTrees(before.Root(), after.Root());
      literal::CompareFS(stop_literal, literal_sink, separators, after.Root(), before.Root(), "",
                         false);
      literal::CompareFS(stop_literal, literal_sink, separators, before.Root(), after.Root(), "",
                         true);
      ASSERT_EQ(indexed.calls, literal_sink.calls) << "stop after " << stop_after;
      EXPECT_EQ(stop_indexed.pauses(), stop_literal.pauses());
      total_calls += indexed.calls.size();
    }
  }
  EXPECT_GT(total_calls, 5000u);  // the trees did differ
}

TEST(CompareDifferentialTest, RegistryComparisonMakesTheLiteralCalls) {
  platform::MemoryFileSystem fs;
  fs.AddFile("C:\\Windows\\app", "MZ");
  fs.AddFile("C:\\Windows\\setup.dll", "MZ");
  fs.CreateFolders("C:\\Windows\\data");
  size_t total_calls = 0, counters = 0;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed, true);
    NodeShape before_root = gen.Node("", 3);
    // The shared-file counters' key, with values naming files that exist,
    // that do not and a folder.
    NodeShape shared{"SharedDLLs", {}, {}};
    for (int i = 0; i < 12; ++i) {
      EntryShape e = gen.Entry();
      static const char* const kFiles[] = {"C:\\Windows\\app", "c:\\windows\\SETUP.DLL",
                                           "C:\\Windows\\data", "C:\\Windows\\none"};
      e.name = kFiles[gen.Pick(4)];
      shared.entries.push_back(e);
    }
    NodeShape chain = shared;
    for (const char* name : {"CurrentVersion", "Windows", "Microsoft", "SOFTWARE"})
      chain = NodeShape{name, {}, {chain}};
    before_root.children.push_back(chain);
    std::vector<EntryShape> moving;
    const NodeShape after_root = gen.Mutate(before_root, moving);
    TreeBuilder before, after;
    Build(before, nullptr, before_root);
    Build(after, nullptr, after_root);

    const auto root = gen.Chance(80) ? platform::RootKey::kLocalMachine : platform::RootKey::kUsers;
    for (long stop_after : {-1L, static_cast<long>(gen.Pick(200))}) {
      test::StopAfter stop_indexed(stop_after < 0 ? LONG_MAX : stop_after);
      test::StopAfter stop_literal(stop_after < 0 ? LONG_MAX : stop_after);
      RecordingSink indexed, literal_sink;
      RegistryComparer(stop_indexed, indexed, fs, root).CompareHive(before.Root(), after.Root());
      const auto handle = static_cast<uint32_t>(root);
      literal::CompareReg(stop_literal, literal_sink, fs, handle, after.Root(), before.Root(), "",
                          false);
      literal::CompareReg(stop_literal, literal_sink, fs, handle, before.Root(), after.Root(), "",
                          true);
      ASSERT_EQ(indexed.calls, literal_sink.calls) << "stop after " << stop_after;
      EXPECT_EQ(stop_indexed.pauses(), stop_literal.pauses());
      total_calls += indexed.calls.size();
      for (const Call& c : indexed.calls) counters += c.kind == changes::nkCounterIncremented;
    }
  }
  EXPECT_GT(total_calls, 5000u);
  EXPECT_GT(counters, 50u);
}

// Replays recorded calls into a tree.
void Replay(const std::vector<Call>& calls, changes::ChangeTree& tree) {
  for (const Call& c : calls) {
    changes::TNodeData record;
    record.Kind = c.kind;
    record.Path = c.path_field;
    if (c.has_before) record.Before = changes::CopyBuffer(c.before);
    if (c.has_after) record.After = changes::CopyBuffer(c.after);
    record.BeforeSize = c.before_size;
    record.AfterSize = c.after_size;
    tree.AddToTree(c.path, c.name, record);
  }
}

std::vector<std::string> Kinds(const changes::ChangeTree& tree) {
  std::vector<std::string> out;
  const changes::NodeId root = tree.FileSystemRoot();
  for (changes::NodeId n = root; n != changes::kNoNode; n = tree.NextInSubtree(n, root))
    out.push_back(tree.Data(n).Name + "/" + std::to_string(tree.Data(n).Kind));
  return out;
}

TEST(CompareDifferentialTest, MovedFileDetectionRelabelsTheLiteralNodes) {
  size_t moves = 0;
  for (uint32_t seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed, false);
    const NodeShape before_drive = gen.Node("C:", 3);
    std::vector<EntryShape> moving;
    const NodeShape after_drive = gen.Mutate(before_drive, moving);
    TreeBuilder before, after;
    Build(before, nullptr, before_drive);
    Build(after, nullptr, after_drive);
    RecordingSink sink;
    snapshot::RunToEnd run;
    FileSystemComparer(run, sink).CompareTrees(before.Root(), after.Root());

    settings::Settings settings;
    changes::ChangeTree indexed(settings), literal_tree(settings);
    Replay(sink.calls, indexed);
    Replay(sink.calls, literal_tree);
    // Sometimes the view has sorted some nodes already.
    if (gen.Chance(50)) {
      size_t position = 0;
      changes::NodeId a = indexed.Top(), b = literal_tree.Top();
      while (a != changes::kNoNode) {
        if (position++ % 3 == 0) {
          indexed.InitNode(a);
          literal_tree.InitNode(b);
        }
        a = indexed.NextInSubtree(a, indexed.Top());
        b = literal_tree.NextInSubtree(b, literal_tree.Top());
      }
    }
    ASSERT_EQ(Kinds(indexed), Kinds(literal_tree));

    DetectMovedFiles(run, indexed);
    literal::DetectMoved(run, literal_tree, literal_tree.FileSystemRoot());
    const std::vector<std::string> result = Kinds(indexed);
    ASSERT_EQ(result, Kinds(literal_tree));
    moves += std::count_if(result.begin(), result.end(),
                           [](const std::string& s) { return s.ends_with("/12"); });
  }
  EXPECT_GT(moves, 100u);  // pairs were there to be found
}

}  // namespace
}  // namespace cvn::compare
