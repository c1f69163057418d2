// The registry on the real Win32 API (the W functions).
//
// Names and paths are converted between UTF-8 and UTF-16 (see wide_text.h).
// The data of the string types is converted as one whole buffer, terminating
// zeros included: the UTF-16 "ab\0" comes back as the three bytes "ab\0", and
// "ab\0" given to SetValue is stored as the UTF-16 "ab\0". Two system rules
// show through: text given without its terminating zero is stored with one
// (RegSetValueExW adds it), and stored string data of odd length loses its
// last byte, which has no UTF-16 form. Data of the other types is passed
// through as raw bytes.
//
// Keys: each RegKey returned holds an HKEY that it closes when destroyed,
// except a root opened with the empty path, which stands for the predefined
// handle and never closes it. A RegKey keeps the buffers its enumeration
// reuses, so it belongs to one thread (as the interface says); the Registry
// itself holds no state and may be shared. Passing a key that another
// Registry implementation made gives kInvalid.
//
// Where the bare API differs from the interface, this class follows the
// interface:
// - DeleteKey on a key that still has subkeys gives kNotEmpty (the system
//   reports access denied); an empty path gives kInvalid rather than deleting
//   the parent itself.
// - EnumValue's capacity and *needed count the bytes of the data as delivered
//   (UTF-8 for text), whatever the system's own size.
// - QueryInfoKey's max_value_data_size is an upper bound: the system's largest
//   stored size, grown to cover the longest UTF-8 form a text value of that
//   size can take (3 bytes for every 2).
#pragma once

#include "platform/registry.h"

namespace cvn::platform::win32 {

class Win32Registry final : public Registry {
 public:
  Status OpenKey(RootKey root, std::string_view path, KeyAccess access,
                 std::unique_ptr<RegKey>* out) override;
  Status OpenSubKey(RegKey& parent, std::string_view path, KeyAccess access,
                    std::unique_ptr<RegKey>* out) override;
  Status OpenSubKeyOrLink(RegKey& parent, std::string_view name, std::unique_ptr<RegKey>* out,
                          bool* is_link) override;
  std::string CurrentUserHiveName() override;
  Status CreateKey(RootKey root, std::string_view path, KeyAccess access,
                   std::unique_ptr<RegKey>* out, bool* created = nullptr) override;

  Status EnumKey(RegKey& key, uint32_t index, std::string* name) override;
  Status EnumValue(RegKey& key, uint32_t index, size_t data_capacity, RegValue* value,
                   size_t* needed = nullptr) override;
  Status QueryValue(RegKey& key, std::string_view name, RegValue* value) override;
  Status QueryInfoKey(RegKey& key, RegKeyInfo* info) override;

  Status SetValue(RegKey& key, std::string_view name, uint32_t type,
                  std::span<const uint8_t> data) override;
  Status DeleteValue(RegKey& key, std::string_view name) override;
  Status DeleteKey(RegKey& parent, std::string_view path) override;

  // RegSaveKeyExW (REG_LATEST_FORMAT) into a file of the temporary folder,
  // read back and deleted before returning; the backup privilege is enabled
  // first where the token holds it.
  Status SaveKey(RootKey root, std::string_view path, std::vector<uint8_t>* contents) override;
  // One NtEnumerateKey call (the subkey's full information) instead of
  // opening the subkey; below a predefined root, the interface's default.
  Status EnumKeySubkeyCount(RegKey& key, uint32_t index, uint32_t* count) override;
};

}  // namespace cvn::platform::win32
