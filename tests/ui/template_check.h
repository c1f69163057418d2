// Checks a window against the English template of the language-file compiler.
#pragma once

#include "ui/form.h"

namespace cvn::ui {

// Every non-empty text property of the form and its components stands in
// the template's section of the form with the same text, and every key of
// that section names a text the form has.
void ExpectTemplateDescribes(const Form& form);

}  // namespace cvn::ui
