// Speed of change detection and of the changes tree (run by hand on a
// release build, not by ctest). Prints:
//  - comparing two 1,000,000-file trees that differ in 10% of their files,
//    and two 1,000,000-value registry trees likewise, against a bare walk of
//    both trees;
//  - one folder of 100,000 files, half deleted and as many created (half of
//    them moves), against the same with 10,000 files;
//  - AddToTree of 200,000 siblings under one folder against 20,000.
// The after-trees list every sibling in reverse order: order carries no
// meaning, and a scan from the head of the list would cost the most then.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "changes/change_tree.h"
#include "engine/compare/compare_fs.h"
#include "engine/compare/compare_reg.h"
#include "engine/compare/detect_moved.h"
#include "engine/snapshot/snapshot_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/memory/memory_filesystem.h"

using namespace cvn;
using snapshot::SnapshotNode;
using snapshot::SnapshotTree;
using snapshot::SnapshotValue;

namespace {

// Processor time of this process (user and system): the machine may be
// shared, and waiting for a processor is not work done.
double Seconds(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The best of a few runs, for the short measurements.
double BestSeconds(int runs, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
  return best;
}

std::vector<uint8_t> FileData(uint32_t time, uint32_t size) {
  return {static_cast<uint8_t>(time),       static_cast<uint8_t>(time >> 8),
          static_cast<uint8_t>(time >> 16), static_cast<uint8_t>(time >> 24),
          static_cast<uint8_t>(size),       static_cast<uint8_t>(size >> 8),
          static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
}

constexpr uint32_t kTime = (26u << 9 | 3u << 5 | 4u) << 16 | (12u << 11);

// What changes in the after-tree: of every 30 entries, one is changed, one
// deleted and one replaced by a new name (10%).
enum class Fate { kSame, kChanged, kDeleted, kRenamed };
Fate FateOf(size_t i) {
  switch (i % 30) {
    case 7:
      return Fate::kChanged;
    case 17:
      return Fate::kDeleted;
    case 27:
      return Fate::kRenamed;
    default:
      return Fate::kSame;
  }
}

// A tree of `folders` folders (below one drive or hive root) with
// `per_folder` entries each. The after-tree adds everything in the reverse
// order, so each of its lists is the before-list reversed, with 10% of the
// entries changed, deleted or renamed.
void BuildTree(SnapshotTree& tree, size_t folders, size_t per_folder, bool after, bool registry) {
  SnapshotNode* root = tree.NewNode(registry ? "" : "C:");
  tree.SetRoot(root);
  const uint32_t type = registry ? 4 : 3;
  for (size_t f = 0; f < folders; ++f) {
    const size_t folder_index = after ? folders - 1 - f : f;
    SnapshotNode* folder = tree.NewNode("Folder" + std::to_string(folder_index));
    for (size_t i = 0; i < per_folder; ++i) {
      const size_t k = after ? per_folder - 1 - i : i;
      const size_t global = folder_index * per_folder + k;
      const Fate fate = after ? FateOf(global) : Fate::kSame;
      if (fate == Fate::kDeleted) continue;
      const std::string name =
          (fate == Fate::kRenamed ? "New" : "Entry") + std::to_string(k) + ".dat";
      const uint32_t size = static_cast<uint32_t>(global % 5000) + (fate == Fate::kChanged ? 1 : 0);
      SnapshotTree::AddValueFirst(*folder, *tree.NewValue(name, type, FileData(kTime, size)));
    }
    SnapshotTree::AddChildFirst(*root, *folder);
  }
}

size_t BareWalk(const SnapshotNode* node) {
  size_t bytes = 0;
  for (; node != nullptr; node = node->next) {
    for (const SnapshotValue* v = node->values; v != nullptr; v = v->next)
      bytes += v->name.size() + v->size;
    bytes += BareWalk(node->child);
  }
  return bytes;
}

void BenchFileSystem() {
  SnapshotTree before, after;
  BuildTree(before, 20000, 50, false, false);
  BuildTree(after, 20000, 50, true, false);
  size_t sink = 0;
  const double walk = Seconds([&] { sink = BareWalk(before.Root()) + BareWalk(after.Root()); });
  settings::Settings settings;
  changes::ChangeTree tree(settings);
  threads::RunToEnd run;
  const double compare = Seconds([&] {
    compare::FileSystemComparer(run, tree, {":", "/"}).CompareTrees(before.Root(), after.Root());
  });
  std::printf("File system, 1,000,000 files in 20,000 folders, 10%% differing:\n");
  std::printf("  compare (both passes, into the tree): %.3f s (target < 1 s); %zu tree nodes\n",
              compare, tree.NodeCount());
  std::printf("  bare walk of both trees: %.3f s; ratio %.1f (checksum %zu)\n", walk,
              compare / walk, sink % 10);
}

void BenchRegistry() {
  SnapshotTree before, after;
  BuildTree(before, 50000, 20, false, true);
  BuildTree(after, 50000, 20, true, true);
  size_t sink = 0;
  const double walk = Seconds([&] { sink = BareWalk(before.Root()) + BareWalk(after.Root()); });
  settings::Settings settings;
  changes::ChangeTree tree(settings);
  threads::RunToEnd run;
  platform::MemoryFileSystem fs;
  const double compare = Seconds([&] {
    compare::RegistryComparer(run, tree, fs, platform::RootKey::kLocalMachine)
        .CompareHive(before.Root(), after.Root());
  });
  std::printf("Registry, 1,000,000 values in 50,000 keys, 10%% differing:\n");
  std::printf("  compare (both passes, into the tree): %.3f s (target < 1 s); %zu tree nodes\n",
              compare, tree.NodeCount());
  std::printf("  bare walk of both trees: %.3f s; ratio %.1f (checksum %zu)\n", walk,
              compare / walk, sink % 10);
}

// One folder of `files` files: half of them deleted; as many created, half
// of those with new names in the folder and half moved to another folder.
double MovedFilesCase(size_t files) {
  SnapshotTree before, after;
  SnapshotNode* b_root = before.NewNode("C:");
  before.SetRoot(b_root);
  SnapshotNode* b_dir = before.NewNode("Dir");
  SnapshotTree::AddChildFirst(*b_root, *b_dir);
  SnapshotNode* a_root = after.NewNode("C:");
  after.SetRoot(a_root);
  SnapshotNode* a_dir = after.NewNode("Dir");
  SnapshotNode* a_other = after.NewNode("Other");
  SnapshotTree::AddChildFirst(*a_root, *a_dir);
  SnapshotTree::AddChildFirst(*a_root, *a_other);
  for (size_t i = 0; i < files; ++i) {
    const std::string name = "File" + std::to_string(i) + ".dll";
    const auto data = FileData(kTime, static_cast<uint32_t>(i));
    SnapshotTree::AddValueFirst(*b_dir, *before.NewValue(name, 3, data));
    if (i % 2 == 0) {
      SnapshotTree::AddValueFirst(*a_dir, *after.NewValue(name, 3, data));  // kept
    } else if (i % 4 == 1) {
      SnapshotTree::AddValueFirst(*a_other, *after.NewValue(name, 3, data));  // moved
    } else {
      const std::string fresh = "Fresh" + std::to_string(i) + ".dll";
      SnapshotTree::AddValueFirst(*a_dir, *after.NewValue(fresh, 3, data));  // created
    }
  }
  for (size_t i = 0; i < files / 4; ++i) {
    // The other half of the created files, so that as many are created as deleted.
    const std::string fresh = "Extra" + std::to_string(i) + ".dll";
    SnapshotTree::AddValueFirst(*a_dir, *after.NewValue(fresh, 3, FileData(kTime, 1)));
  }
  settings::Settings settings;
  changes::ChangeTree tree(settings);
  threads::RunToEnd run;
  return Seconds([&] {
    compare::FileSystemComparer(run, tree, {":", "/"}).CompareTrees(before.Root(), after.Root());
    compare::DetectMovedFiles(run, tree);
  });
}

void BenchMovedFiles() {
  const double small = BestSeconds(15, [] { MovedFilesCase(10000); });
  const double large = BestSeconds(7, [] { MovedFilesCase(100000); });
  std::printf("One folder, half deleted, as many created, half of those moved:\n");
  std::printf("  10,000 files: %.4f s; 100,000 files: %.4f s; ratio %.1f (target <= 15)\n", small,
              large, large / small);
}

double SiblingsCase(size_t siblings) {
  settings::Settings settings;
  changes::ChangeTree tree(settings);
  changes::ChangeRecord record;
  return Seconds([&] {
    for (size_t i = 0; i < siblings; ++i) {
      const std::string name = "Folder" + std::to_string(i);
      record.kind = changes::NodeKind::kFolderAdded;
      record.path = "C:\\Dir";
      tree.AddToTree("C:\\Dir\\", name, record);
      // Each file's path goes through its folder among all the siblings.
      record.kind = changes::NodeKind::kFileAdded;
      tree.AddToTree("C:\\Dir\\" + name, "file.txt", record);
    }
  });
}

void BenchSiblings() {
  const double small = BestSeconds(15, [] { SiblingsCase(20000); });
  const double large = BestSeconds(7, [] { SiblingsCase(200000); });
  std::printf("AddToTree of created folders under one folder, a file in each:\n");
  std::printf("  20,000 siblings: %.4f s; 200,000 siblings: %.4f s; ratio %.1f (target <= 15)\n",
              small, large, large / small);
}

}  // namespace

// With no argument every measurement runs; otherwise only those named
// (fs, reg, moved, siblings).
int main(int argc, char** argv) {
  const std::vector<std::string> only(argv + 1, argv + argc);
  auto wanted = [&](const char* name) {
    return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
  };
  if (wanted("fs")) BenchFileSystem();
  if (wanted("reg")) BenchRegistry();
  if (wanted("moved")) BenchMovedFiles();
  if (wanted("siblings")) BenchSiblings();
  return 0;
}
