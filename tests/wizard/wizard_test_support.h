// What the wizard's tests share: a view that records what the wizard tells
// it and answers its questions from a queue, and the wizard on the
// in-memory platform with its program folder C:\Cvn.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/platform_wrappers.h"
#include "tests/support/fixed_clock.h"
#include "wizard/wizard.h"

namespace cvn::wizard::testing {

using threads::ProgramState;

class RecordingView final : public WizardView {
 public:
  void ShowPage(Page p) override { page = p; }
  void SetProgressMax(uint32_t) override {}
  void AppendLogLine(std::string_view text, uninstall::LogColor) override {
    log.emplace_back(text);
  }
  uninstall::RemoveAnswer AskRemoveShared(std::string_view, std::string_view) override {
    return uninstall::RemoveAnswer::kNo;
  }
  void ShowUninstallEnded(std::string_view) override {
    stop = false;
    next = true;
  }
  void EnableMainPanel(bool on) override { main_panel = on; }
  void FillApplications() override { ++lists_filled; }
  std::string SelectedApplication() override { return selected; }
  void RemoveSelectedApplication() override { selected.clear(); }
  void StartLog() override { log.clear(); }
  bool Elevated() override { return elevated; }
  std::string UserProfileFolder() override { return "C:\\Users\\Ada"; }
  bool RestartElevated(std::string_view identifier) override {
    restarted_with = identifier;
    return true;
  }
  void SetStatus(std::string_view text) override { status = text; }
  void SetCaption(std::string_view text) override { caption = text; }
  void EnableNext(bool on) override { next = on; }
  void EnableBack(bool on) override { back = on; }
  void ShowStop(bool on) override { stop = on; }
  void SetProgress(int, int maximum) override { progress_max = maximum; }
  void StepProgress() override {}
  bool InstallChosen() override { return install; }
  std::string Identifier() override { return identifier; }
  void EnableFirstPage(bool) override {}
  void SetIdentifier(std::string_view text) override { identifier = text; }
  TargetBoxes Targets() override { return boxes; }
  void ShowTargets(const TargetBoxes& shown, bool enabled, bool lock) override {
    boxes = shown;
    targets_enabled = enabled;
    folders_locked = lock;
  }
  void FocusOtherFolders() override {}
  RunMode ChosenRunMode() override { return mode; }
  std::string SetupPath() override { return setup_path; }
  void SetSetupPath(std::string_view text) override { setup_path = text; }
  void EnableRunPage(bool, bool) override {}
  void FocusSetupPath() override {}
  bool StartSetup(std::string_view) override { return setup_starts; }
  void ShowChanges() override { ++changes_shown; }
  void ClearChanges() override {}
  bool ChangesEdited() override { return edited; }
  bool SaveChanges() override { return true; }
  void ClearEdits() override { identifier.clear(); }
  void CloseWindow() override { closed = true; }
  void ShowError(std::string_view text) override { errors.emplace_back(text); }
  Answer Ask(std::string_view question, bool) override {
    questions.emplace_back(question);
    const Answer answer = answers.empty() ? Answer::kNo : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }

  // Show what will be done, when the next answer is Cancel.
  UninstallAnswer AskUninstall(std::string_view question) override {
    switch (Ask(question, false)) {
      case Answer::kYes:
        return UninstallAnswer::kYes;
      case Answer::kCancel:
        return UninstallAnswer::kShowActions;
      default:
        return UninstallAnswer::kNo;
    }
  }
  void ShowActions(const std::vector<std::string>& shown) override { actions = shown; }

  Page page = Page::kFirst;
  std::string status, caption, identifier = "App", setup_path;
  bool next = false, back = false, stop = false, targets_enabled = false, folders_locked = false;
  std::string selected, restarted_with;
  std::vector<std::string> log;
  bool main_panel = true, elevated = true;
  int lists_filled = 0;
  bool install = true, setup_starts = true, edited = false, closed = false;
  int progress_max = 0, changes_shown = 0;
  TargetBoxes boxes;
  RunMode mode = RunMode::kOneApplication;
  std::vector<std::string> errors, questions, actions;
  std::deque<Answer> answers;
};

// Two hive boxes, the other folders and the system partition.
TargetBoxes Boxes(bool hklm, bool hkcu, bool others, bool system_partition) {
  TargetBoxes boxes;
  boxes.hklm = hklm;
  boxes.hkcu = hkcu;
  boxes.other_folders = others;
  boxes.system_partition = system_partition;
  return boxes;
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs_.CreateFolders("C:\\Cvn").ok() && fs_.CreateFolders("C:\\Box").ok());
  }
  // The targets the tests choose on the targets page: HKEY_CURRENT_USER and
  // the box folder.
  void ChooseTargets() {
    view_.boxes = Boxes(false, true, true, false);
    view_.boxes.other_folders_text = "C:\\Box\\";
  }
  // Runs the workers' calls until the running scan's end handler gave the
  // Exit button back, then checks the state it left.
  void PumpUntilEnded(ProgramState state) {
    for (int i = 0; i < 500 && !view_.stop; ++i) dispatcher_.WaitAndProcess(10);
    for (int i = 0; i < 500 && view_.stop; ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_FALSE(view_.stop) << "the scan did not end";
    ASSERT_EQ(context_.program_state, state) << view_.status;
  }
  bool Exists(const std::string& path) { return fs_.Exists(path); }
  // Through the first scan to the run page.
  void ScanFirst(Wizard& wizard) {
    wizard.Next();
    EXPECT_TRUE(view_.back);
    ChooseTargets();
    wizard.Next();
    EXPECT_FALSE(view_.next || view_.back);
    PumpUntilEnded(ProgramState::kScanned);
    ASSERT_EQ(wizard.page(), Page::kRun);
  }

  // The program's folders, set before the wizard is made.
  bool SetFolders() {
    settings_.program_folder = context_.program_folder = "C:\\Cvn";
    context_.windows_folder = "C:\\Windows";
    return true;
  }

  platform::MemoryFileSystem fs_;
  // The file system the wizard works on: `fs_`, where a worker's read of a
  // file can be made to wait (hold_worker_reads) until the test lets it go.
  struct GatedFileSystem : platform::FileSystemWrapper {
    using FileSystemWrapper::FileSystemWrapper;
    platform::Status ReadFile(std::string_view path, std::vector<uint8_t>* data) override {
      if (std::this_thread::get_id() != main_thread && hold_worker_reads) {
        std::unique_lock lock(mutex);
        waiting = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !hold_worker_reads; });
      }
      return FileSystemWrapper::ReadFile(path, data);
    }
    // Returns once a worker waits in a read.
    void WaitForHeldRead() {
      std::unique_lock lock(mutex);
      changed.wait(lock, [this] { return waiting; });
    }
    void LetReadsGo() {
      std::lock_guard lock(mutex);
      hold_worker_reads = false;
      changed.notify_all();
    }
    const std::thread::id main_thread = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> hold_worker_reads = false;
    bool waiting = false;
  } gated_fs_{fs_};
  platform::MemoryRegistry registry_;
  settings::Settings settings_;
  threads::WorkerContext context_{settings_};
  const bool folders_set_ = SetFolders();
  threads::QueueDispatcher dispatcher_;
  changes::ChangeTree tree_{settings_};
  platform::MemoryShell shell_{fs_};
  test::FixedClock clock_;
  RecordingView view_;
  WizardPlatform platform_{gated_fs_, registry_, shell_, clock_};
  Wizard wizard_{view_, settings_, context_, platform_, dispatcher_, tree_, "C:\\Cvn\\corvane.exe"};
};

}  // namespace cvn::wizard::testing
