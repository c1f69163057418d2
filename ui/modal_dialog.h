// Modal windows: a dialog that is shown over its owner, keeps the owner
// disabled while it shows, runs its own message loop and ends with a result
// (the number of the button that closed it).
//
// The loop hands every message to IsDialogMessage first, so Tab moves the
// focus, Enter presses the focused push button (else the default one) and
// Esc the cancel button. It only ever waits in GetMessage, so a test can
// drive a dialog from a timer of its own thread or from another thread by
// posting keys and clicks to it.
#pragma once

#include "platform/win32/windows_api.h"

#include <functional>
#include <string>
#include <string_view>

#include "ui/form.h"

namespace cvn::ui {

// The results of the buttons that end a dialog: the system's numbers for
// them (IDOK, IDCANCEL, ...), which dialogs return as plain integers.
inline constexpr int kResultNone = 0;
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultAbort = 3;
inline constexpr int kResultRetry = 4;
inline constexpr int kResultIgnore = 5;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;
inline constexpr int kResultAll = 8;
inline constexpr int kResultNoToAll = 9;
inline constexpr int kResultYesToAll = 10;
// A result of the program's own: "Show what will be done".
inline constexpr int kResultShowActions = 11;

// Shows `dialog`, gives `focus` (may be null) the keyboard focus and
// dispatches this thread's messages until `ended` holds or the dialog is
// gone. `owner` (may be null) is disabled meanwhile and enabled
// again before the dialog is hidden, so that it gets the activation back. A
// WM_QUIT met on the way ends the loop and is posted again for the caller's
// loop.
void RunModalLoop(HWND dialog, HWND owner, HWND focus, const std::function<bool()>& ended);

// The push button of `dialog` that has the keyboard focus; null when the
// focus is elsewhere. Enter presses it rather than the default button.
HWND FocusedPushButton(HWND dialog);

// `size` (the window's outer size) centred over `owner`, or over the screen
// when there is none, and kept inside the work area of owner's screen.
POINT CenteredOver(HWND owner, SIZE size);

// A form shown modally: a fixed dialog border, no minimise or maximise box.
// Closing it by its border gives kResultCancel; Esc presses the cancel button.
class ModalDialog : public Form {
 public:
  // Centres the dialog over `owner` (may be null), shows it modally with the
  // focus on its first control in tab order and returns the result that
  // ended it. The dialog stays, hidden, so that the
  // caller can read its controls.
  int ShowModal(HWND owner);

  int modal_result() const { return modal_result_; }

 protected:
  // `design_client_size` is the client area at 96 DPI.
  ModalDialog(std::string class_name, Size design_client_size);

  // Creates the window, hidden, with the dialog border and the client area
  // it was designed for; FormCreate makes the components.
  bool CreateDialogWindow(std::string_view caption);

  // Runs before the dialog becomes visible.
  virtual void FormShow() {}

  // Ends the dialog with `result`.
  void SetModalResult(int result) { modal_result_ = result; }
  // A click on `button` ends the dialog with `result`.
  void SetResultButton(const Component& button, int result);
  // The button that Esc presses.
  void SetCancelButton(const Component& button) { cancel_button_id_ = button.id(); }

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void ApplyDialogFrame();
  SIZE OuterSize() const;

  Size design_client_size_;
  int modal_result_ = kResultNone;
  int cancel_button_id_ = 0;
};

}  // namespace cvn::ui
