// The window's side of an uninstall and a changes tree built as a monitoring
// leaves it, on the in-memory platform.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "changes/change_tree.h"
#include "changes/changes_archive.h"
#include "changes/save_changes_tree.h"
#include "engine/threads/worker_context.h"
#include "engine/threads/worker_thread.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/platform_wrappers.h"
#include "settings/settings.h"
#include "tests/support/bytes.h"
#include "tests/support/fixed_clock.h"
#include "uninstall/shared_counter.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"
#include "uninstall/uninstaller.h"

namespace cvn::uninstall::test {

using changes::NodeKind;

using changes::ChangeRecord;
using changes::NodeId;
using changes::NodeKind::kFileAdded;
using changes::NodeKind::kFolderAdded;
using changes::NodeKind::kKeyAdded;
using changes::NodeKind::kKeyDeleted;
using changes::NodeKind::kValueAdded;
using changes::NodeKind::kValueChanged;
using changes::NodeKind::kValueDeleted;
using cvn::test::Bytes;
using cvn::test::DwordData;
using cvn::test::FixedClock;
using cvn::test::SzData;
using platform::KeyAccess;
using platform::RegKey;
using platform::RootKey;
using namespace platform::regtype;  // NOLINT: the value types read as in the registry

// Records what the window is shown and answers the shared-file question
// with the answers queued (Yes when none is left). Every call must come on
// the main thread.
class RecordingView : public UninstallView {
 public:
  void SetStatus(std::string_view text) override { statuses.emplace_back(OnMain(text)); }
  void SetProgressMax(uint32_t max) override { progress_max = OnMain(max); }
  void StepProgress() override { OnMain(++steps); }
  void AppendLogLine(std::string_view text, LogColor color) override {
    texts.emplace_back(OnMain(text));
    colors.push_back(color);
  }
  // Records "folder|file name".
  RemoveAnswer AskRemoveShared(std::string_view file_name, std::string_view folder) override {
    questions.push_back(OnMain(std::string(folder) + "|" + std::string(file_name)));
    if (answers.empty()) return RemoveAnswer::kYes;
    const RemoveAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowUninstallEnded(std::string_view caption) override {
    exit_caption = OnMain(caption);
    ++ended;
  }

  std::vector<std::string> statuses, texts, questions;
  std::vector<LogColor> colors;
  uint32_t progress_max = 0;
  int steps = 0;
  std::deque<RemoveAnswer> answers;
  std::string exit_caption;
  int ended = 0;

 private:
  template <typename T>
  T OnMain(T value) const {
    EXPECT_EQ(std::this_thread::get_id(), main_thread_);
    return value;
  }
  std::thread::id main_thread_ = std::this_thread::get_id();
};

// The strings given, as a list to compare with.
template <typename... T>
std::vector<std::string> Strings(const T&... items) {
  return {std::string(items)...};
}

inline const std::string kSharedDlls(kSharedDllsKey);
inline constexpr const char* kSummary = "Uninstall complete without errors";
// Log dates in a fixed form, whatever the machine's locale.
inline const platform::PatternDateTimeFormat kLogDateFormat({":", "/"});

// A changes tree in uninstall mode over an in-memory registry and drive C:,
// with the program folder C:\Corvane and the application "App".
class UninstallTest : public ::testing::Test {
 protected:
  static constexpr const char* kProgramFolder = "C:\\Corvane";
  static constexpr RootKey kHkcu = RootKey::kCurrentUser;
  static constexpr RootKey kHklm = RootKey::kLocalMachine;

  UninstallTest() {
    settings.log_level = 7;
    context.program_folder = kProgramFolder;
    EXPECT_TRUE(fs.CreateFolders(kProgramFolder).ok());
    tree.Reset();
    tree.SetUninstallMode(true);
  }

