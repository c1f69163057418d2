#include "ui/form_translation.h"

namespace cvn::ui {

int FormTranslation::FindComponent(std::string_view name) const {
  const Component* wanted = form_.FindComponent(name);
  const auto& components = form_.components();
  for (size_t index = 0; index < components.size(); ++index) {
    if (components[index].get() == wanted) return static_cast<int>(index);
  }
  return -1;
}

bool FormTranslation::SetComponentText(int component, std::string_view property,
                                       std::string_view text) {
  return form_.components().at(static_cast<size_t>(component))->SetProperty(property, text);
}

void FormTranslation::SetComponentCharset(int component, uint8_t charset) {
  if (form_.components().at(static_cast<size_t>(component))->windowed()) {
    form_.SetFontCharset(charset);
  }
}

}  // namespace cvn::ui
