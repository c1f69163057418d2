#include "ui/message_box.h"

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "i18n/translator.h"
#include "platform/win32/wide_text.h"
#include "settings/settings.h"
#include "ui/modal_dialog.h"

namespace cvn::ui {

namespace {

constexpr DWORD kBoxStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kBoxExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kIconSize = 32;
constexpr int kCaptionPadding = 8;  // added to a button caption's width

std::string KindCaption(MessageKind kind) {
  switch (kind) {
    case MessageKind::kWarning:
      return i18n::Translate("RS_DLG_WRN", "Warning");
    case MessageKind::kError:
      return i18n::Translate("RS_DLG_ERR", "Error");
    case MessageKind::kInformation:
      return i18n::Translate("RS_DLG_INF", "Information");
    case MessageKind::kConfirmation:
      return i18n::Translate("RS_DLG_CNF", "Confirm");
    case MessageKind::kCustom:
      break;
  }
  return std::string(settings::kAppTitle);
}

const wchar_t* KindIcon(MessageKind kind) {
  switch (kind) {
    case MessageKind::kWarning:
      return IDI_EXCLAMATION;
    case MessageKind::kError:
      return IDI_HAND;
    case MessageKind::kInformation:
      return IDI_ASTERISK;
    case MessageKind::kConfirmation:
      return IDI_QUESTION;
    case MessageKind::kCustom:
      break;
  }
  return nullptr;
}

std::string ButtonCaption(MessageButton button) {
  switch (button) {
    case MessageButton::kYes:
      return i18n::Translate("RS_DLG_YES", "Yes");
    case MessageButton::kNo:
      return i18n::Translate("RS_DLG_NO", "No");
    case MessageButton::kOk:
      return i18n::Translate("RS_DLG_OK", "OK");
    case MessageButton::kCancel:
      return i18n::Translate("RS_DLG_CANCEL", "Cancel");
    case MessageButton::kAbort:
      return i18n::Translate("RS_DLG_ABORT", "Abort");
    case MessageButton::kRetry:
      return i18n::Translate("RS_DLG_RETRY", "Retry");
    case MessageButton::kIgnore:
      return i18n::Translate("RS_DLG_IGNORE", "Ignore");
    case MessageButton::kAll:
      return i18n::Translate("RS_DLG_ALL", "All");
    case MessageButton::kNoToAll:
      return i18n::Translate("RS_DLG_NOTOALL", "NoToAll");
    case MessageButton::kYesToAll:
      return i18n::Translate("RS_DLG_YESTOALL", "YesToAll");
    case MessageButton::kShowActions:
      return i18n::Translate("RS_DLG_SHOWACTIONS", "Show what will be done");
  }
  return {};
}

// The first button of `preference` that the set holds; the result it gives,
// or kResultNone.
int FirstResultOf(MessageButtons buttons, std::initializer_list<MessageButton> preference) {
  for (const MessageButton button : preference) {
    if (buttons.contains(button)) return MessageButtonResult(button);
  }
  return kResultNone;
}

// The owner's font: its own, or for a window that keeps none itself (a form)
// that of its first control that has one; the system's message font when
// there is no owner.
LOGFONTW OwnerFont(HWND owner) {
  HFONT font = nullptr;
  if (owner != nullptr) {
    font = reinterpret_cast<HFONT>(SendMessageW(owner, WM_GETFONT, 0, 0));
    if (font == nullptr) {
      EnumChildWindows(
          owner,
          [](HWND child, LPARAM found) -> BOOL {
            auto* font = reinterpret_cast<HFONT*>(found);
            *font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
            return *font == nullptr;
          },
          reinterpret_cast<LPARAM>(&font));
    }
  }
  LOGFONTW result = {};
  if (font != nullptr && GetObjectW(font, sizeof(result), &result) == sizeof(result)) return result;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  return metrics.lfMessageFont;
}

RECT ScreenOf(HWND window) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  return monitor.rcMonitor;
}

// A button of the box: its result, which is also its control identifier,
// and its translated caption.
struct BoxButton {
  int result;
  std::wstring caption;
};

std::vector<BoxButton> ButtonsInOrder(MessageButtons set) {
  std::vector<BoxButton> buttons;
  for (int i = 0; i < kMessageButtonCount; ++i) {
    const auto button = static_cast<MessageButton>(i);
    if (set.contains(button)) {
      buttons.push_back(
          {MessageButtonResult(button), platform::win32::ToWide(ButtonCaption(button))});
    }
  }
  return buttons;
}

// Where everything of the box goes, in pixels of its client area.
struct MessageLayout {
  SIZE client = {};
  POINT icon = {};
  RECT text = {};
  RECT first_button = {};  // the others follow at button_step
  int button_step = 0;
};

// The layout from the font's dialog units: the average width of the 52
// letters and the font's height.
class MessageLayoutBuilder {
 public:
  MessageLayoutBuilder(HDC dc, int screen_width) : dc_(dc), screen_width_(screen_width) {
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters = {};
    GetTextExtentPoint32W(dc, kLetters, 52, &letters);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    cx_ = letters.cx / 52;
    cy_ = metrics.tmHeight;
  }

