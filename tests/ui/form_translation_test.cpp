// A language file applied to the main window through the translator: the
// window's section relabels the window and its components by name.
#include "ui/form_translation.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "tests/ui/ui_test_util.h"
#include "ui/main_window.h"

namespace cvn::ui {
namespace {

using testing::PumpMessagesUntil;
using testing::WindowTextOf;

constexpr char kExecutable[] = "C:\\Apps\\Corvane\\corvane.exe";
constexpr char kLanguageFile[] = "C:\\Apps\\Corvane\\Translations\\Deutsch.lng";
constexpr uint8_t kEasternEuropeCharset = 238;

class FormTranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<TfrmCvnMain>(context_, registry_);
    ASSERT_TRUE(window_->Create());
  }
  void TearDown() override {
    window_.reset();
    PumpMessagesUntil([] { return true; });
  }

  void AddLanguage(const i18n::LanguageFileWriter& writer) {
    const std::vector<uint8_t> bytes = writer.Build();
    ASSERT_TRUE(fs_.AddFile(kLanguageFile, std::string(bytes.begin(), bytes.end())).ok());
  }

  HWND Control(std::string_view name) { return window_->FindComponent(name)->hwnd(); }

  static uint8_t FontCharsetOf(HWND control) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    return font.lfCharSet;
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  AppContext context_;
  std::unique_ptr<TfrmCvnMain> window_;
};

TEST_F(FormTranslationTest, LanguageFileRelabelsTheMainWindow) {
  i18n::LanguageFileWriter writer;
  writer.Section("*SYSTEM*").Key("CHARSET", std::string("\xEE\0\0\0", 4));  // 238
  writer.Section("frmCvnMain")
      .Key("Caption", "Corvane auf Deutsch")
      .Key("btnNext.Caption", "&Weiter  >>")
      .Key("btnBack.Caption",
           "<<  &Zur\xFC"
           "ck")  // "ü" in the code page of charset 238
      .Key("edIdentif.Text", "Editor")
      .Key("btnExit.Hint", "Beendet das Programm")
      .Key("btnNext.Font", "Arial")
      .Key("btnGone.Caption", "nichts");
  ASSERT_NO_FATAL_FAILURE(AddLanguage(writer));

  i18n::TTranslator translator(fs_, kExecutable);
  translator.SetLanguage("Deutsch");
  FormTranslation form(*window_);
  translator.TranslateForm(form);

  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane auf Deutsch");
  EXPECT_EQ(WindowTextOf(Control("btnNext")), L"&Weiter  >>");
  EXPECT_EQ(WindowTextOf(Control("btnBack")), L"<<  &Zur\u00FCck");
  EXPECT_EQ(WindowTextOf(Control("edIdentif")), L"Editor");
  EXPECT_EQ(window_->FindComponent("btnExit")->GetProperty("Hint"), "Beendet das Programm");
  EXPECT_EQ(WindowTextOf(Control("btnExit")), L"E&xit");  // no key for its caption
  EXPECT_EQ(window_->font_charset(), kEasternEuropeCharset);
  EXPECT_EQ(FontCharsetOf(Control("btnNext")), kEasternEuropeCharset);
  EXPECT_EQ(FontCharsetOf(Control("lblStatus")), kEasternEuropeCharset);
}

TEST_F(FormTranslationTest, ComponentsAreFoundByNameWithoutRegardToCase) {
  FormTranslation form(*window_);
  EXPECT_EQ(form.FormName(), "frmCvnMain");
  const int next = form.FindComponent("BTNNEXT");
  ASSERT_GE(next, 0);
  EXPECT_EQ(window_->components()[next]->name(), "btnNext");
  EXPECT_EQ(form.FindComponent("btnGone"), -1);
  EXPECT_TRUE(form.SetComponentText(next, "caption", "&Weiter"));
  EXPECT_FALSE(form.SetComponentText(next, "Font", "Arial"));
  EXPECT_EQ(WindowTextOf(Control("btnNext")), L"&Weiter");
}

}  // namespace
}  // namespace cvn::ui
