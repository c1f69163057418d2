#include "i18n/language_file_writer.h"

#include "i18n/language_file.h"

namespace cvn::i18n {

LanguageFileWriter& LanguageFileWriter::Section(std::string_view name) {
  sections_.push_back({std::string(name), {}});
  return *this;
}

LanguageFileWriter& LanguageFileWriter::Key(std::string_view name, std::string_view value) {
  if (sections_.empty()) Section("");
  std::vector<uint8_t>& body = sections_.back().body;
  const std::vector<uint8_t> header =
      MakeHeader(kKeyMagic, name, static_cast<int32_t>(value.size()));
  body.insert(body.end(), header.begin(), header.end());
  std::vector<uint8_t> scrambled(value.begin(), value.end());
  Scramble(scrambled);
  body.insert(body.end(), scrambled.begin(), scrambled.end());
  return *this;
}

std::vector<uint8_t> LanguageFileWriter::Build() const {
  std::vector<uint8_t> file;
  for (const SectionData& s : sections_) {
    const std::vector<uint8_t> header =
        MakeHeader(kSectionMagic, s.name, static_cast<int32_t>(s.body.size()));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), s.body.begin(), s.body.end());
  }
  return file;
}

}  // namespace cvn::i18n
