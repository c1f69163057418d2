// The cost of the uninstall's backup: an installation of 10,000 created
// files in 100 folders is uninstalled once without a backup (the files
// deleted) and once with it (the files moved into the backup, the journal
// written ahead of every action), and the same files are moved by a bare
// loop of renames. Prints the times and the ratios. On Windows it runs on
// the real file system in a folder below the current one; elsewhere on the
// in-memory platform.
//
//   bench_uninstall [FILES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "changes/change_tree.h"
#include "changes/save_changes_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstaller.h"

#ifdef _WIN32
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#else
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#endif

namespace {

using namespace cvn;

class QuietView final : public uninstall::UninstallView {
 public:
  void SetStatus(std::string_view) override {}
  void SetProgressMax(uint32_t) override {}
  void StepProgress() override {}
  void AppendLogLine(std::string_view, uninstall::LogColor) override {}
  uninstall::RemoveAnswer AskRemoveShared(std::string_view, std::string_view) override {
    return uninstall::RemoveAnswer::kNoToAll;
  }
  void ShowUninstallEnded(std::string_view) override {}
};

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Bench {
  platform::FileSystem& fs;
  platform::Registry& registry;
  platform::Shell& shell;
  std::string root;  // the installation's folder
  std::string program_folder;
  int files;

  std::string FolderOf(int i) const { return root + "\\D" + std::to_string(i / 100); }
  std::string FileOf(int i) const { return FolderOf(i) + "\\f" + std::to_string(i) + ".dat"; }

  void Install() {
    fs.CreateFolder(root);
    const std::vector<uint8_t> content(1024, 'x');
    for (int i = 0; i < files; ++i) {
      if (i % 100 == 0) fs.CreateFolder(FolderOf(i));
      fs.WriteFile(FileOf(i), content);
    }
  }

  // One uninstall of every created file and folder; its time.
  double Uninstall(bool backup) {
    settings::Settings settings;
    settings.use_recycle_bin = false;
    settings.log_level = 0;
    changes::ChangeTree tree(settings);
    tree.Reset();
    tree.SetUninstallMode(true);
    threads::WorkerContext context(settings);
    context.program_folder = program_folder;
    auto add = [&](changes::NodeKind kind, const std::string& folder, const std::string& name) {
      changes::ChangeRecord record;
      record.kind = kind;
      record.path = folder;
      if (kind == changes::NodeKind::kFileAdded) {
        record.after = changes::TextBuffer("10:00 01/02/24 1024");
        record.after_size = 20;
      }
      tree.AddToTree(folder, name, record);
      context.loaded_change_counts.Count(kind);
    };
    const size_t cut = root.rfind('\\');
    add(changes::NodeKind::kFolderAdded, root.substr(0, cut), root.substr(cut + 1));
    for (int i = 0; i < files; ++i) {
      if (i % 100 == 0) add(changes::NodeKind::kFolderAdded, root, "D" + std::to_string(i / 100));
      add(changes::NodeKind::kFileAdded, FolderOf(i), "f" + std::to_string(i) + ".dat");
    }
    changes::SaveChangesTree(tree, fs, program_folder, "Bench");
    QuietView view;
    uninstall::UninstallLog log(settings, view);
    threads::QueueDispatcher dispatcher;
    changes::SystemClock clock;
    bool ended = false;
    auto* engine = new uninstall::Uninstaller(context, tree, {registry, fs, shell}, log, view,
                                              clock, dispatcher, "Bench");
    engine->SetBackupEnabled(backup);
    engine->SetOnTerminate([&ended](threads::WorkerThread&) { ended = true; });
    return Seconds([&] {
      engine->Start();
      while (!ended) dispatcher.WaitAndProcess(100);
    });
  }

  double BareMoves() {
    const std::string target = program_folder + "\\moved";
    fs.CreateFolder(target);
    return Seconds([&] {
      for (int i = 0; i < files; ++i) fs.MoveFile(FileOf(i), target + "\\" + std::to_string(i));
    });
  }

  void Clean() {
    uninstall::DeleteTree(fs, root);
    uninstall::DeleteTree(fs, program_folder);
    fs.CreateFolder(program_folder);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
#ifdef _WIN32
  platform::win32::Win32FileSystem fs;
  platform::win32::Win32Registry registry;
  platform::win32::Win32Shell shell;
  const std::string base = fs.CurrentDirectory() + "\\bench_uninstall";
#else
  platform::MemoryFileSystem fs;
  platform::MemoryRegistry registry;
  platform::MemoryShell shell(fs);
  const std::string base = "C:\\bench_uninstall";
#endif
  uninstall::DeleteTree(fs, base);
  fs.CreateFolder(base);
  Bench bench{fs, registry, shell, base + "\\App", base + "\\Corvane", files};
  fs.CreateFolder(bench.program_folder);

  bench.Install();
  const double without = bench.Uninstall(false);
  bench.Clean();
  bench.Install();
  const double with = bench.Uninstall(true);
  bench.Clean();
  bench.Install();
  const double moves = bench.BareMoves();
  bench.Clean();
  uninstall::DeleteTree(fs, base);

  std::printf("%d files: uninstall without backup %.3f s, with backup %.3f s, bare moves %.3f s\n",
              files, without, with, moves);
  std::printf("with / without backup: %.2f; backup's extra time / bare moves: %.2f\n",
              with / without, (with - without) / moves);
  return 0;
}
