// The language files the build puts beside corvane.exe (English, German,
// French), applied to the main window at start-up: the window, its bottom row
// and the list headers speak the stored language, every key of the window's
// section relabels a component of it, and with no language chosen yet the
// window is English.
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "i18n/data_file.h"
#include "i18n/translator.h"
#include "platform/codepage.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "settings/settings.h"
#include "tests/ui/ui_test_util.h"
#include "ui/about_dialog.h"
#include "ui/form_translation.h"
#include "ui/input_text_dialog.h"
#include "ui/main_window.h"
#include "ui/utf16.h"

namespace cvn::ui {
namespace {

using testing::PumpMessagesUntil;
using testing::WindowTextOf;

constexpr char kExecutable[] = "C:\\Apps\\Corvane\\corvane.exe";
constexpr char kTranslations[] = "C:\\Apps\\Corvane\\Translations\\";

// A file the build wrote, read through Wine's drive Z:.
std::string ReadBuildFile(const std::string& name) {
  std::wstring path = ToUtf16(std::string(CVN_TRANSLATIONS_DIR) + "/" + name);
  if (path.starts_with(L"/")) path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShippedTranslationsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    window_.reset();
    PumpMessagesUntil([] { return true; });
    i18n::InstallTranslator(nullptr);
  }

  // Starts the main window with the language files in place and `language`
  // stored as the user's choice (none when empty).
  void StartIn(const std::string& language) {
    for (const char* name : {"English", "German", "French"}) {
      const std::string bytes = ReadBuildFile(std::string(name) + ".lng");
      ASSERT_FALSE(bytes.empty()) << "no " << name << ".lng in " << CVN_TRANSLATIONS_DIR;
      ASSERT_TRUE(fs_.AddFile(std::string(kTranslations) + name + ".lng", bytes).ok());
    }
    std::unique_ptr<platform::RegKey> key;
    ASSERT_TRUE(registry_
                    .CreateKey(platform::RootKey::kCurrentUser, settings::kSettingsKey,
                               platform::KeyAccess::kReadWrite, &key)
                    .ok());
    if (!language.empty()) {
      ASSERT_TRUE(platform::SetString(registry_, *key, "Language", language).ok());
    }

    translator_ = std::make_unique<i18n::TTranslator>(fs_, kExecutable);
    i18n::InstallTranslator(translator_.get());
    window_ = std::make_unique<TfrmCvnMain>(context_, registry_);
    ASSERT_TRUE(window_->Create());
    ASSERT_EQ(translator_->CurrentLanguage(), language.empty() ? "English" : language);
  }

