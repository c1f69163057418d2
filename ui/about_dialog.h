// AboutDialog: the About dialog, with the program's icon, name and version.
// It is translated when shown, through the installed translator.
#pragma once

#include "ui/modal_dialog.h"

namespace cvn::ui {

class AboutDialog : public ModalDialog {
 public:
  static constexpr wchar_t kClassName[] = L"TdlgAboutCvn";

  AboutDialog();
  ~AboutDialog() override;

  // Creates the dialog, hidden. False when the system refused the window.
  bool Create();

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  HICON icon_ = nullptr;
};

// Shows the About dialog modally over `owner` and frees it.
void ShowAboutDialog(HWND owner);

}  // namespace cvn::ui
