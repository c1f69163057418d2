// A named part of a window: a control with its own window handle, or a
// non-windowed part (a menu item, a dialog the window opens) that only holds
// its texts. Language files address components by name and set their text
// properties by name ("btnNext" and "Caption"), so every component says which
// of the text properties it has.
#pragma once

#include "platform/win32/windows_api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/anchor_layout.h"

namespace cvn::ui {

// The text properties a component may have. Caption and Text are the window
// text of a windowed component (buttons and labels have a Caption, edit
// boxes a Text); Hint is the short help text shown for it. A set of bits.
using TextProperties = uint8_t;
inline constexpr TextProperties kCaption = 1;
inline constexpr TextProperties kText = 2;
inline constexpr TextProperties kHint = 4;

// Where a windowed component sits in its parent, at 96 DPI.
struct Placement {
  Rect bounds;
  Anchors anchors = kAnchorTopLeft;
};

class Component {
 public:
  // A windowed component; `hwnd` belongs to the component's window.
  Component(std::string name, TextProperties properties, HWND hwnd, int id, Component* parent,
            Placement placement);
  // A non-windowed component.
  Component(std::string name, TextProperties properties);

  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::string& name() const { return name_; }
  HWND hwnd() const { return hwnd_; }
  bool windowed() const { return hwnd_ != nullptr; }
  // The control identifier in WM_COMMAND and WM_NOTIFY; 0 when non-windowed.
  int id() const { return id_; }
  // The component whose window holds this one; null for the form itself.
  Component* parent() const { return parent_; }
  const Placement& placement() const { return placement_; }

  // The help-file topic of the component; 0 for none.
  int help_context() const { return help_context_; }
  void set_help_context(int context) { help_context_ = context; }
  // A free number the window uses as it likes (graphic buttons keep their
  // help topic there).
  intptr_t tag() const { return tag_; }
  void set_tag(intptr_t tag) { tag_ = tag; }

  // True when the component has the property of that name ("Caption",
  // "Text", "Hint"; letter case ignored).
  bool HasProperty(std::string_view property) const;
  // The property's value; empty when the component has no such property.
  std::optional<std::string> GetProperty(std::string_view property) const;
  // Sets the property; false, and nothing changes, when the component has no
  // such property.
  bool SetProperty(std::string_view property, std::string_view value);

  // The window text of a windowed component, the stored Caption or Text of
  // a non-windowed one.
  std::string Text() const;
  void SetText(std::string_view text);

 private:
  std::string name_;
  TextProperties properties_;
  HWND hwnd_ = nullptr;
  int id_ = 0;
  Component* parent_ = nullptr;
  Placement placement_;
  int help_context_ = 0;
  intptr_t tag_ = 0;
  std::string text_;  // Caption or Text of a non-windowed component
  std::string hint_;
};

}  // namespace cvn::ui
