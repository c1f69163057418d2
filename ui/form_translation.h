// A form as the translator sees it: the translator finds components by name
// and sets their text properties and the character set of their fonts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "i18n/translator.h"
#include "ui/form.h"

namespace cvn::ui {

class FormTranslation final : public i18n::TranslatableForm {
 public:
  explicit FormTranslation(Form& form) : form_(form) {}

  std::string FormName() const override { return form_.name(); }
  void SetCaption(std::string_view caption) override { form_.SetCaption(caption); }
  void SetFontCharset(uint8_t charset) override { form_.SetFontCharset(charset); }
  int FindComponent(std::string_view name) const override;
  bool SetComponentText(int component, std::string_view property, std::string_view text) override;
  // The components share the form's fonts, so this sets the form's.
  void SetComponentCharset(int component, uint8_t charset) override;

  Form& form() const { return form_; }

 private:
  Form& form_;
};

}  // namespace cvn::ui
