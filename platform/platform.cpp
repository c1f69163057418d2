// Helpers shared by every platform implementation.
#include <array>
#include <cstring>

#include "platform/filesystem.h"
#include "platform/registry.h"

namespace cvn::platform {

std::string Status::ToString() const {
  static constexpr std::array<const char*, 9> kNames = {
      "ok",        "not found",      "access denied", "no more items", "more data",
      "not empty", "already exists", "invalid",       "I/O error"};
  std::string text = kNames[static_cast<size_t>(code_)];
  if (system_error_ != 0) text += " (" + std::to_string(system_error_) + ")";
  return text;
}

std::string_view RootKeyName(uint32_t handle) {
  switch (handle) {
    case 0x80000000u:
      return "HKEY_CLASSES_ROOT";
    case 0x80000001u:
      return "HKEY_CURRENT_USER";
    case 0x80000002u:
      return "HKEY_LOCAL_MACHINE";
    case 0x80000003u:
      return "HKEY_USERS";
    case 0x80000005u:
      return "HKEY_CURRENT_CONFIG";
    default:
      return "(error)";
  }
}

Status OpenRoot(Registry& registry, RootKey root, KeyAccess access, std::unique_ptr<RegKey>* out) {
  return registry.OpenKey(root, "", access, out);
}

Status SetDword(Registry& registry, RegKey& key, std::string_view name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return registry.SetValue(key, name, regtype::kDword, bytes);
}

Status SetString(Registry& registry, RegKey& key, std::string_view name, std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return registry.SetValue(key, name, regtype::kSz, bytes);
}

std::string DataAsText(std::span<const uint8_t> data) {
  size_t n = data.size();
  while (n > 0 && data[n - 1] == 0) --n;
  return std::string(reinterpret_cast<const char*>(data.data()), n);
}

Status DeleteKeyTree(Registry& registry, RegKey& parent, std::string_view path) {
  std::unique_ptr<RegKey> key;
  Status s = registry.OpenSubKey(parent, path, KeyAccess::kReadWrite, &key);
  if (!s.ok()) return s;
  // Delete from the last subkey down, so that the indexes of the ones still
  // to visit do not move.
  std::vector<std::string> names;
  for (uint32_t i = 0;; ++i) {
    std::string name;
    if (!registry.EnumKey(*key, i, &name).ok()) break;
    names.push_back(std::move(name));
  }
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    s = DeleteKeyTree(registry, *key, *it);
    if (!s.ok() && s.code() != StatusCode::kNotFound) return s;
  }
  key.reset();
  return registry.DeleteKey(parent, path);
}

bool IsFolder(FileSystem& fs, std::string_view path) {
  const auto attributes = fs.GetAttributes(path);
  return attributes && (*attributes & attr::kDirectory);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\') path += '\\';
  path += name;
  return path;
}

Status WriteFileAtomically(FileSystem& fs, std::string_view path, std::span<const uint8_t> data) {
  const std::string temp = std::string(path) + ".tmp";
  Status s = fs.WriteFile(temp, data);
  if (s.ok()) s = fs.MoveFile(temp, path, /*replace=*/true);
  if (!s.ok()) fs.DeleteFile(temp);  // a partial temporary file is worth nothing
  return s;
}

Status FileSystem::HashFile(std::string_view path, Sha256Digest* digest) {
  std::vector<uint8_t> data;
  if (Status s = ReadFile(path, &data); !s.ok()) return s;
  *digest = Sha256Of(data);
  return Status::Ok();
}

Status FileSystem::TakeFileIfUnchanged(std::string_view from, std::string_view to,
                                       const Sha256Digest& expected, bool link, bool* unchanged) {
  *unchanged = false;
  Sha256Digest digest;
  if (Status s = HashFile(from, &digest); !s.ok()) return s;
  if (digest != expected) return Status::Ok();
  *unchanged = true;
  return link ? LinkFile(from, to) : MoveFile(from, to);
}

Status FileSystem::AppendFile(std::string_view path, std::span<const uint8_t> data, bool) {
  std::vector<uint8_t> whole;
  if (Status s = ReadFile(path, &whole); !s.ok() && s.code() != StatusCode::kNotFound) return s;
  whole.insert(whole.end(), data.begin(), data.end());
  return WriteFile(path, whole);
}

}  // namespace cvn::platform
