// The base of every Corvane window. A form is a top-level window of its own
// class ("TfrmCvnMain") that owns named components. Its window procedure
// finds the form from the window, handles the messages every form shares
// (layout, DPI, close) and hands control notifications to the handlers the
// derived class bound to its components (`btnExitClick` for a click on
// `btnExit`).
//
// Language files address a form by its name, the class name without the
// leading "T" ("frmCvnMain"), and its texts by keys: "Caption" for the form's
// own caption, "<component>.<property>" for a component's text property.
#pragma once

#include "platform/win32/windows_api.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/anchor_layout.h"
#include "ui/component.h"

namespace cvn::ui {

// What a windowed component is made of.
struct ControlDesign {
  std::string name = {};
  const wchar_t* window_class = nullptr;
  DWORD style = 0;  // WS_CHILD and WS_VISIBLE are added
  DWORD ex_style = 0;
  TextProperties properties = kHint;
  std::string text = {};
  Component* parent = nullptr;  // null: the form's client area
  Placement placement = {};
};

class Form {
 public:
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& class_name() const { return class_name_; }
  // The name language files use for the form.
  std::string name() const;
  HWND hwnd() const { return hwnd_; }
  // The DPI the form is laid out for.
  int dpi() const { return dpi_; }

  std::string Caption() const;
  void SetCaption(std::string_view caption);

  // The component named `name` (letter case ignored); null when none is.
  Component* FindComponent(std::string_view name) const;
  const std::vector<std::unique_ptr<Component>>& components() const { return components_; }

  // Reads or sets a text by its language-file key: "Caption" for the form's
  // caption, else the component named before the first "." and its property
  // named after the last ".". Unknown components and properties are ignored:
  // the setter then returns false, the getter nothing.
  bool SetTextByKey(std::string_view key, std::string_view value);
  std::optional<std::string> GetTextByKey(std::string_view key) const;

  // Asks the form to close, as its close box does.
  void Close();

  // The character set of the form's fonts, which all its components share
  // (a language's texts need the fonts of its character set).
  uint8_t font_charset() const { return font_charset_; }
  void SetFontCharset(uint8_t charset);

 protected:
  // `design_size` is the window's outer size and `design_client_size` the
  // client area the components are designed for, both at 96 DPI.
  Form(std::string class_name, Size design_size, Size design_client_size);

  // Registers the window class and creates the window, hidden, at a place
  // the system chooses; FormCreate runs during the creation. False when the
  // window could not be created.
  bool CreateForm(std::string_view caption);

  // Events. FormCreate makes the components; FormClose runs when a close has
  // been accepted, before the window is destroyed; FormDestroy after.
  virtual void FormCreate() {}
  virtual void FormClose() {}
  virtual void FormDestroy() {}
  // Called after the components were placed for a new client size.
  virtual void FormResize() {}
  // Called after the DPI changed and the form was laid out again.
  virtual void FormDpiChanged() {}
  // Every message of the window; overrides pass what they leave alone to
  // this one.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // Components. Each is created with the form's font and placed by its
  // anchors whenever its parent changes size.
  Component& AddControl(const ControlDesign& design);
  Component& AddNonWindowed(std::string name, TextProperties properties,
                            std::string_view text = {});
  Component& AddPanel(std::string name, Component* parent, Placement placement);
  Component& AddButton(std::string name, std::string_view caption, Component* parent,
                       Placement placement, DWORD extra_style = 0);
  Component& AddLabel(std::string name, std::string_view caption, Component* parent,
                      Placement placement, DWORD extra_style = 0);
  Component& AddCheckBox(std::string name, std::string_view caption, Component* parent,
                         Placement placement, DWORD extra_style = 0);
  // The first radio button of a group passes WS_GROUP.
  Component& AddRadioButton(std::string name, std::string_view caption, Component* parent,
                            Placement placement, DWORD extra_style = 0);
  Component& AddEdit(std::string name, Component* parent, Placement placement,
                     DWORD extra_style = 0);
  Component& AddListView(std::string name, Component* parent, Placement placement,
                         DWORD extra_style = 0);
  Component& AddProgressBar(std::string name, Component* parent, Placement placement);

  // Binds the handler of a click on a button, check box or radio button.
  void OnClick(const Component& control, std::function<void()> handler);
  // Binds the handler of a change of an edit's text, typed or set.
  void OnChange(const Component& edit, std::function<void()> handler);
  // The button that Enter presses.
  void SetDefaultButton(const Component& button) { default_button_id_ = button.id(); }
  // Uses the form's bold font for a component.
  void SetBold(const Component& control);

  // Places every windowed component for the current client size and DPI.
  void ApplyLayout();
  // `value` pixels at 96 DPI in pixels at the form's DPI.
  int Scale(int value) const { return ScaleForDpi(value, dpi_); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  bool RegisterWindowClass() const;
  void CreateFonts();
  void ReplaceFonts();
  void ApplyFonts();
  void DispatchCommand(int id, int code);
  void OnDpiChanged(int dpi, const RECT& suggested);
  Size ClientSizeOf(const Component* parent) const;
  Size DesignClientSizeOf(const Component* parent) const;
  Component& Adopt(std::unique_ptr<Component> component);

  std::string class_name_;
  Size design_size_;
  Size design_client_size_;
  HWND hwnd_ = nullptr;
  int dpi_ = kDesignDpi;
  HFONT font_ = nullptr;
  HFONT bold_font_ = nullptr;
  uint8_t font_charset_ = DEFAULT_CHARSET;
  int next_control_id_ = 100;
  int default_button_id_ = 0;
  std::vector<std::unique_ptr<Component>> components_;
  std::unordered_map<int, Component*> by_id_;
  std::unordered_map<int, std::function<void()>> click_handlers_;
  std::unordered_map<int, std::function<void()>> change_handlers_;
  std::vector<int> bold_ids_;
};

// Sent to `main_window` when F1 is pressed in it: wparam is non-zero with
// Shift held, lparam the window that had the key (an HWND).
constexpr UINT kHelpKeyMessage = WM_APP + 22;

// Runs the message loop until WM_QUIT, with keyboard navigation (Tab, Enter,
// mnemonics) for `main_window`, and F1 handed to it as kHelpKeyMessage.
// Returns the WM_QUIT exit code.
int RunMessageLoop(HWND main_window);

// The DPI of the screen a window is on; the system DPI where the system
// cannot tell per window.
int WindowDpi(HWND hwnd);

}  // namespace cvn::ui
