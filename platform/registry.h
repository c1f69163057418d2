// The registry as the rest of Corvane sees it.
//
// Names and paths are UTF-8. Value data is raw bytes, except that the data of
// the string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is UTF-8 with its
// terminating zeros, as the 8-bit registry functions deliver it under a UTF-8
// code page. Key paths are relative to the key they are opened from, elements
// joined by single backslashes; the empty path means that key itself.
//
// Thread safety: a Registry may be used from several threads at once, but an
// open RegKey belongs to the thread that uses it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace cvn::platform {

// The five predefined root keys, with the numeric handle values that
// changes archives store.
enum class RootKey : uint32_t {
  kClassesRoot = 0x80000000u,
  kCurrentUser = 0x80000001u,
  kLocalMachine = 0x80000002u,
  kUsers = 0x80000003u,
  kCurrentConfig = 0x80000005u,
};

// "HKEY_CLASSES_ROOT" and so on; "(error)" for any other handle value.
std::string_view RootKeyName(uint32_t handle);
inline std::string_view RootKeyName(RootKey root) {
  return RootKeyName(static_cast<uint32_t>(root));
}

// The key below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER that holds the
// machine's and the user's classes, which HKEY_CLASSES_ROOT shows merged.
inline constexpr std::string_view kClassesKey = "Software\\Classes";
// `path` below HKEY_CLASSES_ROOT as a path below HKEY_LOCAL_MACHINE.
inline std::string MachineClassesPath(std::string_view path) {
  return path.empty() ? std::string(kClassesKey)
                      : std::string(kClassesKey) + "\\" + std::string(path);
}

// Value types, with their registry numbers.
namespace regtype {
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kSz = 1;
inline constexpr uint32_t kExpandSz = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
inline constexpr uint32_t kDwordBigEndian = 5;
inline constexpr uint32_t kLink = 6;
inline constexpr uint32_t kMultiSz = 7;
inline constexpr uint32_t kQword = 11;
// True for the types whose data is text (converted to UTF-8 by the platform).
inline bool IsText(uint32_t type) {
  return type == kSz || type == kExpandSz || type == kMultiSz;
}
}  // namespace regtype

enum class KeyAccess : uint8_t {
  kRead,       // enumerate and query (KEY_READ)
  kReadWrite,  // also set and delete values, create and delete subkeys
};

// An open key. Closing is destruction. A key opened from a root with the
// empty path stands for the root itself.
class RegKey {
 public:
  virtual ~RegKey() = default;
};

struct RegValue {
  std::string name;  // empty for a key's default value
  uint32_t type = regtype::kNone;
  std::vector<uint8_t> data;
};

struct RegKeyInfo {
  uint32_t subkey_count = 0;
  uint32_t value_count = 0;
  // At least the size of the largest value's data, in bytes as the platform
  // delivers it (an upper bound where the exact figure would mean reading
  // every value).
  uint32_t max_value_data_size = 0;
};

class Registry {
 public:
  // Pass this as a capacity to accept data of any size.
  static constexpr size_t kUnlimited = static_cast<size_t>(-1);

  virtual ~Registry() = default;

