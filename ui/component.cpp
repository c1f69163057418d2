#include "ui/component.h"

#include <utility>

#include "platform/text.h"
#include "platform/win32/wide_text.h"

namespace cvn::ui {

namespace {

// The property bit named `property`, or 0 for a name that is no text property.
uint8_t PropertyBit(std::string_view property) {
  if (text::EqualsNoCaseAscii(property, "Caption")) return kCaption;
  if (text::EqualsNoCaseAscii(property, "Text")) return kText;
  if (text::EqualsNoCaseAscii(property, "Hint")) return kHint;
  return 0;
}

}  // namespace

Component::Component(std::string name, TextProperties properties, HWND hwnd, int id,
                     Component* parent, Placement placement)
    : name_(std::move(name)),
      properties_(properties),
      hwnd_(hwnd),
      id_(id),
      parent_(parent),
      placement_(placement) {}

Component::Component(std::string name, TextProperties properties)
    : name_(std::move(name)), properties_(properties) {}

bool Component::HasProperty(std::string_view property) const {
  return (properties_ & PropertyBit(property)) != 0;
}

std::optional<std::string> Component::GetProperty(std::string_view property) const {
  const uint8_t bit = properties_ & PropertyBit(property);
  if (bit == 0) return std::nullopt;
  if (bit == kHint) return hint_;
  return Text();
}

bool Component::SetProperty(std::string_view property, std::string_view value) {
  const uint8_t bit = properties_ & PropertyBit(property);
  if (bit == 0) return false;
  if (bit == kHint) {
    hint_ = value;
  } else {
    SetText(value);
  }
  return true;
}

std::string Component::Text() const {
  if (!windowed()) return text_;
  const int length = GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied));
  return platform::win32::ToUtf8(text);
}

void Component::SetText(std::string_view text) {
  if (windowed()) {
    SetWindowTextW(hwnd_, platform::win32::ToWide(text).c_str());
  } else {
    text_ = text;
  }
}

}  // namespace cvn::ui