  std::wstring Text(std::string_view component) {
    return WindowTextOf(window_->FindComponent(component)->hwnd());
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

  // Every key of the window's section in the language file names a
  // component whose text is now the file's text.
  void ExpectEveryKeyApplied(const std::string& language) {
    const std::string bytes = ReadBuildFile(language + ".lng");
    i18n::TDataFile file(language + ".lng", std::vector<uint8_t>(bytes.begin(), bytes.end()));
    const std::vector<std::string> keys = file.ReadSectionKeys("frmCvnMain");
    EXPECT_GT(keys.size(), 20u);
    for (const std::string& key : keys) {
      const std::string expected =
          platform::CodePageToUtf8(file.ReadString("frmCvnMain", key, ""), 1252);
      if (key == "Caption") {
        EXPECT_EQ(window_->Caption(), expected);
        continue;
      }
      const size_t dot = key.find('.');
      const Component* component = window_->FindComponent(key.substr(0, dot));
      ASSERT_NE(component, nullptr) << key << " names no component";
      EXPECT_EQ(component->GetProperty(key.substr(dot + 1)), expected) << key;
    }
  }

  platform::MemoryRegistry registry_;
  platform::MemoryFileSystem fs_;
  AppContext context_;
  std::unique_ptr<i18n::TTranslator> translator_;
  std::unique_ptr<TfrmCvnMain> window_;
};

TEST_F(ShippedTranslationsTest, GermanRelabelsTheMainWindowAndItsLists) {
  ASSERT_NO_FATAL_FAILURE(StartIn("German"));
  EXPECT_EQ(WindowTextOf(window_->hwnd()), L"Corvane");
  EXPECT_EQ(Text("rbInstall"), L"Neue Anwendung &installieren");
  EXPECT_EQ(Text("btnBack"), L"<<  &Zur\u00FCck");
  EXPECT_EQ(Text("btnNext"), L"&Weiter  >>");
  EXPECT_EQ(Text("btnExit"), L"&Beenden");
  EXPECT_EQ(Text("lblStatus"),
            L"Geben Sie eine Kennung f\u00FCr die zu \u00FCberwachende Anwendung ein.");
  EXPECT_EQ(ListColumnCaption(0), L"Name");
  EXPECT_EQ(ListColumnCaption(1), L"Erstellt");
  EXPECT_EQ(ListColumnCaption(2), L"Zuletzt verwendet");
  EXPECT_EQ(ListColumnCaption(3), L"Anzahl");
  EXPECT_EQ(window_->font_charset(), ANSI_CHARSET);
  EXPECT_EQ(i18n::Translate("RS_ASK_SAVE", "Save the changes ?"), "\u00C4nderungen speichern?");
  EXPECT_FALSE(translator_->TakeDamageReport().has_value());
  ExpectEveryKeyApplied("German");
}

TEST_F(ShippedTranslationsTest, FrenchRelabelsTheMainWindowAndItsLists) {
  ASSERT_NO_FATAL_FAILURE(StartIn("French"));
  EXPECT_EQ(Text("rbInstall"), L"&Installer une nouvelle application");
  EXPECT_EQ(Text("btnBack"), L"<< &Pr\u00E9c\u00E9dent");
  EXPECT_EQ(Text("btnNext"), L"&Suivant >>");
  EXPECT_EQ(Text("btnExit"), L"&Quitter");
  EXPECT_EQ(Text("btnAbout"), L"\u00C0 propos");
  EXPECT_EQ(ListColumnCaption(0), L"Nom");
  EXPECT_EQ(ListColumnCaption(1), L"Cr\u00E9\u00E9 le");
  EXPECT_EQ(ListColumnCaption(2), L"Derni\u00E8re utilisation");
  EXPECT_EQ(ListColumnCaption(3), L"Usages");
  EXPECT_EQ(i18n::Translate("RS_DLG_YES", "Yes"), "Oui");
  EXPECT_FALSE(translator_->TakeDamageReport().has_value());
  ExpectEveryKeyApplied("French");
}

// The size `text` needs in `control`'s font: on one line, or wrapped at `width`.
SIZE NeededSize(HWND control, const std::wstring& text, bool wrap, int width) {
  const HDC dc = GetDC(control);
  const HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT bounds = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &bounds, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old_font);
  ReleaseDC(control, dc);
  return {bounds.right, bounds.bottom};
}

RECT ClientOf(HWND control) {
  RECT client = {};
  GetClientRect(control, &client);
  return client;
}

// Every caption of the form's buttons and labels fits its control.
void ExpectCaptionsFit(const Form& form) {
  SCOPED_TRACE(form.name());
  for (const auto& component : form.components()) {
    const HWND control = component->hwnd();
    const std::optional<std::string> caption = component->GetProperty("Caption");
    if (control == nullptr || !caption || caption->empty()) continue;
    const std::wstring text = ToUtf16(*caption);
    const RECT client = ClientOf(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const std::wstring window_class = testing::ClassNameOf(control);
    SCOPED_TRACE(component->name() + " = " + *caption);
    if (window_class == L"Button") {
      const LONG kind = style & BS_TYPEMASK;
      const bool push = kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
      const int box = push ? 8 : GetSystemMetrics(SM_CXMENUCHECK) + 4;
      EXPECT_LE(NeededSize(control, text, false, 0).cx + box, client.right);
    } else if (window_class == L"Static") {
      const bool wrap = (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
      const SIZE size = NeededSize(control, text, wrap, client.right);
      EXPECT_LE(size.cx, client.right);
      EXPECT_LE(size.cy, client.bottom);
    }
  }
}

// Every caption of the main window and of the small dialogs, every list
// header and every text the status line and the Exit button take in the
// current language fits its control.
void ExpectTextsFit(const TfrmCvnMain& window) {
  ExpectCaptionsFit(window);
  TdlgAboutCvn about;
  ASSERT_TRUE(about.Create());
  TdlgInputText input;
  ASSERT_TRUE(input.Create());
  for (Form* dialog : std::initializer_list<Form*>{&about, &input}) {
    FormTranslation translation(*dialog);
    i18n::Translator()->TranslateForm(translation);
    ExpectCaptionsFit(*dialog);
  }

  const HWND list = window.FindComponent("lvCvnFiles")->hwnd();
  for (int index = 0; index < 4; ++index) {
    wchar_t text[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 64;
    ListView_GetColumn(list, index, &column);
    EXPECT_LE(NeededSize(list, text, false, 0).cx + 12, ListView_GetColumnWidth(list, index))
        << ToUtf8(text);
  }

  const HWND status = window.FindComponent("lblStatus")->hwnd();
  const std::string hive = " HKEY_CURRENT_CONFIG...";
  const std::string status_texts[] = {
      i18n::Translate("RS_ENTER_IDENTIFIER", ""),  i18n::Translate("RS_CHOOSE_IDENTIFIER", ""),
      i18n::Translate("RS_SELECT_TARGETS", ""),    i18n::Translate("RS_SCAN_ABORTED", ""),
      i18n::Translate("RS_SETUP_PATH", ""),        i18n::Translate("RS_EXIT_MANUAL_RUN", ""),
      i18n::Translate("RS_NEXT_RESCAN", ""),       i18n::Translate("RS_NEXT_RESCAN_CONT", ""),
      i18n::Translate("RS_RESCAN_ABORTED", ""),    i18n::Translate("RS_COMPLETE", ""),
      i18n::Translate("RS_LOADING_CHG", ""),       i18n::Translate("RS_NEXT_UNINSTALL", ""),
      i18n::Translate("RS_UNINST_COMPLETE", ""),   i18n::Translate("RS_UNINST_STOPPED", ""),
      i18n::Translate("RS_SCAN_FS", ""),           i18n::Translate("RS_SEARCH_FS", ""),
      i18n::Translate("RS_DETECT_MOVED", ""),      i18n::Translate("RS_SCAN_REG", "") + hive,
      i18n::Translate("RS_SEARCH_REG", "") + hive,
  };
  for (const std::string& text : status_texts) {
    EXPECT_LE(NeededSize(status, ToUtf16(text), false, 0).cx, ClientOf(status).right) << text;
  }
  const HWND exit = window.FindComponent("btnExit")->hwnd();
  for (const char* id : {"RS_EXIT", "RS_STOP"}) {
    const std::string text = i18n::Translate(id, "");
    EXPECT_LE(NeededSize(exit, ToUtf16(text), false, 0).cx + 8, ClientOf(exit).right) << text;
  }
}

TEST_F(ShippedTranslationsTest, GermanTextsFitTheirControls) {
  ASSERT_NO_FATAL_FAILURE(StartIn("German"));
  ExpectTextsFit(*window_);
}

TEST_F(ShippedTranslationsTest, FrenchTextsFitTheirControls) {
  ASSERT_NO_FATAL_FAILURE(StartIn("French"));
  ExpectTextsFit(*window_);
}

TEST_F(ShippedTranslationsTest, EnglishTextsFitTheirControls) {
  // The measure itself: the designed texts fit.
  ASSERT_NO_FATAL_FAILURE(StartIn("english"));  // messages from the file, not the built-in ones
  ExpectTextsFit(*window_);
}

TEST_F(ShippedTranslationsTest, WithNoLanguageChosenTheWindowIsEnglish) {
  // Not French, which sorts first: the English file is there to be chosen.
  ASSERT_NO_FATAL_FAILURE(StartIn(""));
  EXPECT_EQ(Text("btnNext"), L"&Next  >>");
  EXPECT_EQ(Text("btnExit"), L"E&xit");
  EXPECT_EQ(ListColumnCaption(1), L"Created");
  EXPECT_EQ(Text("lblStatus"), L"Enter an identifier for the monitored application.");
  ExpectEveryKeyApplied("English");
}

TEST_F(ShippedTranslationsTest, GermanAndFrenchCarryTheirFlags) {
  ASSERT_NO_FATAL_FAILURE(StartIn("German"));
  for (const char* language : {"French", "German"}) {
    const std::vector<uint8_t> flag = translator_->GetFlag(language);
    ASSERT_GT(flag.size(), 54u) << language;
    EXPECT_EQ(flag[0], 'B');
    EXPECT_EQ(flag[1], 'M');
  }
  EXPECT_TRUE(translator_->GetFlag("English").empty());
}

}  // namespace
}  // namespace cvn::ui
