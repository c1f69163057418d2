// The shared-file question on the real controls, driven from inside its
// modal loop: each answer, Enter, the ways out it refuses, the file it
// shows; and the shipped languages relabelling it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "i18n/language_file.h"
#include "platform/codepage.h"
#include "platform/win32/wide_text.h"
#include "tests/ui/ui_test_util.h"
#include "ui/form_translation.h"
#include "ui/remove_shared_dialog.h"

namespace cvn::ui {
namespace {

using testing::DialogStep;
using uninstall::RemoveAnswer;

// The dialog closes no other way, so a missing button ends it from outside.
DialogStep Click(const wchar_t* caption) {
  return [caption](HWND dialog) {
    if (const HWND button = testing::FindDescendant(dialog, L"Button", caption)) {
      PostMessageW(button, BM_CLICK, 0, 0);
    } else {
      ADD_FAILURE() << "no button " << platform::win32::ToUtf8(caption);
      DestroyWindow(dialog);
    }
  };
}

class RemoveSharedDialogTest : public testing::WindowTest {};

TEST_F(RemoveSharedDialogTest, AnswersOnlyThroughItsFourButtons) {
  const DialogStep enter = [](HWND d) { testing::PressKey(d, VK_RETURN); };
  const DialogStep enter_in_field = [](HWND d) {  // after copying the folder, say
    SetFocus(FindWindowExW(d, nullptr, L"Edit", nullptr));
    testing::PressKey(d, VK_RETURN);
  };
  const DialogStep refuse = [](HWND d) {  // Esc, Alt+F4, the close command, WM_CLOSE
    testing::PressKey(d, VK_ESCAPE);
    PostMessageW(GetFocus() != nullptr ? GetFocus() : d, WM_SYSKEYDOWN, VK_F4, KF_ALTDOWN << 16);
    PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(d, WM_CLOSE, 0, 0);
  };
  const std::pair<std::vector<DialogStep>, RemoveAnswer> cases[] = {
      {{Click(L"Yes")}, RemoveAnswer::kYes},
      {{Click(L"Yes To All")}, RemoveAnswer::kYesToAll},
      {{Click(L"No")}, RemoveAnswer::kNo},
      {{Click(L"No To All")}, RemoveAnswer::kNoToAll},
      {{enter}, RemoveAnswer::kYes},
      {{enter_in_field}, RemoveAnswer::kYes},
      {{refuse, Click(L"Yes To All")}, RemoveAnswer::kYesToAll},
  };
  const std::string folder = "C:\\Program Files\\" + std::string(120, 'q') + "\\";
  for (const auto& [steps, answer] : cases) {
    // After a failure the driver only sends WM_CLOSE, which the dialog ignores.
    if (HasFailure()) break;
    SCOPED_TRACE(static_cast<int>(answer));
    std::vector<std::wstring> fields;
    LONG style = 0;
    std::vector<DialogStep> driven = steps;
    driven.front() = [&, act = steps.front()](HWND dialog) {
      for (HWND edit : testing::DescendantsOfClass(dialog, L"Edit")) {
        const bool read_only = (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0;
        fields.push_back((read_only ? L"read-only " : L"") + testing::WindowTextOf(edit));
      }
      style = GetWindowLongW(dialog, GWL_STYLE);
      act(dialog);
    };
    testing::DialogDriver driver(RemoveSharedDialog::kClassName, driven);
    EXPECT_EQ(AskRemoveSharedFile(nullptr, "quillfern.dll", folder), answer);
    EXPECT_TRUE(driver.finished()) << "the dialog closed before every step ran";
    EXPECT_EQ(fields, (std::vector<std::wstring>{L"read-only quillfern.dll",
                                                 L"read-only " + platform::win32::ToWide(folder)}));
    EXPECT_EQ(style & WS_SYSMENU, 0) << "no close box";
  }
}

// Every key of the dialog's section in the shipped languages relabels it.
TEST_F(RemoveSharedDialogTest, ShippedLanguagesRelabelIt) {
  for (const char* language : {"English", "German", "French"}) {
    SCOPED_TRACE(language);
    std::ifstream in(std::filesystem::path(testing::WindowsPath(std::string(CVN_TRANSLATIONS_DIR) +
                                                                "/" + language + ".lng")),
                     std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_NO_FATAL_FAILURE(AddLanguage(language, bytes));
    InstallTranslator(language);
    RemoveSharedDialog dialog;
    ASSERT_TRUE(dialog.Create());
    FormTranslation translation(dialog);
    translator_->TranslateForm(translation);
    i18n::LanguageFile file("x.lng", bytes);
    const std::vector<std::string> keys = file.ReadSectionKeys("dlgRemoveShared");
    EXPECT_EQ(keys.size(), 9u);
    for (const std::string& key : keys) {
      EXPECT_EQ(dialog.GetTextByKey(key),
                platform::CodePageToUtf8(file.ReadString("dlgRemoveShared", key, ""), 1252))
          << key;
    }
  }
}

}  // namespace
}  // namespace cvn::ui
