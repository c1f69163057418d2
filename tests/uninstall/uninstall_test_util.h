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
#include "changes/chg_archive.h"
#include "changes/save_changes_tree.h"
#include "engine/snapshot/safe_thread.h"
#include "engine/snapshot/worker_context.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "uninstall/dezinstaler.h"
#include "uninstall/shared_counter.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstall_view.h"

namespace cvn::uninstall::test {

using changes::NodeId;
using changes::TNodeData;
using platform::KeyAccess;
using platform::RegKey;
using platform::RootKey;

// Records what the window is shown and answers the shared-file question
// with the answers queued (Yes when none is left).
class RecordingView : public UninstallView {
 public:
  struct Line {
    std::string text;
    LogColor color;
  };
  struct Question {
    std::string file_name;
    std::string folder;
  };

  void SetStatus(std::string_view text) override {
    OnMainThread();
    statuses.emplace_back(text);
  }
  void SetProgressMax(uint32_t max) override {
    OnMainThread();
    progress_max = max;
  }
  void StepProgress() override {
    OnMainThread();
    ++steps;
    if (on_step) on_step(steps);
  }
  void AppendLogLine(std::string_view text, LogColor color) override {
    OnMainThread();
    lines.push_back({std::string(text), color});
  }
  RemoveAnswer AskRemoveShared(std::string_view file_name, std::string_view folder) override {
    OnMainThread();
    questions.push_back({std::string(file_name), std::string(folder)});
    if (answers.empty()) return raYes;
    const RemoveAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowUninstallEnded(std::string_view caption) override {
    OnMainThread();
    exit_caption = caption;
    ++ended;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Line& line : lines) texts.push_back(line.text);
    return texts;
  }

  std::vector<std::string> statuses;
  uint32_t progress_max = 0;
  int steps = 0;
  std::vector<Line> lines;
  std::vector<Question> questions;
  std::deque<RemoveAnswer> answers;
  std::string exit_caption;
  int ended = 0;
  std::function<void(int)> on_step;

