// The uninstall engine on the real drive C: under Wine, where only the real
// system can say what it does: a file another handle holds open stays, and a
// shared file whose counter names it by its short (8.3) path is kept.
#include <gtest/gtest.h>

#include "changes/change_tree.h"
#include "changes/load_check_tree.h"
#include "changes/save_changes_tree.h"
#include "engine/snapshot/safe_thread.h"
#include "engine/snapshot/scan_control.h"
#include "engine/snapshot/worker_context.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/windows_api.h"
#include "settings/settings.h"
#include "tests/platform/status_assertions.h"
#include "tests/support/bytes.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/platform_win32_sandbox.h"
#include "uninstall/dezinstaler.h"
#include "uninstall/shared_counter.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"

namespace cvn::uninstall {
namespace {

using cvn::test::Where;
using platform::KeyAccess;
using platform::RootKey;

// The window's side: every shared-file question is answered Yes.
struct YesView final : UninstallView {
  void SetStatus(std::string_view) override {}
  void SetProgressMax(uint32_t) override {}
  void StepProgress() override {}
  void AppendLogLine(std::string_view, LogColor) override {}
  RemoveAnswer AskRemoveShared(std::string_view, std::string_view) override { return raYes; }
  void ShowUninstallEnded(std::string_view) override {}
};

class UninstallWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.program_folder = box_.folder;
    settings_.LogLevel = 7;
    tree_.SetUninstallMode(true);
  }
  void TearDown() override {
    if (!shared_counter_.empty())
      RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, platform::win32::ToWide(kSharedDllsKey).c_str(),
                         platform::win32::ToWide(shared_counter_).c_str());
  }

  // Writes the file `folder`\`name` (the folder too, for a first file) and
  // records it as added.
  void AddFile(const std::string& folder, const std::string& name, Where where = Where::current()) {
    TRACE_CALLER(where);
    fs_.CreateFolder(folder);
    EXPECT_STATUS(kOk, fs_.WriteFile(folder + "\\" + name, test::Bytes("x")));
    RecordAdded(changes::nkFileAdded, folder, name);
  }
  void RecordAdded(int32_t kind, const std::string& folder, const std::string& name) {
    changes::TNodeData tmpl;
    tmpl.Kind = kind;
    tmpl.Path = folder;
    if (kind == changes::nkFileAdded) {
      tmpl.After = changes::TextBuffer("12:00 01/01/24 1");
      tmpl.AfterSize = 17;
    }
    tree_.AddToTree(folder, name, tmpl);
  }

  // Saves the tree as the archive and loads it back as the wizard does.
  void SaveAndLoad() {
    changes::SaveChangesTree(tree_, fs_, box_.folder, "App", clock_);
    tree_.Reset();
    changes::TChgArchive archive(fs_, box_.folder + "\\App", clock_);
    ASSERT_TRUE(archive.Open());
    snapshot::RunToEnd control;
    ASSERT_TRUE(changes::LoadChangeRecords(archive, tree_, context_.loaded_change_counts, control,
                                           nullptr));
  }
  void Run() {
    bool ended = false;
    auto* engine = new TDezinstaler(context_, tree_, {registry_, fs_, shell_}, log_, view_, clock_,
                                    dispatcher_, "App");
    engine->SetOnTerminate([&](snapshot::TSafeThread&) { ended = true; });
    engine->Start();
    for (int i = 0; i < 60000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_TRUE(ended);
  }

  test::Win32Sandbox box_;
  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  platform::win32::Win32Shell shell_;
  settings::Settings settings_;
  snapshot::WorkerContext context_{settings_};
  changes::ChangeTree tree_{settings_};
  YesView view_;
  TUninstallLog log_{settings_, view_};
  test::FixedClock clock_;
  snapshot::QueueDispatcher dispatcher_;
  std::string shared_counter_;
};

TEST_F(UninstallWin32Test, AFileHeldOpenStaysAndIsLoggedAsInUse) {
  const std::string app = box_.folder + "\\App", used = app + "\\used.txt";
  RecordAdded(changes::nkFolderAdded, box_.folder, "App");
  AddFile(app, "used.txt");
  HANDLE handle = CreateFileW(platform::win32::ToWide(used).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  SaveAndLoad();
  for (bool recycle : {false, true}) {
    SCOPED_TRACE(recycle ? "to the Recycle Bin" : "deleted");
    settings_.UseRecycled = recycle;
    log_.Clear();
    Run();
    EXPECT_EQ(log_.Lines(),
              (std::vector<std::string>{"DELETING FILE: " + used + " ... ERROR (in use)",
                                        "DELETING FOLDER: " + app + " ... ERROR (not empty)"}));
    EXPECT_TRUE(fs_.GetAttributes(used));
  }
  CloseHandle(handle);
}

TEST_F(UninstallWin32Test, SharedFileListedUnderItsShortNameIsKept) {
  const std::string file = box_.folder + "\\Long Folder Name\\shared library.dll";
  AddFile(box_.folder + "\\Long Folder Name", "shared library.dll");
  wchar_t short_path[MAX_PATH];
  const DWORD length =
      GetShortPathNameW(platform::win32::ToWide(file).c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  shared_counter_ = platform::win32::ToUtf8(std::wstring(short_path, length));
  if (shared_counter_ == file) GTEST_SKIP() << "this file system gives no short names";
  std::unique_ptr<platform::RegKey> counters;
  ASSERT_TRUE(
      registry_.CreateKey(RootKey::kLocalMachine, kSharedDllsKey, KeyAccess::kReadWrite, &counters)
          .ok());
  ASSERT_TRUE(platform::SetDword(registry_, *counters, shared_counter_, 1).ok());
  SaveAndLoad();
  Run();
  EXPECT_TRUE(fs_.GetAttributes(file));
  EXPECT_EQ(log_.Lines(), std::vector<std::string>{"Uninstall complete without errors"});
}

}  // namespace
}  // namespace cvn::uninstall
