#include "ui/edit_filter.h"

#include <commctrl.h>

#include <string>

namespace cvn::ui {

namespace {

constexpr UINT_PTR kFilterId = 1;

bool IsEmpty(HWND edit) {
  return GetWindowTextLengthW(edit) == 0;
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Pasted text, each character judged as if typed at the caret.
void PasteFiltered(HWND edit, CharacterRule rule) {
  const std::wstring pasted = ClipboardText(edit);
  std::wstring kept;
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  // The field is empty after the paste's start when the selection covers all of it.
  bool empty = start == 0 && end >= static_cast<DWORD>(GetWindowTextLengthW(edit));
  for (const wchar_t c : pasted) {
    if (c == L'\r' || c == L'\n' || !rule(c, empty)) continue;
    kept += c;
    empty = false;
  }
  SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
}

LRESULT CALLBACK FilterProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                            DWORD_PTR data) {
  const auto rule = reinterpret_cast<CharacterRule>(data);
  switch (message) {
    case WM_CHAR:
      // Control characters (backspace, Ctrl+V and the like) keep their meaning.
      if (wparam >= L' ' && !rule(static_cast<char32_t>(wparam), IsEmpty(edit))) {
        MessageBeep(MB_OK);
        return 0;
      }
      break;
    case WM_PASTE:
      PasteFiltered(edit, rule);
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, FilterProc, kFilterId);
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wparam, lparam);
}

}  // namespace

void FilterTypedCharacters(HWND edit, CharacterRule rule) {
  SetWindowSubclass(edit, FilterProc, kFilterId, reinterpret_cast<DWORD_PTR>(rule));
}

}  // namespace cvn::ui
