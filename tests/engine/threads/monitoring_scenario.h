// A whole monitoring as the wizard runs it, shared by the in-memory tests and
// the end-to-end test on the real registry and file system: the window's
// side of the scan workers, a scratch key and folder with their state before
// an installation, the changes an installer makes, and the changes the tree
// must then hold.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "changes/change_tree.h"
#include "engine/compare/compare_reg.h"
#include "engine/snapshot/scan_threads.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace cvn::snapshot::test {

using platform::KeyAccess;
using platform::RegKey;
using platform::RootKey;

// The main window's side of a scan: records what it is shown.
class Window : public ScanObserver {
 public:
  void UpdateStatus(const std::string& text) override {
    EXPECT_EQ(std::this_thread::get_id(), main_thread_);
    statuses.push_back(text);
    if (on_status) on_status(text);
  }
  void StepProgress() override {
    EXPECT_EQ(std::this_thread::get_id(), main_thread_);
    ++steps;
  }
  std::vector<std::string> statuses;
  int steps = 0;
  std::function<void(const std::string&)> on_status;

 private:
  std::thread::id main_thread_ = std::this_thread::get_id();
};

// Starts a worker as the window does and pumps the main thread until its end
// notification; returns ProgramState as the end handler sees it.
// `while_running` runs on the main thread between two pumps.
inline uint8_t RunWorker(BaseScanThread* worker, WorkerContext& context,
                         QueueDispatcher& dispatcher,
                         const std::function<void(BaseScanThread&)>& while_running = {}) {
  bool ended = false;
  uint8_t state = 255;
  worker->SetOnTerminate([&](TSafeThread&) {
    ended = true;
    state = context.ProgramState;
  });
  worker->Start();
  for (int i = 0; i < 60000 && !ended; ++i) {
    dispatcher.WaitAndProcess(10);
    if (!ended && while_running) while_running(*worker);
  }
  EXPECT_TRUE(ended) << "the worker did not end";
  return state;
}

// The scratch areas of one test.
struct Sandbox {
  std::string key;     // below HKEY_CURRENT_USER
  std::string folder;  // scanned as an other-folder target
};

inline const std::string kSharedDlls = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

inline void SetValue(platform::Registry& reg, RootKey root, const std::string& path,
                     std::string_view name, uint32_t type, std::string_view data) {
  std::unique_ptr<RegKey> key;
  ASSERT_TRUE(reg.CreateKey(root, path, KeyAccess::kReadWrite, &key).ok()) << path;
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  ASSERT_TRUE(reg.SetValue(*key, name, type, {bytes, data.size()}).ok()) << path << "|" << name;
}

inline void SetDword(platform::Registry& reg, RootKey root, const std::string& path,
                     std::string_view name, uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  SetValue(reg, root, path, name, platform::regtype::kDword, std::string_view(bytes, 4));
}

inline void DeleteValue(platform::Registry& reg, RootKey root, const std::string& path,
                        std::string_view name) {
  std::unique_ptr<RegKey> key;
  if (reg.OpenKey(root, path, KeyAccess::kReadWrite, &key).ok()) reg.DeleteValue(*key, name);
}

inline void DeleteKey(platform::Registry& reg, RootKey root, const std::string& path) {
  const size_t cut = path.rfind('\\');
  std::unique_ptr<RegKey> parent;
  if (!reg.OpenKey(root, path.substr(0, cut), KeyAccess::kReadWrite, &parent).ok()) return;
  platform::DeleteKeyTree(reg, *parent, path.substr(cut + 1));
}

inline void WriteFile(platform::FileSystem& fs, const std::string& path, std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  ASSERT_TRUE(fs.WriteFile(path, {bytes, text.size()}).ok()) << path;
}

