// Shows one of the small dialogs as a user meets it, so that it can be
// looked at (tools/screenshot.sh takes its picture). Not a test: it waits for
// a person, or for the screenshot script to end it.
//
//   CVN_PREVIEW_DIALOG = question | error | german | input | about
//
// "german" shows the question with German button texts from a language file
// held in memory.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "ui/about_dialog.h"
#include "ui/custom_dlg.h"
#include "ui/input_text_dialog.h"

namespace {

using cvn::ui::MessageButton;
using cvn::ui::MessageKind;

constexpr char kExecutable[] = "C:\\Apps\\Corvane\\corvane.exe";

// An owner window, as the main window is for the program's dialogs.
HWND CreateOwner() {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = DefWindowProcW;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  window_class.lpszClassName = L"CvnPreviewOwner";
  RegisterClassExW(&window_class);
  HWND owner = CreateWindowExW(0, window_class.lpszClassName, L"Corvane", WS_OVERLAPPEDWINDOW, 40,
                               40, 688, 440, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  // The program's windows give their controls Tahoma 8, and the message
  // box takes its owner's font from them.
  HWND label = CreateWindowExW(0, L"STATIC", L"Owner", WS_CHILD | WS_VISIBLE, 8, 8, 200, 16, owner,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  static HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0,
                                  0, DEFAULT_QUALITY, 0, L"Tahoma");
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ShowWindow(owner, SW_SHOW);
  return owner;
}

void AskQuestion() {
  cvn::ui::CustomMessageDlg("The changes tree was edited.\nSave the changes before closing?",
                            MessageKind::kConfirmation,
                            {MessageButton::kYes, MessageButton::kNo, MessageButton::kCancel});
}

}  // namespace

int main() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const char* which = std::getenv("CVN_PREVIEW_DIALOG");
  const std::string_view dialog = which != nullptr ? which : "question";
  HWND owner = CreateOwner();

  if (dialog == "question") {
    AskQuestion();
  } else if (dialog == "error") {
    std::string text = "Error saving changes tree ! ";
    for (int i = 0; i < 8; ++i) text += "The folder of the program cannot be written to. ";
    cvn::ui::CustomMessageDlg(text, MessageKind::kError, {MessageButton::kOk});
  } else if (dialog == "german") {
    cvn::platform::MemoryFileSystem fs;
    cvn::i18n::LanguageFileWriter writer;
    writer.Section("RESOURCESTRING")
        .Key("RS_DLG_CNF", "Best\xE4tigen")
        .Key("RS_DLG_YES", "Ja, speichern")
        .Key("RS_DLG_NO", "Nein")
        .Key("RS_DLG_CANCEL", "Abbrechen");
    const std::vector<uint8_t> bytes = writer.Build();
    (void)fs.AddFile("C:\\Apps\\Corvane\\Translations\\Deutsch.lng",
                     std::string(bytes.begin(), bytes.end()));
    cvn::i18n::TTranslator translator(fs, kExecutable);
    translator.SetLanguage("Deutsch");
    cvn::i18n::InstallTranslator(&translator);
    AskQuestion();
    cvn::i18n::InstallTranslator(nullptr);
  } else if (dialog == "input") {
    cvn::ui::InputText(owner, {.caption = "Rename",
                               .label = "New name",
                               .ok_caption = "Ok",
                               .cancel_caption = "Cancel",
                               .initial_text = "Editor"});
  } else if (dialog == "about") {
    cvn::ui::ShowAboutDialog(owner);
  }
  DestroyWindow(owner);
  return 0;
}
