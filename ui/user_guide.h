// The user guide: one HTML page per language beside the executable, named
// after the program with the language code, "corvane_de.html". It opens in the
// user's web browser.
#pragma once

#include <functional>
#include <string>

#include "platform/status.h"

namespace cvn::ui {

// The guide for `language_code` in `program_folder` when `exists` says it is
// there, else the English one ("corvane_en.html"), which is also the answer
// when neither exists.
std::string UserGuidePath(const std::string& program_folder, const std::string& language_code,
                          const std::function<bool(const std::string&)>& exists);

// Opens the guide of the language in the user's browser (ShellExecuteW
// "open"). Shows no message: when no guide is there the result is kNotFound,
// and `tried` (when given) receives the path of the missing file, for the
// caller's own message; a failing start gives the system's error.
platform::Status OpenUserGuide(const std::string& program_folder, const std::string& language_code,
                               std::string* tried = nullptr);

}  // namespace cvn::ui
