// The English template that translators start from must name every text of
// every window exactly as the window shows it, and nothing that is gone.
#include <map>
#include <string>

#include "i18n/data_file.h"
#include "platform/codepage.h"
#include "tests/ui/ui_test_util.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/language_source.h"
#include "ui/about_dialog.h"
#include "ui/input_text_dialog.h"

namespace cvn::ui {
namespace {

// Every non-empty text property of the form and its components stands in
// the form's section of the template with the same text, and every key of
// that section names a text the form has.
void ExpectTemplateDescribes(const Form& form) {
  SCOPED_TRACE(form.name());
  i18n::TDataFile file("English.lng", lngc::Compile(lngc::kEnglishTemplate, [](const std::string&) {
                         return std::optional<std::vector<uint8_t>>();
                       }));
  const std::string section = form.name();
  std::map<std::string, std::string> shown = {{"Caption", form.Caption()}};  // key -> text
  for (const auto& component : form.components()) {
    for (const char* property : {"Caption", "Text", "Hint"}) {
      std::optional<std::string> text = component->GetProperty(property);
      if (text && !text->empty()) shown[component->name() + "." + property] = *text;
    }
  }
  std::string missing;
  for (const auto& [key, text] : shown) {
    const std::string in_template =
        platform::CodePageToUtf8(file.ReadString(section, key, "\x01"), 1252);
    if (in_template == "\x01") {
      missing += key + " = " + text + "\n";
    } else {
      EXPECT_EQ(in_template, text) << key;
    }
  }
  EXPECT_TRUE(missing.empty()) << "add to [" << section << "] of tools/lngc/English.source:\n"
                               << missing;
  for (const std::string& key : file.ReadSectionKeys(section)) {
    EXPECT_TRUE(shown.count(key)) << "[" << section << "] " << key
                                  << " names no text of the window";
  }
}

using EnglishTemplateTest = testing::WindowTest;

TEST_F(EnglishTemplateTest, NamesEveryTextOfEveryWindow) {
  ASSERT_NO_FATAL_FAILURE(StartMain());
  ExpectTemplateDescribes(*window_);
  TdlgInputText input;
  ASSERT_TRUE(input.Create());
  ExpectTemplateDescribes(input);
  TdlgAboutCvn about;
  ASSERT_TRUE(about.Create());
  ExpectTemplateDescribes(about);
}

}  // namespace
}  // namespace cvn::ui
