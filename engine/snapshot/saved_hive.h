// A registry key saved to a file by the system (RegSaveKeyExW), read back as
// the registry's own enumeration would have shown it: the same key and value
// names, types and data, in the same order. Windows writes the binary hive
// format ("regf"), Wine its text format ("WINE REGISTRY Version 2");
// doc/saved_hive_formats.md gives the grammar of both.
//
// What a saved file gives is what the platform layer delivers: names in
// UTF-8; the data of the text types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
// converted from UTF-16 to UTF-8 as one buffer, terminating zeros included
// and an odd last byte dropped; other data raw.
//
// Parsing checks the whole file once, every value decoded, and throws
// SavedHiveError on anything it cannot read; a SavedHive that was made is
// then read without any further failure. Asked to check the keys only, it
// leaves the values to ReadValues, which then throws SavedHiveError itself.
// No parser reads past its data, whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/snapshot/arena.h"

namespace cvn::snapshot {

// A saved file that is damaged or in a form this reader does not know.
class SavedHiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One key of a saved file. The saved key itself is the root, named "".
struct SavedKey {
  std::string_view name;                  // UTF-8
  const SavedKey* first_child = nullptr;  // subkeys in the registry's enumeration order
  const SavedKey* next = nullptr;         // next sibling
  uint32_t child_count = 0;
  bool link = false;  // a registry link: its only value names the target
  // Where the format keeps the key's values (offsets into the file).
  size_t values_begin = 0;
  size_t values_end = 0;
};

// Receives a key's values, in their order.
class SavedValueSink {
 public:
  virtual ~SavedValueSink() = default;
  virtual void Value(std::string_view name, uint32_t type, std::span<const uint8_t> data) = 0;
};

class SavedHive {
 public:
  virtual ~SavedHive() = default;
  // Every key's values decoded once into a sink that keeps nothing: a file
  // that passes this reads without failure afterwards. Throws SavedHiveError.
  void CheckAllValues();
  const SavedKey& Root() const { return *root_; }
  // Passes the values of `key` (a key of this hive) to `sink`. The texts and
  // data passed are valid during the call only. Throws SavedHiveError on a
  // damaged value unless CheckAllValues passed.
  virtual void ReadValues(const SavedKey& key, SavedValueSink& sink) const = 0;
  // Keys and values in the file, for measurements and checks (counted by
  // CheckAllValues).
  size_t KeyCount() const { return key_count_; }
  size_t ValueCount() const { return value_count_; }

 protected:
  Arena arena_;
  SavedKey* root_ = nullptr;
  size_t key_count_ = 0;
  size_t value_count_ = 0;
};

enum class SavedHiveFormat { kUnknown, kWineText, kRegf };
// How much parsing checks: the whole file, or its keys only.
enum class SavedHiveCheck { kWhole, kKeysOnly };
// The format the first bytes announce.
SavedHiveFormat DetectSavedHiveFormat(std::span<const uint8_t> bytes);

// Parses a saved file of either format. The hive refers to `bytes`, which
// must outlive it. Throws SavedHiveError.
std::unique_ptr<SavedHive> ParseSavedHive(std::span<const uint8_t> bytes,
                                          SavedHiveCheck check = SavedHiveCheck::kWhole);

namespace saved_hive_detail {
// UTF-16 code units to UTF-8 as the platform converts them: a pair of
// surrogates is one code point, a lone surrogate keeps its three-byte form.
void AppendUtf16AsUtf8(std::span<const char16_t> units, std::string& out);
// Little-endian UTF-16 bytes (an odd last byte ignored) to UTF-8.
void AppendUtf16LeBytesAsUtf8(std::span<const uint8_t> bytes, std::string& out);
}  // namespace saved_hive_detail

}  // namespace cvn::snapshot
