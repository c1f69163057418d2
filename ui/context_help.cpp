#include "ui/context_help.h"

#include <algorithm>
#include <string>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "ui/form.h"

namespace cvn::ui {

namespace {

constexpr wchar_t kPopupClass[] = L"CvnHelpPopup";
// At 96 DPI: the widest the text may run before it wraps, and the space
// between the border and the text.
constexpr int kMaxTextWidth = 320;
constexpr int kMargin = 6;

HWND g_popup = nullptr;
HFONT g_font = nullptr;

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : kDesignDpi;
}

// The font of `font_source` (which carries the language's character set),
// else the system's status-bar font.
HFONT PopupFont(HWND font_source, int dpi) {
  if (font_source != nullptr) {
    LOGFONTW own = {};
    const auto font = reinterpret_cast<HFONT>(SendMessageW(font_source, WM_GETFONT, 0, 0));
    if (font != nullptr && GetObjectW(font, sizeof(own), &own) == sizeof(own))
      return CreateFontIndirectW(&own);
  }
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  LOGFONTW font = metrics.lfStatusFont;
  // The system's metrics are for its own DPI; the popup follows its monitor.
  const int system_dpi = ScreenDpi();
  if (system_dpi != dpi) font.lfHeight = MulDiv(font.lfHeight, dpi, system_dpi);
  return CreateFontIndirectW(&font);
}

void Close(HWND popup) {
  if (IsWindow(popup)) DestroyWindow(popup);
}

LRESULT CALLBACK PopupProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      Close(hwnd);
      return 0;
    case WM_ACTIVATE:
      // Losing the focus closes the popup, but not inside the activation
      // change itself.
      if (LOWORD(wparam) == WA_INACTIVE) PostMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd) PostMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
      const int margin = ScaleForDpi(kMargin, WindowDpi(hwnd));
      InflateRect(&client, -margin, -margin);
      const std::wstring text = [&] {
        std::wstring t(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
        t.resize(static_cast<size_t>(GetWindowTextW(hwnd, t.data(), static_cast<int>(t.size()))));
        return t;
      }();
      HGDIOBJ old_font = SelectObject(dc, g_font);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client,
                DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
      SelectObject(dc, old_font);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_DESTROY:
      if (GetCapture() == hwnd) ReleaseCapture();
      if (g_popup == hwnd) g_popup = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void RegisterPopupClass() {
  static const bool registered = [] {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_SAVEBITS | CS_DROPSHADOW;
    window_class.lpfnWndProc = PopupProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kPopupClass;
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
}

// The text's size when it wraps at `max_width`.
SIZE MeasureText(const std::wstring& text, int max_width) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old_font = SelectObject(dc, g_font);
  RECT bounds = {0, 0, max_width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  SelectObject(dc, old_font);
  ReleaseDC(nullptr, dc);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

}  // namespace

void ApplyHelpContexts(const Form& form) {
  for (const auto& component : form.components()) {
    if (component->windowed() && component->help_context() != 0)
      SetWindowContextHelpId(component->hwnd(), static_cast<DWORD>(component->help_context()));
  }
}

namespace {

// A text label: a static control that shows text, not a picture or a line.
bool IsLabel(HWND control) {
  wchar_t window_class[16] = {};
  GetClassNameW(control, window_class, 16);
  if (_wcsicmp(window_class, L"Static") != 0) return false;
  const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
         type == SS_LEFTNOWORDWRAP;
}

}  // namespace

int HelpContextOf(HWND control) {
  // A label explains the control it names, which the forms create right
  // after it.
  if (control != nullptr && GetWindowContextHelpId(control) == 0 && IsLabel(control)) {
    const HWND named = GetWindow(control, GW_HWNDNEXT);
    if (named != nullptr && GetWindowContextHelpId(named) != 0)
      return static_cast<int>(GetWindowContextHelpId(named));
  }
  for (HWND window = control; window != nullptr; window = GetAncestor(window, GA_PARENT)) {
    if (const DWORD context = GetWindowContextHelpId(window); context != 0)
      return static_cast<int>(context);
    if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0)
      break;  // a top-level window ends the chain
  }
  return 0;
}

HWND ControlAt(HWND window, POINT at) {
  RECT bounds;
  if (!GetWindowRect(window, &bounds) || !PtInRect(&bounds, at)) return nullptr;
  HWND found = window;
  for (;;) {
    POINT local = at;
    ScreenToClient(found, &local);
    HWND child = ChildWindowFromPointEx(found, local, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (child == nullptr || child == found) return found;
    found = child;
  }
}

HWND ShowHelpPopup(std::string_view text, POINT at, HWND owner, HWND font_source) {
  CloseHelpPopup();
  RegisterPopupClass();
  const std::wstring wide = platform::win32::ToWide(text);

  HMONITOR monitor = MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(monitor, &info);
  const int dpi = owner != nullptr ? WindowDpi(owner) : ScreenDpi();
  if (g_font != nullptr) DeleteObject(g_font);
  g_font = PopupFont(font_source, dpi);

  const int margin = ScaleForDpi(kMargin, dpi);
  const SIZE text_size = MeasureText(wide, ScaleForDpi(kMaxTextWidth, dpi));
  const RECT border = [] {
    RECT r = {0, 0, 0, 0};
    AdjustWindowRectEx(&r, WS_POPUP | WS_BORDER, FALSE, WS_EX_TOOLWINDOW);
    return r;
  }();
  const int width = std::min(
      static_cast<int>(text_size.cx) + 2 * margin + static_cast<int>(border.right - border.left),
      static_cast<int>(info.rcWork.right - info.rcWork.left));
  const int height =
      static_cast<int>(text_size.cy) + 2 * margin + static_cast<int>(border.bottom - border.top);
  // Below and right of the point, moved back onto the monitor when it would
  // leave it.
  const RECT& work = info.rcWork;
  const int x = std::max(static_cast<int>(work.left),
                         std::min(static_cast<int>(at.x), static_cast<int>(work.right) - width));
  int y = static_cast<int>(at.y) + margin;
  if (y + height > work.bottom)
    y = std::max(static_cast<int>(work.top), static_cast<int>(at.y) - margin - height);

  HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupClass, wide.c_str(),
                               WS_POPUP | WS_BORDER, x, y, width, height, owner, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (popup == nullptr) return nullptr;
  g_popup = popup;
  ShowWindow(popup, SW_SHOW);
  UpdateWindow(popup);
  // Keys and clicks anywhere reach the popup, which then closes.
  SetFocus(popup);
  SetCapture(popup);
  return popup;
}

HWND CurrentHelpPopup() {
  return g_popup;
}

void CloseHelpPopup() {
  Close(g_popup);
}

bool ShowContextHelp(HWND control, POINT at) {
  const int context = HelpContextOf(control);
  if (context == 0) return false;
  i18n::Translator* translator = i18n::CurrentTranslator();
  if (translator == nullptr) return false;
  const std::string text = translator->HelpText(context);
  if (text.empty()) return false;
  return ShowHelpPopup(text, at, GetAncestor(control, GA_ROOT), control) != nullptr;
}

}  // namespace cvn::ui