 private:
  void OnMainThread() const { EXPECT_EQ(std::this_thread::get_id(), main_thread_); }
  std::thread::id main_thread_ = std::this_thread::get_id();
};

class FixedClock final : public changes::Clock {
 public:
  double Now() const override { return now; }
  double now = changes::MakeDateTime(2024, 3, 5, 14, 7, 9);
};

inline std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}
// The data of a REG_SZ value: the text and its terminating zero.
inline std::vector<uint8_t> SzData(std::string_view text) {
  std::vector<uint8_t> data = Bytes(text);
  data.push_back(0);
  return data;
}
inline std::vector<uint8_t> DwordData(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// The strings given, as a list to compare with.
template <typename... T>
std::vector<std::string> Strings(const T&... items) {
  return {std::string(items)...};
}

// The record of a registry change below `path` of `root`, its buffers copied
// from `before` and `after` (null when empty).
inline TNodeData RegistryRecord(int32_t kind, RootKey root, std::string_view path, uint32_t type,
                                const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  TNodeData tmpl;
  tmpl.Kind = kind;
  tmpl.RootKey = static_cast<uint32_t>(root);
  tmpl.ValueType = type;
  tmpl.Path = path;
  if (!before.empty()) {
    tmpl.Before = changes::CopyBuffer(before);
    tmpl.BeforeSize = static_cast<int32_t>(before.size());
  }
  if (!after.empty()) {
    tmpl.After = changes::CopyBuffer(after);
    tmpl.AfterSize = static_cast<int32_t>(after.size());
  }
  return tmpl;
}

inline const std::string kSharedDlls(kSharedDllsKey);
// Log dates in a fixed form, whatever the machine's locale.
inline const platform::PatternDateTimeFormat kLogDateFormat({":", "/"});

// Drive C: in memory where a path may also be written with a short (8.3)
// alias of one of its folders, as the real file system allows.
class AliasingFileSystem : public platform::MemoryFileSystem {
 public:
  // `alias` ("C:\PROGRA~1") names the folder `folder` ("C:\Program Files").
  void AddAlias(std::string alias, std::string folder) {
    aliases_.emplace_back(std::move(alias), std::move(folder));
  }
  std::string LongPathName(std::string_view path) override { return Resolve(path); }
  std::optional<uint32_t> GetAttributes(std::string_view path) override {
    return MemoryFileSystem::GetAttributes(Resolve(path));
  }

 private:
  std::string Resolve(std::string_view path) const {
    for (const auto& [alias, folder] : aliases_) {
      if (path.size() >= alias.size() && text::EqualsNoCase(path.substr(0, alias.size()), alias) &&
          (path.size() == alias.size() || path[alias.size()] == '\\'))
        return folder + std::string(path.substr(alias.size()));
    }
    return std::string(path);
  }
  std::vector<std::pair<std::string, std::string>> aliases_;
};

// A changes tree in uninstall mode over an in-memory registry and drive C:,
// with the program folder C:\Corvane and the application "App".
class UninstallTest : public ::testing::Test {
 protected:
  static constexpr const char* kIdentifier = "App";
  static constexpr const char* kProgramFolder = "C:\\Corvane";

  UninstallTest() {
    settings.LogLevel = 7;
    context.program_folder = kProgramFolder;
    EXPECT_TRUE(fs.CreateFolders(kProgramFolder).ok());
    tree.Reset();
    tree.SetUninstallMode(true);
  }

  // Changes as a monitoring records them. Key paths are below the root.
  NodeId AddKey(int32_t kind, RootKey root, std::string_view parent, std::string_view name) {
    TNodeData tmpl;
    tmpl.Kind = kind;
    tmpl.RootKey = static_cast<uint32_t>(root);
    tmpl.Path = parent;
    tree.AddToTree(TreePath(root, parent), name, tmpl);
    return tree.LastInserted();
  }
  NodeId AddValue(int32_t kind, RootKey root, std::string_view key, std::string_view name,
                  uint32_t type, const std::vector<uint8_t>& before,
                  const std::vector<uint8_t>& after) {
    TNodeData tmpl = RegistryRecord(kind, root, key, type, before, after);
    tree.AddToTree(TreePath(root, key), name, tmpl);
    return tree.LastInserted();
  }
  // A created file or folder, or any other file-system change.
  NodeId AddItem(int32_t kind, std::string_view folder, std::string_view name) {
    TNodeData tmpl;
    tmpl.Kind = kind;
    tmpl.Path = folder;
    if (kind != changes::nkFolderAdded && kind != changes::nkFolderDeleted) {
      tmpl.After = changes::TextBuffer("14:07 05/03/24 5");
      tmpl.AfterSize = 17;
    }
    tree.AddToTree(folder, name, tmpl);
    return tree.LastInserted();
  }
  // A counter of the SharedDLLs key for `file`, raised by `increment`.
  NodeId AddCounter(std::string_view file, uint32_t type, const std::vector<uint8_t>& increment) {
    return AddValue(changes::nkCounterIncremented, RootKey::kLocalMachine, kSharedDlls, file, type,
                    {}, increment);
  }

  static std::string TreePath(RootKey root, std::string_view path) {
    std::string full(platform::RootKeyName(root));
    if (!path.empty()) full += "\\" + std::string(path);
    return full;
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
    changes::SaveChangesTree(tree, fs, kProgramFolder, kIdentifier, clock);
    context.loaded_change_counts.Reset();
    for (NodeId n = tree.Top(); n != changes::kNoNode; n = tree.NextInSubtree(n, tree.Top()))
      context.loaded_change_counts.Count(tree.Data(n).Kind);
  }
  changes::ArchiveHeader Header() {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(fs.ReadFile(std::string(kProgramFolder) + "\\App.cvn", &bytes).ok());
    if (bytes.size() < changes::kArchiveHeaderSize) return {};
    return changes::ParseHeader(std::span<const uint8_t, changes::kArchiveHeaderSize>(
        bytes.data(), changes::kArchiveHeaderSize));
  }

  // Runs the engine as the wizard does, its end notification writing the
  // log file, and pumps the main thread until it has ended. `while_running`
  // runs on the main thread between two pumps while the engine lives.
  uint8_t Run(const std::function<void(TDezinstaler&)>& while_running = {}) {
    view.lines.clear();
    log.Clear();
    bool ended = false;
    uint8_t state_at_end = 255;
    auto* engine = new TDezinstaler(context, tree, {registry, fs, shell}, log, view, clock,
                                    dispatcher, kIdentifier);
    engine->SetOnTerminate([&](snapshot::TSafeThread&) {
      state_at_end = context.ProgramState;
      log_file_status = WriteLogFile({context, fs, clock, kLogDateFormat}, log, view);
      ended = true;
    });
    engine->Start();
    for (int i = 0; i < 60000 && !ended; ++i) {
      dispatcher.WaitAndProcess(10);
      if (!ended && while_running) while_running(*engine);
    }
    EXPECT_TRUE(ended) << "the engine did not end";
    return state_at_end;
  }

  // The log lines of the last run that end with `result`.
  std::vector<std::string> LinesEndingWith(std::string_view result) const {
    std::vector<std::string> found;
    for (const std::string& text : view.Texts()) {
      if (text.size() >= result.size() &&
          text.compare(text.size() - result.size(), result.size(), result) == 0)
        found.push_back(text);
    }
    return found;
  }

  settings::Settings settings;
  snapshot::WorkerContext context{settings};
  platform::MemoryRegistry registry;
  AliasingFileSystem fs;
  platform::MemoryShell shell{fs};
  changes::ChangeTree tree{settings};
  RecordingView view;
  TUninstallLog log{settings, view};
  FixedClock clock;
  snapshot::QueueDispatcher dispatcher;
  platform::Status log_file_status;
};

}  // namespace cvn::uninstall::test