  MessageLayout Build(const std::wstring& text, bool with_icon,
                      const std::vector<std::wstring>& captions) const {
    const int h_margin = MulDiv(8, cx_, 4);
    const int v_margin = MulDiv(8, cy_, 8);
    const int h_spacing = MulDiv(10, cx_, 4);
    const int v_spacing = MulDiv(10, cy_, 8);
    const int button_height = MulDiv(14, cy_, 8);
    const int button_spacing = MulDiv(4, cx_, 4);
    // Measured for every box, as the language may change while the
    // program runs.
    int button_width = MulDiv(50, cx_, 4);
    for (const std::wstring& caption : captions) {
      button_width = std::max(button_width, SingleLineWidth(caption) + kCaptionPadding);
    }

    const SIZE text_size = WrappedSize(text);
    const int icon_width = with_icon ? kIconSize + h_spacing : 0;
    const int block_height = with_icon ? std::max<int>(text_size.cy, kIconSize) : text_size.cy;
    const int count = static_cast<int>(captions.size());
    const int row_width = count == 0 ? 0 : count * button_width + (count - 1) * button_spacing;

    MessageLayout layout;
    layout.client.cx = std::max<int>(icon_width + text_size.cx, row_width) + 2 * h_margin;
    layout.client.cy = block_height + v_spacing + button_height + 2 * v_margin;
    layout.icon = {h_margin, v_margin};
    layout.text = {h_margin + icon_width, v_margin, h_margin + icon_width + text_size.cx,
                   v_margin + text_size.cy};
    const int button_left = (layout.client.cx - row_width) / 2;
    const int button_top = block_height + v_margin + v_spacing;
    layout.first_button = {button_left, button_top, button_left + button_width,
                           button_top + button_height};
    layout.button_step = button_width + button_spacing;
    return layout;
  }

 private:
  int SingleLineWidth(const std::wstring& caption) const {
    RECT bounds = {};
    DrawTextW(dc_, caption.c_str(), static_cast<int>(caption.size()), &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
    return bounds.right - bounds.left;
  }

  // The flags are those the static control draws the text with; "&" is
  // plain text in a message.
  SIZE WrappedSize(const std::wstring& text) const {
    RECT bounds = {0, 0, screen_width_ / 2, 0};
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
  }

  HDC dc_;
  int screen_width_;
  int cx_ = 0;
  int cy_ = 0;
};

// The box's window. It lives for one CustomMessageDlg call.
class MessageBoxWindow {
 public:
  MessageBoxWindow(MessageKind kind, MessageButtons buttons, HWND owner)
      : kind_(kind),
        buttons_(buttons),
        owner_(owner),
        default_result_(FirstResultOf(
            buttons, {MessageButton::kOk, MessageButton::kYes, MessageButton::kRetry})),
        cancel_result_(FirstResultOf(
            buttons, {MessageButton::kCancel, MessageButton::kNo, MessageButton::kOk})) {
    LOGFONTW font = OwnerFont(owner);
    font_ = CreateFontIndirectW(&font);
  }

  ~MessageBoxWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (font_ != nullptr) DeleteObject(font_);
  }

  MessageBoxWindow(const MessageBoxWindow&) = delete;
  MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;

  bool Create(std::string_view text) {
    if (!RegisterWindowClass()) return false;
    const std::wstring message = platform::win32::ToWide(text);
    const std::vector<BoxButton> buttons = ButtonsInOrder(buttons_);
    std::vector<std::wstring> captions;
    for (const BoxButton& button : buttons) captions.push_back(button.caption);
    const RECT screen = ScreenOf(owner_);
    const MessageLayout layout = Measure(message, captions, screen.right - screen.left);

    RECT outer = {0, 0, layout.client.cx, layout.client.cy};
    AdjustWindowRectEx(&outer, kBoxStyle, FALSE, kBoxExStyle);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int left = screen.left + (screen.right - screen.left - width) / 2;
    const int top = screen.top + (screen.bottom - screen.top - height) / 2;
    hwnd_ = CreateWindowExW(kBoxExStyle, kMessageFormClassName,
                            platform::win32::ToWide(KindCaption(kind_)).c_str(), kBoxStyle, left,
                            top, width, height, owner_, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) return false;
    CreateIcon(layout);
    CreateText(message, layout);
    CreateButtons(buttons, layout);
    return true;
  }

