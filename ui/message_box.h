// CustomMessageDlg: the one message box of the program, for every question
// and error. Its caption and button texts are translated; its size follows
// the owner's font, the translated captions and the text, which wraps at half
// the screen's width.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace cvn::ui {

// The kind sets the caption and the icon.
enum class MessageKind : uint8_t {
  kWarning,       // "Warning", exclamation icon
  kError,         // "Error", hand icon
  kInformation,   // "Information", asterisk icon
  kConfirmation,  // "Confirm", question icon
  kCustom,        // the application title, no icon
};

// The buttons, in the order the box lays them out from left to right.
enum class MessageButton : uint8_t {
  kYes,          // result 6
  kNo,           // 7
  kOk,           // 1
  kCancel,       // 2
  kAbort,        // 3
  kRetry,        // 4
  kIgnore,       // 5
  kAll,          // 8
  kNoToAll,      // 9
  kYesToAll,     // 10
  kShowActions,  // 11, "Show what will be done"
};
inline constexpr int kMessageButtonCount = 11;

// A set of buttons: {MessageButton::kYes, MessageButton::kNo}.
class MessageButtons {
 public:
  constexpr MessageButtons() = default;
  constexpr MessageButtons(std::initializer_list<MessageButton> buttons) {
    for (const MessageButton button : buttons) bits_ |= Bit(button);
  }
  constexpr bool contains(MessageButton button) const { return (bits_ & Bit(button)) != 0; }
  constexpr int size() const {
    int count = 0;
    for (uint16_t bits = bits_; bits != 0; bits &= static_cast<uint16_t>(bits - 1)) ++count;
    return count;
  }

 private:
  static constexpr uint16_t Bit(MessageButton button) {
    return static_cast<uint16_t>(1u << static_cast<unsigned>(button));
  }
  uint16_t bits_ = 0;
};

// The result a button gives (one of the kResult numbers of ui/modal_dialog.h).
int MessageButtonResult(MessageButton button);

// Shows `text` (UTF-8; line feeds start new lines) modally over the
// application's active window and returns the result of the button pressed.
// Enter presses the focused button, else the default one: OK, else Yes, else
// Retry. Esc presses Cancel, else No, else OK. Closing the box by its border
// gives 2.
int CustomMessageDlg(std::string_view text, MessageKind kind, MessageButtons buttons);

// The window class of the box, by which tests find it.
inline constexpr wchar_t kMessageFormClassName[] = L"TMessageForm";

}  // namespace cvn::ui
