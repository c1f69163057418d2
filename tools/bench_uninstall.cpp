// The speed of an uninstall against the bare deletions of the same items.
// An installation of ITEMS created items (half of them files in folders of
// a hundred, half registry keys of nine values each) is uninstalled as a
// user runs it, with its backup, once with the Recycle Bin off and once
// with it on. The same items are then deleted bare: the keys with one tree
// deletion, the files and folders one by one (or, with the bin on, all the
// files in one shell operation). Prints the times and the ratios; one more
// run without the backup shows what the backup costs. On Windows it runs on
// the real file system below the current folder and in HKEY_CURRENT_USER,
// and the same items are deleted once more the way a user would by hand:
// "reg delete" of the key, then "rd /s" of the folder, each a process of its
// own (two empty processes are timed too, to show what starting them
// costs); elsewhere on the in-memory platform.
//
//   bench_uninstall [ITEMS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "changes/change_tree.h"
#include "changes/save_changes_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstaller.h"

#ifdef _WIN32
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
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
using changes::NodeKind;
using platform::RootKey;

constexpr int kPerFolder = 100;
constexpr int kValuesPerKey = 9;
constexpr const char* kBenchKey = "Software\\CorvaneBench";

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
  int keys;

  std::string FolderOf(int i) const { return root + "\\D" + std::to_string(i / kPerFolder); }
  std::string FileName(int i) const { return "f" + std::to_string(i) + ".dat"; }
  std::string FileOf(int i) const { return FolderOf(i) + "\\" + FileName(i); }
  std::string KeyName(int k) const { return "K" + std::to_string(k); }
  std::string ValueName(int v) const { return "V" + std::to_string(v); }

  void Install() {
    fs.CreateFolder(root);
    const std::vector<uint8_t> content(1024, 'x');
    for (int i = 0; i < files; ++i) {
      if (i % kPerFolder == 0) fs.CreateFolder(FolderOf(i));
      fs.WriteFile(FileOf(i), content);
    }
    for (int k = 0; k < keys; ++k) {
      std::unique_ptr<platform::RegKey> key;
      registry.CreateKey(RootKey::kCurrentUser, std::string(kBenchKey) + "\\" + KeyName(k),
                         platform::KeyAccess::kReadWrite, &key);
      for (int v = 0; v < kValuesPerKey; ++v)
        platform::SetString(registry, *key, ValueName(v), "installed value " + ValueName(v));
    }
  }

  // The changes tree a monitoring of Install records.
  void Record(changes::ChangeTree& tree, threads::WorkerContext& context) const {
    auto add = [&](NodeKind kind, const std::string& path, const std::string& name,
                   const std::string& tree_path) {
      changes::ChangeRecord record;
      record.kind = kind;
      record.path = path;
      if (kind == NodeKind::kFileAdded) {
        record.after = changes::TextBuffer("10:00 01/02/24 1024");
        record.after_size = 20;
      }
      if (kind == NodeKind::kKeyAdded || kind == NodeKind::kValueAdded)
        record.root_key = static_cast<uint32_t>(RootKey::kCurrentUser);
      tree.AddToTree(tree_path, name, record);
      context.loaded_change_counts.Count(kind);
    };
    const size_t cut = root.rfind('\\');
    add(NodeKind::kFolderAdded, root.substr(0, cut), root.substr(cut + 1), root.substr(0, cut));
    for (int i = 0; i < files; ++i) {
      if (i % kPerFolder == 0) {
        add(NodeKind::kFolderAdded, root, "D" + std::to_string(i / kPerFolder), root);
      }
      add(NodeKind::kFileAdded, FolderOf(i), FileName(i), FolderOf(i));
    }
    const std::string hkcu = "HKEY_CURRENT_USER\\";
    add(NodeKind::kKeyAdded, "Software", "CorvaneBench", hkcu + "Software");
    for (int k = 0; k < keys; ++k) {
      add(NodeKind::kKeyAdded, kBenchKey, KeyName(k), hkcu + kBenchKey);
      const std::string key = std::string(kBenchKey) + "\\" + KeyName(k);
      for (int v = 0; v < kValuesPerKey; ++v)
        add(NodeKind::kValueAdded, key, ValueName(v), hkcu + key);
    }
  }

  // One uninstall of every created item; its time.
  double Uninstall(bool backup, bool recycle) {
    settings::Settings settings;
    settings.use_recycle_bin = recycle;
    settings.log_level = 0;
    changes::ChangeTree tree(settings);
    tree.Reset();
    tree.SetUninstallMode(true);
    threads::WorkerContext context(settings);
    context.program_folder = program_folder;
    Record(tree, context);
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

  // The same items deleted with no log, no backup and no checks: the keys
  // in one tree deletion, the files one by one or all in one shell
  // operation, then the folders.
  double BareDeletions(bool recycle) {
    return Seconds([&] {
      std::unique_ptr<platform::RegKey> software;
      registry.OpenKey(RootKey::kCurrentUser, "Software", platform::KeyAccess::kReadWrite,
                       &software);
      platform::DeleteKeyTree(registry, *software, "CorvaneBench");
      if (recycle) {
        std::vector<std::string> paths;
        for (int i = 0; i < files; ++i) paths.push_back(FileOf(i));
        shell.RecycleFiles(paths);
      } else {
        for (int i = 0; i < files; ++i) fs.DeleteFile(FileOf(i));
      }
      for (int i = 0; i < files; i += kPerFolder) fs.RemoveFolder(FolderOf(i));
      fs.RemoveFolder(root);
    });
  }

#ifdef _WIN32
  // Runs `command` as a process of its own and waits for it to end.
  static void Run(const std::string& command) {
    std::wstring line = platform::win32::ToWide(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
      std::fprintf(stderr, "cannot run %s\n", command.c_str());
      std::exit(1);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }

  // The same items deleted by hand: the key with "reg delete", the files
  // and folders with "rd /s". The time of the first is kept in *reg.
  double ByHand(double* reg) {
    *reg = Seconds([&] { Run("reg.exe delete HKCU\\" + std::string(kBenchKey) + " /f"); });
    return *reg + Seconds([&] { Run("cmd.exe /c rd /s /q \"" + root + "\""); });
  }
#endif

  void Clean() {
    uninstall::DeleteTree(fs, root);
    uninstall::DeleteTree(fs, program_folder);
    fs.CreateFolder(program_folder);
    std::unique_ptr<platform::RegKey> software;
    if (registry
            .OpenKey(RootKey::kCurrentUser, "Software", platform::KeyAccess::kReadWrite, &software)
            .ok())
      platform::DeleteKeyTree(registry, *software, "CorvaneBench");
  }

  template <typename Run>
  double Measure(Run run) {
    Install();
    const double seconds = run();
    Clean();
    return seconds;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int items = argc > 1 ? std::atoi(argv[1]) : 10000;
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
  // Half files (and their folders), half keys (and their values).
  const int files = items / 2 * kPerFolder / (kPerFolder + 1);
  const int keys = items / 2 / (kValuesPerKey + 1);
  Bench bench{fs, registry, shell, base + "\\App", base + "\\Corvane", files, keys};
  fs.CreateFolder(bench.program_folder);

  const double off = bench.Measure([&] { return bench.Uninstall(true, false); });
  const double bare_off = bench.Measure([&] { return bench.BareDeletions(false); });
  const double on = bench.Measure([&] { return bench.Uninstall(true, true); });
  const double bare_on = bench.Measure([&] { return bench.BareDeletions(true); });
  const double no_backup = bench.Measure([&] { return bench.Uninstall(false, false); });
#ifdef _WIN32
  double reg_delete = 0;
  const double by_hand = bench.Measure([&] { return bench.ByHand(&reg_delete); });
  if (fs.GetAttributes(bench.root)) {
    std::fprintf(stderr, "rd /s left the folder %s\n", bench.root.c_str());
    return 1;
  }
  const double empty_processes = Seconds([] {
    Bench::Run("cmd.exe /c rem");
    Bench::Run("cmd.exe /c rem");
  });
#endif
  uninstall::DeleteTree(fs, base);

  std::printf("%d items (%d files, %d keys of %d values)\n", items, files, keys, kValuesPerKey);
  std::printf("Recycle Bin off: uninstall %.3f s, bare deletions %.3f s, ratio %.2f\n", off,
              bare_off, off / bare_off);
  std::printf("Recycle Bin on:  uninstall %.3f s, bare deletions %.3f s, ratio %.2f\n", on, bare_on,
              on / bare_on);
  std::printf("the backup's share (bin off): %.2f\n", (off - no_backup) / off);
#ifdef _WIN32
  std::printf("by hand: %.3f s (reg delete %.3f s, rd /s %.3f s; starting two processes %.3f s)\n",
              by_hand, reg_delete, by_hand - reg_delete, empty_processes);
  std::printf("uninstall / by hand: %.2f with the Recycle Bin off, %.2f with it on\n",
              off / by_hand, on / by_hand);
#endif
  return 0;
}
