// Writes language files (the program itself only reads them; the
// language-file compiler and the tests write them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cvn::i18n {

class LanguageFileWriter {
 public:
  // Starts a new section; the keys that follow belong to it.
  LanguageFileWriter& Section(std::string_view name);
  // Adds a key with its value (8-bit bytes) to the current section.
  LanguageFileWriter& Key(std::string_view name, std::string_view value);
  // The whole file. Names longer than 36 bytes are cut at 36.
  std::vector<uint8_t> Build() const;

 private:
  struct SectionData {
    std::string name;
    std::vector<uint8_t> body;
  };
  std::vector<SectionData> sections_;
};

}  // namespace cvn::i18n
