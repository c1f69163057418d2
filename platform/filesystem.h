// The file system as the rest of Corvane sees it.
//
// Paths are UTF-8 with backslashes ("C:\Windows\System32"); absolute paths
// begin with a drive ("C:\"), relative ones are resolved against the current
// directory. Names are compared without regard to case.
//
// Thread safety: a FileSystem may be used from several threads at once, except
// the current directory, which is process-wide: change it on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sha256.h"
#include "platform/status.h"

namespace cvn::platform {

// File attribute bits, with their Windows values.
namespace attr {
inline constexpr uint32_t kReadOnly = 0x01;
inline constexpr uint32_t kHidden = 0x02;
inline constexpr uint32_t kSystem = 0x04;
inline constexpr uint32_t kDirectory = 0x10;
inline constexpr uint32_t kArchive = 0x20;
inline constexpr uint32_t kNormal = 0x80;
}  // namespace attr

// A date and time in the packed MS-DOS form: date = (year-1980)<<9 | month<<5
// | day, time = hour<<11 | minute<<5 | seconds/2.
struct DosDateTime {
  uint16_t date = 0;
  uint16_t time = 0;
  friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};

// One entry of a folder listing.
struct FindEntry {
  std::string name;         // the long name, without the folder
  uint32_t attributes = 0;  // attr:: bits
  uint64_t size = 0;        // bytes; 0 for folders
  uint64_t last_write = 0;  // UTC, in 100 ns units since 1601-01-01 (a FILETIME)
};

// A folder listing in progress. Entries come in the platform's order,
// including "." and ".." where the platform lists them.
class FolderListing {
 public:
  virtual ~FolderListing() = default;
  // The next entry; kNoMoreItems after the last.
  virtual Status Next(FindEntry* entry) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual std::string CurrentDirectory() = 0;
  virtual Status SetCurrentDirectory(std::string_view path) = 0;
  // The Windows folder ("C:\Windows"), without a trailing backslash.
  virtual std::string WindowsFolder() = 0;
  // `path` with the long name of each of its components ("C:\PROGRA~1\x"
  // gives "C:\Program Files\x"); `path` itself when it does not exist or
  // the system cannot tell.
  virtual std::string LongPathName(std::string_view path) = 0;

  // Lists the entries of `folder` (no wildcard; the folder's own path).
  // kNotFound or kAccessDenied when it cannot be listed; *out is null then.
  // The first entry is read by the first Next.
  virtual Status ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) = 0;

  // Converts a FILETIME to local time and packs it. Empty when the local
  // time has no DOS form (before 1980 or after 2107).
  virtual std::optional<DosDateTime> ToLocalDosDateTime(uint64_t filetime) = 0;

  // Attributes of a file or folder; empty when it does not exist or cannot be reached.
  virtual std::optional<uint32_t> GetAttributes(std::string_view path) = 0;
  virtual Status SetAttributes(std::string_view path, uint32_t attributes) = 0;

  virtual Status CreateFolder(std::string_view path) = 0;
  // Removes an empty folder (kNotEmpty otherwise).
  virtual Status RemoveFolder(std::string_view path) = 0;
  // Deletes a file. A read-only file or one in use fails (kAccessDenied).
  virtual Status DeleteFile(std::string_view path) = 0;
  // Moves or renames a file or folder. With `replace`, an existing target file
  // is replaced in one step (the way to save a file atomically); without it
  // an existing target gives kAlreadyExists.
  virtual Status MoveFile(std::string_view from, std::string_view to, bool replace = false) = 0;
  // Gives the file `from` a second name `to`, which must not exist (a hard
  // link): both names share one content and no data is copied. Fails where
  // the volume has no links or the names are on different volumes; a
  // caller that needs a copy then makes one.
  virtual Status LinkFile(std::string_view from, std::string_view to) = 0;

  // Reads a whole file.
  virtual Status ReadFile(std::string_view path, std::vector<uint8_t>* data) = 0;
  // Creates or truncates a file and writes `data` to it.
  virtual Status WriteFile(std::string_view path, std::span<const uint8_t> data) = 0;

  // Operations with portable defaults built on the ones above; a platform
  // overrides them where it has a better way.

  // The SHA-256 digest of a file's content. Fails as ReadFile does.
  virtual Status HashFile(std::string_view path, Sha256Digest* digest);
  // Takes the file `from` only if its content still has the digest
  // `expected`: moves it to `to`, or with `link` gives it `to` as a second
  // name (LinkFile). `to` must not exist. *unchanged tells whether the
  // content was read and matched; a file that differs is left as it is and
  // the call succeeds. Fails as HashFile does, and as MoveFile or LinkFile
  // do once the content matched. The default hashes, then takes the file by
  // its name; a platform may read and take it through one opening that
  // lets nobody write to it in between. Wrappers keep the default, so that
  // it is built on their own calls.
  virtual Status TakeFileIfUnchanged(std::string_view from, std::string_view to,
                                     const Sha256Digest& expected, bool link, bool* unchanged);
  // Appends `data` to a file, creating it when it is missing. With `flush`
  // the data has reached the disk when this returns (a journal's record
  // written ahead of its action).
  virtual Status AppendFile(std::string_view path, std::span<const uint8_t> data, bool flush);
};

// Helpers built on the interface.

// Writes `data` to a temporary file beside `path`, then moves it over `path`,
// so that a failed write never leaves a damaged file in place of a good one.
Status WriteFileAtomically(FileSystem& fs, std::string_view path, std::span<const uint8_t> data);
// Joins a folder and a name with one backslash ("C:\" + "x" = "C:\x").
std::string JoinPath(std::string_view folder, std::string_view name);
// True when `path` names a folder that exists.
bool IsFolder(FileSystem& fs, std::string_view path);

}  // namespace cvn::platform
