// A file system held in memory, for tests: drive C: with the Windows folder.
//
// It behaves like the real one where the rest of the program can tell:
// folders list "." and ".." (except at a drive root) and then their entries in
// the order they were made, names compare without regard to case, a
// read-only or locked file cannot be deleted, a folder with entries cannot be
// removed. Local time is UTC shifted by a fixed offset. Faults can be
// injected so that error paths are tested deterministically.
//
// Thread safety: every call takes one lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/filesystem.h"

namespace cvn::platform {

// FILETIME of a UTC calendar time, for setting up tests.
uint64_t MakeFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(std::string windows_folder = "C:\\Windows");
  ~MemoryFileSystem() override;

  std::string CurrentDirectory() override;
  Status SetCurrentDirectory(std::string_view path) override;
  std::string WindowsFolder() override;
  // Names here have no short forms: the path comes back as it is.
  std::string LongPathName(std::string_view path) override { return std::string(path); }
  Status ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) override;
  std::optional<DosDateTime> ToLocalDosDateTime(uint64_t filetime) override;
  std::optional<uint32_t> GetAttributes(std::string_view path) override;
  Status SetAttributes(std::string_view path, uint32_t attributes) override;
  Status CreateFolder(std::string_view path) override;
  Status RemoveFolder(std::string_view path) override;
  Status DeleteFile(std::string_view path) override;
  Status MoveFile(std::string_view from, std::string_view to, bool replace = false) override;
  // Copies the content: the two names do not share later writes, which
  // nothing here relies on.
  Status LinkFile(std::string_view from, std::string_view to) override;
  Status ReadFile(std::string_view path, std::vector<uint8_t>* data) override;
  Status WriteFile(std::string_view path, std::span<const uint8_t> data) override;
  Status AppendFile(std::string_view path, std::span<const uint8_t> data, bool flush) override;

  // Set-up for tests.

  // Adds a drive ("D:") with an empty root folder.
  void AddDrive(std::string_view drive);
  // Creates every missing folder of `path`.
  Status CreateFolders(std::string_view path);
  // Creates (or replaces) a file with `data`, making missing folders.
  Status AddFile(std::string_view path, std::string_view data, uint64_t last_write = 0);
  // Creates a file that reports `size` bytes without holding them (a 5 GB
  // file, say); reading it fails with kIoError.
  Status AddSizedFile(std::string_view path, uint64_t size, uint64_t last_write = 0);
  Status SetLastWrite(std::string_view path, uint64_t filetime);
  // The time given to files written from now on (a FILETIME).
  void SetClock(uint64_t filetime);
  // Local time = UTC + this many minutes.
  void SetUtcOffsetMinutes(int minutes);
  bool Exists(std::string_view path);

  // Fault injection.

  // Listing the folder fails with kAccessDenied (it can still be seen in its parent).
  void DenyList(std::string_view folder);
  // The file is in use: deleting, moving, writing or reading it fails with kAccessDenied.
  void LockFile(std::string_view path);
  // The next WriteFile writes only `bytes_written` bytes, then fails with
  // kIoError (as when the disk is full), leaving the truncated file.
  void FailNextWrite(size_t bytes_written);
  // The next move fails with kIoError and changes nothing.
  void FailNextMove();

 private:
  struct Entry;
  class Listing;

  std::string Absolute(std::string_view path) const;
  Entry* Find(std::string_view path);
  Status FindParent(std::string_view path, Entry** parent, std::string* name);

  mutable std::mutex mutex_;
  std::unique_ptr<Entry> drives_;  // a folder whose children are the drive roots
  std::string current_directory_ = "C:\\";
  std::string windows_folder_;
  uint64_t clock_;
  int utc_offset_minutes_ = 0;
  bool fail_next_write_ = false;
  size_t fail_write_after_ = 0;
  bool fail_next_move_ = false;
};

}  // namespace cvn::platform
