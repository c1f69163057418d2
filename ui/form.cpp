#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "platform/text.h"
#include "platform/win32/wide_text.h"
#include "ui/panel.h"
#include "ui/program_icon.h"

namespace cvn::ui {

namespace {

constexpr wchar_t kFontName[] = L"Tahoma";
constexpr int kFontPoints = 8;

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

HFONT CreateFormFont(int dpi, int weight, uint8_t charset) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(kFontPoints, dpi, 72);
  font.lfWeight = weight;
  font.lfCharSet = charset;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(font.lfFaceName, kFontName, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// An exception that escapes a message handler must not unwind through the
// system's frames: it is shown to the user and the program runs on.
void ReportException(HWND owner, const char* message) {
  MessageBoxW(owner, platform::win32::ToWide(message).c_str(), L"Corvane", MB_OK | MB_ICONERROR);
}

}  // namespace

Form::Form(std::string class_name, Size design_size, Size design_client_size)
    : class_name_(std::move(class_name)),
      design_size_(design_size),
      design_client_size_(design_client_size) {}

Form::~Form() {
  if (hwnd_ != nullptr) {
    // Detach first, so that the destruction sends no message to a half-gone form.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    HWND hwnd = std::exchange(hwnd_, nullptr);
    DestroyWindow(hwnd);
  }
  if (font_ != nullptr) DeleteObject(font_);
  if (bold_font_ != nullptr) DeleteObject(bold_font_);
}

std::string Form::name() const {
  return !class_name_.empty() && class_name_[0] == 'T' ? class_name_.substr(1) : class_name_;
}

std::string Form::Caption() const {
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
  return platform::win32::ToUtf8(text);
}

void Form::SetCaption(std::string_view caption) {
  SetWindowTextW(hwnd_, platform::win32::ToWide(caption).c_str());
}

Component* Form::FindComponent(std::string_view name) const {
  for (const auto& component : components_) {
    if (text::EqualsNoCaseAscii(component->name(), name)) return component.get();
  }
  return nullptr;
}

bool Form::SetTextByKey(std::string_view key, std::string_view value) {
  const size_t first_dot = key.find('.');
  if (first_dot == std::string_view::npos) {
    if (!text::EqualsNoCaseAscii(key, "Caption")) return false;
    SetCaption(value);
    return true;
  }
  Component* component = FindComponent(key.substr(0, first_dot));
  return component != nullptr && component->SetProperty(key.substr(key.rfind('.') + 1), value);
}

std::optional<std::string> Form::GetTextByKey(std::string_view key) const {
  const size_t first_dot = key.find('.');
  if (first_dot == std::string_view::npos) {
    if (!text::EqualsNoCaseAscii(key, "Caption")) return std::nullopt;
    return Caption();
  }
  const Component* component = FindComponent(key.substr(0, first_dot));
  if (component == nullptr) return std::nullopt;
  return component->GetProperty(key.substr(key.rfind('.') + 1));
}

void Form::Close() {
  // Posted, so that a button may close its own form from its click handler.
  PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

bool Form::CreateForm(std::string_view caption) {
  if (!RegisterWindowClass()) return false;
  const int dpi = SystemDpi();
  const HWND hwnd = CreateWindowExW(
      WS_EX_CONTROLPARENT, platform::win32::ToWide(class_name_).c_str(),
      platform::win32::ToWide(caption).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
      CW_USEDEFAULT, 0, ScaleForDpi(design_size_.width, dpi), ScaleForDpi(design_size_.height, dpi),
      nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) return false;
  // The screen the system put the window on may have another DPI than the
  // one it was sized for.
  if (dpi_ != dpi) {
    SetWindowPos(hwnd, nullptr, 0, 0, Scale(design_size_.width), Scale(design_size_.height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

bool Form::RegisterWindowClass() const {
  const std::wstring class_name = platform::win32::ToWide(class_name_);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof(window_class);
  if (GetClassInfoExW(instance, class_name.c_str(), &window_class)) return true;
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = ProgramClassIcon(false);
  window_class.hIconSm = ProgramClassIcon(true);
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = class_name.c_str();
  return RegisterClassExW(&window_class) != 0;
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  if (form == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);

  LRESULT result = 0;
  try {
    result = form->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& error) {
    ReportException(hwnd, error.what());
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
  }
  return result;
}

LRESULT Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      dpi_ = WindowDpi(hwnd_);
      CreateFonts();
      FormCreate();
      ApplyLayout();
      return 0;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) {
        ApplyLayout();
        FormResize();
      }
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_COMMAND:
      DispatchCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case DM_GETDEFID:
      if (default_button_id_ != 0) return MAKELRESULT(default_button_id_, DC_HASDEFID);
      return 0;
    case WM_CLOSE:
      FormClose();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      FormDestroy();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void Form::DispatchCommand(int id, int code) {
  if (code == EN_CHANGE) {
    if (const auto handler = change_handlers_.find(id); handler != change_handlers_.end())
      handler->second();
    return;
  }
  if (code != BN_CLICKED) return;
  const auto handler = click_handlers_.find(id);
  if (handler == click_handlers_.end()) return;
  // Enter reaches the default button through its identifier, even while it
  // is disabled.
  if (!IsWindowEnabled(by_id_.at(id)->hwnd())) return;
  handler->second();
}

void Form::SetFontCharset(uint8_t charset) {
  if (charset == font_charset_) return;
  font_charset_ = charset;
  ReplaceFonts();
}

void Form::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  ReplaceFonts();
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyLayout();
  FormResize();
  FormDpiChanged();
}

void Form::CreateFonts() {
  font_ = CreateFormFont(dpi_, FW_NORMAL, font_charset_);
  bold_font_ = CreateFormFont(dpi_, FW_BOLD, font_charset_);
}

void Form::ReplaceFonts() {
  HFONT old_font = font_;
  HFONT old_bold_font = bold_font_;
  CreateFonts();
  ApplyFonts();
  DeleteObject(old_font);
  DeleteObject(old_bold_font);
}

void Form::ApplyFonts() {
  for (const auto& component : components_) {
    if (!component->windowed()) continue;
    const bool bold =
        std::find(bold_ids_.begin(), bold_ids_.end(), component->id()) != bold_ids_.end();
    SendMessageW(component->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(bold ? bold_font_ : font_),
                 TRUE);
  }
}

void Form::SetBold(const Component& control) {
  bold_ids_.push_back(control.id());
  SendMessageW(control.hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), TRUE);
}

Size Form::ClientSizeOf(const Component* parent) const {
  RECT client = {};
  GetClientRect(parent != nullptr ? parent->hwnd() : hwnd_, &client);
  return {client.right - client.left, client.bottom - client.top};
}

Size Form::DesignClientSizeOf(const Component* parent) const {
  if (parent == nullptr) return design_client_size_;
  return {parent->placement().bounds.width, parent->placement().bounds.height};
}

void Form::ApplyLayout() {
  // Parents come before their children, so each child sees its parent's new size.
  for (const auto& component : components_) {
    if (!component->windowed()) continue;
    const Placement& placement = component->placement();
    const Rect bounds =
        AnchoredBounds(placement.bounds, placement.anchors, DesignClientSizeOf(component->parent()),
                       ClientSizeOf(component->parent()), dpi_);
    SetWindowPos(component->hwnd(), nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

Component& Form::Adopt(std::unique_ptr<Component> component) {
  components_.push_back(std::move(component));
  return *components_.back();
}

Component& Form::AddControl(const ControlDesign& design) {
  const int id = next_control_id_++;
  const Rect bounds =
      AnchoredBounds(design.placement.bounds, design.placement.anchors,
                     DesignClientSizeOf(design.parent), ClientSizeOf(design.parent), dpi_);
  const HWND hwnd = CreateWindowExW(
      design.ex_style, design.window_class, platform::win32::ToWide(design.text).c_str(),
      WS_CHILD | WS_VISIBLE | design.style, bounds.left, bounds.top, bounds.width, bounds.height,
      design.parent != nullptr ? design.parent->hwnd() : hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) throw std::runtime_error("Cannot create the control " + design.name + ".");
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Component& component = Adopt(std::make_unique<Component>(design.name, design.properties, hwnd, id,
                                                           design.parent, design.placement));
  by_id_[id] = &component;
  return component;
}

Component& Form::AddNonWindowed(std::string name, TextProperties properties,
                                std::string_view text) {
  Component& component = Adopt(std::make_unique<Component>(std::move(name), properties));
  component.SetText(text);
  return component;
}

Component& Form::AddPanel(std::string name, Component* parent, Placement placement) {
  return AddControl({.name = std::move(name),
                     .window_class = PanelClassName(),
                     .style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                     .ex_style = WS_EX_CONTROLPARENT,
                     .properties = kCaption | kHint,
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddButton(std::string name, std::string_view caption, Component* parent,
                           Placement placement, DWORD extra_style) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_BUTTONW,
                     .style = WS_TABSTOP | BS_PUSHBUTTON | extra_style,
                     .properties = kCaption | kHint,
                     .text = std::string(caption),
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddLabel(std::string name, std::string_view caption, Component* parent,
                          Placement placement, DWORD extra_style) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_STATICW,
                     .style = SS_LEFT | extra_style,
                     .properties = kCaption | kHint,
                     .text = std::string(caption),
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddCheckBox(std::string name, std::string_view caption, Component* parent,
                             Placement placement, DWORD extra_style) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_BUTTONW,
                     .style = WS_TABSTOP | BS_AUTOCHECKBOX | extra_style,
                     .properties = kCaption | kHint,
                     .text = std::string(caption),
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddRadioButton(std::string name, std::string_view caption, Component* parent,
                                Placement placement, DWORD extra_style) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_BUTTONW,
                     .style = WS_TABSTOP | BS_AUTORADIOBUTTON | extra_style,
                     .properties = kCaption | kHint,
                     .text = std::string(caption),
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddEdit(std::string name, Component* parent, Placement placement,
                         DWORD extra_style) {
  return AddControl({.name = std::move(name),
                     .window_class = WC_EDITW,
                     .style = WS_TABSTOP | ES_AUTOHSCROLL | extra_style,
                     .ex_style = WS_EX_CLIENTEDGE,
                     .properties = kText | kHint,
                     .parent = parent,
                     .placement = placement});
}

Component& Form::AddListView(std::string name, Component* parent, Placement placement,
                             DWORD extra_style) {
  return AddControl(
      {.name = std::move(name),
       .window_class = WC_LISTVIEWW,
       .style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | extra_style,
       .ex_style = WS_EX_CLIENTEDGE,
       .properties = kHint,
       .parent = parent,
       .placement = placement});
}

Component& Form::AddProgressBar(std::string name, Component* parent, Placement placement) {
  return AddControl({.name = std::move(name),
                     .window_class = PROGRESS_CLASSW,
                     .properties = kHint,
                     .parent = parent,
                     .placement = placement});
}

void Form::OnClick(const Component& control, std::function<void()> handler) {
  click_handlers_[control.id()] = std::move(handler);
}

void Form::OnChange(const Component& edit, std::function<void()> handler) {
  change_handlers_[edit.id()] = std::move(handler);
}

int RunMessageLoop(HWND main_window) {
  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_F1 && IsWindow(main_window) &&
        (message.hwnd == main_window || IsChild(main_window, message.hwnd))) {
      SendMessageW(main_window, kHelpKeyMessage, GetKeyState(VK_SHIFT) < 0,
                   reinterpret_cast<LPARAM>(message.hwnd));
      continue;
    }
    if (IsWindow(main_window) && IsDialogMessageW(main_window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

int WindowDpi(HWND hwnd) {
  // Windows 10 and later tell the DPI per window; earlier ones only the system's.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi_for_window != nullptr) {
    if (const UINT dpi = get_dpi_for_window(hwnd); dpi != 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

}  // namespace cvn::ui
