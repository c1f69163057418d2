// SnapshotStore: the snapshot store. A snapshot file is a flat sequence of records
// (doc/snapshot_format.md gives the byte grammar). A store is either written
// (CreateNew, Add..., Save: one file write at the end) or read (Open: one
// file read at the start, then records one after the other), never both.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace cvn::snapshot {

// Bits of a record's Flags field.
namespace flags {
inline constexpr uint32_t kFullPath = 0x00001;      // PathText is the whole path
inline constexpr uint32_t kRelativePath = 0x00010;  // path = previous path + "\" + one element
inline constexpr uint32_t kNoName = 0x00100;        // no name part (empty name)
inline constexpr uint32_t kNoData = 0x01000;        // no data part (data size 0)
inline constexpr uint32_t kContainer = 0x10000;     // a key or folder: no value entry
}  // namespace flags

// The Value field of file records.
inline constexpr uint32_t kFileRecordValue = 3;

// Base names of the snapshot files.
inline constexpr std::string_view kFileSystemBefore = "FIS1";
inline constexpr std::string_view kFileSystemAfter = "FIS2";

// "<folder>\<base name>.sns"; the base name alone when the folder is empty.
std::string SnapshotFilePath(std::string_view folder, std::string_view base_name);

// A snapshot file that cannot be read or written.
class SnapshotFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A record that runs past the end of the file: the file is damaged.
class SnapshotFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One record as read, its texts and data pointing into the store's memory
// (valid while the store lives).
struct SnapshotRecord {
  uint32_t flags = 0;
  uint32_t value = 0;
  std::string_view path_text;  // meaningful when flags has kFullPath or kRelativePath
  std::string_view name;
  std::span<const uint8_t> data;
};

class SnapshotStore {
 public:
  // An empty store for writing; Save writes it to "<folder>\<base name>.sns".
  static SnapshotStore CreateNew(platform::FileSystem& fs, std::string_view folder,
                                 std::string_view base_name);
  // Loads the whole of "<folder>\<base name>.sns" for reading. Throws
  // SnapshotFileError when the file cannot be read.
  static SnapshotStore Open(platform::FileSystem& fs, std::string_view folder,
                            std::string_view base_name);

  SnapshotStore(SnapshotStore&&) noexcept = default;
  SnapshotStore& operator=(SnapshotStore&&) noexcept = default;

  // Writing. Appends one record; `record_flags` is 0 or flags::kContainer,
  // the other bits follow from the path, the name and the data.
  void Add(std::string_view path, std::string_view name, std::span<const uint8_t> data,
           uint32_t value, uint32_t record_flags);
  // Room for `bytes` more bytes of records, so that a stream whose size is
  // known ahead grows without being copied.
  void Reserve(size_t bytes) { stream_.reserve(stream_.size() + bytes); }
  // The end of the stream as it stands, and going back to it: the records
  // written since are dropped.
  struct Mark {
    size_t size = 0;
    std::string last_path;
  };
  Mark End() const { return {stream_.size(), last_path_}; }
  void CutBackTo(const Mark& mark) {
    stream_.resize(mark.size);
    last_path_ = mark.last_path;
  }
  // Writes the whole stream in one piece, replacing any file of that name.
  // Throws SnapshotFileError when that fails.
  void Save();

  // Reading, per record: ReadHeader, then ReadName, then ReadData. Each
  // throws SnapshotFormatError rather than read past the end of the data.
  // Sets Eof() when no record is left; otherwise reads the path text into
  // `path` when the record has one (else `path` keeps its content).
  void ReadHeader(std::string& path);
  // The name (empty when the record has none), then the data size.
  void ReadName(std::string& name);
  // The data (empty when the record has none).
  void ReadData(std::vector<uint8_t>& buffer);
  // The three reads in one, without copying; false (and Eof()) at the end.
  bool ReadRecord(SnapshotRecord* record);

  uint32_t Flags() const { return flags_; }
  uint32_t Value() const { return value_; }
  uint32_t DataSize() const { return data_size_; }
  bool Eof() const { return eof_; }
  bool Writing() const { return writing_; }
  const std::string& Name() const { return name_; }
  // The stream as it stands.
  std::span<const uint8_t> Bytes() const { return stream_; }

 private:
  SnapshotStore(platform::FileSystem& fs, std::string_view folder, std::string_view base_name,
                bool writing);

  void AppendU32(uint32_t v);
  void AppendText(std::string_view text);
  uint32_t TakeU32();
  std::span<const uint8_t> TakeBytes(uint32_t count);

  platform::FileSystem* fs_;
  std::string file_path_;
  std::vector<uint8_t> stream_;
  size_t position_ = 0;

  std::string last_path_;  // writing: path of the last record written
  bool writing_;
  std::string name_;    // base name, without ".sns"
  uint32_t flags_ = 0;  // reading: the current record's fields
  uint32_t value_ = 0;
  uint32_t data_size_ = 0;
  bool eof_ = false;
};

// Deletes every snapshot file ("HKCR.SNS" ... "FIS2.SNS") of the program
// folder, which it makes the current directory; failures are ignored.
void DeleteSnapshotFiles(platform::FileSystem& fs, std::string_view program_folder);

}  // namespace cvn::snapshot