// Removes a folder and everything in it; a missing folder is fine.
inline void RemoveTree(platform::FileSystem& fs, const std::string& folder) {
  std::unique_ptr<platform::FolderListing> listing;
  if (!fs.ListFolder(folder, &listing).ok()) return;
  std::vector<platform::FindEntry> entries;
  platform::FindEntry e;
  while (listing->Next(&e).ok()) entries.push_back(e);
  listing.reset();
  for (const auto& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = folder + "\\" + entry.name;
    if (entry.attributes & platform::attr::kDirectory) {
      RemoveTree(fs, path);
    } else {
      fs.DeleteFile(path);
    }
  }
  fs.RemoveFolder(folder);
}

// Removes the scratch areas, the counters included.
inline void CleanSandbox(platform::Registry& reg, platform::FileSystem& fs, const Sandbox& box) {
  DeleteKey(reg, RootKey::kCurrentUser, box.key);
  DeleteValue(reg, RootKey::kLocalMachine, kSharedDlls, box.folder + "\\shared.dll");
  DeleteValue(reg, RootKey::kLocalMachine, kSharedDlls, box.folder + "\\new.dll");
  RemoveTree(fs, box.folder);
}

// The state before the installation.
inline void PrepareBefore(platform::Registry& reg, platform::FileSystem& fs, const Sandbox& box) {
  using platform::regtype::kSz;
  using namespace std::string_view_literals;
  SetDword(reg, RootKey::kCurrentUser, box.key + "\\Existing", "V", 1);
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\Existing", "Gone", kSz, "bye\0"sv);
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\Existing", "", kSz, "old default\0"sv);
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\OldKey\\Inner", "x", kSz, "1\0"sv);
  SetDword(reg, RootKey::kLocalMachine, kSharedDlls, box.folder + "\\shared.dll", 1);
  ASSERT_TRUE(fs.CreateFolder(box.folder).ok()) << box.folder;
  ASSERT_TRUE(fs.CreateFolder(box.folder + "\\Sub").ok());
  ASSERT_TRUE(fs.CreateFolder(box.folder + "\\OldDir").ok());
  WriteFile(fs, box.folder + "\\keep.txt", "12345");
  WriteFile(fs, box.folder + "\\del.txt", "delete me");
  WriteFile(fs, box.folder + "\\mv.txt", "move me");
  WriteFile(fs, box.folder + "\\shared.dll", "dll");
  WriteFile(fs, box.folder + "\\Sub\\stay.txt", "s");
  WriteFile(fs, box.folder + "\\OldDir\\o.txt", "o");
}

// What an installer does.
inline void MakeInstallerChanges(platform::Registry& reg, platform::FileSystem& fs,
                                 const Sandbox& box) {
  using platform::regtype::kBinary;
  using platform::regtype::kSz;
  using namespace std::string_view_literals;
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\NewKey", "", kSz, "hello\0"sv);
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\NewKey", "Bin", kBinary, "\x01\x02\x03"sv);
  SetDword(reg, RootKey::kCurrentUser, box.key + "\\Existing", "V", 2);
  DeleteValue(reg, RootKey::kCurrentUser, box.key + "\\Existing", "Gone");
  SetValue(reg, RootKey::kCurrentUser, box.key + "\\Existing", "", kSz, "new default\0"sv);
  DeleteKey(reg, RootKey::kCurrentUser, box.key + "\\OldKey");
  SetDword(reg, RootKey::kLocalMachine, kSharedDlls, box.folder + "\\shared.dll", 2);
  WriteFile(fs, box.folder + "\\new.dll", "new dll");
  SetDword(reg, RootKey::kLocalMachine, kSharedDlls, box.folder + "\\new.dll", 1);
  ASSERT_TRUE(fs.CreateFolder(box.folder + "\\NewDir").ok());
  WriteFile(fs, box.folder + "\\NewDir\\a.txt", "new file");
  WriteFile(fs, box.folder + "\\keep.txt", "1234567");
  ASSERT_TRUE(fs.DeleteFile(box.folder + "\\del.txt").ok());
  ASSERT_TRUE(fs.MoveFile(box.folder + "\\mv.txt", box.folder + "\\Sub\\mv.txt").ok());
  ASSERT_TRUE(fs.DeleteFile(box.folder + "\\OldDir\\o.txt").ok());
  ASSERT_TRUE(fs.RemoveFolder(box.folder + "\\OldDir").ok());
}

