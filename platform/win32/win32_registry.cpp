#include "platform/win32/win32_registry.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_api.h"

#include <sddl.h>

namespace cvn::platform::win32 {
namespace {

// Value names are at most 16,383 characters; key names far fewer.
constexpr size_t kLongestName = 16384;
constexpr size_t kFirstDataBufferSize = 4096;

class Win32Key final : public RegKey {
 public:
  // A key this process opened: closed on destruction.
  static std::unique_ptr<Win32Key> Opened(HKEY handle) {
    return std::unique_ptr<Win32Key>(new Win32Key(handle, UniqueRegKey(handle)));
  }
  // A predefined root key, which is never closed.
  static std::unique_ptr<Win32Key> Root(HKEY predefined) {
    return std::unique_ptr<Win32Key>(new Win32Key(predefined, UniqueRegKey()));
  }

  HKEY handle() const { return handle_; }

  // Buffers reused by every call on this key, so that an enumeration
  // allocates once per key rather than once per item.
  std::vector<wchar_t> name_buffer;
  std::vector<BYTE> data_buffer;

 private:
  Win32Key(HKEY handle, UniqueRegKey owned) : handle_(handle), owned_(std::move(owned)) {}

  HKEY handle_;
  UniqueRegKey owned_;
};

Win32Key* AsWin32Key(RegKey& key) {
  return dynamic_cast<Win32Key*>(&key);
}

HKEY PredefinedHandle(RootKey root) {
  switch (root) {
    case RootKey::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RootKey::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RootKey::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RootKey::kUsers:
      return HKEY_USERS;
    case RootKey::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

REGSAM AccessMask(KeyAccess access) {
  return access == KeyAccess::kRead ? KEY_READ : KEY_READ | KEY_WRITE;
}

// Makes `buffer` hold at least `size` elements, at least doubling it, so that
// data that keeps growing between two calls still ends the retries.
template <typename T>
void GrowTo(std::vector<T>& buffer, size_t size) {
  buffer.resize(std::max(size, buffer.size() * 2));
}

template <typename T>
void EnsureSize(std::vector<T>& buffer, size_t size) {
  if (buffer.size() < size) buffer.resize(size);
}

// A failure that is not the caller's business to retry: a name longer than
// any the system allows, which no buffer of ours takes.
Status NameTooLong() {
  return Status(StatusCode::kIoError, ERROR_MORE_DATA);
}

// Data as the interface delivers it: string types as UTF-8, others raw.
std::vector<uint8_t> DataFromSystem(uint32_t type, const BYTE* bytes, size_t size) {
  if (!regtype::IsText(type)) return std::vector<uint8_t>(bytes, bytes + size);
  std::wstring wide(size / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), bytes, wide.size() * sizeof(wchar_t));
  const std::string utf8 = ToUtf8(wide);
  return std::vector<uint8_t>(utf8.begin(), utf8.end());
}

Status OpenBelow(HKEY from, std::string_view path, KeyAccess access, std::unique_ptr<RegKey>* out) {
  HKEY handle = nullptr;
  const LSTATUS rc = RegOpenKeyExW(from, ToWide(path).c_str(), 0, AccessMask(access), &handle);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  *out = Win32Key::Opened(handle);
  return Status::Ok();
}

// The raw form of the value at `index`, read into the key's buffers.
struct RawValue {
  std::wstring_view name;
  DWORD type = REG_NONE;
  const BYTE* data = nullptr;
  size_t size = 0;
};

Status EnumRawValue(Win32Key& key, uint32_t index, RawValue* raw) {
  EnsureSize(key.name_buffer, kLongestName);
  EnsureSize(key.data_buffer, kFirstDataBufferSize);
  for (;;) {
    DWORD name_length = static_cast<DWORD>(key.name_buffer.size());
    DWORD data_size = static_cast<DWORD>(key.data_buffer.size());
    DWORD type = REG_NONE;
    // The data buffer is never empty: a null data pointer would make the
    // call report the size alone.
    const LSTATUS rc = RegEnumValueW(key.handle(), index, key.name_buffer.data(), &name_length,
                                     nullptr, &type, key.data_buffer.data(), &data_size);
    if (rc == ERROR_MORE_DATA) {
      // The system reports the data size either way; when the data would
      // have fitted, the name did not.
      if (data_size > key.data_buffer.size()) {
        GrowTo(key.data_buffer, data_size);
      } else if (key.name_buffer.size() < 2 * kLongestName) {
        GrowTo(key.name_buffer, key.name_buffer.size());
      } else {
        return NameTooLong();
      }
      continue;
    }
    if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
    *raw = RawValue{std::wstring_view(key.name_buffer.data(), name_length), type,
                    key.data_buffer.data(), data_size};
    return Status::Ok();
  }
}

Status HasSubkeys(HKEY parent, const std::wstring& path, bool* has_subkeys) {
  HKEY handle = nullptr;
  LSTATUS rc = RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE, &handle);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  const UniqueRegKey key(handle);
  DWORD subkeys = 0;
  rc = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  *has_subkeys = subkeys > 0;
  return Status::Ok();
}


// Enables the backup privilege once per process where the token holds it:
// RegSaveKeyExW needs it on Windows. A token without it saves nothing
// (access denied), which callers take as "walk instead".
void EnableBackupPrivilege() {
  static const bool enabled = [] {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
      return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool ok = LookupPrivilegeValueW(nullptr, L"SeBackupPrivilege",
                                          &privileges.Privileges[0].Luid) &&
                    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                    GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
  }();
  (void)enabled;
}

// A temporary file's path, the file itself not yet there (RegSaveKeyExW
// refuses an existing file); removed when this object goes, whatever
// happened in between.
class TemporaryFile {
 public:
  TemporaryFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"cvn", 0, name) == 0) return;
    path_ = name;
    DeleteFileW(path_.c_str());  // GetTempFileNameW made it, empty
  }
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

