// Speed of the changes archive (run by hand on a release host build, not by
// ctest). Prints save and load throughput of an archive of 1,000,000
// records, loading into the changes tree included, against building the same
// tree by direct insertion in the same run. Target: 1 million records per
// second each way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "changes/archive_loader.h"
#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "changes/save_changes_tree.h"
#include "engine/threads/scan_control.h"
#include "platform/memory/memory_filesystem.h"

using namespace cvn;
using changes::ChangeRecord;
using changes::ChangeTree;

namespace {

// Processor time of this process: the machine may be shared.
double Seconds(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

constexpr int kFolders = 5000;
constexpr int kFilesPerFolder = 100;  // 500,000 file records
constexpr int kKeys = 10000;
constexpr int kValuesPerKey = 50;  // 500,000 value records
constexpr size_t kRecords = size_t{kFolders} * kFilesPerFolder + size_t{kKeys} * kValuesPerKey;

// Inserts the changes a large installation could leave: files created,
// changed and deleted in many folders, values created in many keys.
void Fill(ChangeTree& tree) {
  ChangeRecord record;
  std::string folder, key, name;
  const uint8_t value_data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int k = 0; k < kKeys; ++k) {
    key = "Software\\Vendor\\Product\\Component" + std::to_string(k);
    const std::string container = "HKEY_LOCAL_MACHINE\\" + key;
    for (int v = 0; v < kValuesPerKey; ++v) {
      name = "Value" + std::to_string(v);
      record.kind = changes::NodeKind::kValueAdded;
      record.root_key = 0x80000002u;
      record.value_type = 3;
      record.path = key;
      record.after = changes::CopyBuffer(value_data);
      record.after_size = sizeof value_data;
      tree.AddToTree(container, name, record);
    }
  }
  for (int f = 0; f < kFolders; ++f) {
    folder = "C:\\Program Files\\Vendor\\Product\\Folder" + std::to_string(f);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      name = "file" + std::to_string(i) + ".dat";
      record = ChangeRecord();
      record.kind = i % 10 == 0 ? changes::NodeKind::kFileChanged
                                : (i % 10 == 1 ? changes::NodeKind::kFileDeleted
                                               : changes::NodeKind::kFileAdded);
      record.path = folder;
      if (record.kind != changes::NodeKind::kFileAdded) {
        record.before = changes::TextBuffer("09:15 04/03/26 123456");
        record.before_size = 22;
      }
      if (record.kind != changes::NodeKind::kFileDeleted) {
        record.after = changes::TextBuffer("10:30 05/03/26 654321");
        record.after_size = 22;
      }
      tree.AddToTree(folder, name, record);
    }
  }
}

}  // namespace

int main() {
  settings::Settings settings;
  platform::MemoryFileSystem fs;
  fs.CreateFolders("C:\\Cvn");

  ChangeTree tree(settings);
  const double build = Seconds([&] { Fill(tree); });

  size_t bytes = 0;
  const double save = Seconds([&] { changes::SaveChangesTree(tree, fs, "C:\\Cvn", "Bench"); });
  {
    changes::ChangesArchive probe(fs, "C:\\Cvn\\Bench");
    probe.Open();
    bytes = probe.Size();
  }

  ChangeTree loaded(settings);
  loaded.SetUninstallMode(true);
  threads::LoadedChangeCounts counts;
  threads::RunToEnd control;
  bool ok = false;
  const double load = Seconds([&] {
    changes::ChangesArchive archive(fs, "C:\\Cvn\\Bench");
    ok = archive.Open() && changes::LoadChangeRecords(archive, loaded, counts, control, nullptr);
  });
  if (!ok || loaded.NodeCount() != tree.NodeCount()) {
    std::printf("load failed or differs: %zu nodes against %zu\n", loaded.NodeCount(),
                tree.NodeCount());
    return 1;
  }

  std::printf("archive of %zu records, %.1f MB\n", kRecords, bytes / 1e6);
  std::printf("  building the tree by AddToTree:  %.3f s  (%.2f M records/s)\n", build,
              kRecords / build / 1e6);
  std::printf("  save (walk, encode, write):      %.3f s  (%.2f M records/s)  target >= 1\n", save,
              kRecords / save / 1e6);
  std::printf("  load (read, parse, AddToTree):   %.3f s  (%.2f M records/s)  target >= 1\n", load,
              kRecords / load / 1e6);
  std::printf("  load against building:           %.2fx\n", load / build);
  return 0;
}