  int ShowModal() {
    HWND focus = GetDlgItem(hwnd_, default_result_);
    RunModalLoop(hwnd_, owner_, focus, [this] { return result_ != kResultNone; });
    return result_ != kResultNone ? result_ : kResultCancel;
  }

 private:
  static bool RegisterWindowClass() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    if (GetClassInfoExW(instance, kMessageFormClassName, &window_class)) return true;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kMessageFormClassName;
    return RegisterClassExW(&window_class) != 0;
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* form = reinterpret_cast<MessageBoxWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
      form =
          static_cast<MessageBoxWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      form->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (form != nullptr) form->hwnd_ = nullptr;
      form = nullptr;
    }
    if (form == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
    return form->HandleMessage(hwnd, message, wparam, lparam);
  }

  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
      case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED) Press(LOWORD(wparam));
        return 0;
      case DM_GETDEFID:
        if (HWND button = FocusedPushButton(hwnd)) {
          return MAKELRESULT(GetDlgCtrlID(button), DC_HASDEFID);
        }
        return default_result_ != kResultNone ? MAKELRESULT(default_result_, DC_HASDEFID) : 0;
      case WM_CLOSE:
        if (result_ == kResultNone) result_ = kResultCancel;
        return 0;
      default:
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
  }

  // A button of the box, or the keyboard: IsDialogMessage turns Esc into
  // IDCANCEL whatever buttons there are, and that presses the cancel button.
  void Press(int id) {
    if (id == IDCANCEL) id = cancel_result_;
    HWND button = id != kResultNone ? GetDlgItem(hwnd_, id) : nullptr;
    if (button != nullptr && IsWindowEnabled(button)) result_ = id;
  }

  MessageLayout Measure(const std::wstring& text, const std::vector<std::wstring>& captions,
                        int screen_width) const {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old_font = SelectObject(dc, font_);
    const MessageLayout layout =
        MessageLayoutBuilder(dc, screen_width).Build(text, KindIcon(kind_) != nullptr, captions);
    SelectObject(dc, old_font);
    ReleaseDC(nullptr, dc);
    return layout;
  }

  HWND AddChild(const wchar_t* window_class, const std::wstring& text, DWORD style,
                const RECT& bounds, int id) {
    HWND child = CreateWindowExW(
        0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
        bounds.right - bounds.left, bounds.bottom - bounds.top, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return child;
  }

  void CreateIcon(const MessageLayout& layout) {
    const wchar_t* icon_name = KindIcon(kind_);
    if (icon_name == nullptr) return;
    const RECT bounds = {layout.icon.x, layout.icon.y, layout.icon.x + kIconSize,
                         layout.icon.y + kIconSize};
    HWND icon = AddChild(L"STATIC", L"", SS_ICON, bounds, -1);
    const HANDLE image =
        LoadImageW(nullptr, icon_name, IMAGE_ICON, kIconSize, kIconSize, LR_SHARED);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(image), 0);
  }

  void CreateText(const std::wstring& text, const MessageLayout& layout) {
    AddChild(L"STATIC", text, SS_LEFT | SS_NOPREFIX, layout.text, -1);
  }

  void CreateButtons(const std::vector<BoxButton>& buttons, const MessageLayout& layout) {
    RECT bounds = layout.first_button;
    for (const BoxButton& button : buttons) {
      const DWORD style =
          WS_TABSTOP | (button.result == default_result_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      AddChild(L"BUTTON", button.caption, style, bounds, button.result);
      OffsetRect(&bounds, layout.button_step, 0);
    }
  }

  MessageKind kind_;
  MessageButtons buttons_;
  HWND owner_;
  int default_result_;
  int cancel_result_;
  HFONT font_ = nullptr;
  HWND hwnd_ = nullptr;
  int result_ = kResultNone;
};

}  // namespace

int MessageButtonResult(MessageButton button) {
  static constexpr int kResults[kMessageButtonCount] = {
      kResultYes,    kResultNo,  kResultOk,      kResultCancel,   kResultAbort,      kResultRetry,
      kResultIgnore, kResultAll, kResultNoToAll, kResultYesToAll, kResultShowActions};
  return kResults[static_cast<int>(button)];
}

int CustomMessageDlg(std::string_view text, MessageKind kind, MessageButtons buttons) {
  MessageBoxWindow box(kind, buttons, GetActiveWindow());
  if (!box.Create(text)) return kResultCancel;
  return box.ShowModal();
}

}  // namespace cvn::ui