Status ReadWholeFile(const std::wstring& path, std::vector<uint8_t>* contents) {
  UniqueHandle<FileTraits> file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return StatusFromWin32Error(GetLastError());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return StatusFromWin32Error(GetLastError());
  if (size.QuadPart > 0x7FFFFFFF) return Status(StatusCode::kIoError);
  contents->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < contents->size()) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), contents->data() + done,
                    static_cast<DWORD>(contents->size() - done), &got, nullptr))
      return StatusFromWin32Error(GetLastError());
    if (got == 0) break;
    done += got;
  }
  contents->resize(done);
  return Status::Ok();
}

// NtEnumerateKey's fixed part of KeyFullInformation (class 2).
struct KeyFullInformation {
  LARGE_INTEGER last_write_time;
  ULONG title_index;
  ULONG class_offset;
  ULONG class_length;
  ULONG subkeys;
  ULONG max_name_length;
  ULONG max_class_length;
  ULONG values;
  ULONG max_value_name_length;
  ULONG max_value_data_length;
  WCHAR class_name[1];
};
using NtEnumerateKeyFunction = LONG(NTAPI*)(HANDLE, ULONG, int, void*, ULONG, ULONG*);
constexpr int kKeyFullInformation = 2;
constexpr LONG kStatusNoMoreEntries = static_cast<LONG>(0x8000001A);
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);

NtEnumerateKeyFunction NtEnumerateKeyEntry() {
  static const auto entry = reinterpret_cast<NtEnumerateKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtEnumerateKey")));
  return entry;
}

bool IsPredefined(HKEY key) {
  return (reinterpret_cast<uintptr_t>(key) & 0xFFFFFFF0u) == 0x80000000u;
}
}  // namespace

Status Win32Registry::OpenKey(RootKey root, std::string_view path, KeyAccess access,
                              std::unique_ptr<RegKey>* out) {
  out->reset();
  const HKEY predefined = PredefinedHandle(root);
  if (predefined == nullptr) return Status(StatusCode::kInvalid);
  if (path.empty()) {
    *out = Win32Key::Root(predefined);
    return Status::Ok();
  }
  return OpenBelow(predefined, path, access, out);
}

Status Win32Registry::OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                                 std::unique_ptr<RegKey>* out) {
  out->reset();
  Win32Key* parent_key = AsWin32Key(parent);
  if (parent_key == nullptr) return Status(StatusCode::kInvalid);
  return OpenBelow(parent_key->handle(), path, access, out);
}

