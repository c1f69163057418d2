// The German and French translations against the English template: each
// compiles, holds exactly the template's keys, with the template's access
// keys, placeholders, line breaks and edge spaces, and no two items of the
// main window share an access key. (That the template holds every message
// the program looks up is template_messages_test's part.)
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "i18n/language_file.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/flag_bitmap.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

// "section/key" -> value as written in the canonical source (escapes kept),
// without the *SYSTEM* section.
using Texts = std::map<std::string, std::string>;

// The texts of a compiled file, read back through its canonical source.
Texts TextsOf(const std::vector<uint8_t>& lng) {
  Texts texts;
  std::istringstream source(Decompile(lng, "flag.bmp").source);
  std::string line, section;
  while (std::getline(source, line)) {
    if (line.starts_with("[")) {
      section = line.substr(1, line.size() - 2);
    } else if (const size_t eq = line.find(" = ");
               eq != std::string::npos && section != "*SYSTEM*") {
      texts[section + "/" + line.substr(0, eq)] = line.substr(eq + 3);
    }
  }
  return texts;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++n;
  return n;
}

using Translation = std::pair<const char*, const char*>;  // language, language code

class TranslationTest : public ::testing::TestWithParam<Translation> {};

TEST_P(TranslationTest, HoldsTheTemplatesKeysWithItsMarksAndUniqueAccessKeys) {
  const auto [language, code] = GetParam();
  std::stringstream source;
  source << std::ifstream(std::filesystem::path(CVN_SOURCE_DIR) / "tools" / "lngc" /
                              (std::string(language) + ".source"),
                          std::ios::binary)
                .rdbuf();
  std::vector<uint8_t> lng;
  const std::string flag = std::string(language) + ".flag.bmp";
  ASSERT_NO_THROW(lng = Compile(source.str(), [&](const std::string& name) {
                    return name == flag ? std::optional(TricolourBitmap(Bands::kVertical, {}, 3, 3))
                                        : std::nullopt;
                  }));
  // The code names the language's help file; the character set and the flag
  // are the shipped-translations test's part.
  EXPECT_EQ(i18n::LanguageFile("x.lng", lng).ReadString("*SYSTEM*", "LNG_CODE", ""), code);
  Texts texts = TextsOf(lng);
  const Texts english = TextsOf(Compile(std::string(kEnglishTemplate), [](const std::string&) {
    return std::optional<std::vector<uint8_t>>();
  }));
  EXPECT_EQ(texts.size(), english.size());
  for (const auto& [key, english_text] : english) {
    ASSERT_TRUE(texts.count(key)) << key << " is missing";
    const std::string& text = texts[key];
    SCOPED_TRACE(key + " = " + text);
    if (Count(english_text, "&") > 0) {
      EXPECT_EQ(Count(text, "&"), Count(english_text, "&")) << "access keys";
    }
    for (const char* mark : {"%s", "\\n"}) EXPECT_EQ(Count(text, mark), Count(english_text, mark));
    EXPECT_EQ(text.starts_with("\\s"), english_text.starts_with("\\s")) << "leading space";
    EXPECT_EQ(text.ends_with("\\s"), english_text.ends_with("\\s")) << "trailing space";
    EXPECT_EQ(text.empty(), english_text.empty());
  }
  // Access keys must differ among what is on screen at once: each page's
  // controls with the buttons below every page, and each menu's items among
  // themselves. Exit and Stop, which take turns on one button, are messages
  // and not counted here. A control not listed counts on every page.
  static const std::map<std::string_view, const char*> kPageOf = {
      {"rbInstall", "first"},   {"rbUninstall", "first"}, {"btnOptions", "first"},
      {"SWin", "targets"},      {"SProg", "targets"},     {"SRest", "targets"},
      {"cbOthers", "targets"},  {"rbUna", "run"},         {"btnBrowse", "run"},
      {"rbMulte", "run"},       {"rbStarted", "run"},     {"btnSave", "tree"},
      {"btnPrint", "tree"},     {"btnExport", "tree"},    {"btnExpand", "tree"},
      {"btnCollapse", "tree"},  {"sbString", "tree"},     {"sbHexa", "tree"},
      {"pmiRestore", "tray menu"}, {"pmiExit", "tray menu"},
      {"pmiDelete", "list menu"}, {"pmiRename", "list menu"}, {"pmiUndoUninstall", "list menu"},
      {"pmiWhatsThis", "help menu"}};
  const auto groups_of = [](std::string_view key) -> std::vector<std::string> {
    const std::string_view name = key.substr(key.find('/') + 1, key.find('.') - key.find('/') - 1);
    if (const auto page = kPageOf.find(name); page != kPageOf.end()) return {page->second};
    if (name.starts_with("pmi")) return {"tree menu"};
    return {"first", "targets", "run", "tree", "log"};
  };
  std::map<std::string, std::map<char, std::string>> used;
  for (const auto& [key, text] : texts) {
    const size_t amp = text.find('&');
    if (!key.starts_with("frmCvnMain/") || amp == std::string::npos || amp + 1 >= text.size())
      continue;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[amp + 1])));
    for (const std::string& group : groups_of(key)) {
      EXPECT_FALSE(used[group].count(letter))
          << key << " and " << used[group][letter] << " share &" << letter;
      used[group][letter] = key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslationTest,
                         ::testing::Values(Translation{"English", "en"}, Translation{"German", "de"},
                                           Translation{"French", "fr"}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace cvn::lngc
