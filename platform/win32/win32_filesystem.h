// The file system on the real Win32 API (the W functions).
//
// Paths and names are converted between UTF-8 and UTF-16 (see wide_text.h).
// A path too long for the system's plain form (MAX_PATH) is made absolute
// and given the "\\?\" prefix internally, so deep trees can be listed,
// created and removed; no path handed back carries that prefix. The current
// directory is the exception: it keeps the system's own length limit.
//
// The class holds no state and may be shared between threads; a
// FolderListing it returns owns its find handle, belongs to one thread and
// closes the handle when destroyed or once the listing has ended.
//
// Where the bare API differs from the interface, this class follows the
// interface:
// - ListFolder of an existing folder without any entries (a drive root, which
//   has no "." and "..") gives an empty listing, and ListFolder of a file
//   gives kNotFound (the system reports an invalid name).
// - ToLocalDosDateTime is empty for every local time outside 1980 to 2107;
//   the system's own packing wraps some later years.
// - MoveFile may move a file to another drive (by copying it), as the
//   system's plain move does.
#pragma once

#include "platform/filesystem.h"

namespace cvn::platform::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  std::string CurrentDirectory() override;
  Status SetCurrentDirectory(std::string_view path) override;
  std::string WindowsFolder() override;
  std::string LongPathName(std::string_view path) override;

  Status ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) override;
  std::optional<DosDateTime> ToLocalDosDateTime(uint64_t filetime) override;

  std::optional<uint32_t> GetAttributes(std::string_view path) override;
  Status SetAttributes(std::string_view path, uint32_t attributes) override;

  Status CreateFolder(std::string_view path) override;
  Status RemoveFolder(std::string_view path) override;
  Status DeleteFile(std::string_view path) override;
  Status MoveFile(std::string_view from, std::string_view to, bool replace = false) override;
  Status LinkFile(std::string_view from, std::string_view to) override;

  Status ReadFile(std::string_view path, std::vector<uint8_t>* data) override;
  Status WriteFile(std::string_view path, std::span<const uint8_t> data) override;
  // Through BCrypt's SHA-256, reading the file in pieces.
  Status HashFile(std::string_view path, Sha256Digest* digest) override;
  // Compares and takes the file through one opening of it, shared with
  // readers only; by name where the file is open for writing elsewhere or
  // cannot be renamed through its handle (another volume).
  Status TakeFileIfUnchanged(std::string_view from, std::string_view to,
                             const Sha256Digest& expected, bool link, bool* unchanged) override;
  Status AppendFile(std::string_view path, std::span<const uint8_t> data, bool flush) override;
};

}  // namespace cvn::platform::win32