  // Opens `path` below `root`. kNotFound when it does not exist, kAccessDenied
  // when it may not be opened with `access`; *out is null on failure.
  virtual Status OpenKey(RootKey root, std::string_view path, KeyAccess access,
                         std::unique_ptr<RegKey>* out) = 0;
  // Opens `path` below an open key.
  virtual Status OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                            std::unique_ptr<RegKey>* out) = 0;
  // Opens the subkey `name` of `parent` for reading without following it when
  // it is a registry link: *is_link then tells so, and the key opened is the
  // link itself, whose target is not read.
  virtual Status OpenSubKeyOrLink(RegKey& parent, std::string_view name,
                                  std::unique_ptr<RegKey>* out, bool* is_link) = 0;
  // The name of the current user's hive below HKEY_USERS (the user's SID,
  // "S-1-5-21-..."): HKEY_CURRENT_USER shows the same keys. Empty when unknown.
  virtual std::string CurrentUserHiveName() = 0;
  // Opens `path` below `root`, creating it and every missing key on the way.
  // *created (when given) tells whether the last key was new.
  virtual Status CreateKey(RootKey root, std::string_view path, KeyAccess access,
                           std::unique_ptr<RegKey>* out, bool* created = nullptr) = 0;

  // The name of the subkey at `index` (0-based, in the platform's order).
  // kNoMoreItems past the last one; any other failure ends an enumeration too.
  virtual Status EnumKey(RegKey& key, uint32_t index, std::string* name) = 0;
  // The value at `index`. When its data is larger than `data_capacity` bytes,
  // returns kMoreData and fills only value->name and value->type (when known)
  // and *needed with the size to ask for; the caller may ask again for the
  // same index with a larger capacity.
  virtual Status EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                           size_t* needed = nullptr) = 0;
  // The value named `name` ("" for the default value), data whole.
  virtual Status QueryValue(RegKey& key, std::string_view name, RegValue* value) = 0;
  virtual Status QueryInfoKey(RegKey& key, RegKeyInfo* info) = 0;

  // Creates or replaces a value. Text-type data is UTF-8 (see above).
  virtual Status SetValue(RegKey& key, std::string_view name, uint32_t type,
                          std::span<const uint8_t> data) = 0;
  virtual Status DeleteValue(RegKey& key, std::string_view name) = 0;
  // Deletes the subkey `path` of `parent`, which must have no subkeys of its
  // own (kNotEmpty otherwise, as on Windows NT). kNotFound when missing;
  // kInvalid for the empty path (a key does not delete itself).
  virtual Status DeleteKey(RegKey& parent, std::string_view path) = 0;

  // Saves the key `path` below `root` and everything below it, in the form
  // the system saves keys in (RegSaveKeyExW: on Windows the binary hive
  // format, under Wine its text format; doc/saved_hive_formats.md), and
  // gives the saved file's bytes in *contents. Volatile keys are left out.
  // HKEY_CLASSES_ROOT saves as the machine's classes (kClassesKey below
  // HKEY_LOCAL_MACHINE): the view it shows while the user has no classes of
  // their own (kClassesKey below HKEY_CURRENT_USER empty or missing).
  // The file is a temporary one that is removed before the call returns,
  // whatever happens. Where the process's token holds the backup privilege
  // it is enabled first. kAccessDenied without the right to save, kNotFound
  // when the key is missing, kInvalid where this registry cannot save keys
  // (the default), kIoError when the system cannot save this one (a special
  // hive or view). May be called from a worker; costs one file write and read.
  virtual Status SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) {
    (void)root, (void)path;
    contents->clear();
    return Status(StatusCode::kInvalid);
  }
  // The number of subkeys of the subkey at `index` of `key` (a registry link
  // counts its own, never its target's). Fails as EnumKey does. The default
  // opens the subkey; an implementation may know a cheaper way.
  virtual Status EnumKeySubkeyCount(RegKey& key, uint32_t index, uint32_t* count) {
    std::string name;
    if (Status s = EnumKey(key, index, &name); !s.ok()) return s;
    std::unique_ptr<RegKey> subkey;
    bool is_link = false;
    if (Status s = OpenSubKeyOrLink(key, name, &subkey, &is_link); !s.ok()) return s;
    RegKeyInfo info;
    if (Status s = QueryInfoKey(*subkey, &info); !s.ok()) return s;
    *count = info.subkey_count;
    return Status::Ok();
  }
};

// Helpers built on the interface.

// Opens a root key itself (the empty path).
Status OpenRoot(Registry& registry, RootKey root, KeyAccess access, std::unique_ptr<RegKey>* out);
// Sets a REG_DWORD value (little-endian).
Status SetDword(Registry& registry, RegKey& key, std::string_view name, uint32_t value);
// Sets a REG_SZ value from text (adds the terminating zero).
Status SetString(Registry& registry, RegKey& key, std::string_view name, std::string_view text);
// Text of REG_SZ-like data without its trailing zeros.
std::string DataAsText(std::span<const uint8_t> data);
// Deletes `path` below `parent` with all its subkeys and values.
Status DeleteKeyTree(Registry& registry, RegKey& parent, std::string_view path);

}  // namespace cvn::platform