inline std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

inline size_t FindNoCase(const std::string& text, const std::string& part) {
  return text::ToUpper(text).find(text::ToUpper(part));
}

// A change node as "<where>|kind|before|after": registry data in hex, file
// info texts only as "set" (their times are the platform's). Counters show
// the amount only, which is all an archive keeps of them.
inline std::string Describe(const changes::ChangeTree& tree, changes::NodeId n,
                            const Sandbox& box) {
  const changes::TNodeData& d = tree.Data(n);
  std::string where = tree.PathFromBranchRoot(n);
  if (d.Kind == changes::nkCounterIncremented ||
      FindNoCase(where, "\\SharedDLLs\\") != std::string::npos) {
    where = "<SharedDLLs>\\" + d.Name;
  }
  for (const std::string& area : {"HKEY_CURRENT_USER\\" + box.key, box.folder}) {
    const size_t at = FindNoCase(where, area);
    if (at != std::string::npos) where.replace(at, area.size(), area == box.folder ? "<F>" : "<K>");
  }
  std::string out = where + "|" + std::to_string(d.Kind);
  if (changes::IsRegistryChange(d.Kind)) {
    if (d.Kind != changes::nkCounterIncremented) out += "|" + Hex(d.BeforeBytes());
    out += "|" + Hex(d.AfterBytes());
  } else if (changes::IsFileSystemChange(d.Kind)) {
    out += std::string("|") + (d.Before ? "set" : "") + "|" + (d.After ? "set" : "");
  }
  return out;
}

// Every change of the tree, in tree order.
inline std::vector<std::string> AllChanges(const changes::ChangeTree& tree, const Sandbox& box) {
  std::vector<std::string> out;
  const changes::NodeId top = tree.Top();
  for (changes::NodeId n = tree.NextInSubtree(top, top); n != changes::kNoNode;
       n = tree.NextInSubtree(n, top))
    if (changes::IsChangeKind(tree.Data(n).Kind)) out.push_back(Describe(tree, n, box));
  return out;
}

// The changes inside the scratch areas, sorted.
inline std::vector<std::string> SandboxChanges(const changes::ChangeTree& tree,
                                               const Sandbox& box) {
  std::vector<std::string> out;
  for (const std::string& change : AllChanges(tree, box)) {
    const bool in_box = change.rfind("<K>", 0) == 0 || change.rfind("<F>", 0) == 0 ||
                        change.rfind("<SharedDLLs>\\<F>", 0) == 0;
    if (in_box) out.push_back(change);
  }
  std::sort(out.begin(), out.end());
  return out;
}

inline std::vector<std::string> ExpectedChanges() {
  std::vector<std::string> expected = {
      "<K>\\NewKey|1||",
      "<K>\\NewKey\\|3||68656c6c6f00",
      "<K>\\NewKey\\Bin|3||010203",
      "<K>\\Existing\\V|4|01000000|02000000",
      "<K>\\Existing\\|4|6f6c642064656661756c7400|6e65772064656661756c7400",
      "<K>\\Existing\\Gone|5|62796500|",
      "<K>\\OldKey|2||",
      "<K>\\OldKey\\Inner|2||",
      "<K>\\OldKey\\Inner\\x|5|3100|",
      "<SharedDLLs>\\<F>\\shared.dll|6|01000000",
      "<SharedDLLs>\\<F>\\new.dll|6|01000000",
      "<F>\\NewDir|7||",
      "<F>\\NewDir\\a.txt|9||set",
      "<F>\\new.dll|9||set",
      "<F>\\keep.txt|10|set|set",
      "<F>\\del.txt|11|set|",
      "<F>\\mv.txt|12|set|",
      "<F>\\Sub\\mv.txt|13||set",
      "<F>\\OldDir|8||",
      "<F>\\OldDir\\o.txt|11|set|",
  };
  std::sort(expected.begin(), expected.end());
  return expected;
}

}  // namespace cvn::snapshot::test
