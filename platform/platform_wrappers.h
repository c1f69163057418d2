// Pass-through wrappers of the file system and the registry, so a decorator
// overrides only what it changes, and read-only versions of them with the
// shell: every change claims success and changes nothing, every query sees
// the real platform. An uninstall run on the read-only platform makes the
// same decisions as a real one and so lists what the real one would do.
#pragma once

#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace cvn::platform {

class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  FileSystem& target() { return target_; }

  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }
  Status SetCurrentDirectory(std::string_view path) override {
    return target_.SetCurrentDirectory(path);
  }
  std::string WindowsFolder() override { return target_.WindowsFolder(); }
  std::string LongPathName(std::string_view path) override { return target_.LongPathName(path); }
  Status ListFolder(std::string_view folder, std::unique_ptr<FolderListing>* out) override {
    return target_.ListFolder(folder, out);
  }
  std::optional<DosDateTime> ToLocalDosDateTime(uint64_t filetime) override {
    return target_.ToLocalDosDateTime(filetime);
  }
  std::optional<uint32_t> GetAttributes(std::string_view path) override {
    return target_.GetAttributes(path);
  }
  Status SetAttributes(std::string_view path, uint32_t attributes) override {
    return target_.SetAttributes(path, attributes);
  }
  Status CreateFolder(std::string_view path) override { return target_.CreateFolder(path); }
  Status RemoveFolder(std::string_view path) override { return target_.RemoveFolder(path); }
  Status DeleteFile(std::string_view path) override { return target_.DeleteFile(path); }
  Status MoveFile(std::string_view from, std::string_view to, bool replace = false) override {
    return target_.MoveFile(from, to, replace);
  }
  Status LinkFile(std::string_view from, std::string_view to) override {
    return target_.LinkFile(from, to);
  }
  Status ReadFile(std::string_view path, std::vector<uint8_t>* data) override {
    return target_.ReadFile(path, data);
  }
  Status WriteFile(std::string_view path, std::span<const uint8_t> data) override {
    return target_.WriteFile(path, data);
  }
  Status HashFile(std::string_view path, Sha256Digest* digest) override {
    return target_.HashFile(path, digest);
  }
  Status AppendFile(std::string_view path, std::span<const uint8_t> data, bool flush) override {
    return target_.AppendFile(path, data, flush);
  }

 private:
  FileSystem& target_;
};

class RegistryWrapper : public Registry {
 public:
  explicit RegistryWrapper(Registry& target) : target_(target) {}
  Registry& target() { return target_; }

  Status OpenKey(RootKey root, std::string_view path, KeyAccess access,
                 std::unique_ptr<RegKey>* out) override {
    return target_.OpenKey(root, path, access, out);
  }
  Status OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                    std::unique_ptr<RegKey>* out) override {
    return target_.OpenSubKey(parent, path, access, out);
  }
  Status OpenSubKeyOrLink(RegKey& parent, std::string_view name, std::unique_ptr<RegKey>* out,
                          bool* is_link) override {
    return target_.OpenSubKeyOrLink(parent, name, out, is_link);
  }
  std::string CurrentUserHiveName() override { return target_.CurrentUserHiveName(); }
  Status CreateKey(RootKey root, std::string_view path, KeyAccess access,
                   std::unique_ptr<RegKey>* out, bool* created = nullptr) override {
    return target_.CreateKey(root, path, access, out, created);
  }
  Status EnumKey(RegKey& key, uint32_t index, std::string* name) override {
    return target_.EnumKey(key, index, name);
  }
  Status EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                   size_t* needed = nullptr) override {
    return target_.EnumValue(key, index, data_capacity, value, needed);
  }
  Status QueryValue(RegKey& key, std::string_view name, RegValue* value) override {
    return target_.QueryValue(key, name, value);
  }
  Status QueryInfoKey(RegKey& key, RegKeyInfo* info) override {
    return target_.QueryInfoKey(key, info);
  }
  Status SetValue(RegKey& key, std::string_view name, uint32_t type,
                  std::span<const uint8_t> data) override {
    return target_.SetValue(key, name, type, data);
  }
  Status DeleteValue(RegKey& key, std::string_view name) override {
    return target_.DeleteValue(key, name);
  }
  Status DeleteKey(RegKey& parent, std::string_view path) override {
    return target_.DeleteKey(parent, path);
  }
  Status SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) override {
    return target_.SaveKey(root, path, contents);
  }
  Status EnumKeySubkeyCount(RegKey& key, uint32_t index, uint32_t* count) override {
    return target_.EnumKeySubkeyCount(key, index, count);
  }

 private:
  Registry& target_;
};

// Changes nothing; every change reports success.
class ReadOnlyFileSystem final : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  Status SetAttributes(std::string_view, uint32_t) override { return Status::Ok(); }
  Status CreateFolder(std::string_view) override { return Status::Ok(); }
  Status RemoveFolder(std::string_view) override { return Status::Ok(); }
  Status DeleteFile(std::string_view) override { return Status::Ok(); }
  Status MoveFile(std::string_view, std::string_view, bool = false) override {
    return Status::Ok();
  }
  Status LinkFile(std::string_view, std::string_view) override { return Status::Ok(); }
  Status WriteFile(std::string_view, std::span<const uint8_t>) override { return Status::Ok(); }
  Status AppendFile(std::string_view, std::span<const uint8_t>, bool) override {
    return Status::Ok();
  }
};

// Changes nothing; every change reports success. A key to be created is
// only opened: one that does not exist reports kNotFound.
class ReadOnlyRegistry final : public RegistryWrapper {
 public:
  using RegistryWrapper::RegistryWrapper;
  Status CreateKey(RootKey root, std::string_view path, KeyAccess, std::unique_ptr<RegKey>* out,
                   bool* created = nullptr) override {
    if (created != nullptr) *created = false;
    return RegistryWrapper::OpenKey(root, path, KeyAccess::kRead, out);
  }
  Status OpenKey(RootKey root, std::string_view path, KeyAccess,
                 std::unique_ptr<RegKey>* out) override {
    return RegistryWrapper::OpenKey(root, path, KeyAccess::kRead, out);
  }
  Status SetValue(RegKey&, std::string_view, uint32_t, std::span<const uint8_t>) override {
    return Status::Ok();
  }
  Status DeleteValue(RegKey&, std::string_view) override { return Status::Ok(); }
  Status DeleteKey(RegKey&, std::string_view) override { return Status::Ok(); }
};

class ReadOnlyShell final : public Shell {
 public:
  Status RecycleFile(std::string_view) override { return Status::Ok(); }
};

}  // namespace cvn::platform
