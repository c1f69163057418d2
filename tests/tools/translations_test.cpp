// The German and French translations against the English template: each
// compiles, holds exactly the template's sections and keys, and says every
// text in its own words, with the template's access keys, placeholders and
// line breaks.
#include <gtest/gtest.h>

#include <algorithm>
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

namespace fs = std::filesystem;

// The messages the program looks up, all of which every language must say.
constexpr const char* kMessageIds[] = {
    "RS_ABORT_SCANNING",
    "RS_AFTER",
    "RS_ASK_CANCEL_ALL",
    "RS_ASK_CANCEL_MONIT",
    "RS_ASK_REMOVE_BRANCH",
    "RS_ASK_SAVE",
    "RS_ASK_UNINSTALL",
    "RS_BEFORE",
    "RS_BYTES",
    "RS_CANCEL",
    "RS_CANT_EXECUTE",
    "RS_CHANGES",
    "RS_CHOOSE_IDENTIFIER",
    "RS_CLEAR_LOG",
    "RS_COMPLETE",
    "RS_CREATED",
    "RS_CREATE_REG_KEY",
    "RS_CREATE_REG_KEYS",
    "RS_CREATE_REG_VAL",
    "RS_CREATE_REG_VALS",
    "RS_DEFAULT",
    "RS_DELETE_FAILED",
    "RS_DEL_FILE",
    "RS_DEL_FILES",
    "RS_DEL_FOLDER",
    "RS_DEL_FOLDERS",
    "RS_DEL_REG_KEY",
    "RS_DEL_REG_KEYS",
    "RS_DEL_REG_VAL",
    "RS_DEL_REG_VALS",
    "RS_DETECT_MOVED",
    "RS_DET_CHANGES",
    "RS_DLG_ABORT",
    "RS_DLG_ALL",
    "RS_DLG_CANCEL",
    "RS_DLG_CNF",
    "RS_DLG_ERR",
    "RS_DLG_IGNORE",
    "RS_DLG_INF",
    "RS_DLG_NO",
    "RS_DLG_NOTOALL",
    "RS_DLG_OK",
    "RS_DLG_RETRY",
    "RS_DLG_WRN",
    "RS_DLG_YES",
    "RS_DLG_YESTOALL",
    "RS_ENTER_IDENTIFIER",
    "RS_ERR",
    "RS_ERR_COUNTER_DEL",
    "RS_ERR_FILE_USED",
    "RS_ERR_HAS_SUBKEY",
    "RS_ERR_NOT_EMPTY",
    "RS_ERR_SAVING",
    "RS_ERR_SHARED_DEL",
    "RS_EXIT",
    "RS_EXIT_MANUAL_RUN",
    "RS_EXPORT_ERROR",
    "RS_FAIL_NOT_FND",
    "RS_FILE",
    "RS_FILE_SYSTEM",
    "RS_FLD_CONT_EXCLUDED",
    "RS_FLD_EXCLUDED",
    "RS_FOLDER",
    "RS_FS_NO_CHG",
    "RS_IGN_REG_KEY",
    "RS_INCREMENTED",
    "RS_INSTALLING",
    "RS_INV_FILE_FORMAT",
    "RS_INV_PATH",
    "RS_KEY_PATH",
    "RS_LAST_USED",
    "RS_LOADING_CHG",
    "RS_MOVED_DEST",
    "RS_MOVED_SOURCE",
    "RS_MY_COMPUTER",
    "RS_NAME",
    "RS_NEW_NAME",
    "RS_NEXT_RESCAN",
    "RS_NEXT_RESCAN_CONT",
    "RS_NEXT_UNINSTALL",
    "RS_OK",
    "RS_OK_SKIPPED",
    "RS_PAGE",
    "RS_PRINT_ERROR",
    "RS_REGISTRY",
    "RS_REG_KEY",
    "RS_REG_NO_CHG",
    "RS_REG_VAL",
    "RS_REMOVE_ITEM",
    "RS_REM_SHARED",
    "RS_REM_SHAREDS",
    "RS_RENAME",
    "RS_RENAME_FAILED",
    "RS_RESCAN_ABORTED",
    "RS_RESTORE_REG_VAL",
    "RS_RESTORE_REG_VALS",
    "RS_SCAN_ABORTED",
    "RS_SCAN_FS",
    "RS_SCAN_REG",
    "RS_SEARCH_FS",
    "RS_SEARCH_REG",
    "RS_SELECT_TARGETS",
    "RS_SETUP_PATH",
    "RS_SH_INC",
    "RS_STOP",
    "RS_STOP_UNINSTALL",
    "RS_UNINSTALLING",
    "RS_UNINST_COMPLETE",
    "RS_UNINST_NO_ERR",
    "RS_UNINST_STOPPED",
    "RS_UPD_SHARED",
    "RS_UPD_SHAREDS",
    "RS_USES",
    "RS_ZERO_LENGTH_DATA",
};