  // Changes as a monitoring records them. Key paths are below the root;
  // a key is recorded as a value without name, type or data.
  NodeId AddValue(NodeKind kind, RootKey root, std::string_view key, std::string_view name,
                  uint32_t type = 0, const std::vector<uint8_t>& before = {},
                  const std::vector<uint8_t>& after = {}) {
    ChangeRecord tmpl;
    tmpl.kind = kind;
    tmpl.root_key = static_cast<uint32_t>(root);
    tmpl.value_type = type;
    tmpl.path = key;
    if (!before.empty()) tmpl.before = changes::CopyBuffer(before);
    if (!after.empty()) tmpl.after = changes::CopyBuffer(after);
    tmpl.before_size = static_cast<int32_t>(before.size());
    tmpl.after_size = static_cast<int32_t>(after.size());
    std::string path(platform::RootKeyName(root));
    if (!key.empty()) path += "\\" + std::string(key);
    tree.AddToTree(path, name, tmpl);
    return tree.LastInserted();
  }
  // A created file or folder, or any other file-system change.
  NodeId AddItem(NodeKind kind, std::string_view folder, std::string_view name) {
    ChangeRecord tmpl;
    tmpl.kind = kind;
    tmpl.path = folder;
    if (kind != changes::NodeKind::kFolderAdded && kind != changes::NodeKind::kFolderDeleted) {
      tmpl.after = changes::TextBuffer("14:07 05/03/24 5");
      tmpl.after_size = 17;
    }
    tree.AddToTree(folder, name, tmpl);
    return tree.LastInserted();
  }
  // A file that exists now and was created by the monitored program.
  NodeId Created(std::string_view path) {
    AddFile(path);
    const size_t slash = path.rfind('\\');
    return AddItem(changes::NodeKind::kFileAdded, path.substr(0, slash), path.substr(slash + 1));
  }
  // A text value that exists now and was created by the monitored program.
  NodeId CreatedValue(RootKey root, std::string_view key, std::string_view name) {
    SetValue(root, key, name, kSz, SzData(name));
    return AddValue(NodeKind::kValueAdded, root, key, name, kSz, {}, SzData(name));
  }
  // A counter of the SharedDLLs key for `file`, raised by `increment`.
  NodeId AddCounter(std::string_view file, uint32_t type, const std::vector<uint8_t>& increment) {
    return AddValue(changes::NodeKind::kCounterIncremented, kHklm, kSharedDlls, file, type, {},
                    increment);
  }

  // The platform before the uninstall.
  void SetValue(RootKey root, std::string_view key, std::string_view name, uint32_t type,
                const std::vector<uint8_t>& data) {
    std::unique_ptr<RegKey> k;
    ASSERT_TRUE(registry.CreateKey(root, key, KeyAccess::kReadWrite, &k).ok()) << key;
    ASSERT_TRUE(registry.SetValue(*k, name, type, data).ok()) << key << "|" << name;
  }
  void MakeKey(RootKey root, std::string_view key) {
    std::unique_ptr<RegKey> k;
    ASSERT_TRUE(registry.CreateKey(root, key, KeyAccess::kReadWrite, &k).ok()) << key;
  }
  bool KeyExists(RootKey root, std::string_view key) {
    std::unique_ptr<RegKey> k;
    return registry.OpenKey(root, key, KeyAccess::kRead, &k).ok();
  }
  // The value's type and data; type kNone with no data when it is missing.
  platform::RegValue Value(RootKey root, std::string_view key, std::string_view name) {
    platform::RegValue value;
    std::unique_ptr<RegKey> k;
    if (registry.OpenKey(root, key, KeyAccess::kRead, &k).ok())
      registry.QueryValue(*k, name, &value);
    return value;
  }
  void AddFile(std::string_view path) { ASSERT_TRUE(fs.AddFile(path, "data").ok()) << path; }