Status Win32Registry::OpenSubKeyOrLink(RegKey& parent, std::string_view name,
                                       std::unique_ptr<RegKey>* out, bool* is_link) {
  out->reset();
  *is_link = false;
  Win32Key* parent_key = AsWin32Key(parent);
  if (parent_key == nullptr) return Status(StatusCode::kInvalid);
  HKEY handle = nullptr;
  const LSTATUS rc = RegOpenKeyExW(parent_key->handle(), ToWide(name).c_str(), REG_OPTION_OPEN_LINK,
                                   KEY_READ, &handle);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  // A link key holds its target in this value, of a type no other key uses.
  DWORD type = REG_NONE;
  *is_link = RegQueryValueExW(handle, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
                 ERROR_SUCCESS &&
             type == REG_LINK;
  *out = Win32Key::Opened(handle);
  return Status::Ok();
}

std::string Win32Registry::CurrentUserHiveName() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<BYTE> buffer(256);
  DWORD size = 0;
  bool read = GetTokenInformation(token, TokenUser, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), &size);
  if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(size);
    read = GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  }
  CloseHandle(token);
  wchar_t* text = nullptr;
  if (!read ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    return {};
  std::string hive = ToUtf8(text);
  LocalFree(text);
  return hive;
}

Status Win32Registry::CreateKey(RootKey root, std::string_view path, KeyAccess access,
                                std::unique_ptr<RegKey>* out, bool* created) {
  out->reset();
  if (created != nullptr) *created = false;
  const HKEY predefined = PredefinedHandle(root);
  if (predefined == nullptr) return Status(StatusCode::kInvalid);
  if (path.empty()) {
    *out = Win32Key::Root(predefined);
    return Status::Ok();
  }
  HKEY handle = nullptr;
  DWORD disposition = 0;
  const LSTATUS rc =
      RegCreateKeyExW(predefined, ToWide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      AccessMask(access), nullptr, &handle, &disposition);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  *out = Win32Key::Opened(handle);
  if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
  return Status::Ok();
}

Status Win32Registry::EnumKey(RegKey& key, uint32_t index, std::string* name) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  EnsureSize(k->name_buffer, 256);  // key names have at most 255 characters
  for (;;) {
    DWORD length = static_cast<DWORD>(k->name_buffer.size());
    const LSTATUS rc = RegEnumKeyExW(k->handle(), index, k->name_buffer.data(), &length, nullptr,
                                     nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      if (k->name_buffer.size() >= 2 * kLongestName) return NameTooLong();
      GrowTo(k->name_buffer, k->name_buffer.size());
      continue;
    }
    if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
    *name = ToUtf8(std::wstring_view(k->name_buffer.data(), length));
    return Status::Ok();
  }
}

Status Win32Registry::EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                                size_t* needed) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  // The whole value is read whatever the capacity: the capacity counts the
  // delivered form, whose size is known only after conversion.
  RawValue raw;
  const Status s = EnumRawValue(*k, index, &raw);
  if (!s.ok()) return s;
  value->name = ToUtf8(raw.name);
  value->type = raw.type;
  value->data = DataFromSystem(raw.type, raw.data, raw.size);
  if (needed != nullptr) *needed = value->data.size();
  if (value->data.size() > data_capacity) {
    value->data.clear();
    return Status(StatusCode::kMoreData, ERROR_MORE_DATA);
  }
  return Status::Ok();
}

Status Win32Registry::QueryValue(RegKey& key, std::string_view name, RegValue* value) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  const std::wstring wide_name = ToWide(name);
  EnsureSize(k->data_buffer, kFirstDataBufferSize);
  for (;;) {
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(k->data_buffer.size());
    const LSTATUS rc = RegQueryValueExW(k->handle(), wide_name.c_str(), nullptr, &type,
                                        k->data_buffer.data(), &size);
    if (rc == ERROR_MORE_DATA) {
      GrowTo(k->data_buffer, size);
      continue;
    }
    if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
    value->name = std::string(name);
    value->type = type;
    value->data = DataFromSystem(type, k->data_buffer.data(), size);
    return Status::Ok();
  }
}

