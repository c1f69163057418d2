// RemoveSharedDialog: the question the uninstall asks about a shared file
// whose usage counter has dropped to zero. It shows the file's name and
// folder in read-only fields (long paths scroll and can be copied) and
// answers Yes, Yes To All, No or No To All. It has no other way out: no
// close box, and Esc, Alt+F4 and the close command do nothing. Enter
// presses the focused button, Yes at first. It is translated when shown,
// through the installed translator (form "dlgRemoveShared").
#pragma once

#include <string_view>

#include "ui/modal_dialog.h"
#include "uninstall/uninstall_view.h"

namespace cvn::ui {

class RemoveSharedDialog : public ModalDialog {
 public:
  static constexpr wchar_t kClassName[] = L"TdlgRemoveShared";

  RemoveSharedDialog();

  // Creates the dialog, hidden. False when the system refused the window.
  bool Create();

  // The file's name, and its folder with a trailing backslash.
  void SetFile(std::string_view file_name, std::string_view folder);

  Component& edFileName() const { return *edFileName_; }
  Component& edLocated() const { return *edLocated_; }

 protected:
  void FormCreate() override;
  void FormShow() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Component* edFileName_ = nullptr;
  Component* edLocated_ = nullptr;
};

// Asks over `owner` (may be null) whether the unused shared file `file_name`
// in `folder` may be removed, and returns the answer. Runs on the thread
// that owns `owner`. When the dialog cannot be shown, or the program is
// ending (WM_QUIT) while it shows, the answer is No: the file stays, which
// does the system no harm.
uninstall::RemoveAnswer AskRemoveSharedFile(HWND owner, std::string_view file_name,
                                            std::string_view folder);

}  // namespace cvn::ui
