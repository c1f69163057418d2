// The uninstall engine on the real drive C: under Wine, where only the real
// system can say what it does: a file another handle holds open stays, and a
// shared file whose counter names it by its short (8.3) path is kept.
#include <gtest/gtest.h>

#include "changes/change_tree.h"
#include "changes/save_changes_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/windows_api.h"
#include "settings/settings.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/platform_win32_sandbox.h"
#include "uninstall/shared_counter.h"
#include "uninstall/uninstall_backup.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"
#include "uninstall/uninstaller.h"

namespace cvn::uninstall {

using changes::NodeKind;
namespace {

using platform::win32::ToWide;

// The window's side: every shared-file question is answered Yes.
struct YesView final : UninstallView {
  void SetStatus(std::string_view) override {}
  void SetProgressMax(uint32_t) override {}
  void StepProgress() override {}
  void AppendLogLine(std::string_view, LogColor) override {}
  RemoveAnswer AskRemoveShared(std::string_view, std::string_view) override {
    return RemoveAnswer::kYes;
  }
  void ShowUninstallEnded(std::string_view) override {}
};

// The program folder is the sandbox; the application "App" added the folder
// App and the file App\<name> there.
class UninstallWin32Test : public ::testing::Test {
 protected:
  UninstallWin32Test() {
    context_.program_folder = box_.folder;
    settings_.log_level = 7;
    tree_.SetUninstallMode(true);
    Record(changes::NodeKind::kFolderAdded, box_.folder, "App");
  }
  ~UninstallWin32Test() override {
    if (!shared_counter_.empty())
      RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ToWide(kSharedDllsKey).c_str(),
                         ToWide(shared_counter_).c_str());
  }

  // Writes `app_`\`name` and records it as added.
  std::string AddFile(const std::string& name) {
    fs_.CreateFolder(app_);
    EXPECT_TRUE(fs_.WriteFile(app_ + "\\" + name, std::vector<uint8_t>{'x'}).ok());
    Record(changes::NodeKind::kFileAdded, app_, name);
    return app_ + "\\" + name;
  }
  void Record(NodeKind kind, const std::string& folder, const std::string& name) {
    changes::ChangeRecord tmpl;
    tmpl.kind = kind;
    tmpl.path = folder;
    if (kind == changes::NodeKind::kFileAdded) {
      tmpl.after = changes::TextBuffer("12:00 01/01/24 1");
      tmpl.after_size = 17;
    }
    tree_.AddToTree(folder, name, tmpl);
    context_.loaded_change_counts.Count(kind);  // as the loader counts it
  }

  // Saves the archive and runs the engine as the wizard does, until it ends.
  void Run() {
    changes::SaveChangesTree(tree_, fs_, box_.folder, "App", clock_);
    log_.Clear();
    bool ended = false;
    auto* engine = new Uninstaller(context_, tree_, {registry_, fs_, shell_}, log_, view_, clock_,
                                   dispatcher_, "App");
    engine->SetOnTerminate([&](threads::WorkerThread&) { ended = true; });
    engine->Start();
    for (int i = 0; i < 60000 && !ended; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_TRUE(ended);
  }

  test::Win32Sandbox box_;
  const std::string app_ = box_.folder + "\\App";
  platform::win32::Win32Registry registry_;
  platform::win32::Win32FileSystem fs_;
  platform::win32::Win32Shell shell_;
  settings::Settings settings_;
  threads::WorkerContext context_{settings_};
  changes::ChangeTree tree_{settings_};
  YesView view_;
  UninstallLog log_{settings_, view_};
  test::FixedClock clock_;
  threads::QueueDispatcher dispatcher_;
  std::string shared_counter_;
};

TEST_F(UninstallWin32Test, AFileHeldOpenStaysAndIsLoggedAsInUse) {
  const std::string used = AddFile("used.txt");
  HANDLE handle = CreateFileW(ToWide(used).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  for (bool recycle : {false, true}) {
    SCOPED_TRACE(recycle ? "to the Recycle Bin" : "deleted");
    settings_.use_recycle_bin = recycle;
    Run();
    EXPECT_EQ(log_.Lines(),
              (std::vector<std::string>{"DELETING FILE: " + used + " ... ERROR (in use)",
                                        "DELETING FOLDER: " + app_ + " ... ERROR (not empty)"}));
    EXPECT_TRUE(fs_.GetAttributes(used));
  }
  CloseHandle(handle);
}

// Files sent to the Recycle Bin together leave a second name in the backup,
// from which a restore brings back their content.
TEST_F(UninstallWin32Test, RecycledFilesComeBackFromTheBackup) {
  const std::vector<std::string> files{AddFile("a.txt"), AddFile("b.dll")};
  settings_.use_recycle_bin = true;
  Run();
  for (const std::string& file : files) EXPECT_FALSE(fs_.GetAttributes(file)) << file;
  EXPECT_EQ(log_.Lines(),
            (std::vector<std::string>{
                "DELETING FILE: " + files[0] + " ... Ok", "DELETING FILE: " + files[1] + " ... Ok",
                "DELETING FOLDER: " + app_ + " ... Ok", "Uninstall complete without errors"}));

  const RestoreReport report = RestoreLastUninstall(fs_, registry_, box_.folder, "App");
  EXPECT_TRUE(report.ok()) << ::testing::PrintToString(report.failures);
  for (const std::string& file : files) {
    std::vector<uint8_t> data;
    ASSERT_TRUE(fs_.ReadFile(file, &data).ok()) << file;
    EXPECT_EQ(data, std::vector<uint8_t>{'x'});
  }
}

TEST_F(UninstallWin32Test, SharedFileListedUnderItsShortNameIsKept) {
  const std::string file = AddFile("shared library.dll");
  wchar_t short_path[MAX_PATH];
  const DWORD length = GetShortPathNameW(ToWide(file).c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  shared_counter_ = platform::win32::ToUtf8(std::wstring(short_path, length));
  if (shared_counter_ == file) GTEST_SKIP() << "this file system gives no short names";
  std::unique_ptr<platform::RegKey> counters;
  ASSERT_TRUE(registry_
                  .CreateKey(platform::RootKey::kLocalMachine, kSharedDllsKey,
                             platform::KeyAccess::kReadWrite, &counters)
                  .ok());
  ASSERT_TRUE(platform::SetDword(registry_, *counters, shared_counter_, 1).ok());
  Run();
  EXPECT_TRUE(fs_.GetAttributes(file));
  EXPECT_EQ(log_.Lines(),
            std::vector<std::string>{"DELETING FOLDER: " + app_ + " ... ERROR (not empty)"});
}

}  // namespace
}  // namespace cvn::uninstall
