// Every message the program looks up must stand in the English template with
// its English text, so that translators start from the complete list. The
// messages are found where the sources ask for them: Translate("RS_...",
// "English text").
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "i18n/data_file.h"
#include "platform/codepage.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

namespace fs = std::filesystem;

struct Lookup {
  std::string id, text, where;
};

// Reads adjacent string literals ("a" "b") at s[i]; false when none is there.
bool ReadLiterals(const std::string& s, size_t& i, std::string* out) {
  const auto skip_space = [&] {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  };
  skip_space();
  if (i >= s.size() || s[i] != '"') return false;
  out->clear();
  while (i < s.size() && s[i] == '"') {
    for (++i; i < s.size() && s[i] != '"'; ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) {
        ++i;
        *out += s[i] == 'n' ? '\n' : s[i] == 't' ? '\t' : s[i];
      } else {
        *out += s[i];
      }
    }
    ++i;
    skip_space();
  }
  return true;
}

void AddLookupsIn(const fs::path& file, std::vector<Lookup>* lookups) {
  std::ifstream in(file);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string s = buffer.str();
  for (size_t at = s.find("Translate("); at != std::string::npos;
       at = s.find("Translate(", at + 1)) {
    size_t i = at + 10;
    Lookup lookup{"", "", file.string()};
    if (!ReadLiterals(s, i, &lookup.id) || !lookup.id.starts_with("RS_")) continue;
    if (i >= s.size() || s[i++] != ',' || !ReadLiterals(s, i, &lookup.text)) continue;
    lookups->push_back(lookup);
  }
}

TEST(TemplateMessagesTest, EveryLookedUpMessageIsInTheTemplate) {
  const fs::path root = CVN_SOURCE_DIR;
  std::vector<Lookup> lookups;
  for (const char* folder :
       {"app", "ui", "i18n", "settings", "platform", "engine", "changes", "uninstall", "tools"}) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".cpp" || ext == ".h") AddLookupsIn(entry.path(), &lookups);
    }
  }
  ASSERT_FALSE(lookups.empty()) << "no Translate(\"RS_...\", ...) found below " << root;

  const std::vector<uint8_t> lng = Compile(
      kEnglishTemplate, [](const std::string&) { return std::optional<std::vector<uint8_t>>(); });
  i18n::TDataFile file("English.lng", lng);
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 0), 1);
  EXPECT_EQ(file.ReadString("*SYSTEM*", "LNG_CODE", ""), "en");
  std::string missing;
  for (const Lookup& l : lookups) {
    if (!file.ValueExists("RESOURCESTRING", l.id)) {
      missing += l.id + " = " + l.text + "   (" + l.where + ")\n";
    } else {
      EXPECT_EQ(platform::CodePageToUtf8(file.ReadString("RESOURCESTRING", l.id, ""), 1252), l.text)
          << l.id << " in " << l.where;
    }
  }
  EXPECT_TRUE(missing.empty()) << "add to [RESOURCESTRING] of tools/lngc/English.source:\n"
                               << missing;
}

}  // namespace
}  // namespace cvn::lngc
