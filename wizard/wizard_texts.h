// The wizard's texts: translated by their ids, and the window captions.
#pragma once

#include <string>
#include <string_view>

#include "i18n/translator.h"

namespace cvn::wizard {

inline std::string Text(const char* id, const char* english) {
  return i18n::Translate(id, english);
}

// `text` with its "%s" replaced by `argument`.
inline std::string WithArgument(std::string text, std::string_view argument) {
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

// "Corvane [<identifier>] - installing" (or "- uninstalling").
inline std::string PathCaption(std::string_view identifier, bool uninstalling) {
  return "Corvane [" + std::string(identifier) + "] - " +
         (uninstalling ? Text("RS_UNINSTALLING", "uninstalling")
                       : Text("RS_INSTALLING", "installing"));
}

}  // namespace cvn::wizard
