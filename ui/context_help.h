// Context help: a short text about one control, shown in a small popup near
// the mouse or the control. The texts come from the language files (the
// translator's HelpText), keyed by the control's help context number, which
// each control window carries as its context help id
// (SetWindowContextHelpId).
//
// The popup never blocks: it is an ordinary window that closes itself on the
// next mouse click, key press or loss of focus, or when another popup
// replaces it. Main thread only.
#pragma once

#include "platform/win32/windows_api.h"

#include <string_view>

namespace cvn::ui {

class Form;

// Gives every windowed component of `form` with a help context that number
// as its window's context help id, so that HelpContextOf finds it.
void ApplyHelpContexts(const Form& form);

// The help context of `control`: its own context help id; for a text label
// without one, that of the control created right after it, the one it
// names; else the first non-zero one of its parents; 0 when none has one.
int HelpContextOf(HWND control);

// The deepest visible descendant of `window` under the screen point `at`;
// `window` itself when no child is there, null when the point is outside it.
HWND ControlAt(HWND window, POINT at);

// Shows `text` in the popup with its top-left corner near `at` (screen
// coordinates), kept on the monitor; `owner` is the window the popup belongs
// to (it may be null). The text is in the font of `font_source` when it has
// one, else in the system's status-bar font. Replaces a popup already shown
// and returns the new one.
HWND ShowHelpPopup(std::string_view text, POINT at, HWND owner, HWND font_source = nullptr);
// The popup now shown; null when none is.
HWND CurrentHelpPopup();
void CloseHelpPopup();

// Shows the help text of `control`'s help context (HelpContextOf) near `at`
// in the current language. False, and nothing is shown, when the control has
// no help context or its context has no text.
bool ShowContextHelp(HWND control, POINT at);

}  // namespace cvn::ui
