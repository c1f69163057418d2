// A language file applied to the main window through the translator: the
// window's section relabels the window and its components by name.
#include "ui/form_translation.h"

#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "settings/settings.h"
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

// The main window at start-up: the stored language is chosen and applied
// before the window is shown, and a damaged file is reported, not fatal.
class StartupLanguageTest : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    PumpMessagesUntil([] { return true; });
    i18n::InstallTranslator(nullptr);
  }

  void StoreLanguage(std::string_view language) {
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_.CreateKey(platform::RootKey::kCurrentUser, settings::kSettingsKey,
                                    platform::KeyAccess::kReadWrite, &key).ok());
    ASSERT_TRUE(platform::SetString(registry_, *key, "Language", language).ok());
  }

  void AddLanguage(std::string_view name, std::vector<uint8_t> bytes) {
    ASSERT_TRUE(fs_.AddFile(std::string("C:\\Apps\\Corvane\\Translations\\") + std::string(name) + ".lng",
                            std::string(bytes.begin(), bytes.end())).ok());
  }

  void Start() {
    translator_ = std::make_unique<i18n::TTranslator>(fs_, kExecutable);
    i18n::InstallTranslator(translator_.get());
    window_ = std::make_unique<TfrmCvnMain>(context_, registry_);
    ASSERT_TRUE(window_->Create());
  }

  std::wstring ListColumnCaption(int index) {
    wchar_t text[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 64;
    ListView_GetColumn(window_->FindComponent("lvCvnFiles")->hwnd(), index, &column);
    return text;
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  AppContext context_;
  std::unique_ptr<i18n::TTranslator> translator_;
  std::unique_ptr<TfrmCvnMain> window_;
};

TEST_F(StartupLanguageTest, TheStoredLanguageRelabelsTheWindowAndItsLists) {
  i18n::LanguageFileWriter writer;
  writer.Section("frmCvnMain").Key("Caption", "Corvane DE").Key("btnExit.Caption", "&Beenden");
  writer.Section("RESOURCESTRING").Key("RS_NAME", "Bezeichnung").Key("RS_USES", "Benutzt");
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Deutsch", writer.Build()));
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Alpha", i18n::LanguageFileWriter().Section("x").Build()));
  ASSERT_NO_FATAL_FAILURE(StoreLanguage("deutsch"));
  ASSERT_NO_FATAL_FAILURE(Start());

  EXPECT_EQ(translator_->CurrentLanguage(), "deutsch");
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane DE");
  EXPECT_EQ(WindowTextOf(window_->FindComponent("btnExit")->hwnd()), L"&Beenden");
  EXPECT_EQ(ListColumnCaption(0), L"Bezeichnung");
  EXPECT_EQ(ListColumnCaption(1), L"Created");  // no text in the file: English
  EXPECT_EQ(ListColumnCaption(3), L"Benutzt");
}

TEST_F(StartupLanguageTest, WithoutLanguageFilesTheWindowStaysEnglish) {
  ASSERT_NO_FATAL_FAILURE(StoreLanguage("Deutsch"));
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(translator_->CurrentLanguage(), "");
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane");
  EXPECT_EQ(ListColumnCaption(0), L"Name");
  EXPECT_EQ(WindowTextOf(window_->FindComponent("lblStatus")->hwnd()),
            L"Enter an identifier for the monitored application.");
}

TEST_F(StartupLanguageTest, DamagedLanguageFileIsReportedInTheStatusLine) {
  std::vector<uint8_t> bytes = i18n::LanguageFileWriter()
                                   .Section("frmCvnMain")
                                   .Key("Caption", "Kaputt")
                                   .Build();
  bytes[1] ^= 0x20;  // the section's magic no longer unscrambles
  ASSERT_NO_FATAL_FAILURE(AddLanguage("Broken", bytes));
  ASSERT_NO_FATAL_FAILURE(StoreLanguage("Broken"));
  ASSERT_NO_FATAL_FAILURE(Start());

  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane");
  const std::wstring status = WindowTextOf(window_->FindComponent("lblStatus")->hwnd());
  EXPECT_EQ(status.rfind(L"Invalid file format.", 0), 0u) << std::string(status.begin(), status.end());
  EXPECT_NE(status.find(L"Broken.lng"), std::wstring::npos);
}

}  // namespace
}  // namespace cvn::ui
