// The German and French translations against the English template: each
// compiles, holds exactly the template's keys, and says every text in its own
// words, with the template's access keys, placeholders, line breaks and edge
// spaces. (That the template holds every message the program looks up is
// template_messages_test's part.)
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "i18n/data_file.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/flag_bitmap.h"
#include "tools/lngc/language_source.h"

namespace cvn::lngc {
namespace {

// "section/key" -> value as written in the canonical source (escapes kept),
// without the *SYSTEM* section.
using Texts = std::map<std::string, std::string>;

const std::vector<uint8_t> kFlag = TricolourBitmap(Bands::kVertical, {}, 3, 3);

std::vector<uint8_t> CompileSource(const std::string& source, const std::string& flag_name) {
  return Compile(source, [&](const std::string& name) -> std::optional<std::vector<uint8_t>> {
    if (name == flag_name) return kFlag;
    return std::nullopt;
  });
}

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

struct Translation {
  const char* language;
  const char* code;
  // Keys ("section/key") whose text is rightly the same as the English one.
  std::set<std::string> same_as_english;
};

void PrintTo(const Translation& translation, std::ostream* out) {
  *out << translation.language;
}

class TranslationTest : public ::testing::TestWithParam<Translation> {
 protected:
  void SetUp() override {
    const std::string language = GetParam().language;
    std::ifstream in(
        std::filesystem::path(CVN_SOURCE_DIR) / "tools" / "lngc" / (language + ".source"),
        std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    ASSERT_FALSE(source.str().empty()) << "no tools/lngc/" << language << ".source";
    ASSERT_NO_THROW(lng_ = CompileSource(source.str(), language + ".flag.bmp"));
    texts_ = TextsOf(lng_);
  }

  std::vector<uint8_t> lng_;
  Texts texts_;
};

TEST_P(TranslationTest, HoldsTheTemplatesKeysSayingEachInItsOwnWordsWithItsMarks) {
  const Texts english = TextsOf(CompileSource(std::string(kEnglishTemplate), ""));
  const auto keys_of = [](const Texts& texts) {
    std::set<std::string> keys;
    for (const auto& [key, text] : texts) keys.insert(key);
    return keys;
  };
  EXPECT_EQ(keys_of(texts_), keys_of(english));
  // The code that names the language's help file; the character set and the
  // flag are the shipped-translations test's part.
  EXPECT_EQ(i18n::TDataFile("x.lng", lng_).ReadString("*SYSTEM*", "LNG_CODE", ""), GetParam().code);
  for (const auto& [key, english_text] : english) {
    const std::string& text = texts_[key];
    SCOPED_TRACE(key + " = " + text);
    if (GetParam().same_as_english.count(key)) {
      EXPECT_EQ(text, english_text) << "no longer English: drop it from the list";
    } else if (!english_text.empty()) {
      EXPECT_NE(text, english_text) << "still English";
    }
    if (Count(english_text, "&") > 0) {
      EXPECT_EQ(Count(text, "&"), Count(english_text, "&")) << "access keys";
    }
    for (const char* mark : {"%s", "\\n"}) EXPECT_EQ(Count(text, mark), Count(english_text, mark));
    EXPECT_EQ(text.starts_with("\\s"), english_text.starts_with("\\s")) << "leading space";
    EXPECT_EQ(text.ends_with("\\s"), english_text.ends_with("\\s")) << "trailing space";
    EXPECT_EQ(text.empty(), english_text.empty());
  }
}

TEST_P(TranslationTest, AccessKeysOfTheMainWindowAreUnique) {
  // Exit and Stop, which take turns on one button, are messages and not listed here.
  std::map<char, std::string> used;
  for (const auto& [key, text] : texts_) {
    const size_t amp = text.find('&');
    if (!key.starts_with("frmCvnMain/") || amp == std::string::npos || amp + 1 >= text.size())
      continue;
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[amp + 1])));
    EXPECT_FALSE(used.count(letter)) << key << " and " << used[letter] << " share &" << letter;
    used[letter] = key;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TranslationTest,
    ::testing::Values(Translation{"German",
                                  "de",
                                  {"frmCvnMain/Caption", "dlgAboutCvn/lblVersion.Caption",
                                   "RESOURCESTRING/RS_DLG_OK", "RESOURCESTRING/RS_NAME"}},
                      Translation{"French",
                                  "fr",
                                  {"frmCvnMain/Caption", "dlgAboutCvn/lblVersion.Caption",
                                   "RESOURCESTRING/RS_DLG_OK", "RESOURCESTRING/RS_DLG_INF",
                                   "frmCvnMain/btnOptions.Caption"}}),
    [](const ::testing::TestParamInfo<Translation>& info) {
      return std::string(info.param.language);
    });

}  // namespace
}  // namespace cvn::lngc
