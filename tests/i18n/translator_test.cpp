#include <gtest/gtest.h>

#include <map>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/text.h"
#include "platform/memory/memory_filesystem.h"

namespace cvn::i18n {
namespace {

constexpr const char* kExe = "C:\\Apps\\Corvane\\corvane.exe";
constexpr const char* kFolder = "C:\\Apps\\Corvane\\Translations";

// A window as the translator sees it: named components with text properties.
class FakeForm : public TranslatableForm {
 public:
  struct Part {
    std::string name;
    std::map<std::string, std::string> texts;  // "Caption", "Hint"...
    int charset = -1;
  };

  explicit FakeForm(std::string name) : name_(std::move(name)) {}
  Part& Add(std::string name, std::string caption) {
    parts_.push_back({std::move(name), {{"Caption", std::move(caption)}, {"Hint", ""}}});
    return parts_.back();
  }

  std::string FormName() const override { return name_; }
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  void SetFontCharset(uint8_t charset) override { charset_ = charset; }
  int FindComponent(std::string_view name) const override {
    for (size_t i = 0; i < parts_.size(); ++i)
      if (text::EqualsNoCase(parts_[i].name, name)) return static_cast<int>(i);
    return -1;
  }
  bool SetComponentText(int component, std::string_view property, std::string_view text) override {
    for (auto& [key, value] : parts_[component].texts) {
      if (text::EqualsNoCase(key, property)) {
        value = text;
        return true;
      }
    }
    return false;
  }
  void SetComponentCharset(int component, uint8_t charset) override { parts_[component].charset = charset; }

  std::string caption_ = "Corvane";
  int charset_ = -1;
  std::vector<Part> parts_;

 private:
  std::string name_;
};

class TranslatorTest : public ::testing::Test {
 protected:
  void AddLanguage(std::string_view name, const LanguageFileWriter& writer) {
    const std::vector<uint8_t> bytes = writer.Build();
    ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\" + std::string(name) + ".lng",
                            std::string(bytes.begin(), bytes.end())).ok());
  }
  static LanguageFileWriter Messages(std::string_view ok_text, int charset = 1) {
    LanguageFileWriter w;
    const char bytes[4] = {static_cast<char>(charset), 0, 0, 0};
    w.Section("*SYSTEM*").Key("CHARSET", std::string_view(bytes, 4));
    w.Section("RESOURCESTRING").Key("RS_OK", ok_text);
    return w;
  }

  platform::MemoryFileSystem fs_;
};

TEST_F(TranslatorTest, WithoutLanguageFilesEverythingIsEnglish) {
  TTranslator t(fs_, kExe);
  EXPECT_EQ(t.LanguagesFolder(), kFolder);
  EXPECT_TRUE(t.Languages().empty());
  t.SetLanguage("Deutsch");
  EXPECT_EQ(t.CurrentLanguage(), "");
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "OK");
  FakeForm form("frmCvnMain");
  int translated = 0;
  t.OnTranslated = [&](TranslatableForm&) { ++translated; };
  t.TranslateForm(form);
  EXPECT_EQ(translated, 0);  // nothing to apply: not even the event
  EXPECT_EQ(t.GetHelpFile(), "C:\\Apps\\Corvane\\corvane_en.hlp");
}

TEST_F(TranslatorTest, UnknownOrEmptyLanguageFallsToTheFirstInSortedOrder) {
  AddLanguage("Svenska", Messages("Okej"));
  AddLanguage("deutsch", Messages("In Ordnung"));
  ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\readme.txt", "not a language").ok());
  TTranslator t(fs_, kExe);
  ASSERT_EQ(t.Languages().size(), 2u);
  EXPECT_EQ(t.Languages()[0].name, "deutsch");
  EXPECT_EQ(t.Languages()[1].name, "Svenska");

  t.SetLanguage("");
  EXPECT_EQ(t.CurrentLanguage(), "deutsch");
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "In Ordnung");
  t.SetLanguage("Klingon");
  EXPECT_EQ(t.CurrentLanguage(), "deutsch");
  t.SetLanguage("SVENSKA");  // found without regard to case; the caller's spelling is kept
  EXPECT_EQ(t.CurrentLanguage(), "SVENSKA");
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "Okej");
  EXPECT_EQ(t.Translate("RS_MISSING", "English default"), "English default");
}

