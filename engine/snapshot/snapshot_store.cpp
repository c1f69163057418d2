#include "engine/snapshot/snapshot_store.h"

#include <cstring>

namespace cvn::snapshot {

namespace {

constexpr std::string_view kExtension = ".sns";

// True when `path` is one element below `folder`: a relative record names
// one new child of the previous path, which is how a walk goes down.
bool IsChildOf(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
         path[folder.size()] == '\\' &&
         path.find('\\', folder.size() + 1) == std::string_view::npos;
}

}  // namespace

std::string SnapshotFilePath(std::string_view folder, std::string_view base_name) {
  std::string name = std::string(base_name) + std::string(kExtension);
  return folder.empty() ? name : platform::JoinPath(folder, name);
}

SnapshotStore::SnapshotStore(platform::FileSystem& fs, std::string_view folder,
                             std::string_view base_name, bool writing)
    : fs_(&fs),
      file_path_(SnapshotFilePath(folder, base_name)),
      writing_(writing),
      name_(base_name) {}

SnapshotStore SnapshotStore::CreateNew(platform::FileSystem& fs, std::string_view folder,
                                       std::string_view base_name) {
  return SnapshotStore(fs, folder, base_name, /*writing=*/true);
}

SnapshotStore SnapshotStore::Open(platform::FileSystem& fs, std::string_view folder,
                                  std::string_view base_name) {
  SnapshotStore store(fs, folder, base_name, /*writing=*/false);
  if (platform::Status s = fs.ReadFile(store.file_path_, &store.stream_); !s.ok()) {
    throw SnapshotFileError("Cannot open file \"" + store.file_path_ + "\": " + s.ToString());
  }
  return store;
}

// ---- Writing ----

void SnapshotStore::AppendU32(uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  stream_.insert(stream_.end(), bytes, bytes + 4);
}

void SnapshotStore::AppendText(std::string_view text) {
  stream_.insert(stream_.end(), text.begin(), text.end());
}

void SnapshotStore::Add(std::string_view path, std::string_view name, std::span<const uint8_t> data,
                        uint32_t value, uint32_t record_flags) {
  uint32_t record = record_flags;
  std::string_view path_text;  // written only with a path bit
  uint32_t path_length;
  if (!last_path_.empty() && path == last_path_) {
    path_length = static_cast<uint32_t>(path.size());
  } else {
    if (IsChildOf(path, last_path_)) {
      record |= flags::kRelativePath;
      path_text = path.substr(last_path_.size() + 1);
    } else {
      record |= flags::kFullPath;
      path_text = path;
    }
    path_length = static_cast<uint32_t>(path_text.size());
    last_path_.assign(path);
  }
  if (name.empty()) record |= flags::kNoName;
  if (data.empty()) record |= flags::kNoData;

  AppendU32(record);
  AppendU32(path_length);
  AppendU32(value);
  if (record & (flags::kFullPath | flags::kRelativePath)) AppendText(path_text);
  if (!(record & flags::kNoName)) {
    AppendU32(static_cast<uint32_t>(name.size()));
    AppendText(name);
  }
  if (!(record & flags::kNoData)) {
    AppendU32(static_cast<uint32_t>(data.size()));
    stream_.insert(stream_.end(), data.begin(), data.end());
  }
}

void SnapshotStore::Save() {
  if (platform::Status s = fs_->WriteFile(file_path_, stream_); !s.ok()) {
    throw SnapshotFileError("Cannot create file \"" + file_path_ + "\": " + s.ToString());
  }
}

// ---- Reading ----

uint32_t SnapshotStore::TakeU32() {
  const std::span<const uint8_t> b = TakeBytes(4);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

std::span<const uint8_t> SnapshotStore::TakeBytes(uint32_t count) {
  if (count > stream_.size() - position_) {
    throw SnapshotFormatError("Snapshot file \"" + file_path_ + "\" is damaged: a record ends " +
                              "past the end of the file");
  }
  const std::span<const uint8_t> bytes(stream_.data() + position_, count);
  position_ += count;
  return bytes;
}

namespace {
std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
}  // namespace

void SnapshotStore::ReadHeader(std::string& path) {
  if (position_ >= stream_.size()) {
    eof_ = true;
    return;
  }
  flags_ = TakeU32();
  const uint32_t path_length = TakeU32();
  value_ = TakeU32();
  if (flags_ & (flags::kFullPath | flags::kRelativePath))
    path.assign(AsText(TakeBytes(path_length)));
}

void SnapshotStore::ReadName(std::string& name) {
  if (flags_ & flags::kNoName) {
    name.clear();
  } else {
    const uint32_t length = TakeU32();
    name.assign(AsText(TakeBytes(length)));
  }
  data_size_ = (flags_ & flags::kNoData) ? 0 : TakeU32();
}

void SnapshotStore::ReadData(std::vector<uint8_t>& buffer) {
  if (flags_ & flags::kNoData) {
    buffer.clear();
    return;
  }
  const std::span<const uint8_t> data = TakeBytes(data_size_);
  buffer.assign(data.begin(), data.end());
}

bool SnapshotStore::ReadRecord(SnapshotRecord* record) {
  if (position_ >= stream_.size()) {
    eof_ = true;
    return false;
  }
  flags_ = TakeU32();
  const uint32_t path_length = TakeU32();
  value_ = TakeU32();
  record->flags = flags_;
  record->value = value_;
  record->path_text = (flags_ & (flags::kFullPath | flags::kRelativePath))
                          ? AsText(TakeBytes(path_length))
                          : std::string_view();
  record->name = (flags_ & flags::kNoName) ? std::string_view() : AsText(TakeBytes(TakeU32()));
  data_size_ = (flags_ & flags::kNoData) ? 0 : TakeU32();
  record->data = data_size_ == 0 ? std::span<const uint8_t>() : TakeBytes(data_size_);
  return true;
}

void DeleteSnapshotFiles(platform::FileSystem& fs, std::string_view program_folder) {
  fs.SetCurrentDirectory(program_folder);
  for (std::string_view name :
       {"HKCR.SNS", "HKCU.SNS", "HKLM.SNS", "HKUS.SNS", "HKCC.SNS", "FIS1.SNS", "FIS2.SNS"}) {
    fs.DeleteFile(platform::JoinPath(program_folder, name));
  }
}

}  // namespace cvn::snapshot