Status Win32Registry::QueryInfoKey(RegKey& key, RegKeyInfo* info) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  DWORD subkeys = 0, values = 0, max_data = 0;
  const LSTATUS rc = RegQueryInfoKeyW(k->handle(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                      nullptr, &values, nullptr, &max_data, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  info->subkey_count = subkeys;
  info->value_count = values;
  const uint64_t longest_utf8 = uint64_t{max_data} / 2 * 3;
  info->max_value_data_size = static_cast<uint32_t>(std::min<uint64_t>(
      std::max<uint64_t>(max_data, longest_utf8), std::numeric_limits<uint32_t>::max()));
  return Status::Ok();
}

Status Win32Registry::SetValue(RegKey& key, std::string_view name, uint32_t type,
                               std::span<const uint8_t> data) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  const std::wstring wide_name = ToWide(name);
  LSTATUS rc;
  if (regtype::IsText(type)) {
    // The system looks one character past the given size to decide whether
    // the caller forgot the terminator; the wstring's own zero is there.
    const std::wstring text =
        ToWide(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    rc = RegSetValueExW(k->handle(), wide_name.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  } else {
    static const BYTE kNoData = 0;
    rc = RegSetValueExW(k->handle(), wide_name.c_str(), 0, type,
                        data.empty() ? &kNoData : data.data(), static_cast<DWORD>(data.size()));
  }
  return StatusFromWin32Error(rc);
}

Status Win32Registry::DeleteValue(RegKey& key, std::string_view name) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  return StatusFromWin32Error(RegDeleteValueW(k->handle(), ToWide(name).c_str()));
}

Status Win32Registry::DeleteKey(RegKey& parent, std::string_view path) {
  Win32Key* p = AsWin32Key(parent);
  if (p == nullptr || path.empty()) return Status(StatusCode::kInvalid);
  const std::wstring wide_path = ToWide(path);
  const LSTATUS rc = RegDeleteKeyW(p->handle(), wide_path.c_str());
  if (rc == ERROR_ACCESS_DENIED) {
    // The system refuses a key with subkeys as it refuses a protected one.
    bool has_subkeys = false;
    if (HasSubkeys(p->handle(), wide_path, &has_subkeys).ok() && has_subkeys) {
      return Status(StatusCode::kNotEmpty, rc);
    }
  }
  return StatusFromWin32Error(rc);
}

}  // namespace cvn::platform::win32

namespace cvn::platform::win32 {

Status Win32Registry::SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) {
  contents->clear();
  // The merged view of the classes has no file of its own; the machine's
  // classes are what it shows while the user has none.
  std::string machine_classes;
  if (root == RootKey::kClassesRoot) {
    machine_classes = MachineClassesPath(path);
    root = RootKey::kLocalMachine;
    path = machine_classes;
  }
  const HKEY predefined = PredefinedHandle(root);
  if (predefined == nullptr) return Status(StatusCode::kInvalid);
  EnableBackupPrivilege();
  UniqueRegKey opened;
  HKEY key = predefined;
  if (!path.empty()) {
    HKEY handle = nullptr;
    const LSTATUS rc = RegOpenKeyExW(predefined, ToWide(path).c_str(), 0, KEY_READ, &handle);
    if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
    opened.reset(handle);
    key = handle;
  }
  TemporaryFile file;
  if (file.path().empty()) return Status(StatusCode::kIoError);
  LSTATUS rc = RegSaveKeyExW(key, file.path().c_str(), nullptr, REG_LATEST_FORMAT);
  if (rc == ERROR_INVALID_PARAMETER) rc = RegSaveKeyW(key, file.path().c_str(), nullptr);
  if (rc != ERROR_SUCCESS) return StatusFromWin32Error(rc);
  const Status read = ReadWholeFile(file.path(), contents);
  if (!read.ok()) contents->clear();
  return read;
}

Status Win32Registry::EnumKeySubkeyCount(RegKey& key, uint32_t index, uint32_t* count) {
  Win32Key* k = AsWin32Key(key);
  if (k == nullptr) return Status(StatusCode::kInvalid);
  const NtEnumerateKeyFunction enumerate = NtEnumerateKeyEntry();
  if (enumerate == nullptr || IsPredefined(k->handle()))
    return Registry::EnumKeySubkeyCount(key, index, count);
  alignas(8) BYTE buffer[sizeof(KeyFullInformation) + 256];
  ULONG size = 0;
  const LONG status = enumerate(k->handle(), index, kKeyFullInformation, buffer, sizeof buffer, &size);
  if (status == kStatusNoMoreEntries) return Status(StatusCode::kNoMoreItems, ERROR_NO_MORE_ITEMS);
  // A long class name overflows the buffer; the fixed part is there all the same.
  if (status < 0 && status != kStatusBufferOverflow) return Status(StatusCode::kIoError);
  *count = reinterpret_cast<const KeyFullInformation*>(buffer)->subkeys;
  return Status::Ok();
}

}  // namespace cvn::platform::win32