TEST_F(TranslatorTest, EnglishSpeltExactlyUsesTheBuiltInTexts) {
  AddLanguage("English", Messages("OK from the file")
                             .Section("frmCvnMain")
                             .Key("btnNext.Caption", "&Forward >>"));
  AddLanguage("Deutsch", Messages("In Ordnung"));
  TTranslator t(fs_, kExe);
  t.SetLanguage("Klingon");
  EXPECT_EQ(t.CurrentLanguage(), "English");
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "OK");
  EXPECT_EQ(t.GetString("RS_OK", "OK"), "OK from the file");
  FakeForm form("frmCvnMain");
  form.Add("btnNext", "&Next  >>");
  t.TranslateForm(form);  // windows still take the English file
  EXPECT_EQ(form.parts_[0].texts["Caption"], "&Forward >>");

  t.SetLanguage("english");  // another spelling: messages come from the file
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "OK from the file");
}

TEST_F(TranslatorTest, TextsArriveAsUtf8FromTheFilesCodePage) {
  AddLanguage("Russian", Messages("\xCE\xEA", 204)
                             .Section("frmCvnMain")
                             .Key("Caption", "\xCA\xEE\xF0\xE2\xE0\xED"));
  AddLanguage("Deutsch", Messages("\xDC" "bernehmen", 0));
  TTranslator t(fs_, kExe);
  t.SetLanguage("Russian");
  EXPECT_EQ(t.Charset(), 204);
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "Ок");
  FakeForm form("frmCvnMain");
  t.TranslateForm(form);
  EXPECT_EQ(form.caption_, "Корван");
  EXPECT_EQ(form.charset_, 204);
  t.SetLanguage("Deutsch");
  EXPECT_EQ(t.Charset(), 0);
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "Übernehmen");
}

TEST_F(TranslatorTest, TranslateFormSetsTextPropertiesOfNamedComponents) {
  LanguageFileWriter w = Messages("OK", 238);
  w.Section("frmCvnMain")
      .Key("Caption", "Corvane DE")
      .Key("btnNext.Font", "Arial")  // not a text property: ignored
      .Key("btnNext.Caption", "&Weiter  >>")
      .Key("BTNEXIT.caption", "&Beenden")
      .Key("lblStatus.Hint", "Status")
      .Key("pnlGone.Caption", "no such component");
  AddLanguage("Deutsch", w);
  TTranslator t(fs_, kExe);
  t.SetLanguage("Deutsch");
  FakeForm form("frmCvnMain");
  form.Add("btnNext", "&Next  >>");
  form.Add("btnExit", "E&xit");
  form.Add("lblStatus", "");
  form.Add("btnBack", "<<  B&ack");
  std::vector<std::string> events;
  t.OnTranslated = [&](TranslatableForm& f) { events.push_back(f.FormName()); };

  t.TranslateForm(form);
  EXPECT_EQ(form.caption_, "Corvane DE");
  EXPECT_EQ(form.charset_, 238);
  EXPECT_EQ(form.parts_[0].texts["Caption"], "&Weiter  >>");
  EXPECT_EQ(form.parts_[0].charset, 238);
  EXPECT_EQ(form.parts_[1].texts["Caption"], "&Beenden");
  EXPECT_EQ(form.parts_[2].texts["Hint"], "Status");
  EXPECT_EQ(form.parts_[3].texts["Caption"], "<<  B&ack");  // no key: designed text stays
  EXPECT_EQ(form.parts_[3].charset, -1);
  EXPECT_EQ(events, std::vector<std::string>{"frmCvnMain"});
}

