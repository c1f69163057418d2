// Shows one of the small dialogs as a user meets it, over the main window,
// so that it can be looked at (tools/screenshot.sh takes its picture). Not a
// test: it waits for a person, or for the screenshot script to end it.
//
//   CVN_PREVIEW_DIALOG   = question | error | german | input | about | shared | options |
//                          uninstall | actions
//   CVN_PREVIEW_LANGUAGE = English | German | French   (shared, options, uninstall, actions;
//                          default English)
//   CVN_PREVIEW_PAGE     = 0 | 1 | 2   (options only: the page shown)
//
// "german" shows the question with German button texts from a language file
// held in memory. "shared" asks about an unused shared file with a long
// folder, in a language file the build made (beside the program, or in
// app\Translations of the build folder that holds tools\dialog_preview.exe).
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "i18n/language_file_writer.h"
#include "i18n/translator.h"
#include "platform/memory/memory_filesystem.h"
#include "platform/memory/memory_registry.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/actions_dialog.h"
#include "ui/input_text_dialog.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/options_dialog.h"
#include "ui/remove_shared_dialog.h"
#include "wizard/wizard_texts.h"

using namespace cvn;

namespace {

// The path corvane.exe has in the build folder, where the build puts the
// language files beside it; this program's own path when they are beside it.
std::string TranslationsOwner(platform::FileSystem& disk) {
  const std::string exe = platform::win32::ExecutablePath();
  const std::string folder = exe.substr(0, exe.rfind('\\') + 1);
  if (platform::IsFolder(disk, folder + "Translations")) return exe;
  return folder + "..\\app\\corvane.exe";
}

}  // namespace

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
  platform::win32::Win32FileSystem disk;
  const bool shipped =
      dialog == "shared" || dialog == "options" || dialog == "uninstall" || dialog == "actions";
  i18n::Translator translator(shipped ? static_cast<platform::FileSystem&>(disk) : fs,
                              shipped ? TranslationsOwner(disk) : "C:\\Apps\\Corvane\\corvane.exe");
  i18n::InstallTranslator(&translator);
  platform::MemoryRegistry registry;
  if (shipped) {
    // The main window chooses the language of the settings.
    settings::Settings settings;
    const char* language = std::getenv("CVN_PREVIEW_LANGUAGE");
    settings.language = language != nullptr ? language : "English";
    settings::SaveSettings(registry, settings);
  }
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
  } else if (dialog == "shared") {
    ui::AskRemoveSharedFile(owner.hwnd(), "quillfern_runtime140.dll",
                            "C:\\Program Files\\Common Files\\Quillfern Software\\Shared "
                            "Components\\Runtime\\x64\\Release 2024\\");
  } else if (dialog == "uninstall") {
    ui::CustomMessageDlg(
        wizard::WithArgument(
            i18n::Translate("RS_ASK_UNINSTALL", "Are you sure you want to uninstall '%s' ?"),
            "Quillfern"),
        ui::MessageKind::kConfirmation, {B::kYes, B::kNo, B::kShowActions});
  } else if (dialog == "actions") {
    std::vector<std::string> actions;
    for (int i = 1; i <= 40; ++i)
      actions.push_back("DELETING FILE: C:\\Program Files\\Quillfern\\Templates\\Letters\\letter-" +
                        std::to_string(i) + ".qft");
    actions.push_back("DELETING REGISTRY KEY: HKEY_CURRENT_USER\\Software\\Quillfern");
    ui::ShowActionsDialog(owner.hwnd(), actions);
  } else if (dialog == "options") {
    settings::Settings settings;
    settings::LoadSettings(registry, settings);
    settings.excluded_folders.Add("C:\\Program Files\\Quillfern\\Cache");
    settings.ignored_files.Add("C:\\Windows\\WindowsUpdate.log");
    settings.ignored_keys.Add("HKEY_CURRENT_USER\\Software\\Quillfern\\Recent");
    ui::OptionsDialog options(settings);
    const char* page = std::getenv("CVN_PREVIEW_PAGE");
    options.first_page = page != nullptr ? std::atoi(page) : 0;
    ui::ShowOptionsDialog(options, owner.hwnd(), settings, registry);
  }
  i18n::InstallTranslator(nullptr);
  return 0;
}
