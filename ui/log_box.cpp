#include "ui/log_box.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include "platform/win32/wide_text.h"
#include "ui/form.h"

namespace cvn::ui {

namespace {

constexpr UINT_PTR kSubclassId = 0x4C42;  // "LB"
constexpr UINT_PTR kFlushTimerId = 0x4C42;
constexpr wchar_t kFontName[] = L"Courier New";

HMODULE LoadSystemLibrary(const wchar_t* name) {
  // Only from the system folder; systems without that search flag refuse
  // it as an invalid parameter and load the usual way.
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryW(name);
  return module;
}

bool ClassRegistered(const wchar_t* window_class) {
  WNDCLASSW info = {};
  return GetClassInfoW(nullptr, window_class, &info) != FALSE;
}

// Characters that would end a line of the box, and NUL, which would end the
// text handed to the control.
bool BreaksLine(wchar_t c) {
  return (c < L' ' && c != L'\t') || c == 0x2028 || c == 0x2029;
}

CHARFORMAT2W ColorFormat(const uninstall::LogColor& color) {
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  if (color.window_text) {
    format.dwEffects = CFE_AUTOCOLOR;
  } else {
    format.crTextColor = RGB(color.red, color.green, color.blue);
  }
  return format;
}

}  // namespace

const wchar_t* LogBox::WindowClass() {
  static const wchar_t* const window_class = []() -> const wchar_t* {
    if (LoadSystemLibrary(L"Msftedit.dll") != nullptr && ClassRegistered(MSFTEDIT_CLASS))
      return MSFTEDIT_CLASS;
    if (LoadSystemLibrary(L"riched20.dll") != nullptr && ClassRegistered(RICHEDIT_CLASSW))
      return RICHEDIT_CLASSW;
    return nullptr;
  }();
  return window_class;
}

LogBox::LogBox(HWND rich_edit) : hwnd_(rich_edit) {
  SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 1);  // no word wrap
  SendMessageW(hwnd_, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetFont(WindowDpi(hwnd_), DEFAULT_CHARSET);
}

LogBox::~LogBox() {
  if (hwnd_ != nullptr) {
    StopTimer();
    RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  }
  // The control made its own fonts from this one.
  if (font_ != nullptr) DeleteObject(font_);
}

LRESULT CALLBACK LogBox::SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR, DWORD_PTR data) {
  auto* box = reinterpret_cast<LogBox*>(data);
  switch (message) {
    case WM_TIMER:
      if (wparam == kFlushTimerId) {
        box->Flush();
        return 0;
      }
      break;
    case WM_SETFONT:
      // The window gives all its controls its font; the box keeps its own.
      if (box->font_ != nullptr) wparam = reinterpret_cast<WPARAM>(box->font_);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
      box->hwnd_ = nullptr;
      box->timer_running_ = false;
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

void LogBox::StopTimer() {
  if (!timer_running_) return;
  KillTimer(hwnd_, kFlushTimerId);
  timer_running_ = false;
}

void LogBox::Start() {
  StopTimer();
  pending_.clear();
  spans_.clear();
  has_line_ = false;
  last_line_start_ = 0;
  if (hwnd_ == nullptr) return;
  SetWindowTextW(hwnd_, L"");
  EnableWindow(hwnd_, FALSE);
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
}

void LogBox::Append(std::string_view utf8_line, uninstall::LogColor color) {
  if (spans_.empty() || !(spans_.back().color == color)) spans_.push_back({0, color});
  if (has_line_) pending_ += L'\r';
  has_line_ = true;
  pending_last_line_ = pending_.size();
  pending_ += platform::win32::ToWide(utf8_line);
  std::replace_if(pending_.begin() + static_cast<ptrdiff_t>(pending_last_line_), pending_.end(),
                  BreaksLine, L' ');
  spans_.back().end = pending_.size();

  const auto since_flush = std::chrono::steady_clock::now() - last_flush_;
  if (since_flush >= kFlushInterval) {
    Flush();
  } else if (!timer_running_ && hwnd_ != nullptr) {
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(kFlushInterval - since_flush).count();
    timer_running_ = SetTimer(hwnd_, kFlushTimerId, static_cast<UINT>(wait), nullptr) != 0;
  }
}

void LogBox::Flush() {
  StopTimer();
  if (spans_.empty() || hwnd_ == nullptr) {
    last_flush_ = std::chrono::steady_clock::now();
    return;
  }
  ++flush_count_;
  // Painting after every span would cost more than the text: the box is
  // painted once, at the end. (Redraw is switched on again only where it
  // was on: on a window without WS_VISIBLE that would show it.)
  const bool redraw = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  if (redraw) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  GETTEXTLENGTHEX length_query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
  const auto end = static_cast<long>(
      SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length_query), 0));
  CHARRANGE at_end = {end, end};
  SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at_end));
  size_t begin = 0;
  for (const Span& span : spans_) {
    CHARFORMAT2W format = ColorFormat(span.color);
    SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    // The span ends the text for the moment (the string's own terminator
    // may be written, with its own value).
    const wchar_t after = pending_[span.end];
    pending_[span.end] = L'\0';
    SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.data() + begin));
    pending_[span.end] = after;
    begin = span.end;
  }
  last_line_start_ = end + static_cast<long>(pending_last_line_);
  pending_.clear();
  spans_.clear();
  ShowLastLine();
  if (redraw) {
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  // Counted from the end, so that the message loop gets its turn between
  // two flushes however long one takes.
  last_flush_ = std::chrono::steady_clock::now();
}

void LogBox::ShowLastLine() {
  CHARRANGE caret = {last_line_start_, last_line_start_};
  SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&caret));
  SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
}

void LogBox::Finish() {
  Flush();
  if (hwnd_ == nullptr) return;
  EnableWindow(hwnd_, TRUE);
  SendMessageW(hwnd_, EM_SETBKGNDCOLOR, 1, 0);  // the system's window colour
  ShowLastLine();
}

void LogBox::SetFont(int dpi, uint8_t charset) {
  HFONT old = font_;
  font_ = CreateFontW(-MulDiv(kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                      charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      FIXED_PITCH | FF_MODERN, kFontName);
  ApplyFont();
  if (old != nullptr) DeleteObject(old);
}

void LogBox::ApplyFont() {
  if (hwnd_ == nullptr) return;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  // WM_SETFONT sets the format of text to come; the lines already there
  // take the same face, size and character set, and keep their colours.
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  SendMessageW(hwnd_, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
  SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

}  // namespace cvn::ui