TEST_F(TranslatorTest, OneComponentInAnotherLanguageIsAPreview) {
  AddLanguage("Deutsch", Messages("OK", 0).Section("dlgCvnOptions").Key("Caption", "Optionen")
                             .Key("lblLanguage.Caption", "Sprache").Key("btnOk.Caption", "&OK"));
  AddLanguage("Polski", Messages("OK", 238).Section("dlgCvnOptions").Key("lblLanguage.Caption", "J\xEAzyk"));
  TTranslator t(fs_, kExe);
  t.SetLanguage("Deutsch");
  FakeForm dialog("dlgCvnOptions");
  dialog.Add("lblLanguage", "Language");
  dialog.Add("btnOk", "Ok");
  t.TranslateForm(dialog, dialog.FindComponent("lblLanguage"), "Polski");
  EXPECT_EQ(dialog.parts_[0].texts["Caption"], "Język");
  EXPECT_EQ(dialog.parts_[1].texts["Caption"], "Ok");
  EXPECT_EQ(dialog.caption_, "Corvane");  // the form's own caption is not touched
  EXPECT_EQ(dialog.charset_, -1);
  EXPECT_EQ(t.Charset(), 238);  // previewing changes the character set
  EXPECT_EQ(t.CurrentLanguage(), "Deutsch");
}

TEST_F(TranslatorTest, DamagedFileFallsBackToEnglishAndIsReportedOnce) {
  std::vector<uint8_t> bytes = Messages("Kaputt").Section("frmCvnMain").Key("Caption", "X").Build();
  bytes[0] ^= 0x55;  // the first section header no longer unscrambles to its magic
  ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\Broken.lng", std::string(bytes.begin(), bytes.end())).ok());
  TTranslator t(fs_, kExe);  // listing reads the flag: the damage is met here already
  t.SetLanguage("Broken");
  EXPECT_EQ(t.CurrentLanguage(), "Broken");
  EXPECT_EQ(t.Charset(), 1);
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "OK");
  FakeForm form("frmCvnMain");
  form.Add("btnNext", "&Next  >>");
  t.TranslateForm(form);
  EXPECT_EQ(form.caption_, "Corvane");
  EXPECT_EQ(t.GetHelpFile(), "C:\\Apps\\Corvane\\corvane_en.hlp");

  const std::optional<std::string> report = t.TakeDamageReport();
  ASSERT_TRUE(report);
  EXPECT_EQ(*report, "Invalid file format. C:\\Apps\\Corvane\\Translations\\Broken.lng");
  t.Translate("RS_OK", "OK");
  EXPECT_FALSE(t.TakeDamageReport());  // once per file, not at every lookup
}

TEST_F(TranslatorTest, FlagsAndHelpFiles) {
  AddLanguage("Deutsch", LanguageFileWriter().Section("*SYSTEM*").Key("FLAG", "BM-flag-bytes").Key("LNG_CODE", "de"));
  AddLanguage("Plain", Messages("OK"));
  TTranslator t(fs_, kExe);
  const std::string flag = "BM-flag-bytes";
  EXPECT_EQ(t.GetFlag("deutsch"), std::vector<uint8_t>(flag.begin(), flag.end()));
  EXPECT_TRUE(t.GetFlag("Plain").empty());
  EXPECT_TRUE(t.GetFlag("Unknown").empty());
  t.SetLanguage("Deutsch");
  EXPECT_EQ(t.GetHelpFile(), "C:\\Apps\\Corvane\\corvane_de.hlp");
  EXPECT_EQ(t.GetHelpFile("manual"), "C:\\Apps\\Corvane\\manual_de.hlp");
  t.SetLanguage("Plain");
  EXPECT_EQ(t.GetHelpFile(), "C:\\Apps\\Corvane\\corvane_en.hlp");
}

TEST_F(TranslatorTest, GlobalTranslateIsEnglishUntilATranslatorIsInstalled) {
  EXPECT_EQ(Translate("RS_OK", "OK"), "OK");
  AddLanguage("Bairisch", Messages("Jo"));
  TTranslator t(fs_, kExe);
  t.SetLanguage("Bairisch");
  InstallTranslator(&t);
  EXPECT_EQ(Translator(), &t);
  EXPECT_EQ(Translate("RS_OK", "OK"), "Jo");
  InstallTranslator(nullptr);
  EXPECT_EQ(Translate("RS_OK", "OK"), "OK");
}

}  // namespace
}  // namespace cvn::i18n
