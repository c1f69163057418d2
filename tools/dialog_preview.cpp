// Shows one of the small dialogs as a user meets it, over the main window,
// so that it can be looked at (tools/screenshot.sh takes its picture). Not a
// test: it waits for a person, or for the screenshot script to end it.
//
//   CVN_PREVIEW_DIALOG = question | error | german | input | about
//
// "german" shows the question with German button texts from a language file
// held in memory.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "ui/about_dialog.h"
#include "ui/input_text_dialog.h"
#include "ui/main_window.h"
#include "ui/message_box.h"

using namespace cvn;

int main() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const char* which = std::getenv("CVN_PREVIEW_DIALOG");
  const std::string_view dialog = which != nullptr ? which : "question";

  platform::MemoryFileSystem fs;
  const std::vector<uint8_t> german = i18n::LanguageFileWriter()
                                          .Section("RESOURCESTRING")
                                          .Key("RS_DLG_CNF", "Best\xE4tigen")
                                          .Key("RS_DLG_YES", "Ja, speichern")
                                          .Key("RS_DLG_NO", "Nein")
                                          .Key("RS_DLG_CANCEL", "Abbrechen")
                                          .Build();
  (void)fs.AddFile("C:\\Apps\\Corvane\\Translations\\Deutsch.lng",
                   std::string(german.begin(), german.end()));
  i18n::Translator translator(fs, "C:\\Apps\\Corvane\\corvane.exe");
  i18n::InstallTranslator(&translator);
  platform::MemoryRegistry registry;
  ui::AppContext context;
  ui::MainWindow owner(context, registry);
  if (!owner.Create()) return 1;
  owner.Show(SW_SHOWNORMAL);

  using B = ui::MessageButton;
  if (dialog == "question" || dialog == "german") {
    if (dialog == "german") translator.SetLanguage("Deutsch");
    ui::CustomMessageDlg("The changes tree was edited.\nSave the changes before closing?",
                         ui::MessageKind::kConfirmation, {B::kYes, B::kNo, B::kCancel});
  } else if (dialog == "error") {
    std::string text = "Error saving changes tree ! ";
    for (int i = 0; i < 8; ++i) text += "The folder of the program cannot be written to. ";
    ui::CustomMessageDlg(text, ui::MessageKind::kError, {B::kOk});
  } else if (dialog == "input") {
    ui::InputText(owner.hwnd(), {.caption = "Rename",
                                 .label = "New name",
                                 .ok_caption = "Ok",
                                 .cancel_caption = "Cancel",
                                 .initial_text = "Editor"});
  } else if (dialog == "about") {
    ui::ShowAboutDialog(owner.hwnd());
  }
  i18n::InstallTranslator(nullptr);
  return 0;
}
