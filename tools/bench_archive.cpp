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

#include "changes/change_tree.h"
#include "changes/chg_archive.h"
#include "changes/load_check_tree.h"
#include "changes/save_changes_tree.h"
#include "engine/snapshot/scan_control.h"
#include "platform/memory/memory_filesystem.h"

using namespace cvn;
using changes::ChangeTree;
using changes::TNodeData;

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
  TNodeData record;
  std::string folder, key, name;
  const uint8_t value_data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int k = 0; k < kKeys; ++k) {
    key = "Software\\Vendor\\Product\\Component" + std::to_string(k);
    const std::string container = "HKEY_LOCAL_MACHINE\\" + key;
    for (int v = 0; v < kValuesPerKey; ++v) {
      name = "Value" + std::to_string(v);
      record.Kind = changes::nkValueAdded;
      record.RootKey = 0x80000002u;
      record.ValueType = 3;
      record.Path = key;
      record.After = changes::CopyBuffer(value_data);
      record.AfterSize = sizeof value_data;
      tree.AddToTree(container, name, record);
    }
  }
  for (int f = 0; f < kFolders; ++f) {
    folder = "C:\\Program Files\\Vendor\\Product\\Folder" + std::to_string(f);
    for (int i = 0; i < kFilesPerFolder; ++i) {
      name = "file" + std::to_string(i) + ".dat";
      record = TNodeData();
      record.Kind = i % 10 == 0 ? changes::nkFileChanged
                                : (i % 10 == 1 ? changes::nkFileDeleted : changes::nkFileAdded);
      record.Path = folder;
      if (record.Kind != changes::nkFileAdded) {
        record.Before = changes::TextBuffer("09:15 04/03/26 123456");
        record.BeforeSize = 22;
      }
      if (record.Kind != changes::nkFileDeleted) {
        record.After = changes::TextBuffer("10:30 05/03/26 654321");
        record.AfterSize = 22;
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
    changes::TChgArchive probe(fs, "C:\\Cvn\\Bench");
    probe.Open();
    bytes = probe.Size();
  }

  ChangeTree loaded(settings);
  loaded.SetUninstallMode(true);
  snapshot::LoadedChangeCounts counts;
  snapshot::RunToEnd control;
  bool ok = false;
  const double load = Seconds([&] {
    changes::TChgArchive archive(fs, "C:\\Cvn\\Bench");
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