// section -> key -> value as written in the canonical source (escapes kept)
using Texts = std::map<std::string, std::map<std::string, std::string>>;

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
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line.substr(1, line.size() - 2);
      texts[section];
      continue;
    }
    const size_t eq = line.find(" = ");
    texts[section][line.substr(0, eq)] = line.substr(eq + 3);
  }
  return texts;
}

std::string ReadSource(const std::string& language) {
  std::ifstream in(fs::path(CVN_SOURCE_DIR) / "tools" / "lngc" / (language + ".source"),
                   std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    ++n;
  return n;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}
bool EndsWith(const std::string& s, const char* suffix) {
  const std::string end(suffix);
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
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
    const std::string source = ReadSource(language);
    ASSERT_FALSE(source.empty()) << "no tools/lngc/" << language << ".source";
    ASSERT_NO_THROW(lng_ = CompileSource(source, language + ".flag.bmp"));
    texts_ = TextsOf(lng_);
    english_ = TextsOf(CompileSource(std::string(kEnglishTemplate), ""));
  }

  std::vector<uint8_t> lng_;
  Texts texts_;
  Texts english_;
};

TEST_P(TranslationTest, SystemSectionNamesTheWesternCodePageTheFlagAndTheLanguageCode) {
  i18n::TDataFile file(std::string(GetParam().language) + ".lng", lng_);
  EXPECT_EQ(file.ReadInteger("*SYSTEM*", "CHARSET", -1), 0);
  EXPECT_EQ(file.ReadString("*SYSTEM*", "LNG_CODE", ""), GetParam().code);
  EXPECT_EQ(file.ReadValue("*SYSTEM*", "FLAG"), kFlag);
}

TEST_P(TranslationTest, HoldsExactlyTheSectionsAndKeysOfTheTemplate) {
  for (const auto& [section, keys] : english_) {
    if (section == "*SYSTEM*") continue;
    SCOPED_TRACE(section);
    ASSERT_TRUE(texts_.count(section)) << "section missing";
    for (const auto& [key, text] : keys)
      EXPECT_TRUE(texts_[section].count(key)) << "missing " << key;
    for (const auto& [key, text] : texts_[section])
      EXPECT_TRUE(keys.count(key)) << "not in the template: " << key;
  }
  for (const auto& [section, keys] : texts_)
    EXPECT_TRUE(english_.count(section)) << "extra section " << section;
}

TEST_P(TranslationTest, SaysEveryMessageOfTheProgram) {
  const std::map<std::string, std::string>& messages = texts_["RESOURCESTRING"];
  for (const char* id : kMessageIds) {
    EXPECT_TRUE(english_["RESOURCESTRING"].count(id)) << id << " missing in the template";
    EXPECT_TRUE(messages.count(id)) << id;
  }
}

TEST_P(TranslationTest, TextsAreTranslated) {
  for (const auto& [section, keys] : english_) {
    if (section == "*SYSTEM*" || !texts_.count(section)) continue;
    for (const auto& [key, english] : keys) {
      const auto found = texts_[section].find(key);
      if (found == texts_[section].end() || english.empty()) continue;
      const bool may_stay = GetParam().same_as_english.count(section + "/" + key) > 0;
      if (may_stay) {
        EXPECT_EQ(found->second, english)
            << section << "/" << key << " is no longer English: drop it from the list";
      } else {
        EXPECT_NE(found->second, english) << section << "/" << key << " is still English";
      }
    }
  }
}

TEST_P(TranslationTest, KeepsAccessKeysPlaceholdersLineBreaksAndEdgeSpaces) {
  for (const auto& [section, keys] : english_) {
    if (section == "*SYSTEM*" || !texts_.count(section)) continue;
    for (const auto& [key, english] : keys) {
      const auto found = texts_[section].find(key);
      if (found == texts_[section].end()) continue;
      const std::string& text = found->second;
      SCOPED_TRACE(section + "/" + key + " = " + text);
      if (Count(english, "&") > 0) {
        EXPECT_EQ(Count(text, "&"), Count(english, "&")) << "access keys";
      }
      EXPECT_EQ(Count(text, "%s"), Count(english, "%s")) << "placeholders";
      EXPECT_EQ(Count(text, "\\n"), Count(english, "\\n")) << "line breaks";
      EXPECT_EQ(StartsWith(text, "\\s"), StartsWith(english, "\\s")) << "leading space";
      EXPECT_EQ(EndsWith(text, "\\s"), EndsWith(english, "\\s")) << "trailing space";
      EXPECT_EQ(text.empty(), english.empty());
    }
  }
}

TEST_P(TranslationTest, AccessKeysOfTheMainWindowAreUnique) {
  // Exit and Stop, which take turns on one button, are messages and not listed here.
  std::map<char, std::string> used;
  for (const auto& [key, text] : texts_["frmCvnMain"]) {
    const size_t amp = text.find('&');
    if (amp == std::string::npos || amp + 1 >= text.size()) continue;
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
