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

#include "i18n/data_file.h"
#include "platform/codepage.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

namespace fs = std::filesystem;

// Reads adjacent string literals ("a" "b") at s[i]; empty when none is there.
std::optional<std::string> ReadLiterals(const std::string& s, size_t& i) {
  const auto skip_space = [&] {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  };
  skip_space();
  if (i >= s.size() || s[i] != '"') return std::nullopt;
  std::string out;
  while (i < s.size() && s[i] == '"') {
    for (++i; i < s.size() && s[i] != '"'; ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) {
        ++i;
        out += s[i] == 'n' ? '\n' : s[i] == 't' ? '\t' : s[i];
      } else {
        out += s[i];
      }
    }
    ++i;
    skip_space();
  }
  return out;
}

TEST(TemplateMessagesTest, EveryLookedUpMessageIsInTheTemplate) {
  i18n::TDataFile file("English.lng", Compile(kEnglishTemplate, [](const std::string&) {
                         return std::optional<std::vector<uint8_t>>();
                       }));
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 0), 1);
  EXPECT_EQ(file.ReadString("*SYSTEM*", "LNG_CODE", ""), "en");
  const fs::path root = CVN_SOURCE_DIR;
  int lookups = 0;
  std::string missing;
  for (const char* folder :
       {"app", "ui", "i18n", "settings", "platform", "engine", "changes", "uninstall", "tools"}) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      std::stringstream buffer;
      buffer << std::ifstream(entry.path()).rdbuf();
      const std::string s = buffer.str();
      for (size_t at = s.find("Translate("); at != std::string::npos;
           at = s.find("Translate(", at + 1)) {
        size_t i = at + 10;
        const std::optional<std::string> id = ReadLiterals(s, i);
        if (!id || !id->starts_with("RS_") || i >= s.size() || s[i++] != ',') continue;
        const std::optional<std::string> text = ReadLiterals(s, i);
        if (!text) continue;
        ++lookups;
        if (!file.ValueExists("RESOURCESTRING", *id)) {
          missing += *id + " = " + *text + "   (" + entry.path().string() + ")\n";
        } else {
          EXPECT_EQ(platform::CodePageToUtf8(file.ReadString("RESOURCESTRING", *id, ""), 1252),
                    *text)
              << *id << " in " << entry.path();
        }
      }
    }
  }
  EXPECT_GT(lookups, 0) << "no Translate(\"RS_...\", ...) found below " << root;
  EXPECT_TRUE(missing.empty()) << "add to [RESOURCESTRING] of tools/lngc/English.source:\n"
                               << missing;
}

}  // namespace
}  // namespace cvn::lngc
