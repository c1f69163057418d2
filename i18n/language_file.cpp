#include "i18n/language_file.h"

#include <cstring>

#include "platform/text.h"

namespace cvn::i18n {

void Scramble(std::span<uint8_t> bytes) {
  for (size_t k = 0; k < bytes.size(); ++k)
    bytes[k] ^= static_cast<uint8_t>(kScrambleKey[k % kScrambleKey.size()]);
}

namespace {

uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> MakeHeader(uint32_t magic, std::string_view name, int32_t length) {
  std::vector<uint8_t> header(kHeaderSize, 0);
  WriteLe32(header.data(), magic);
  std::memcpy(header.data() + 4, name.data(), std::min(name.size(), kNameSize));
  WriteLe32(header.data() + 40, static_cast<uint32_t>(length));
  Scramble(header);
  return header;
}

LanguageFile::LanguageFile(platform::FileSystem& fs, std::string file_name)
    : file_name_(std::move(file_name)) {
  // A missing file is simply empty; it is not created, so that a lookup
  // never leaves a language without texts behind.
  if (!fs.ReadFile(file_name_, &data_).ok()) data_.clear();
}

LanguageFile::LanguageFile(std::string file_name, std::vector<uint8_t> data)
    : file_name_(std::move(file_name)), data_(std::move(data)) {}

std::optional<Header> LanguageFile::ReadHeader() {
  if (data_.size() - position_ < kHeaderSize) return std::nullopt;
  uint8_t raw[kHeaderSize];
  std::memcpy(raw, data_.data() + position_, kHeaderSize);
  position_ += kHeaderSize;
  Scramble(raw);
  Header header;
  header.magic = ReadLe32(raw);
  const char* name = reinterpret_cast<const char*>(raw + 4);
  header.name.assign(name, strnlen(name, kNameSize));
  header.length = static_cast<int32_t>(ReadLe32(raw + 40));
  return header;
}

bool LanguageFile::Skip(int32_t length) {
  if (length < 0 || static_cast<size_t>(length) > data_.size() - position_) return false;
  position_ += static_cast<size_t>(length);
  return true;
}

bool LanguageFile::FindSection(std::string_view section, size_t* body_length) {
  position_ = 0;
  while (std::optional<Header> header = ReadHeader()) {
    if (header->magic != kSectionMagic) throw InvalidFileFormat();
    if (text::EqualsNoCase(header->name, section)) {
      // A body is never longer than what is left of the file.
      const size_t left = data_.size() - position_;
      if (body_length != nullptr)
        *body_length = header->length < 0 ? 0 : std::min(static_cast<size_t>(header->length), left);
      return true;
    }
    if (!Skip(header->length)) return false;
  }
  return false;
}

bool LanguageFile::FindKey(std::string_view section, std::string_view key, Header* key_header) {
  size_t body_length = 0;
  if (!FindSection(section, &body_length)) return false;
  const size_t body_end = position_ + body_length;
  while (position_ < body_end) {
    std::optional<Header> header = ReadHeader();
    if (!header) return false;
    if (header->magic != kKeyMagic) throw InvalidFileFormat();
    if (text::EqualsNoCase(header->name, key)) {
      if (header->length < 0 || static_cast<size_t>(header->length) > data_.size() - position_)
        throw InvalidFileFormat();  // a value that runs past the end of the file
      if (key_header != nullptr) *key_header = *header;
      return true;
    }
    if (!Skip(header->length)) return false;
  }
  return false;
}

std::vector<std::string> LanguageFile::ReadSectionKeys(std::string_view section) {
  std::vector<std::string> keys;
  size_t body_length = 0;
  if (!FindSection(section, &body_length)) return keys;
  const size_t body_end = position_ + body_length;
  while (position_ < body_end) {
    std::optional<Header> header = ReadHeader();
    if (!header || header->magic != kKeyMagic) throw InvalidFileFormat();
    keys.push_back(header->name);
    if (!Skip(header->length)) throw InvalidFileFormat();
  }
  return keys;
}

bool LanguageFile::ValueExists(std::string_view section, std::string_view key) {
  return FindKey(section, key);
}

std::optional<std::vector<uint8_t>> LanguageFile::ReadValue(std::string_view section,
                                                            std::string_view key) {
  Header header;
  if (!FindKey(section, key, &header)) return std::nullopt;
  std::vector<uint8_t> value(data_.begin() + static_cast<ptrdiff_t>(position_),
                             data_.begin() + static_cast<ptrdiff_t>(position_ + header.length));
  Scramble(value);
  return value;
}

std::string LanguageFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) {
  std::optional<std::vector<uint8_t>> value = ReadValue(section, key);
  if (!value) return std::string(fallback);
  return std::string(value->begin(), value->end());
}

int32_t LanguageFile::ReadInteger(std::string_view section, std::string_view key,
                                  int32_t fallback) {
  std::optional<std::vector<uint8_t>> value = ReadValue(section, key);
  if (!value || value->size() < 4) return fallback;
  return static_cast<int32_t>(ReadLe32(value->data()));
}

}  // namespace cvn::i18n
