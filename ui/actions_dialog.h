// ActionsDialog: what an uninstall would do, one action a line in the order
// it would take them, shown before the user answers the uninstall question.
// It is translated when shown, through the installed translator.
#pragma once

#include <string>
#include <vector>

#include "ui/modal_dialog.h"

namespace cvn::ui {

class ActionsDialog : public ModalDialog {
 public:
  static constexpr wchar_t kClassName[] = L"TdlgActions";

  explicit ActionsDialog(const std::vector<std::string>& actions);

  // Creates the dialog, hidden. False when the system refused the window.
  bool Create();

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  const std::vector<std::string>& actions_;
  Component* lbActions_ = nullptr;
};

// Shows `actions` modally over `owner`; "Nothing to do" when there are none.
void ShowActionsDialog(HWND owner, const std::vector<std::string>& actions);

}  // namespace cvn::ui