  // Writes the tree as the application's archive and counts its changes
  // as the loader would have.
  void SaveArchive() {
    changes::SaveChangesTree(tree, fs, kProgramFolder, "App", clock);
    context.loaded_change_counts.Reset();
    for (NodeId n = tree.Top(); n != changes::kNoNode; n = tree.NextInSubtree(n, tree.Top()))
      context.loaded_change_counts.Count(tree.Data(n).kind);
  }
  changes::ArchiveHeader Header() {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(fs.ReadFile(std::string(kProgramFolder) + "\\App.cvn", &bytes).ok());
    if (bytes.size() < changes::kArchiveHeaderSize) return {};
    return changes::ParseHeader(std::span<const uint8_t, changes::kArchiveHeaderSize>(
        bytes.data(), changes::kArchiveHeaderSize));
  }

  // Runs the engine as the wizard does, its end notification writing the
  // log file, and pumps the main thread until it has ended. Returns the
  // program state the end notification found.
  threads::ProgramState Run() {
    view.texts.clear();
    view.colors.clear();
    log.Clear();
    bool ended = false;
    threads::ProgramState state_at_end = threads::ProgramState::kIdle;
    auto* engine = new Uninstaller(context, tree, {hooked_registry, counting_fs, shell}, log, view,
                                   clock, dispatcher, "App");
    stop_run = [this, engine] {
      context.program_state = threads::ProgramState::kStopRequested;
      engine->Terminate();
    };
    engine->SetOnTerminate([&](threads::WorkerThread&) {
      state_at_end = context.program_state;
      log_file_status = WriteLogFile({context, fs, clock, kLogDateFormat}, log, view);
      ended = true;
    });
    engine->Start();
    for (int i = 0; i < 60000 && !ended; ++i) dispatcher.WaitAndProcess(10);
    EXPECT_TRUE(ended) << "the engine did not end";
    return state_at_end;
  }
  // Makes the next run stop, as the window's Stop does, right after its
  // `count`th deletion of a registry value.
  void StopAfterDeletedValues(int count) {
    hooked_registry.after_delete = [this, count](int deleted) {
      if (deleted == count) stop_run();
    };
  }

  std::string LogText() {
    std::vector<uint8_t> bytes;
    if (!fs.ReadFile(std::string(kProgramFolder) + "\\Log.txt", &bytes).ok()) return "(no Log.txt)";
    return std::string(bytes.begin(), bytes.end());
  }
  // The log lines of the last run that end with `result`.
  std::vector<std::string> LinesEndingWith(std::string_view result) const {
    std::vector<std::string> found;
    for (const std::string& text : view.texts)
      if (text.ends_with(result)) found.push_back(text);
    return found;
  }

  settings::Settings settings;
  threads::WorkerContext context{settings};
  platform::MemoryRegistry registry;
  // The registry the engine works on: `registry`, with a hook after each
  // deletion of a value.
  struct HookedRegistry : platform::RegistryWrapper {
    using RegistryWrapper::RegistryWrapper;
    platform::Status DeleteValue(RegKey& key, std::string_view name) override {
      const platform::Status s = RegistryWrapper::DeleteValue(key, name);
      if (after_delete) after_delete(++deleted);
      return s;
    }
    int deleted = 0;
    std::function<void(int)> after_delete;  // on the worker, with the count so far
  } hooked_registry{registry};
  std::function<void()> stop_run;  // stops the running engine as the window's Stop does
  platform::MemoryFileSystem fs;
  // The file system the engine works on: `fs`, counting the flushed writes.
  struct CountingFileSystem : platform::FileSystemWrapper {
    using FileSystemWrapper::FileSystemWrapper;
    platform::Status AppendFile(std::string_view path, std::span<const uint8_t> data,
                                bool flush) override {
      if (flush) ++flushes;
      return FileSystemWrapper::AppendFile(path, data, flush);
    }
    int flushes = 0;
  } counting_fs{fs};
  platform::MemoryShell shell{fs};
  changes::ChangeTree tree{settings};
  RecordingView view;
  UninstallLog log{settings, view};
  FixedClock clock;
  threads::QueueDispatcher dispatcher;
  platform::Status log_file_status;
};

}  // namespace cvn::uninstall::test
