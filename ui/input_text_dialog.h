// InputTextDialog: a one-line text input. The caller sets the caption, the
// label, both button texts and the initial text, shows it modally and reads
// edText after an Ok. Ok is enabled exactly while the text is not empty.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/modal_dialog.h"

namespace cvn::ui {

class InputTextDialog : public ModalDialog {
 public:
  static constexpr wchar_t kClassName[] = L"TdlgInputText";

  InputTextDialog();

  // Creates the dialog, hidden. False when the system refused the window.
  bool Create();

  Component& lblLabel() const { return *lblLabel_; }
  Component& edText() const { return *edText_; }
  Component& btnOk() const { return *btnOk_; }
  Component& btnCancel() const { return *btnCancel_; }

 protected:
  void FormCreate() override;
  void FormShow() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void edTextChange();

  Component* lblLabel_ = nullptr;
  Component* edText_ = nullptr;
  Component* btnOk_ = nullptr;
  Component* btnCancel_ = nullptr;
};

// What an input dialog asks for.
struct TextRequest {
  std::string caption = {};
  std::string label = {};
  std::string ok_caption = {};
  std::string cancel_caption = {};
  std::string initial_text = {};
  uint8_t font_charset = DEFAULT_CHARSET;  // the character set of the texts
};

// Asks for a line of text over `owner`: the text after Ok, nothing after
// Cancel.
std::optional<std::string> InputText(HWND owner, const TextRequest& request);

}  // namespace cvn::ui
