#include <gtest/gtest.h>

#include <map>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/text.h"

namespace cvn::i18n {
namespace {

constexpr const char* kExe = "C:\\Apps\\Corvane\\corvane.exe";
constexpr const char* kFolder = "C:\\Apps\\Corvane\\Translations";

// A window as the translator sees it: named components with a Caption and a
// Hint each, kept as texts["component.property"].
class FakeForm : public TranslatableForm {
 public:
  explicit FakeForm(std::string name) : name_(std::move(name)) {}
  void Add(const std::string& name, const std::string& caption) {
    names_.push_back(name);
    texts[name + ".Caption"] = caption;
    charsets.push_back(-1);
  }

  std::string FormName() const override { return name_; }
  void SetCaption(std::string_view caption) override { caption_ = caption; }
  void SetFontCharset(uint8_t charset) override { charset_ = charset; }
  int FindComponent(std::string_view name) const override {
    for (size_t i = 0; i < names_.size(); ++i)
      if (text::EqualsNoCase(names_[i], name)) return static_cast<int>(i);
    return -1;
  }
  bool SetComponentText(int component, std::string_view property, std::string_view text) override {
    for (const char* known : {"Caption", "Hint"}) {
      if (!text::EqualsNoCase(known, property)) continue;
      texts[names_[component] + "." + known] = text;
      return true;
    }
    return false;
  }
  void SetComponentCharset(int component, uint8_t charset) override {
    charsets[component] = charset;
  }

  std::string caption_ = "Corvane";
  int charset_ = -1;
  std::map<std::string, std::string> texts;
  std::vector<int> charsets;

 private:
  std::string name_;
  std::vector<std::string> names_;
};

class TranslatorTest : public ::testing::Test {
 protected:
  void AddLanguage(std::string_view name, const LanguageFileWriter& writer) {
    AddFile(name, writer.Build());
  }
  void AddFile(std::string_view name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(fs_.AddFile(std::string(kFolder) + "\\" + std::string(name) + ".lng",
                            std::string(bytes.begin(), bytes.end()))
                    .ok());
  }
  static LanguageFileWriter Messages(std::string_view ok_text, int charset = 1,
                                     std::string_view code = "") {
    LanguageFileWriter w;
    const char bytes[4] = {static_cast<char>(charset), 0, 0, 0};
    w.Section("*SYSTEM*").Key("CHARSET", std::string_view(bytes, 4));
    if (!code.empty()) w.Key("LNG_CODE", code);
    w.Section("RESOURCESTRING").Key("RS_OK", ok_text);
    return w;
  }

  platform::MemoryFileSystem fs_;
};

TEST_F(TranslatorTest, WithoutLanguageFilesEverythingIsEnglish) {
  Translator t(fs_, kExe);
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
  Translator t(fs_, kExe);
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

TEST_F(TranslatorTest, TextsArriveAsUtf8FromTheFilesCodePage) {
  AddLanguage(
      "Russian",
      Messages("\xCE\xEA", 204).Section("frmCvnMain").Key("Caption", "\xCA\xEE\xF0\xE2\xE0\xED"));
  AddLanguage("Deutsch", Messages(std::string("\xDC") + "bernehmen", 0, "de"));
  Translator t(fs_, kExe);
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
  EXPECT_EQ(t.GetHelpFile(), "C:\\Apps\\Corvane\\corvane_de.hlp");
  EXPECT_EQ(t.GetHelpFile("manual"), "C:\\Apps\\Corvane\\manual_de.hlp");
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
  Translator t(fs_, kExe);
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
  // A component without a key keeps its designed text and character set.
  EXPECT_EQ(form.texts, (std::map<std::string, std::string>{{"btnBack.Caption", "<<  B&ack"},
                                                            {"btnExit.Caption", "&Beenden"},
                                                            {"btnNext.Caption", "&Weiter  >>"},
                                                            {"lblStatus.Caption", ""},
                                                            {"lblStatus.Hint", "Status"}}));
  EXPECT_EQ(form.charsets, (std::vector<int>{238, 238, 238, -1}));
  EXPECT_EQ(events, std::vector<std::string>{"frmCvnMain"});
}

TEST_F(TranslatorTest, OneComponentInAnotherLanguageIsAPreview) {
  AddLanguage("Deutsch", Messages("OK", 0).Section("dlgCvnOptions").Key("Caption", "Optionen"));
  AddLanguage("Polski",
              Messages("OK", 238).Section("dlgCvnOptions").Key("lblLanguage.Caption", "J\xEAzyk"));
  Translator t(fs_, kExe);
  t.SetLanguage("Deutsch");
  FakeForm dialog("dlgCvnOptions");
  dialog.Add("lblLanguage", "Language");
  t.TranslateForm(dialog, dialog.FindComponent("lblLanguage"), "Polski");
  EXPECT_EQ(dialog.texts["lblLanguage.Caption"], "Język");
  EXPECT_EQ(dialog.caption_, "Corvane");  // the form's own caption is not touched
  EXPECT_EQ(dialog.charset_, -1);
  EXPECT_EQ(t.Charset(), 238);  // previewing changes the character set
  EXPECT_EQ(t.CurrentLanguage(), "Deutsch");
}

TEST_F(TranslatorTest, DamagedFileFallsBackToEnglishAndIsReportedOnce) {
  std::vector<uint8_t> bytes = Messages("Kaputt").Section("frmCvnMain").Key("Caption", "X").Build();
  bytes[0] ^= 0x55;  // the first section header no longer unscrambles to its magic
  AddFile("Broken", bytes);
  Translator t(fs_, kExe);  // listing reads the flag: the damage is met here already
  t.SetLanguage("Broken");
  EXPECT_EQ(t.CurrentLanguage(), "Broken");
  EXPECT_EQ(t.Translate("RS_OK", "OK"), "OK");

  EXPECT_EQ(t.TakeDamageReport(),
            std::optional<std::string>(
                "Invalid file format. C:\\Apps\\Corvane\\Translations\\Broken.lng"));
  t.Translate("RS_OK", "OK");
  EXPECT_FALSE(t.TakeDamageReport());  // once per file, not at every lookup
}

}  // namespace
}  // namespace cvn::i18n

namespace cvn::i18n {
namespace {

TEST_F(TranslatorTest, HelpTextComesFromTheLanguageThenFromEnglish) {
  AddLanguage("English",
              Messages("OK", 0, "en").Section("HELP").Key("19", "Install").Key("20", "Name"));
  AddLanguage("Deutsch",
              Messages("OK", 0, "de").Section("HELP").Key("19", std::string("\xDC") + "ber"));
  Translator t(fs_, kExe);
  t.SetLanguage("Deutsch");
  EXPECT_EQ(t.LanguageCode(), "de");
  const struct {
    int context;
    const char* text;
  } cases[] = {{19, "Über"}, {20, "Name"}, {75, ""}};
  for (const auto& c : cases) EXPECT_EQ(t.HelpText(c.context), c.text) << c.context;
  t.SetLanguage("English");
  EXPECT_EQ(t.HelpText(19), "Install");
}

}  // namespace
}  // namespace cvn::i18n
