// Every message the program looks up must stand in the English template with
// its English text, so that translators start from the complete list. The
// messages are found where the sources ask for them: Translate("RS_...",
// "English text"), or the wizard's Text("RS_...", "English text").
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "i18n/language_file.h"
#include "platform/codepage.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

namespace fs = std::filesystem;

// A literal's text: \n and \t stand for themselves, any other escape for its
// character.
std::string Unescape(const std::string& literal) {
  std::string out;
  for (size_t i = 0; i < literal.size(); ++i) {
    const bool escape = literal[i] == '\\' && i + 1 < literal.size();
    const char c = literal[escape ? ++i : i];
    out += !escape ? c : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

TEST(TemplateMessagesTest, EveryLookedUpMessageIsInTheTemplate) {
  i18n::LanguageFile file("English.lng", Compile(kEnglishTemplate, [](const std::string&) {
                         return std::optional<std::vector<uint8_t>>();
                       }));
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", 0), 1);
  EXPECT_EQ(file.ReadString("*SYSTEM*", "LNG_CODE", ""), "en");
  const fs::path root = CVN_SOURCE_DIR;
  const std::regex lookup(R"re((?:Translate|Text)\(\s*"(RS_\w+)"\s*,\s*"((?:[^"\\]|\\.)*)"\s*\))re");
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
      for (std::sregex_iterator m(s.begin(), s.end(), lookup), end; m != end; ++m) {
        const std::string id = (*m)[1], text = Unescape((*m)[2]);
        ++lookups;
        if (!file.ValueExists("RESOURCESTRING", id)) {
          missing += id + " = " + text + "   (" + entry.path().string() + ")\n";
        } else {
          EXPECT_EQ(platform::CodePageToUtf8(file.ReadString("RESOURCESTRING", id, ""), 1252), text)
              << id << " in " << entry.path();
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
