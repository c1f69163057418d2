#include "tests/ui/template_check.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "i18n/data_file.h"
#include "platform/codepage.h"
#include "tools/lngc/english_template.h"
#include "tools/lngc/language_source.h"

namespace cvn::ui {

void ExpectTemplateDescribes(const Form& form) {
  SCOPED_TRACE(form.name());
  const std::vector<uint8_t> lng = lngc::Compile(lngc::kEnglishTemplate, [](const std::string&) {
    return std::optional<std::vector<uint8_t>>();
  });
  i18n::TDataFile file("English.lng", lng);
  const std::string section = form.name();

  std::map<std::string, std::string> shown;  // key -> text the form shows
  shown["Caption"] = form.Caption();
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
  EXPECT_TRUE(missing.empty()) << "add to [" << section << "] of tools/lngc/English.source:\n" << missing;
  for (const std::string& key : file.ReadSectionKeys(section)) {
    EXPECT_TRUE(shown.count(key)) << "[" << section << "] " << key << " names no text of the window";
  }
}

}  // namespace cvn::ui
