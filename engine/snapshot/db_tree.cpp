#include "engine/snapshot/db_tree.h"

#include <cstring>

namespace cvn::snapshot {

namespace {

constexpr std::string_view kExtension = ".sns";

bool StartsWithFolder(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
         path[folder.size()] == '\\';
}

}  // namespace

std::string SnapshotFilePath(std::string_view folder, std::string_view base_name) {
  std::string name = std::string(base_name) + std::string(kExtension);
  return folder.empty() ? name : platform::JoinPath(folder, name);
}

TDBTree::TDBTree(platform::FileSystem& fs, std::string_view folder, std::string_view base_name,
                 bool writing)
    : fs_(&fs), file_path_(SnapshotFilePath(folder, base_name)), FWriting(writing),
      FName(base_name) {}

TDBTree TDBTree::CreateNew(platform::FileSystem& fs, std::string_view folder,
                           std::string_view base_name) {
  return TDBTree(fs, folder, base_name, /*writing=*/true);
}

TDBTree TDBTree::Open(platform::FileSystem& fs, std::string_view folder,
                      std::string_view base_name) {
  TDBTree store(fs, folder, base_name, /*writing=*/false);
  if (platform::Status s = fs.ReadFile(store.file_path_, &store.stream_); !s.ok()) {
    throw SnapshotFileError("Cannot open file \"" + store.file_path_ + "\": " + s.ToString());
  }
  return store;
}

// ---- Writing ----

void TDBTree::AppendU32(uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  stream_.insert(stream_.end(), bytes, bytes + 4);
}

void TDBTree::AppendText(std::string_view text) {
  stream_.insert(stream_.end(), text.begin(), text.end());
}

void TDBTree::Add(std::string_view path, std::string_view name, std::span<const uint8_t> data,
                  uint32_t value, uint32_t record_flags) {
  uint32_t record = record_flags;
  std::string_view path_text;  // written only with a path bit
  uint32_t path_length;
  if (!FLastPath.empty() && path == FLastPath) {
    path_length = static_cast<uint32_t>(path.size());
  } else {
    if (StartsWithFolder(path, FLastPath)) {
      record |= flags::kRelativePath;
      path_text = path.substr(FLastPath.size() + 1);
    } else {
      record |= flags::kFullPath;
      path_text = path;
    }
    path_length = static_cast<uint32_t>(path_text.size());
    FLastPath.assign(path);
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

void TDBTree::Save() {
  if (platform::Status s = fs_->WriteFile(file_path_, stream_); !s.ok()) {
    throw SnapshotFileError("Cannot create file \"" + file_path_ + "\": " + s.ToString());
  }
}

// ---- Reading ----

uint32_t TDBTree::TakeU32() {
  const std::span<const uint8_t> b = TakeBytes(4);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

std::span<const uint8_t> TDBTree::TakeBytes(uint32_t count) {
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

void TDBTree::ReadHeader(std::string& path) {
  if (position_ >= stream_.size()) {
    FEof = true;
    return;
  }
  FFlags = TakeU32();
  const uint32_t path_length = TakeU32();
  FValue = TakeU32();
  if (FFlags & (flags::kFullPath | flags::kRelativePath)) path.assign(AsText(TakeBytes(path_length)));
}

void TDBTree::ReadName(std::string& name) {
  if (FFlags & flags::kNoName) {
    name.clear();
  } else {
    const uint32_t length = TakeU32();
    name.assign(AsText(TakeBytes(length)));
  }
  FDataSize = (FFlags & flags::kNoData) ? 0 : TakeU32();
}

void TDBTree::ReadData(std::vector<uint8_t>& buffer) {
  if (FFlags & flags::kNoData) {
    buffer.clear();
    return;
  }
  const std::span<const uint8_t> data = TakeBytes(FDataSize);
  buffer.assign(data.begin(), data.end());
}

bool TDBTree::ReadRecord(SnapshotRecord* record) {
  if (position_ >= stream_.size()) {
    FEof = true;
    return false;
  }
  FFlags = TakeU32();
  const uint32_t path_length = TakeU32();
  FValue = TakeU32();
  record->flags = FFlags;
  record->value = FValue;
  record->path_text = (FFlags & (flags::kFullPath | flags::kRelativePath))
                          ? AsText(TakeBytes(path_length))
                          : std::string_view();
  record->name = (FFlags & flags::kNoName) ? std::string_view() : AsText(TakeBytes(TakeU32()));
  FDataSize = (FFlags & flags::kNoData) ? 0 : TakeU32();
  record->data = FDataSize == 0 ? std::span<const uint8_t>() : TakeBytes(FDataSize);
  return true;
}

void DeleteSnapshotFiles(platform::FileSystem& fs, std::string_view program_folder) {
  fs.SetCurrentDirectory(program_folder);
  for (std::string_view name : {"HKCR.SNS", "HKCU.SNS", "HKLM.SNS", "HKUS.SNS", "HKCC.SNS",
                                "FIS1.SNS", "FIS2.SNS"}) {
    fs.DeleteFile(platform::JoinPath(program_folder, name));
  }
}

}  // namespace cvn::snapshot
