// LanguageFile: the reader of language files.
//
// A language file is a sequence of sections; a section is a 44-byte header
// (magic "SSSS", a 36-byte name, the body length) and a body of keys; a key
// is a 44-byte header (magic "VVVV", a 36-byte name, the value length) and
// the value. Every header and every value is scrambled on its own with a
// fixed key (see doc/language_file_format.md). Names match without regard to
// case. The reader holds the whole file in memory and never reads past it,
// whatever the file holds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace cvn::i18n {

inline constexpr std::string_view kScrambleKey = "Rk3$Wb9!mTq2Zx#Lc8&Hv5@Np1*Jd4";
inline constexpr uint32_t kSectionMagic = 0x53535353;  // "SSSS"
inline constexpr uint32_t kKeyMagic = 0x56565656;      // "VVVV"
inline constexpr size_t kHeaderSize = 44;
inline constexpr size_t kNameSize = 36;

// XORs byte k of `bytes` with byte k mod 30 of the key; its own inverse.
void Scramble(std::span<uint8_t> bytes);

// A header whose magic is wrong, or a body that ends inside a header.
class InvalidFileFormat : public std::runtime_error {
 public:
  InvalidFileFormat() : std::runtime_error("Invalid file format.") {}
};

struct Header {
  uint32_t magic = 0;
  std::string name;
  int32_t length = 0;
};

// Builds one scrambled header (for writers and tests).
std::vector<uint8_t> MakeHeader(uint32_t magic, std::string_view name, int32_t length);

class LanguageFile {
 public:
  // Reads the whole file; a file that is missing or cannot be read holds no data.
  LanguageFile(platform::FileSystem& fs, std::string file_name);
  // Over bytes already in memory.
  LanguageFile(std::string file_name, std::vector<uint8_t> data);

  const std::string& FileName() const { return file_name_; }

  // Each of these throws InvalidFileFormat at a header with a wrong magic.
  bool FindSection(std::string_view section, size_t* body_length = nullptr);
  bool FindKey(std::string_view section, std::string_view key, Header* key_header = nullptr);
  // Every key name of the section in file order; empty when it is missing.
  std::vector<std::string> ReadSectionKeys(std::string_view section);
  bool ValueExists(std::string_view section, std::string_view key);
  // The unscrambled value, or empty when the key is missing.
  std::optional<std::vector<uint8_t>> ReadValue(std::string_view section, std::string_view key);
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback);
  // The first 4 bytes of the value (little-endian); the fallback when the key
  // is missing or its value is shorter.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback);

 private:
  // Reads and unscrambles the header at the position; empty when fewer than
  // 44 bytes are left.
  std::optional<Header> ReadHeader();
  // Skips `length` bytes; false when that would leave the data.
  bool Skip(int32_t length);

  std::string file_name_;
  std::vector<uint8_t> data_;
  size_t position_ = 0;
};

}  // namespace cvn::i18n
