// The language files the build puts beside corvane.exe (English, German,
// French), applied to the windows at start-up: each key of a window's section
// relabels a component of it and each text has its key, the list headers and
// the status line speak the language, and every caption and status text fits
// its control. German and French carry their flags. With no language chosen
// yet the window is English.
#include "tests/ui/ui_test_util.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "i18n/language_file.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/form_translation.h"
#include "ui/input_text_dialog.h"
#include "platform/win32/wide_text.h"

namespace cvn::ui {
namespace {

std::vector<uint8_t> ReadBuildFile(const std::string& name) {
  std::ifstream in(
      std::filesystem::path(testing::WindowsPath(std::string(CVN_TRANSLATIONS_DIR) + "/" + name)),
      std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring ListColumnCaption(HWND list, int index) {
  wchar_t text[64] = {};
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = 64;
  return ListView_GetColumn(list, index, &column) ? text : L"(no column)";
}

// The size `text` needs in `control`'s font: on one line, or wrapped at `width`.
SIZE NeededSize(HWND control, const std::wstring& text, bool wrap = false, int width = 0) {
  const HDC dc = GetDC(control);
  const HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT bounds = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &bounds, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old_font);
  ReleaseDC(control, dc);
  return {bounds.right, bounds.bottom};
}

int ClientWidth(HWND control) {
  RECT client = {};
  GetClientRect(control, &client);
  return client.right;
}

// The form speaks the file: every key of the form's section names a text the
// form shows as the file writes it, every text the form shows has its key
// (English.lng is the template translators start from), and every caption of
// its buttons and labels fits its control.
void ExpectFormSpeaks(const Form& form, i18n::LanguageFile& file) {
  const std::string section = form.name();
  SCOPED_TRACE(section);
  for (const std::string& key : file.ReadSectionKeys(section)) {
    const std::string text = platform::CodePageToUtf8(file.ReadString(section, key, ""), 1252);
    EXPECT_EQ(form.GetTextByKey(key), text) << key << " names no such text of the window";
  }
  EXPECT_TRUE(file.ValueExists(section, "Caption"));
  for (const auto& component : form.components()) {
    for (const char* property : {"Caption", "Text", "Hint"}) {
      const std::optional<std::string> text = component->GetProperty(property);
      const std::string key = component->name() + "." + property;
      EXPECT_TRUE(!text || text->empty() || file.ValueExists(section, key)) << key << " has no key";
    }
    const HWND control = component->hwnd();
    const std::optional<std::string> caption = component->GetProperty("Caption");
    if (control == nullptr || !caption || caption->empty()) continue;
    SCOPED_TRACE(component->name() + " = " + *caption);
    RECT client = {};
    GetClientRect(control, &client);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (testing::ClassNameOf(control) == L"Button") {
      const LONG kind = style & BS_TYPEMASK;
      const bool push = kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
      const int box = push ? 8 : GetSystemMetrics(SM_CXMENUCHECK) + 4;
      EXPECT_LE(NeededSize(control, platform::win32::ToWide(*caption)).cx + box, client.right);
    } else if (testing::ClassNameOf(control) == L"Static") {
      const bool wrap = (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
      const SIZE size = NeededSize(control, platform::win32::ToWide(*caption), wrap, client.right);
      EXPECT_LE(size.cx, client.right);
      EXPECT_LE(size.cy, client.bottom);
    }
  }
}

struct Shipped {
  const char* stored;  // the language stored as the user's choice
  const char* chosen;  // the language the window starts in
  std::wstring columns[4];
};

void PrintTo(const Shipped& shipped, std::ostream* out) {
  *out << shipped.chosen;
}

class ShippedTranslationsTest : public testing::WindowTest,
                                public ::testing::WithParamInterface<Shipped> {};

TEST_P(ShippedTranslationsTest, RelabelTheMainWindowAndFitTheirControls) {
  const Shipped& shipped = GetParam();
  for (const char* name : {"English", "German", "French"}) {
    const std::vector<uint8_t> bytes = ReadBuildFile(std::string(name) + ".lng");
    ASSERT_FALSE(bytes.empty()) << "no " << name << ".lng in " << CVN_TRANSLATIONS_DIR;
    ASSERT_NO_FATAL_FAILURE(AddLanguage(name, bytes));
  }
  if (*shipped.stored) Store(std::string(settings::kSettingsKey), "Language", shipped.stored);
  ASSERT_NO_FATAL_FAILURE(StartMain());
  ASSERT_EQ(translator_->CurrentLanguage(), shipped.chosen);
  EXPECT_FALSE(translator_->TakeDamageReport().has_value());

  const std::string file_name = std::string(shipped.chosen) + ".lng";
  i18n::LanguageFile file(file_name, ReadBuildFile(file_name));
  EXPECT_GT(file.ReadSectionKeys("frmCvnMain").size(), 20u);
  const int charset = file.ReadInteger("*SYSTEM*", "CHARSET", -1);
  EXPECT_EQ(window_->font_charset(), charset);
  EXPECT_EQ(testing::FontOf(Control("lblStatus")).lfCharSet, charset);
  // German and French carry their flags, drawn by the build.
  EXPECT_EQ(translator_->GetFlag(shipped.chosen).size() > 54,
            !text::EqualsNoCase(shipped.chosen, "English"));
  const HWND list = Control("lvCvnFiles");
  for (int index = 0; index < 4; ++index) {
    const std::wstring caption = ListColumnCaption(list, index);
    EXPECT_EQ(caption, shipped.columns[index]);
    EXPECT_LE(NeededSize(list, caption).cx + 12, ListView_GetColumnWidth(list, index));
  }
  EXPECT_EQ(
      platform::win32::ToUtf8(Text("lblStatus")),
      i18n::Translate("RS_ENTER_IDENTIFIER", "Enter an identifier for the monitored application."));

  // The main window, the small dialogs, and every text the status line and
  // the Exit button take.
  ExpectFormSpeaks(*window_, file);
  AboutDialog about;
  ASSERT_TRUE(about.Create());
  InputTextDialog input;
  ASSERT_TRUE(input.Create());
  for (Form* dialog : std::initializer_list<Form*>{&about, &input}) {
    FormTranslation translation(*dialog);
    i18n::CurrentTranslator()->TranslateForm(translation);
    ExpectFormSpeaks(*dialog, file);
  }
  const HWND status = Control("lblStatus");
  for (const char* id :
       {"RS_ENTER_IDENTIFIER", "RS_CHOOSE_IDENTIFIER", "RS_SELECT_TARGETS", "RS_SCAN_ABORTED",
        "RS_SETUP_PATH", "RS_EXIT_MANUAL_RUN", "RS_NEXT_RESCAN", "RS_NEXT_RESCAN_CONT",
        "RS_RESCAN_ABORTED", "RS_COMPLETE", "RS_LOADING_CHG", "RS_NEXT_UNINSTALL",
        "RS_UNINST_COMPLETE", "RS_UNINST_STOPPED", "RS_SCAN_FS", "RS_SEARCH_FS", "RS_DETECT_MOVED",
        "RS_SCAN_REG", "RS_SEARCH_REG"}) {
    std::string text = i18n::Translate(id, "");
    if (std::string_view(id).ends_with("_REG")) text += " HKEY_CURRENT_CONFIG...";
    EXPECT_LE(NeededSize(status, platform::win32::ToWide(text)).cx, ClientWidth(status)) << text;
  }
  for (const char* id : {"RS_EXIT", "RS_STOP"}) {
    const std::string text = i18n::Translate(id, "");
    EXPECT_LE(NeededSize(Control("btnExit"), platform::win32::ToWide(text)).cx + 8, ClientWidth(Control("btnExit")))
        << text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ShippedTranslationsTest,
    ::testing::Values(
        Shipped{"German", "German", {L"Name", L"Erstellt", L"Zuletzt verwendet", L"Anzahl"}},
        Shipped{"French",
                "French",
                {L"Nom", L"Cr\u00E9\u00E9 le", L"Derni\u00E8re utilisation", L"Usages"}},
        // Not French, which sorts first: the English file is there to be chosen.
        Shipped{"", "English", {L"Name", L"Created", L"Last used", L"Uses"}}),
    [](const ::testing::TestParamInfo<Shipped>& info) {
      return std::string(*info.param.stored ? info.param.stored : "NoneStored");
    });

}  // namespace
}  // namespace cvn::ui
