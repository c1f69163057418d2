// A registry held in memory, for tests: the five roots start empty.
// Like the real one it can show keys under a second name: the current user's
// hive below HKEY_USERS, and registry links.
//
// It behaves like the real registry where the rest of the program can tell:
// subkeys enumerate in name order without regard to case, values in the order
// they were first set, names compare without regard to case, a key with
// subkeys cannot be deleted, a key opened for reading cannot be changed, and
// a handle to a deleted key fails. On top of that, faults can be injected so
// that error paths are tested deterministically.
//
// Thread safety: every call takes one lock, so it may be used from several
// threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace cvn::platform {

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  Status OpenKey(RootKey root, std::string_view path, KeyAccess access,
                 std::unique_ptr<RegKey>* out) override;
  Status OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                    std::unique_ptr<RegKey>* out) override;
  Status OpenSubKeyOrLink(RegKey& parent, std::string_view name, std::unique_ptr<RegKey>* out,
                          bool* is_link) override;
  std::string CurrentUserHiveName() override;
  Status CreateKey(RootKey root, std::string_view path, KeyAccess access,
                   std::unique_ptr<RegKey>* out, bool* created = nullptr) override;
  Status EnumKey(RegKey& key, uint32_t index, std::string* name) override;
  Status EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                   size_t* needed = nullptr) override;
  Status QueryValue(RegKey& key, std::string_view name, RegValue* value) override;
  Status QueryInfoKey(RegKey& key, RegKeyInfo* info) override;
  Status SetValue(RegKey& key, std::string_view name, uint32_t type,
                  std::span<const uint8_t> data) override;
  Status DeleteValue(RegKey& key, std::string_view name) override;
  Status DeleteKey(RegKey& parent, std::string_view path) override;
  // Writes Wine's text form (doc/saved_hive_formats.md), as Wine saves keys:
  // what a saved file holds is what this registry enumerates, for text data
  // that is UTF-8. A subtree holding a key that cannot be opened is not
  // saved (kAccessDenied), as without the backup privilege.
  Status SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) override;

  // HKEY_USERS\`hive` becomes HKEY_CURRENT_USER under a second name, as it is
  // on Windows.
  void SetCurrentUserHive(std::string_view hive);
  // Makes `path` (created when missing) a link to `target_path` below
  // `target_root`: opening it or a path through it opens the target.
  void AddLink(RootKey root, std::string_view path, RootKey target_root,
               std::string_view target_path);

  // Fault injection. Paths are below the root, as in OpenKey.

  // Opening the key fails with kAccessDenied; it is still listed by its parent.
  void DenyOpen(RootKey root, std::string_view path);
  // Enumerating the key's values (or subkeys) fails with `failure` from
  // `index` on, the way some system keys fail part-way.
  void FailValueEnumFrom(RootKey root, std::string_view path, uint32_t index,
                         Status failure = Status(StatusCode::kIoError));
  void FailKeyEnumFrom(RootKey root, std::string_view path, uint32_t index,
                       Status failure = Status(StatusCode::kIoError));
  // After `successes` more changes succeed (create, set, delete), the next
  // `failures` changes fail with kIoError.
  void FailChanges(size_t successes, size_t failures = 1);

  // The key (it must exist) and everything created below it are volatile:
  // saved files leave them out.
  void MakeVolatile(RootKey root, std::string_view path);
  // Saving the key `path` itself fails with `failure` (its subkeys save).
  void FailSave(RootKey root, std::string_view path, Status failure = Status(StatusCode::kIoError));
  // `text` is appended to every saved file (garbage makes it a damaged one).
  void AppendToSavedFiles(std::string_view text);
  // Number of files saved so far.
  size_t SaveCount() const;

  // Number of keys below and including every root; for checks in tests.
  size_t KeyCount() const;

 private:
  struct Node;
  class Key;

  // Follows links on the way, and at the end too unless `follow_last` is false.
  Status Resolve(Node* from, std::string_view path, Node** node, bool follow_last = true);
  Status FollowLink(Node** node, int depth);
  Status Open(Node* from, std::string_view path, KeyAccess access, std::unique_ptr<RegKey>* out);
  Node* RootNode(RootKey root);
  Status CheckWritable(const Key& key) const;
  void AppendSaved(const Node& node, const std::string& path, std::string& out) const;
  bool HoldsDeniedKey(const Node& node) const;
  bool TakeChangeFailure();

  mutable std::mutex mutex_;
  std::shared_ptr<Node> roots_[5];
  std::string current_user_hive_;
  std::string saved_file_tail_;
  size_t save_count_ = 0;
  size_t changes_before_failure_ = 0;
  size_t change_failures_ = 0;
};

}  // namespace cvn::platform
